// With session logins on, one login opens the other protected pages of the
// site, of the same lock run or of another, until the browser closes. Without
// them every page asks, and nothing is stored.
import assert from 'node:assert/strict';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { after, before, describe, it } from 'node:test';

import {
  launchBrowser, lock, logIn, makeTempDir, newSession, removeDir, startServer, waitForOpenedPage, writeFiles,
} from '../lib/browser_site.mjs';

const pageText = (name) => `<html><head><title>${name}</title></head><body><p id="content">${name} content</p></body></html>`;
const ALICE = { user: 'alice', password: 'wonder land' };

async function expectContent(page, name) {
  await waitForOpenedPage(page);
  assert.equal(await page.textContent('#content'), `${name} content`);
}

async function expectLoginForm(page) {
  await page.locator('#qv-login').waitFor({ state: 'visible' });
  assert.equal(await page.title(), 'Protected page');
  assert.equal(await page.$('#content'), null);
}

describe('session logins', () => {
  let browser, server, root;

  before(async () => {
    root = makeTempDir('session');
    writeFiles(root, Object.fromEntries(
      ['one', 'two', 'other-run', 'bob-only', 'no-cookie-a', 'no-cookie-b'].map((n) => [`${n}.html`, pageText(n)])));
    const file = (n) => path.join(root, `${n}.html`);
    const alice = ['-u', `${ALICE.user}:${ALICE.password}`];
    // Separate lock runs draw separate content keys.
    lock([file('one'), file('two')], [...alice, '-u', 'bob:builder', '--session-cookies']);
    lock([file('other-run')], [...alice, '--session-cookies']);
    lock([file('bob-only')], ['-u', 'bob:builder', '--session-cookies']);
    lock([file('no-cookie-a'), file('no-cookie-b')], alice);
    browser = await launchBrowser();
    server = await startServer(root);
  });

  after(async () => {
    await browser?.close();
    await server?.close();
    removeDir(root);
  });

  it('open later pages of the same and of another lock run without asking', async () => {
    const session = await newSession(browser);
    const page = await session.newPage();
    await page.goto(server.url('one.html'));
    await logIn(page, ALICE);
    await expectContent(page, 'one');

    const [cookie] = await session.cookies();
    assert.equal(cookie.path, '/');
    assert.equal(cookie.sameSite, 'Strict');
    assert.equal(cookie.secure, false, 'no Secure flag on plain http');
    assert.equal(cookie.expires, -1, 'a session cookie');

    await page.goto(server.url('two.html'));
    await expectContent(page, 'two');
    // Another tab of the same browser session.
    const tab = await session.newPage();
    await tab.goto(server.url('other-run.html'));
    await expectContent(tab, 'other-run');
    await session.close();

    // A new browser session asks again.
    const fresh = await newSession(browser);
    const freshPage = await fresh.newPage();
    await freshPage.goto(server.url('two.html'));
    await expectLoginForm(freshPage);
    await fresh.close();
  });

  it('fall back to asking where the stored login does not fit, and keep working', async () => {
    const session = await newSession(browser);
    const page = await session.newPage();
    await page.goto(server.url('one.html'));
    await logIn(page, ALICE);
    await expectContent(page, 'one');

    await page.goto(server.url('bob-only.html'));
    await expectLoginForm(page);
    await logIn(page, { user: 'bob', password: 'builder' });
    await expectContent(page, 'bob-only');
    // The last login is the one kept; bob also has an account on "two".
    await page.goto(server.url('two.html'));
    await expectContent(page, 'two');
    await session.close();
  });

  it('are off unless the lock asked for them: every page asks and nothing is stored', async () => {
    const session = await newSession(browser);
    const page = await session.newPage();
    await page.goto(server.url('no-cookie-a.html'));
    await logIn(page, ALICE);
    await expectContent(page, 'no-cookie-a');
    assert.deepEqual(await session.cookies(), []);
    assert.equal(await page.evaluate(() => sessionStorage.length), 0);

    await page.goto(server.url('no-cookie-b.html'));
    await expectLoginForm(page);
    // Without session logins a page ignores a login stored by another page.
    await page.goto(server.url('one.html'));
    await logIn(page, ALICE);
    await expectContent(page, 'one');
    await page.goto(server.url('no-cookie-a.html'));
    await expectLoginForm(page);
    await session.close();
  });

  it('use a Secure cookie on https', async () => {
    const httpsServer = await startServer(root, { https: true });
    const session = await newSession(browser, { ignoreHTTPSErrors: true });
    try {
      const page = await session.newPage();
      await page.goto(httpsServer.url('one.html'));
      await logIn(page, ALICE);
      await expectContent(page, 'one');
      const [cookie] = await session.cookies();
      assert.equal(cookie.secure, true);
      assert.equal(cookie.sameSite, 'Strict');
      await page.goto(httpsServer.url('other-run.html'));
      await expectContent(page, 'other-run');
    } finally {
      await session.close();
      await httpsServer.close();
    }
  });

  it('keep the login in the tab for pages opened from files', async () => {
    const session = await newSession(browser);
    const page = await session.newPage();
    await page.goto(pathToFileURL(path.join(root, 'one.html')).href);
    await logIn(page, ALICE);
    await expectContent(page, 'one');
    await page.goto(pathToFileURL(path.join(root, 'other-run.html')).href);
    await expectContent(page, 'other-run');
    await session.close();
  });
});
