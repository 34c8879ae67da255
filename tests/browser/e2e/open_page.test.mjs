// Locked pages open in Chromium for the right credentials and show the
// original page as if it had never been locked.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { after, before, describe, it } from 'node:test';

import {
  launchBrowser, lock, logIn, makeTempDir, newSession, removeDir, startServer, waitForOpenedPage, writeFiles,
} from '../lib/browser_site.mjs';

const ALICE = { user: 'alice', password: 'correct horse' };
const NON_ASCII_ACCOUNT = { user: 'jürgen', password: 'pässwörd€日本' };

const ascii = (text) => Buffer.from(text, 'latin1');

const site = {
  'section/index.html': `<!DOCTYPE html>
<html lang="de"><head><meta charset="utf-8"><title>Mitglieder – Übersicht</title>
<style>body { color: rgb(1, 2, 3); }</style>
<link rel="stylesheet" href="../shared/site.css"></head>
<body><h1>Grüße aus Köln, 日本語</h1>
<p id="script-check">inline script did not run</p>
<p id="external-check">external script did not run</p>
<script src="../shared/site.js"></script>
<a id="relative" href="../other.html">other</a>
<script>document.getElementById('script-check').textContent = 'inline script ran';</script>
</body></html>`,
  // Both declare a legacy charset; their bytes are not UTF-8.
  'latin.htm': Buffer.concat([
    ascii('<html><head><meta charset="windows-1252"><title>caf'), Buffer.from([0xe9]),
    ascii('</title></head><body><p>na'), Buffer.from([0xef]), ascii('ve '), Buffer.from([0x80]),
    ascii(' 5</p></body></html>'),
  ]),
  'sjis.htm': Buffer.concat([
    ascii('<html><head><meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"><title>'),
    Buffer.from([0x83, 0x65, 0x83, 0x58, 0x83, 0x67]), ascii('</title></head><body><p>'),
    Buffer.from([0x93, 0xfa, 0x96, 0x7b, 0x8c, 0xea]), ascii('</p></body></html>'),
  ]),
  // Left unlocked: what the protected page loads by relative address.
  'shared/site.css': 'h1 { color: rgb(4, 5, 6); }',
  'shared/site.js': "document.getElementById('external-check').textContent = 'external script ran';",
  'notes.txt': 'Meeting notes: <b>not bold</b> & café 日本\nsecond line\n',
};

const refsSite = {
  'refs.html': '<html><head><meta charset="utf-8"><title>Grüße €</title></head><body><p>日本語 – naïve</p></body></html>',
};

// Pages of about 10 MB: many paragraphs, a marker at the very end.
function bigPage() {
  const paragraph = '<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor.</p>\n';
  const count = Math.ceil((10 * 1024 * 1024) / paragraph.length);
  return `<!DOCTYPE html><html><head><meta charset="utf-8"><title>Big page</title></head><body>\n${
    paragraph.repeat(count)}<p id="end">end of the big page</p></body></html>`;
}

describe('a locked page with the right credentials', () => {
  let browser, server, root, refsRoot, singleRoot, session;

  before(async () => {
    root = makeTempDir('open');
    writeFiles(root, { ...site, 'big.htm': bigPage() });
    lock(['section/index.html', 'latin.htm', 'sjis.htm', 'notes.txt', 'big.htm'].map((f) => path.join(root, f)),
         ['-u', `${ALICE.user}:${ALICE.password}`, '-u', `${NON_ASCII_ACCOUNT.user}:${NON_ASCII_ACCOUNT.password}`]);

    refsRoot = makeTempDir('refs');
    writeFiles(refsRoot, refsSite);
    lock([path.join(refsRoot, 'refs.html')], ['--double-byte', '-u', `${ALICE.user}:${ALICE.password}`]);

    singleRoot = makeTempDir('single');
    writeFiles(singleRoot, { 'page.html': site['section/index.html'], 'password.txt': 'only the password\n' });
    lock([path.join(singleRoot, 'page.html')],
         ['--single-password', '--password-file', path.join(singleRoot, 'password.txt')]);

    browser = await launchBrowser();
    server = await startServer(root);
  });

  after(async () => {
    await browser?.close();
    await server?.close();
    [root, refsRoot, singleRoot].forEach(removeDir);
  });

  async function openWith(url, account) {
    session = await newSession(browser);
    const page = await session.newPage();
    await page.goto(url);
    await logIn(page, account);
    await waitForOpenedPage(page);
    return page;
  }

  it('shows the original page: title, non-ASCII text, its styles and scripts, relative links', async () => {
    for (const account of [ALICE, NON_ASCII_ACCOUNT]) {
      const url = server.url('section/index.html');
      const page = await openWith(url, account);
      assert.equal(await page.title(), 'Mitglieder – Übersicht');
      assert.equal(await page.textContent('h1'), 'Grüße aus Köln, 日本語');
      assert.equal(await page.textContent('#script-check'), 'inline script ran');
      assert.equal(await page.textContent('#external-check'), 'external script ran');
      assert.equal(await page.evaluate(() => getComputedStyle(document.body).color), 'rgb(1, 2, 3)');
      assert.equal(await page.evaluate(() => getComputedStyle(document.querySelector('h1')).color), 'rgb(4, 5, 6)');
      assert.equal(await page.evaluate(() => document.documentElement.lang), 'de');
      assert.equal(await page.getAttribute('#relative', 'href'), '../other.html');
      assert.equal(await page.evaluate(() => document.getElementById('relative').href), server.url('other.html'));
      assert.equal(page.url(), url);
      await session.close();
      assert.deepEqual(session.offLimits, []);
    }
  });

  it('shows pages in their own legacy charset, and character references written at lock time', async () => {
    const cases = [
      { url: () => server.url('latin.htm'), title: 'café', text: 'naïve € 5' },
      { url: () => server.url('sjis.htm'), title: 'テスト', text: '日本語' },
      { url: () => pathToFileURL(path.join(refsRoot, 'refs.html')).href, title: 'Grüße €', text: '日本語 – naïve' },
    ];
    for (const { url, title, text } of cases) {
      const page = await openWith(url(), ALICE);
      assert.equal(await page.title(), title, url());
      assert.equal(await page.textContent('p'), text, url());
      await session.close();
    }
    const lockedRefs = readFileSync(path.join(refsRoot, 'refs.html'), 'utf8');
    assert.doesNotMatch(lockedRefs, /日本語/, 'the content is not in the locked page in plain form');
  });

  it('opens a page read from a file, not only over http', async () => {
    const page = await openWith(pathToFileURL(path.join(root, 'section/index.html')).href, ALICE);
    assert.equal(await page.textContent('#script-check'), 'inline script ran');
    await session.close();
  });

  it('shows a locked text file as its text', async () => {
    const page = await openWith(server.url('notes.txt.htm'), ALICE);
    assert.equal(await page.title(), 'notes.txt');
    assert.equal(await page.textContent('pre'), site['notes.txt']);
    assert.equal(await page.$('pre b'), null, 'markup in the text stays text');
    await session.close();
  });

  it('decrypts and shows a 10 MB page', async () => {
    const page = await openWith(server.url('big.htm'), ALICE);
    assert.equal(await page.title(), 'Big page');
    assert.equal(await page.textContent('#end'), 'end of the big page');
    const paragraphs = await page.evaluate(() => document.querySelectorAll('p').length);
    assert.ok(paragraphs > 100_000, `${paragraphs} paragraphs`);
    await session.close();
  });

  it('opens a single-password page with the password alone', async () => {
    const singleServer = await startServer(singleRoot);
    try {
      session = await newSession(browser);
      const page = await session.newPage();
      await page.goto(singleServer.url('page.html'));
      assert.equal(await page.$('#qv-user'), null, 'no user ID field');
      assert.equal(await page.evaluate(() => document.activeElement.id), 'qv-password');
      await logIn(page, { password: 'only the password' });
      await waitForOpenedPage(page);
      assert.equal(await page.textContent('#script-check'), 'inline script ran');
    } finally {
      await session.close();
      await singleServer.close();
    }
  });
});

describe('the login form', () => {
  let browser, server, root;

  before(async () => {
    root = makeTempDir('form');
    writeFiles(root, { 'page.html': '<title>Secret</title><p>secret text</p>' });
    lock([path.join(root, 'page.html')], ['-u', `${ALICE.user}:${ALICE.password}`]);
    browser = await launchBrowser();
    server = await startServer(root);
  });

  after(async () => {
    await browser?.close();
    await server?.close();
    removeDir(root);
  });

  it('is labelled, starts in the user ID field and submits with Enter', async () => {
    const session = await newSession(browser, { viewport: { width: 360, height: 640 } });
    const page = await session.newPage();
    await page.goto(server.url('page.html'));
    assert.equal(await page.evaluate(() => document.documentElement.lang), 'en');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'qv-user');
    // Typing goes straight into the focused field; Tab moves on; Enter submits.
    await page.keyboard.type(ALICE.user);
    await page.keyboard.press('Tab');
    await page.keyboard.type(ALICE.password);
    const fits = await page.evaluate(() => {
      const card = document.querySelector('.card').getBoundingClientRect();
      return card.left >= 0 && card.right <= window.innerWidth;
    });
    assert.ok(fits, 'the card fits a phone-wide window');
    assert.equal(await page.getByLabel('User ID').getAttribute('autocomplete'), 'username');
    assert.equal(await page.getByLabel('Password').getAttribute('autocomplete'), 'current-password');
    await page.keyboard.press('Enter');
    await waitForOpenedPage(page);
    assert.equal(await page.textContent('p'), 'secret text');
    await session.close();
  });

  it('tells a browser without script that script is needed', async () => {
    const session = await newSession(browser, { javaScriptEnabled: false });
    const page = await session.newPage();
    await page.goto(server.url('page.html'));
    assert.match(await page.innerText('body'), /Turn on JavaScript/);
    assert.equal(await page.isVisible('#qv-login'), false);
    await session.close();
  });
});
