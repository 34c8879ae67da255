// See run.sh. Uses the browser-test helpers (and their playwright-core).
import { execFileSync } from 'node:child_process';
import path from 'node:path';
import {
  launchBrowser, lock, makeTempDir, newSession, removeDir, startServer, writeFiles,
} from '../../tests/browser/lib/browser_site.mjs';

const build = process.argv[2];
const app = path.join(build, 'app');
process.env.QUORVEL_CLI ??= path.join(app, 'quorvel-cli');

const RUNS = 7;
const SIZES = [['100 KB', 100 * 1024], ['1 MB', 1 << 20], ['10 MB', 10 << 20]];
const ACCOUNT = { user: 'bench', password: 'bench password' };
const TARGET_10MB_MS = 1000;
const TARGET_RATIO = 3;

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// A page of `size` bytes whose own script notes when its load event fires.
function pageOfSize(size) {
  const head = '<!DOCTYPE html><html><head><meta charset="utf-8"><title>bench</title>' +
      '<script>addEventListener("load", function () { window.benchLoadedAt = performance.now(); });</script>' +
      '</head><body>\n';
  const paragraph = '<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor.</p>\n';
  const tail = '</body></html>\n';
  const body = paragraph.repeat(Math.ceil((size - head.length - tail.length) / paragraph.length));
  return (head + body).slice(0, size - tail.length) + tail;
}

async function loginToLoad(browser, url) {
  const session = await newSession(browser);
  const page = await session.newPage();
  await page.goto(url);
  await page.fill('#qv-user', ACCOUNT.user);
  await page.fill('#qv-password', ACCOUNT.password);
  const pressedAt = await page.evaluate(() => {
    const pressed = performance.now();
    document.querySelector('#qv-login button').click();
    return pressed;
  });
  await page.waitForFunction(() => window.benchLoadedAt !== undefined);
  const loadedAt = await page.evaluate(() => window.benchLoadedAt);
  await session.close();
  return loadedAt - pressedAt;
}

// The reference: the same page, unprotected, from the start of its
// navigation to its load event.
async function plainLoad(browser, url) {
  const session = await newSession(browser);
  const page = await session.newPage();
  await page.goto(url);
  await page.waitForFunction(() => window.benchLoadedAt !== undefined);
  const loadedAt = await page.evaluate(() => window.benchLoadedAt);
  await session.close();
  return loadedAt;
}

// The script's six-bit decoding and decryption of the page's own payload,
// in milliseconds per MB of content.
async function scriptDecryptPerMb(browser, url, megabytes) {
  const session = await newSession(browser);
  const page = await session.newPage();
  await page.goto(url);
  const perMb = await page.evaluate(({ user, password, runs, megabytes }) => {
    const loginScript = document.getElementById('qv-login-script').textContent;
    const table = JSON.parse('[' + /new Array\(([^)]*)\)/.exec(loginScript)[1] + ']');
    const key = QuorvelPage.unlockContentKey(table, user, password);
    const payload = document.getElementById('qv-payload').textContent;
    const times = [];
    for (let run = 0; run < runs; run++) {
      const start = performance.now();
      QuorvelPage.decryptContent(key, payload);
      times.push(performance.now() - start);
    }
    times.sort((a, b) => a - b);
    return times[Math.floor(runs / 2)] / megabytes;
  }, { ...ACCOUNT, runs: RUNS, megabytes });
  await session.close();
  return perMb;
}

const root = makeTempDir('bench');
const browser = await launchBrowser();
const server = await startServer(root);
try {
  const files = SIZES.map(([label, size]) => [`page-${size}.html`, pageOfSize(size)]);
  writeFiles(root, Object.fromEntries(files));
  writeFiles(root, Object.fromEntries(files.map(([name, text]) => [`plain-${name}`, text])));
  lock(files.map(([name]) => path.join(root, name)), ['-u', `${ACCOUNT.user}:${ACCOUNT.password}`]);

  console.log(`login button to load event, median of ${RUNS} runs (headless Chromium);`);
  console.log('reference: the same page unprotected, navigation start to load event');
  let tenMbMs = 0;
  for (const [index, [label, size]] of SIZES.entries()) {
    const url = server.url(files[index][0]);
    const plainUrl = server.url(`plain-${files[index][0]}`);
    await loginToLoad(browser, url);  // warm-up
    await plainLoad(browser, plainUrl);
    const times = [];
    const plainTimes = [];
    for (let run = 0; run < RUNS; run++) {
      times.push(await loginToLoad(browser, url));
      plainTimes.push(await plainLoad(browser, plainUrl));
    }
    const ms = median(times);
    const plainMs = median(plainTimes);
    if (size === 10 << 20) tenMbMs = ms;
    console.log(`  ${label.padEnd(6)} locked ${ms.toFixed(1).padStart(8)} ms   unprotected ${
      plainMs.toFixed(1).padStart(8)} ms   ratio ${(ms / plainMs).toFixed(2)}`);
  }
  console.log(`  10 MB target: under ${TARGET_10MB_MS} ms -> ${tenMbMs < TARGET_10MB_MS ? 'met' : 'NOT met'}`);

  const scriptMs = await scriptDecryptPerMb(browser, server.url(files[2][0]), 10);
  const nativeMs = Number(execFileSync(path.join(app, 'browser_native_reference'), ['10', String(RUNS)],
                                       { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] }));
  const ratio = scriptMs / nativeMs;
  console.log('six-bit decoding + decryption per MB (10 MB payload, median)');
  console.log(`  page script ${scriptMs.toFixed(2).padStart(8)} ms/MB`);
  console.log(`  native C++  ${nativeMs.toFixed(2).padStart(8)} ms/MB (reference)`);
  console.log(`  ratio       ${ratio.toFixed(2).padStart(8)} x   target: within ${TARGET_RATIO}x -> ${
    ratio <= TARGET_RATIO ? 'met' : 'NOT met'}`);
} finally {
  await browser.close();
  await server.close();
  removeDir(root);
}
