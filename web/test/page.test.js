// The calculator as a person and a program use it, in headless Chromium against the built site
// served on 127.0.0.1: its numbers against the native program, its address, its refusals,
// Cancel, its files read back, its layout, and that it asks nothing of any other host.

import assert from 'node:assert/strict';
import { existsSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';

import { readCsv } from '../site/csv.js';
import { CHROMIUM, launch, open, stateReached } from './browser.js';
import { SITE, haveNative, nativeFiles, nativeGrid, nativeJson, nativeRefusal } from './native.js';
import { SCENARIOS, addressOf } from './scenarios.js';
import { serve } from './server.js';

const TOLERANCE = 1e-10;
const missing = [
  [existsSync(CHROMIUM), `no Chromium at ${CHROMIUM}`],
  [existsSync(join(SITE, 'tarven.wasm')), `no site in ${SITE} (bash tools/build_web.sh)`],
  [haveNative(), 'no native program (bash tools/setup.sh)'],
].filter(([ok]) => !ok);
const skip = missing.length > 0 ? missing.map(([, why]) => why).join('; ') : false;
if (skip && process.env.TARVEN_REQUIRE_BROWSER === '1') throw new Error(`cannot test the page: ${skip}`);

let site;
let chromium;
const logs = [];
let worstDifference = { value: 0, where: '' };

before(async () => {
  if (skip) return;
  site = await serve(SITE);
  chromium = await launch();
});
after(async () => {
  if (skip) return;
  await chromium.close();
  await site.close();
  if (worstDifference.where)
    console.log(`worst difference from the native program: ${worstDifference.value} (${worstDifference.where})`);
});

async function page(options) {
  const opened = await open(chromium.browser, options);
  logs.push(opened.log);
  return opened;
}

// Every value the page shows, by column: the data-value of its elements, which must agree.
async function shownValues(p) {
  const pairs = await p.evaluate(() =>
    [...document.querySelectorAll('[data-column]')].map((e) => [e.dataset.column, e.dataset.value]),
  );
  const values = {};
  for (const [column, value] of pairs) {
    if (column in values) assert.equal(value, values[column], `two elements of ${column} disagree`);
    values[column] = value;
  }
  return values;
}

// The text a download link offers.
async function linkText(p, selector) {
  return p.$eval(selector, async (a) => (await fetch(a.href)).text());
}

// `track`: the difference counts towards the worst one reported (summary columns and splits).
function compareNumber(page, native, where, track = false) {
  if (native === null || native === undefined) {
    assert.equal(page, 'NA', `${where}: the native program has none`);
    return;
  }
  if (typeof native !== 'number') {
    assert.equal(page, String(native), where);
    return;
  }
  const value = Number(page);
  assert.ok(Number.isFinite(value), `${where}: "${page}" is not a number`);
  const difference = Math.abs(value - native);
  assert.ok(difference <= TOLERANCE, `${where}: page ${page}, native ${native}`);
  if (track && difference > worstDifference.value) worstDifference = { value: difference, where };
}

// The native JSON object flattened to the summary's columns (the shares it passes through are none).
function nativeColumns(json) {
  const input = { ...json.input };
  delete input.minority_share;
  delete input.selection_ratio;
  return { ...input, engine: json.engine, alpha: json.alpha, status: json.status, error: json.error ?? null, ...json.summary };
}

describe('the page against the native program', { skip }, () => {
  test(`every summary column and every split of ${SCENARIOS.length} scenarios within ${TOLERANCE}`, async () => {
    const { page: p, log } = await page();
    for (const s of SCENARIOS) {
      const where = `(${s.n_total}, ${s.n_majority}, ${s.n_hired}, ${s.d}, ${s.rho}, ${s.retention})`;
      await p.goto(site.url + addressOf(s));
      assert.equal(await stateReached(p, ['done', 'error'], 60000), 'done', where);
      const shown = await shownValues(p);
      const native = nativeJson(s);
      const columns = nativeColumns(native);
      delete columns.cpu_seconds;
      delete columns.tarven_version;
      assert.deepEqual(Object.keys(shown).sort(), Object.keys(columns).sort(), `${where}: the columns`);
      for (const [column, value] of Object.entries(columns))
        compareNumber(shown[column], value, `${where} ${column}`, true);

      const splits = readCsv(await linkText(p, '#download-distribution')).table;
      assert.equal(splits.rows.length, native.distribution.length, `${where}: the splits`);
      splits.rows.forEach((row, i) => {
        splits.header.slice(1).forEach((column, c) => {
          compareNumber(row.fields[c + 1], native.distribution[i][column], `${where} split ${i} ${column}`, true);
        });
      });
    }
    assert.deepEqual(log.errors, []);
    assert.deepEqual(log.console.filter((m) => /^(error|warn)/.test(m)), []);
    await p.close();
  });

  test('the chart is the command line\'s, element for element', async () => {
    const { page: p } = await page();
    for (const s of [SCENARIOS[1], SCENARIOS[4], SCENARIOS[13], SCENARIOS[27]]) {
      await p.goto(site.url + addressOf(s));
      assert.equal(await stateReached(p, ['done', 'error']), 'done');
      // Identical but for the data attributes, which carry the values to 12 decimals for
      // programs: there the last digit may round the other way.
      const data = /data-[a-z]+="([^"]*)"/g;
      const [mine, theirs] = [await linkText(p, '#download-chart'), nativeFiles(s).chart];
      assert.equal(mine.replace(data, 'data'), theirs.replace(data, 'data'));
      const [a, b] = [[...mine.matchAll(data)], [...theirs.matchAll(data)]];
      a.forEach((m, i) => compareNumber(m[1], Number(b[i][1]), `chart ${m[0]}`));
      assert.equal(await p.$$eval('#chart-svg rect.bar', (bars) => bars.length) > 0, true);
    }
    await p.close();
  });
});

describe('the address', { skip }, () => {
  test('an address fills the form and computes; computing again writes the new inputs into it', async () => {
    const { page: p } = await page();
    const address = '?n_total=500&minority_share=0.2&selection_ratio=0.1&d=0.5&rho=0.3&retention=0.6&threshold=0.8&threshold=0.9&alpha=0.01';
    await p.goto(site.url + address);
    assert.equal(await stateReached(p, ['done', 'error']), 'done');
    const form = await p.evaluate(() =>
      Object.fromEntries(['n_total', 'group_way', 'group', 'hired_way', 'hired', 'd', 'rho', 'retention', 'threshold', 'alpha']
        .map((name) => [name, document.forms.scenario.elements[name].value])),
    );
    assert.deepEqual(form, {
      n_total: '500', group_way: 'minority_share', group: '0.2', hired_way: 'selection_ratio', hired: '0.1',
      d: '0.5', rho: '0.3', retention: '0.6', threshold: '0.8, 0.9', alpha: '0.01',
    });
    assert.equal(await p.evaluate(() => location.search), address);
    const first = await shownValues(p);
    assert.equal(first.n_minority, '100');
    assert.equal(first.n_hired, '50');
    assert.ok('p_ai_lt_0_90' in first);

    // Edited by keyboard: the address follows, and opening it again shows the same numbers.
    await p.click('#d', { clickCount: 3 });
    await p.keyboard.type('0.75');
    await p.keyboard.press('Enter');
    assert.equal(await stateReached(p, ['done', 'error']), 'done');
    const edited = await p.evaluate(() => location.href);
    assert.match(edited, /[?&]d=0.75(&|$)/);
    const values = await shownValues(p);
    assert.notEqual(values.p_ai_lt_0_80, first.p_ai_lt_0_80);
    await p.goto(edited);
    assert.equal(await stateReached(p, ['done', 'error']), 'done');
    assert.deepEqual(await shownValues(p), values);
    await p.close();
  });
});

describe('refusals', { skip }, () => {
  const cases = [
    // The library's own messages, next to the field concerned.
    { address: '?n_total=100&minority_share=0.333&n_hired=10&d=0&rho=0&retention=0.5', field: 'group',
      native: ['--n-total', '100', '--minority-share', '0.333', '--n-hired', '10', '--d', '0', '--rho', '0', '--retention', '0.5'] },
    { address: '?n_total=100&n_majority=80&n_hired=10&d=20&rho=0&retention=0.5', field: 'd',
      native: { n_total: 100, n_majority: 80, n_hired: 10, d: 20, rho: 0, retention: 0.5 } },
    { address: '?n_total=100&n_majority=80&n_hired=101&d=0&rho=0&retention=0.5', field: 'hired',
      native: { n_total: 100, n_majority: 80, n_hired: 101, d: 0, rho: 0, retention: 0.5 } },
    { address: '?n_total=100&n_majority=80&n_hired=10&d=0&rho=0&retention=0.5&threshold=80', field: 'threshold',
      native: { n_total: 100, n_majority: 80, n_hired: 10, d: 0, rho: 0, retention: 0.5, thresholds: ['80'] } },
    { address: '?n_total=100&n_majority=80&n_hired=10&d=0&rho=0&retention=0.5&alpha=1', field: 'alpha',
      native: { n_total: 100, n_majority: 80, n_hired: 10, d: 0, rho: 0, retention: 0.5, alpha: '1' } },
    { address: '?n_total=100&n_majority=80&minority_share=0.2&n_hired=10&d=0&rho=0&retention=0.5', field: 'group',
      native: ['--n-total', '100', '--n-majority', '80', '--minority-share', '0.2', '--n-hired', '10', '--d', '0', '--rho', '0', '--retention', '0.5'] },
    // What the page itself cannot read, named as the command line names it.
    { address: '?n_total=abc&n_majority=80&n_hired=10&d=0&rho=0&retention=0.5', field: 'n_total',
      message: 'n_total: "abc" is not a number' },
  ];
  for (const c of cases) {
    test(`${c.address} is refused next to ${c.field}`, async () => {
      const { page: p } = await page();
      await p.goto(site.url + c.address);
      assert.equal(await stateReached(p, ['done', 'error']), 'error');
      const message = c.message ?? (Array.isArray(c.native) ? nativeRefusal(c.native) : nativeJson(c.native).error);
      assert.ok(message);
      assert.equal(await p.$eval('[data-role=error]', (e) => e.textContent), message);
      assert.equal(await p.$eval(`#${c.field}-error`, (e) => (e.hidden ? '' : e.textContent)), message);
      assert.equal(await p.$eval(`#${c.field}`, (e) => e.getAttribute('aria-invalid')), 'true');
      // Corrected, the same page computes.
      await p.goto(site.url + '?n_total=100&n_majority=80&n_hired=10&d=0&rho=0&retention=0.5');
      assert.equal(await stateReached(p, ['done', 'error']), 'done');
      assert.equal(await p.$eval('[data-role=error]', (e) => e.hidden), true);
      await p.close();
    });
  }
});

describe('a long run', { skip }, () => {
  test('shows its progress, and Cancel stops it within 0.5 s leaving the page usable', async () => {
    const { page: p } = await page();
    await p.goto(site.url + '?n_total=400000&n_majority=200000&n_hired=40000&d=0.5&rho=0.3&retention=0.6');
    await stateReached(p, ['running']);
    await p.waitForSelector('#progress:not([hidden])', { timeout: 5000 });
    await p.waitForFunction(() => document.querySelector('#progress progress').value > 0, { timeout: 10000 });
    // Still running, and the page answers meanwhile.
    assert.equal(await p.evaluate(() => document.documentElement.dataset.state), 'running');
    const stopped = await p.evaluate(
      () =>
        new Promise((resolve) => {
          const start = performance.now();
          new MutationObserver(() => {
            if (document.documentElement.dataset.state !== 'running') resolve(performance.now() - start);
          }).observe(document.documentElement, { attributes: true });
          document.getElementById('cancel').click();
        }),
    );
    assert.ok(stopped < 500, `stopped after ${stopped} ms`);
    assert.equal(await p.evaluate(() => document.documentElement.dataset.state), 'cancelled');
    assert.equal(await p.$eval('#progress', (e) => e.hidden), true);
    // A fresh worker answers the next question.
    await p.evaluate(() => {
      const set = (id, v) => (document.getElementById(id).value = v);
      set('n_total', '10'); set('group', '7'); set('hired', '4');
      document.querySelector('input[name=group_way][value=n_majority]').click();
    });
    await p.click('#compute');
    assert.equal(await stateReached(p, ['done', 'error']), 'done');
    const shown = await shownValues(p);
    compareNumber(shown.p_ai_lt_0_80, nativeJson({ n_total: 10, n_majority: 7, n_hired: 4, d: 0.5, rho: 0.3, retention: 0.6 }).summary.p_ai_lt_0_80, 'after Cancel');
    await p.close();
  });
});

describe('downloads', { skip }, () => {
  test('the files downloaded read back as the native program writes them', async () => {
    const { page: p } = await page();
    const s = { n_total: 300, n_majority: 240, n_hired: 60, d: 1, rho: 0.5, retention: 0.3, thresholds: ['0.8', '0.9'], page: 'shares' };
    await p.goto(site.url + addressOf(s));
    assert.equal(await stateReached(p, ['done', 'error']), 'done');
    const folder = mkdtempSync(join(tmpdir(), 'tarven-downloads-'));
    try {
      const session = await p.createCDPSession();
      await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
      for (const id of ['download-csv', 'download-json', 'download-distribution']) await p.click(`#${id}`);
      const names = ['tarven-results.csv', 'tarven-results.json', 'tarven-distribution.csv'];
      for (let waited = 0; names.some((n) => !existsSync(join(folder, n))) && waited < 100; ++waited)
        await new Promise((r) => setTimeout(r, 50));
      assert.deepEqual(readdirSync(folder).sort(), names.sort());
      const native = nativeFiles(s);
      const nativeJsonObject = nativeJson(s);

      // Results: the grid's header exactly, every value as the native program writes it (numbers
      // within the tolerance), and every number in shortest round-trip form.
      const mine = readCsv(readFileSync(join(folder, 'tarven-results.csv'), 'utf8')).table;
      const theirs = readCsv(native.results).table;
      assert.deepEqual(mine.header, theirs.header);
      assert.equal(mine.rows.length, 1);
      mine.header.forEach((column, c) => {
        const [a, b] = [mine.rows[0].fields[c], theirs.rows[0].fields[c]];
        if (Number.isNaN(Number(b)) || Number(a) === Number(b)) assert.equal(a, b, column);
        else compareNumber(a, Number(b), `results ${column}`);
      });

      // JSON: the same object as `tarven run --format json`.
      const json = JSON.parse(readFileSync(join(folder, 'tarven-results.json'), 'utf8'));
      const shape = (o) => JSON.stringify(o, (k, v) => (typeof v === 'number' ? 0 : v));
      assert.equal(shape(json), shape(nativeJsonObject));
      for (const [k, v] of Object.entries(nativeJsonObject.summary)) if (typeof v === 'number') compareNumber(String(json.summary[k]), v, `json ${k}`);

      // Distribution: the header of `tarven run --distribution` and its rows.
      const splits = readFileSync(join(folder, 'tarven-distribution.csv'), 'utf8').split('\n');
      const nativeSplits = native.distribution.split('\n');
      assert.equal(splits[0], nativeSplits[0]);
      assert.equal(splits.length, nativeSplits.length);
    } finally {
      rmSync(folder, { recursive: true, force: true });
    }
    await p.close();
  });
});

describe('several scenarios', { skip }, () => {
  test('a scenarios file gives the rows of `tarven grid`, refused rows in their places', async () => {
    const folder = mkdtempSync(join(tmpdir(), 'tarven-batch-'));
    const file = join(folder, 'scenarios.csv');
    writeFileSync(
      file,
      [
        'label,n_total,n_majority,minority_share,n_hired,d,rho,retention,scenario_id',
        '"fair, small",50,40,,10,0,0,0.5,a',
        'strict,100,,0.2,20,0.5,0.9,0.05,b',
        'not a number,abc,80,,20,0,0,0.5,c',
        'too many hires,10,7,,11,0,0,0.5,',
        'short,10,7',
        'both sizes,100,80,0.2,20,0,0,0.5,f',
        'no whole share,100,,0.333,20,0,0,0.5,g',
        '"say ""hi""",300,240,,60,1,0.5,0.3,e',
        '',
      ].join('\r\n'),
    );
    try {
      const { page: p } = await page({ width: 375, height: 800 });
      await p.goto(site.url);
      await stateReached(p, ['idle']);
      await p.evaluate(() => (document.getElementById('threshold').value = '0.8 0.9'));
      const input = await p.$('#batch-file');
      await input.uploadFile(file);
      await p.waitForFunction(() => !document.getElementById('batch-run').disabled);
      await p.click('#batch-run');
      await p.waitForFunction(() => ['done', 'error'].includes(document.documentElement.dataset.batch));
      assert.equal(await p.evaluate(() => document.documentElement.dataset.batch), 'done');
      const mine = readCsv(await linkText(p, '#download-batch')).table;
      const theirs = readCsv(nativeGrid(file, ['0.8', '0.9'])).table;
      assert.deepEqual(mine.header, theirs.header);
      assert.equal(mine.rows.length, theirs.rows.length);
      mine.rows.forEach((row, r) => {
        mine.header.forEach((column, c) => {
          const [a, b] = [row.fields[c], theirs.rows[r].fields[c]];
          if (a === b || Number.isNaN(Number(b)) || b === '') assert.equal(a, b, `row ${r + 1} ${column}`);
          else compareNumber(a, Number(b), `row ${r + 1} ${column}`);
        });
      });
      await p.close();
    } finally {
      rmSync(folder, { recursive: true, force: true });
    }
  });
});

describe('for people', { skip }, () => {
  test('every input has a label, and the form works from the keyboard alone', async () => {
    const { page: p } = await page();
    await p.goto(site.url);
    await stateReached(p, ['idle']);
    const unlabelled = await p.evaluate(() =>
      [...document.querySelectorAll('input, button')]
        .filter((e) => !(e.labels?.length > 0 || e.textContent.trim() || e.getAttribute('aria-label')))
        .map((e) => e.id || e.name),
    );
    assert.deepEqual(unlabelled, []);
    // Tab to the total, type, then to the minority share by arrow keys, and compute with Enter.
    await p.keyboard.press('Tab'); // the skip link
    await p.keyboard.press('Tab');
    assert.equal(await p.evaluate(() => document.activeElement.id), 'n_total');
    await p.keyboard.down('Control');
    await p.keyboard.press('a');
    await p.keyboard.up('Control');
    await p.keyboard.type('1000');
    await p.keyboard.press('Tab');
    assert.equal(await p.evaluate(() => document.activeElement.name), 'group_way');
    await p.keyboard.press('ArrowRight');
    assert.equal(await p.evaluate(() => document.forms.scenario.elements.group_way.value), 'minority_share');
    assert.equal(await p.$eval('#group-label', (e) => e.textContent), 'Minority share');
    await p.keyboard.press('Tab');
    assert.equal(await p.evaluate(() => document.activeElement.id), 'group');
    await p.keyboard.down('Control');
    await p.keyboard.press('a');
    await p.keyboard.up('Control');
    await p.keyboard.type('0.25');
    await p.keyboard.press('Enter');
    assert.equal(await stateReached(p, ['done', 'error']), 'done');
    assert.equal((await shownValues(p)).n_minority, '250');
    await p.close();
  });

  for (const width of [375, 1400]) {
    test(`at ${width} px nothing runs off the side and every text is readable`, async () => {
      const { page: p } = await page({ width, height: 900 });
      await p.goto(site.url + addressOf(SCENARIOS[13]));
      assert.equal(await stateReached(p, ['done', 'error']), 'done');
      const overflow = await p.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
      assert.ok(overflow <= 0, `the page is ${overflow} px wider than the window`);
      const wide = await p.evaluate(() =>
        [...document.querySelectorAll('body *')]
          .filter((e) => !e.closest('.scroll') && e.getBoundingClientRect().right > window.innerWidth + 0.5)
          .map((e) => e.tagName + '#' + e.id),
      );
      assert.deepEqual(wide, []);
      // WCAG AA: 4.5:1 for text, 3:1 from 24 px (19 px bold).
      const poor = await p.evaluate(contrastFailures);
      assert.deepEqual(poor, []);
      await p.close();
    });
  }
});

describe('the network', { skip }, () => {
  test('every request the pages and their workers made went to 127.0.0.1', () => {
    const everyRequest = logs.flatMap((log) => log.requests);
    // The workers' requests are seen too: the module was fetched by one.
    assert.ok(everyRequest.some((url) => url.endsWith('/tarven.wasm')), 'no request of the workers was seen');
    const origin = new URL(site.url).origin;
    const elsewhere = everyRequest.filter(
      (url) => !(url.startsWith(origin + '/') || url.startsWith(`blob:${origin}/`) || url.startsWith('data:')),
    );
    assert.deepEqual(elsewhere, []);
  });
});

// Runs in the page: every element with its own text whose colour is too close to its background.
function contrastFailures() {
  const rgb = (text) => text.match(/[\d.]+/g).map(Number);
  const luminance = ([r, g, b]) => {
    const channel = (c) => ((c /= 255) <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4);
    return 0.2126 * channel(r) + 0.7152 * channel(g) + 0.0722 * channel(b);
  };
  const background = (e) => {
    for (; e; e = e.parentElement) {
      const c = rgb(getComputedStyle(e).backgroundColor);
      if (c.length < 4 || c[3] > 0) return c.slice(0, 3);
    }
    return [255, 255, 255];
  };
  const failures = [];
  for (const e of document.querySelectorAll('body *')) {
    const own = [...e.childNodes].some((n) => n.nodeType === 3 && n.textContent.trim());
    if (!own || e.closest('svg') || e.offsetParent === null) continue;
    const style = getComputedStyle(e);
    const [l1, l2] = [luminance(rgb(style.color)), luminance(background(e))];
    const ratio = (Math.max(l1, l2) + 0.05) / (Math.min(l1, l2) + 0.05);
    const size = parseFloat(style.fontSize);
    const large = size >= 24 || (size >= 18.66 && Number(style.fontWeight) >= 700);
    if (ratio < (large ? 3 : 4.5)) failures.push(`${e.tagName}.${e.className} "${e.textContent.trim().slice(0, 30)}": ${ratio.toFixed(2)}`);
  }
  return failures;
}
