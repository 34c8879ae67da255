// What the end-to-end tests share: small sites in temporary folders locked
// with quorvel-cli, a static HTTP server on 127.0.0.1, and headless Chromium
// driven by playwright-core. Every missing piece is reported as a failure
// that says how to get it, never as a skip.
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { createServer as createHttpsServer } from 'node:https';
import { tmpdir } from 'node:os';
import path from 'node:path';

export const CHROMIUM = '/usr/bin/chromium';
const CHROMIUM_ARGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync',
];
// Generous: the machine that runs these may be small and busy.
export const TIMEOUT_MS = 60_000;

function cliPath() {
  const cli = process.env.QUORVEL_CLI;
  if (!cli || !existsSync(cli)) {
    throw new Error(`quorvel-cli not found (QUORVEL_CLI=${cli}); build the project and run the tests through ctest`);
  }
  return cli;
}

export async function launchBrowser() {
  if (!existsSync(CHROMIUM)) {
    throw new Error(`${CHROMIUM} is missing: run scripts/install-deps.sh`);
  }
  let playwright;
  try {
    playwright = await import('playwright-core');
  } catch (error) {
    throw new Error(`playwright-core is not installed in tests/browser: run scripts/install-deps.sh (${error.message})`);
  }
  // Playwright gives every launch a fresh temporary user-data folder.
  return playwright.chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: CHROMIUM_ARGS,
    timeout: TIMEOUT_MS,
  });
}

// A browser context (a browser session of its own: cookies and storage start
// empty) that lets requests reach only the loopback server and file pages.
// `offLimits` collects every other address a page tried to reach.
export async function newSession(browser, options = {}) {
  const context = await browser.newContext(options);
  context.setDefaultTimeout(TIMEOUT_MS);
  context.offLimits = [];
  await context.route('**/*', (route) => {
    const url = new URL(route.request().url());
    if (url.protocol === 'file:' || url.hostname === '127.0.0.1') return route.continue();
    context.offLimits.push(url.href);
    return route.abort();
  });
  return context;
}

export function makeTempDir(prefix) {
  return mkdtempSync(path.join(tmpdir(), `quorvel-${prefix}-`));
}

// Writes { relativePath: string | Buffer } below `root`.
export function writeFiles(root, files) {
  for (const [name, content] of Object.entries(files)) {
    const file = path.join(root, name);
    mkdirSync(path.dirname(file), { recursive: true });
    writeFileSync(file, content);
  }
}

// Locks `files` (paths) with quorvel-cli, using the templates the build put
// beside it. `options` are extra command-line arguments.
export function lock(files, options = []) {
  const args = ['lock', '--no-backup', ...options, ...files];
  try {
    execFileSync(cliPath(), args, { encoding: 'utf8', stdio: ['pipe', 'pipe', 'pipe'] });
  } catch (error) {
    throw new Error(`quorvel-cli ${args.join(' ')} failed: ${error.stderr || error.message}`);
  }
  for (const file of files) {
    const page = /\.txt$/i.test(file) ? `${file}.htm` : file;
    if (!/qv-login-script/.test(readFileSync(page, 'latin1').slice(0, 100_000))) {
      throw new Error(`${page} was not written from the page template`);
    }
  }
}

const CONTENT_TYPES = {
  '.htm': 'text/html',
  '.html': 'text/html',
  '.txt': 'text/plain',
  '.css': 'text/css',
  '.js': 'text/javascript',
};

// A throw-away self-signed certificate for 127.0.0.1, made with openssl.
function selfSignedCertificate() {
  const dir = makeTempDir('tls');
  try {
    execFileSync('openssl', [
      'req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '1', '-subj', '/CN=127.0.0.1',
      '-addext', 'subjectAltName=IP:127.0.0.1', '-keyout', path.join(dir, 'key.pem'), '-out', path.join(dir, 'cert.pem'),
    ], { stdio: ['ignore', 'ignore', 'pipe'] });
    return { key: readFileSync(path.join(dir, 'key.pem')), cert: readFileSync(path.join(dir, 'cert.pem')) };
  } catch (error) {
    throw new Error(`openssl could not make a test certificate (run scripts/install-deps.sh): ${error.message}`);
  } finally {
    removeDir(dir);
  }
}

// A static file server for `root` on 127.0.0.1 and an ephemeral port, over
// https with a self-signed certificate when asked. Pages are served without
// a charset, so each page's own declaration counts.
export async function startServer(root, { https = false } = {}) {
  const handler = (request, response) => {
    const url = new URL(request.url, 'http://127.0.0.1');
    const file = path.join(root, decodeURIComponent(url.pathname));
    if (!file.startsWith(root) || !existsSync(file) || !statSync(file).isFile()) {
      response.writeHead(404, { 'Content-Type': 'text/plain' });
      response.end('not found');
      return;
    }
    response.writeHead(200, {
      'Content-Type': CONTENT_TYPES[path.extname(file).toLowerCase()] || 'application/octet-stream',
      'Cache-Control': 'no-store',
    });
    response.end(readFileSync(file));
  };
  const server = https ? createHttpsServer(selfSignedCertificate(), handler) : createServer(handler);
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  const scheme = https ? 'https' : 'http';
  return {
    url: (relative) => `${scheme}://127.0.0.1:${port}/${relative}`,
    close: () => new Promise((resolve) => {
      server.closeAllConnections();
      server.close(resolve);
    }),
  };
}

export function removeDir(dir) {
  if (dir) rmSync(dir, { recursive: true, force: true });
}

// Fills the login form the way a person does: type, then press Enter.
export async function logIn(page, { user, password }) {
  if (user !== undefined) await page.fill('#qv-user', user);
  await page.fill('#qv-password', password);
  await page.press('#qv-password', 'Enter');
}

// Waits until the login page has been replaced by the decrypted page and
// that page has loaded what it refers to.
export async function waitForOpenedPage(page) {
  await page.waitForFunction(() => !document.getElementById('qv-login') && document.readyState === 'complete',
                             null, { timeout: TIMEOUT_MS });
}
