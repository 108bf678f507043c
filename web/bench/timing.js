// How soon the page shows its results after a click, in headless Chromium on this machine: the
// 300-applicant problem and the 30,000-applicant one, the first click on a freshly opened page
// (two seconds after it is ready, as a person would take to look at the form; --pause=0 clicks
// at once) and the median of the clicks after it. A benchmark, not a test:
//
//   bash tools/build_web.sh && (cd web/test && npm ci) && node web/bench/timing.js [--rounds=7]
//
// The time runs in the page from the click to the first frame drawn after data-state="done".

import { launch, open, stateReached } from '../test/browser.js';
import { SITE } from '../test/native.js';
import { serve } from '../test/server.js';

const option = (name, fallback) => Number(process.argv.find((a) => a.startsWith(`--${name}=`))?.split('=')[1] ?? fallback);
const rounds = option('rounds', 7);
const pause = option('pause', 2000);
const problems = [
  { n_total: '300', n_majority: '240', n_hired: '60', d: '1', rho: '0.5', retention: '0.3' },
  { n_total: '30000', n_majority: '24000', n_hired: '3000', d: '0.8', rho: '0.4', retention: '0.5' },
];

const site = await serve(SITE);
const chromium = await launch();
try {
  const { page } = await open(chromium.browser);
  console.log(`${rounds} clicks per problem; milliseconds from the click to the results drawn`);
  console.log('problem (applicants, majority, hired, d, rho, retention) | first click | median of the others | slowest');
  for (const p of problems) {
    const loadStart = Date.now();
    await page.goto(site.url);
    await stateReached(page, ['idle']);
    const loaded = Date.now() - loadStart;
    await new Promise((resolve) => setTimeout(resolve, pause));
    await page.evaluate((v) => {
      document.querySelector('input[name=group_way][value=n_majority]').click();
      for (const [id, value] of Object.entries({ n_total: v.n_total, group: v.n_majority, hired: v.n_hired, d: v.d, rho: v.rho, retention: v.retention }))
        document.getElementById(id).value = value;
    }, p);
    const times = [];
    for (let r = 0; r < rounds; ++r) {
      times.push(
        await page.evaluate(
          () =>
            new Promise((resolve) => {
              const root = document.documentElement;
              root.dataset.state = 'idle';
              let start = 0;
              const observer = new MutationObserver(() => {
                if (root.dataset.state === 'running') return;
                observer.disconnect();
                const state = root.dataset.state;
                requestAnimationFrame(() => resolve(state === 'done' ? performance.now() - start : NaN));
              });
              observer.observe(root, { attributes: true, attributeFilter: ['data-state'] });
              start = performance.now();
              document.getElementById('compute').click();
            }),
        ),
      );
    }
    const rest = times.slice(1).sort((a, b) => a - b);
    const median = rest[Math.floor(rest.length / 2)];
    const name = `(${Object.values(p).join(', ')})`;
    console.log(`${name} | ${times[0].toFixed(0)} | ${median.toFixed(0)} | ${Math.max(...times).toFixed(0)}   (page ready ${loaded} ms after opening)`);
  }
} finally {
  await chromium.close();
  await site.close();
}
