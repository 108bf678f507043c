// The native program, the reference for every number: `tarven run --format json` and the files
// `tarven run` and `tarven grid` write.

import { spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

export const REPO = resolve(fileURLToPath(new URL('.', import.meta.url)), '../..');
export const TARVEN = process.env.TARVEN_EXE ?? join(REPO, 'build/tarven');
export const SITE = process.env.TARVEN_SITE ?? join(REPO, 'build-web/site');

export function haveNative() {
  return existsSync(TARVEN);
}

// The command line's flags for a scenario, its sizes given as the page is given them.
function flags(s) {
  const args = ['--n-total', s.n_total];
  if (s.page === 'shares') args.push('--minority-share', (s.n_total - s.n_majority) / s.n_total);
  else if (s.page === 'minority') args.push('--n-minority', s.n_total - s.n_majority);
  else args.push('--n-majority', s.n_majority);
  if (s.page === 'shares') args.push('--selection-ratio', s.n_hired / s.n_total);
  else args.push('--n-hired', s.n_hired);
  args.push('--d', s.d, '--rho', s.rho, '--retention', s.retention, '--alpha', s.alpha ?? '0.05');
  for (const t of s.thresholds ?? ['0.8']) args.push('--threshold', t);
  return args.map(String);
}

// `tarven run --format json` of the scenario: the object, whatever the exit status; for questions
// refused before any scenario is looked at (a usage error), {error} with the message.
export function nativeJson(s) {
  const run = spawnSync(TARVEN, ['run', ...flags(s), '--format', 'json'], { encoding: 'utf8' });
  if (run.stdout === '') return { error: run.stderr.replace(/^tarven:? ?run: /, '').trim() };
  return JSON.parse(run.stdout);
}

// What `tarven run` says of a scenario given by these flags that it refuses.
export function nativeRefusal(args) {
  const run = spawnSync(TARVEN, ['run', ...args], { encoding: 'utf8' });
  return run.stderr.replace(/^tarven:? ?run: /, '').trim();
}

// The files `tarven run` writes for the scenario: CSV results, distribution, chart.
export function nativeFiles(s) {
  const dir = mkdtempSync(join(tmpdir(), 'tarven-native-'));
  try {
    spawnSync(TARVEN, ['run', ...flags(s), '--format', 'csv', '-o', join(dir, 'r.csv'),
      '--distribution', join(dir, 'd.csv'), '--plot', join(dir, 'c.svg')], { encoding: 'utf8' });
    const read = (name) => (existsSync(join(dir, name)) ? readFileSync(join(dir, name), 'utf8') : null);
    return { results: read('r.csv'), distribution: read('d.csv'), chart: read('c.svg') };
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}

// `tarven grid` of a scenarios file: the results CSV.
export function nativeGrid(path, thresholds = ['0.8'], alpha = '0.05') {
  const args = ['grid', path, '--quiet', '--alpha', alpha];
  for (const t of thresholds) args.push('--threshold', t);
  const run = spawnSync(TARVEN, args, { encoding: 'utf8' });
  return run.stdout;
}

