// A real sheetora-host on a loopback port and a headless Chromium with a fresh profile, for the
// browser tests. Each test file starts one of each in `before` and stops them in `after`.
import { spawn } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const repoRoot = path.resolve(here, '../../..');
const screenshotDir = path.resolve(here, '../screenshots');

/// The host binary: $SHEETORA_HOST, or the release build of this tree.
const hostBinary = process.env.SHEETORA_HOST ?? path.join(repoRoot, 'build/sheetora-host');

/// Resolves with the port that the host announces on its standard output ("serving on
/// http://127.0.0.1:PORT/") once it listens.
function announcedPort(child, deadlineMs) {
  return new Promise((resolve, reject) => {
    let seen = '';
    const timer = setTimeout(() => fail(new Error('sheetora-host did not announce its port')), deadlineMs);
    const onData = (chunk) => {
      seen += chunk;
      const match = /http:\/\/[^\s:/]+:(\d+)/.exec(seen);
      if (match) finish(() => resolve(Number(match[1])));
    };
    const onExit = (code) => fail(new Error(`sheetora-host exited with ${code}: ${seen}`));
    const finish = (settle) => {
      clearTimeout(timer);
      child.stdout.off('data', onData);
      child.off('exit', onExit);
      child.stdout.resume();  // keep draining whatever else it prints
      settle();
    };
    const fail = (error) => finish(() => reject(error));
    child.stdout.setEncoding('utf8');
    child.stdout.on('data', onData);
    child.once('exit', onExit);
  });
}

/// Starts the host on a free loopback port with a log folder of its own. `stop()` ends it
/// (SIGTERM, then SIGKILL after 5 s) and removes the folder.
export async function startHost() {
  if (!existsSync(hostBinary)) throw new Error(`no host binary at ${hostBinary}: build first`);
  const logDir = mkdtempSync(path.join(tmpdir(), 'sheetora-browser-log-'));
  const child = spawn(hostBinary, ['--bind', '127.0.0.1', '--port', '0', '--log-dir', logDir], {
    stdio: ['ignore', 'pipe', 'inherit'],
  });
  // A runner that dies without `after` must not leave the host behind.
  const killOnExit = () => child.kill('SIGKILL');
  process.once('exit', killOnExit);
  let port;
  try {
    port = await announcedPort(child, 10_000);
  } catch (e) {
    child.kill('SIGKILL');
    rmSync(logDir, { recursive: true, force: true });
    throw e;
  }
  return {
    url: (pagePath = '') => `http://127.0.0.1:${port}/${pagePath}`,
    logDir,
    async stop() {
      process.off('exit', killOnExit);
      if (child.exitCode === null) {
        const exited = new Promise((resolve) => child.once('exit', resolve));
        child.kill('SIGTERM');
        const timer = setTimeout(() => child.kill('SIGKILL'), 5_000);
        await exited;
        clearTimeout(timer);
      }
      rmSync(logDir, { recursive: true, force: true });
    },
  };
}

/// Headless Chromium of the system, with a new profile that is removed on close; `options` are
/// the context's own (e.g. { javaScriptEnabled: false }).
export async function launchBrowser(options = {}) {
  const profile = mkdtempSync(path.join(tmpdir(), 'sheetora-browser-profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    ...options,
    executablePath: process.env.SHEETORA_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    viewport: { width: 1000, height: 700 },
    // The planner answers in the browser's language; the site's clerks read Chinese.
    locale: 'zh-CN',
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
  // Fail fast: every step here takes well under a second.
  context.setDefaultTimeout(10_000);
  return {
    context,
    async close() {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

/// Saves a screenshot of the page under screenshots/ (git-ignored).
export async function screenshot(page, name) {
  mkdirSync(screenshotDir, { recursive: true });
  const file = path.join(screenshotDir, `${name.replace(/[^\w.-]+/g, '_')}.png`);
  await page.screenshot({ path: file }).catch(() => {});
  return file;
}

/// Saves a named screenshot only when SHEETORA_SCREENSHOTS is set: pictures for a person to look at.
export async function keepScreenshot(page, name) {
  if (process.env.SHEETORA_SCREENSHOTS) await screenshot(page, name);
}

/// Wraps a test body that gets a fresh tab with no cookies; on failure the tab is photographed
/// into screenshots/ before the error is passed on.
export function withPage(browser, body) {
  return async (t) => {
    await browser().context.clearCookies();
    const page = await browser().context.newPage();
    const errors = [];
    page.on('pageerror', (e) => errors.push(e));
    try {
      await body(page, t);
      if (errors.length) throw new Error(`script errors in the page: ${errors.join('; ')}`);
    } catch (e) {
      const file = await screenshot(page, `failed-${t.name}`);
      e.message += ` (screenshot: ${file})`;
      throw e;
    } finally {
      await page.close();
    }
  };
}

// One host and one browser for a test file, stopped after it; `it` runs a test on a fresh tab.
export function useSite() {
  const site = {};
  before(async () => {
    site.host = await startHost();
    site.browser = await launchBrowser();
  });
  after(async () => {
    await site.browser?.close();
    await site.host?.stop();
  });
  site.it = (name, body) => test(name, withPage(() => site.browser, body));
  return site;
}
