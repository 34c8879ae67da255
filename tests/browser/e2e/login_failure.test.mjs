// Wrong credentials never show the content: the page says so and lets the
// user try again, or goes to the redirect address when the lock asked for it.
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';

import {
  launchBrowser, lock, logIn, makeTempDir, newSession, removeDir, startServer, waitForOpenedPage, writeFiles,
} from '../lib/browser_site.mjs';

const SECRET_PAGE = '<html><head><title>Payroll</title></head><body><p id="secret">salaries 2026</p></body></html>';
const LANDING_PAGE = '<html><head><title>Landing</title></head><body><p>no access</p></body></html>';
const ACCOUNTS = ['-u', 'alice:secret', '-u', 'bob:hunter2'];

async function expectRefused(page, expectedMessage) {
  const alert = page.getByRole('alert');
  await alert.waitFor();
  assert.equal((await alert.textContent()).trim(), expectedMessage);
  assert.equal(await page.title(), 'Protected page');
  assert.equal(await page.$('#secret'), null);
  assert.doesNotMatch(await page.innerText('body'), /salaries/);
}

describe('wrong credentials', () => {
  let browser, server, root, session, page;
  const dialogs = [];
  const WRONG = 'The user ID or password is not correct. Please try again.';

  before(async () => {
    root = makeTempDir('wrong');
    writeFiles(root, { 'page.html': SECRET_PAGE, 'single.html': SECRET_PAGE, 'password.txt': 'shared\n' });
    lock([path.join(root, 'page.html')], ACCOUNTS);
    lock([path.join(root, 'single.html')], ['--single-password', '--password-file', path.join(root, 'password.txt')]);
    browser = await launchBrowser();
    server = await startServer(root);
    session = await newSession(browser);
    page = await session.newPage();
    page.on('dialog', (dialog) => {
      dialogs.push(`${dialog.type()}: ${dialog.message()}`);
      dialog.dismiss();
    });
  });

  after(async () => {
    await session?.close();
    await browser?.close();
    await server?.close();
    removeDir(root);
  });

  it('are refused inline, and the right ones still work afterwards', async () => {
    const attempts = [
      { user: 'alice', password: 'wrong' },
      { user: 'mallory', password: 'secret' },
      { user: 'Alice', password: 'secret' },
      { user: 'alice', password: 'hunter2' },  // bob's password
      { user: '', password: '' },
    ];
    await page.goto(server.url('page.html'));
    for (const attempt of attempts) {
      await logIn(page, attempt);
      await expectRefused(page, WRONG);
      assert.equal(await page.inputValue('#qv-password'), '', `${attempt.user}: the password field is cleared`);
      assert.equal(await page.evaluate(() => document.activeElement.id), 'qv-password');
    }
    await logIn(page, { user: 'bob', password: 'hunter2' });
    await waitForOpenedPage(page);
    assert.equal(await page.textContent('#secret'), 'salaries 2026');
    assert.deepEqual(dialogs, [], 'messages are shown in the page, not in dialogs');
  });

  it('are refused on a single-password page', async () => {
    await page.goto(server.url('single.html'));
    await logIn(page, { password: 'Shared' });
    await expectRefused(page, 'The password is not correct. Please try again.');
  });
});

describe('redirect after a wrong password', () => {
  let browser, server, root;

  before(async () => {
    root = makeTempDir('redirect');
    writeFiles(root, { 'landing.html': LANDING_PAGE });
    browser = await launchBrowser();
    server = await startServer(root);
  });

  after(async () => {
    await browser?.close();
    await server?.close();
    removeDir(root);
  });

  // Locks a fresh copy of the secret page with `address` as the redirect.
  function lockWithRedirect(name, address) {
    writeFiles(root, { [name]: SECRET_PAGE });
    lock([path.join(root, name)], [...ACCOUNTS, '--redirect', address]);
  }

  it('lands on the address, and a right password still opens the page', async () => {
    lockWithRedirect('plain.html', server.url('landing.html'));
    const session = await newSession(browser);
    const page = await session.newPage();
    await page.goto(server.url('plain.html'));
    await logIn(page, { user: 'alice', password: 'wrong' });
    await page.waitForURL(server.url('landing.html'));
    assert.equal(await page.title(), 'Landing');

    await page.goto(server.url('plain.html'));
    await logIn(page, { user: 'alice', password: 'secret' });
    await waitForOpenedPage(page);
    assert.equal(await page.textContent('#secret'), 'salaries 2026');
    await session.close();
    assert.deepEqual(session.offLimits, []);
  });

  it('reads any address as text: quotes, markup and spaces cannot break the page or run script', async () => {
    const hostile = [
      `landing.html?q="'</script><script>window.injected = 1</script> <b>x`,
      `landing.html?q=--></plaintext><img src=x onerror="window.injected=1">`,
      `landing.html?a=%users&b=%bcookie`,
    ];
    for (const [index, suffix] of hostile.entries()) {
      const name = `hostile${index}.html`;
      lockWithRedirect(name, server.url(suffix));
      const session = await newSession(browser);
      const page = await session.newPage();
      const errors = [];
      page.on('pageerror', (error) => errors.push(error.message));
      await page.goto(server.url(name));
      assert.equal(await page.evaluate(() => window.injected), undefined, suffix);
      assert.equal(await page.isVisible('#qv-login'), true, suffix);
      assert.deepEqual(errors, [], suffix);

      await logIn(page, { user: 'alice', password: 'wrong' });
      await page.waitForURL((url) => url.pathname === '/landing.html');
      assert.equal(await page.title(), 'Landing');
      assert.equal(await page.evaluate(() => window.injected), undefined, suffix);

      await page.goto(server.url(name));
      await logIn(page, { user: 'alice', password: 'secret' });
      await waitForOpenedPage(page);
      assert.equal(await page.textContent('#secret'), 'salaries 2026', suffix);
      await session.close();
    }
  });

  it('never follows an address that would run script', async () => {
    const scripted = ['javascript:window.injected=1', 'JavaScript:window.injected=1//x',
                      'data:text/html,<script>window.injected=1</script>'];
    for (const [index, address] of scripted.entries()) {
      const name = `scripted${index}.html`;
      lockWithRedirect(name, address);
      const session = await newSession(browser);
      const page = await session.newPage();
      await page.goto(server.url(name));
      await logIn(page, { user: 'alice', password: 'wrong' });
      await expectRefused(page, 'The user ID or password is not correct. Please try again.');
      assert.equal(await page.evaluate(() => window.injected), undefined, address);
      assert.equal(page.url(), server.url(name));
      await session.close();
    }
  });
});
