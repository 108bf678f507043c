// The page writes and reads numbers as the command line does: numberText against std::to_chars
// and parseNumber against std::from_chars, through a small C++ program built here.

import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { after, before, test } from 'node:test';

import { numberText, parseNumber } from '../site/number_text.js';

const compiler = process.env.CXX ?? 'c++';
const haveCompiler = spawnSync(compiler, ['--version']).status === 0;
let folder;
let oracle;

before(() => {
  if (!haveCompiler) return;
  folder = mkdtempSync(join(tmpdir(), 'tarven-oracle-'));
  oracle = join(folder, 'oracle');
  const source = fileURLToPath(new URL('number_text_oracle.cpp', import.meta.url));
  const built = spawnSync(compiler, ['-std=c++20', '-O1', source, '-o', oracle], { encoding: 'utf8' });
  assert.equal(built.status, 0, built.stderr);
});
after(() => folder && rmSync(folder, { recursive: true, force: true }));

function ask(lines) {
  const run = spawnSync(oracle, [], { input: lines.join('\n') + '\n', encoding: 'utf8', maxBuffer: 1 << 26 });
  assert.equal(run.status, 0, run.stderr);
  return run.stdout.split('\n').slice(0, lines.length);
}

const view = new DataView(new ArrayBuffer(8));
const bitsOf = (x) => {
  view.setFloat64(0, x);
  return view.getBigUint64(0).toString(16).padStart(16, '0');
};

// A deterministic stream of doubles of every kind: any bit pattern, short decimals at every
// scale, whole numbers, probabilities.
function* doubles(count) {
  let state = 0x2545f4914f6cdd1dn;
  const next = () => {
    state ^= state << 13n; state &= (1n << 64n) - 1n;
    state ^= state >> 7n;
    state ^= state << 17n; state &= (1n << 64n) - 1n;
    return state;
  };
  yield* [0.05, 0.025, 1e-6, 0.999999, 0.8, 1 / 3, 300, 1e5, 1e15, 1e16, 1e21, 1e22, 1e23, 5e-324,
    1.7976931348623157e308, 2 ** 53, 2 ** 53 + 2, 123456789012345680000, 0.1 + 0.2, -2.5, -0, 0];
  for (let i = 0; i < count; ++i) {
    view.setBigUint64(0, next());
    const any = view.getFloat64(0);
    if (Number.isFinite(any)) yield any;
    const n = Number(next() % 100000n);
    yield n * 10 ** (Number(next() % 60n) - 40);
    yield Number(next() >> next() % 64n);
    yield Number(next() >> 11n) * 2 ** (-53 - Number(next() % 40n));
  }
}

test('numbers are written as std::to_chars writes them', { skip: !haveCompiler && 'no C++ compiler' }, () => {
  const xs = [...doubles(5000)];
  const theirs = ask(xs.map((x) => `w ${bitsOf(x)}`));
  xs.forEach((x, i) => assert.equal(numberText(x), theirs[i], `bits ${bitsOf(x)}`));
});

test('numbers are read as std::from_chars reads a whole field', { skip: !haveCompiler && 'no C++ compiler' }, () => {
  const texts = ['0', '-0', '1', '1.', '.5', '-.5', '+1', ' 1', '1 ', '1e5', '1E-5', '1e+5', '1e', 'e5',
    '0x10', 'inf', '-inf', 'nan', 'Infinity', '1e400', '-1e400', '1e-400', '0e999', '4.9e-324',
    '2.4703282292062328e-324', '0.1', '00.100', '1,5', '1_000', '', '-', '.', '3.14abc', '١٢'];
  for (const x of doubles(500)) texts.push(numberText(x), String(x));
  const theirs = ask(texts.map((t) => `r ${t}`));
  texts.forEach((t, i) => {
    const mine = parseNumber(t);
    assert.equal(mine === null ? 'refused' : bitsOf(mine), theirs[i], `"${t}"`);
  });
});
