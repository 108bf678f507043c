// Debian's Chromium, headless, driven over the DevTools protocol: a fresh profile per run, no
// network of its own (no component updates, no sync, no QUIC), every request of the page and of
// its workers recorded, every console message and page error kept.

import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';

export const CHROMIUM = process.env.CHROMIUM ?? '/usr/bin/chromium';

export async function launch() {
  const profile = mkdtempSync(join(tmpdir(), 'tarven-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      `--user-data-dir=${profile}`,
    ],
  });
  return {
    browser,
    async close() {
      await browser.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// A page that records what it asks of the network (its own requests and its workers'), what it
// logs and what it throws.
export async function open(browser, { width = 1400, height = 1000 } = {}) {
  const page = await browser.newPage();
  await page.setViewport({ width, height });
  const log = { requests: [], console: [], errors: [] };
  const watch = async (session) => {
    session.on('Network.requestWillBeSent', (event) => log.requests.push(event.request.url));
    await session.send('Network.enable');
  };
  await watch(page._client());
  page.on('workercreated', (worker) => watch(worker.client).catch(() => {}));
  page.on('console', (message) => log.console.push(`${message.type()}: ${message.text()}`));
  page.on('pageerror', (error) => log.errors.push(String(error)));
  return { page, log };
}

// Resolves once the root element's data-state is one of `states`.
export async function stateReached(page, states, timeout = 30000) {
  await page.waitForFunction(
    (wanted) => wanted.includes(document.documentElement.dataset.state),
    { timeout, polling: 20 },
    states,
  );
  return page.evaluate(() => document.documentElement.dataset.state);
}
