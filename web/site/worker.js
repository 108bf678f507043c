// The computation, off the page's thread: the library's answer and the files made of it, so that
// the page only draws. Cancel ends this worker: a running WebAssembly call cannot be interrupted
// otherwise without shared memory, which a plain static host does not allow.

import { batchCsv, requestsOf, scenariosOf } from './batch.js';
import { distributionCsv, resultsCsv, resultsJson } from './downloads.js';
import createTarven from './tarven.js';

// Splits shown in the page's table.
const SHOWN_SPLIT = 1e-6;

let current = null; // the job whose progress the page shows
let asked = false;
const loaded = createTarven({
  onProgress(done, total) {
    if (current !== null && current.single) postMessage({ type: 'progress', id: current.id, done, total });
  },
}).then(
  (module) => {
    postMessage({ type: 'ready', version: module.ccall('tarven_version', 'string', [], []) });
    // The browser first runs the module with code compiled quickly, and compiles the parts that
    // run hot again, well, while they run: a small problem, unless a question came first, puts
    // the integrals on that code before the first question does.
    setTimeout(() => {
      if (!asked) answer(module, { inputs: { n_total: 150, n_majority: 120, n_hired: 30, d: 1, rho: 0.5, retention: 0.3 } });
    }, 0);
    return module;
  },
  (error) => {
    postMessage({ type: 'failed', message: `the calculator could not be loaded (${error})` });
    return null;
  },
);

function answer(module, request) {
  return JSON.parse(module.ccall('tarven_answer', 'string', ['string'], [JSON.stringify(request)]));
}

const blob = (text, type) => new Blob([text], { type });

// One scenario: the answer without the whole distribution, which only the files need, and the
// files.
// `shares`: [name, text as given] of the shares the scenario was given by, which the files pass
// through as `tarven run` does.
function single(module, request, shares) {
  const a = answer(module, request);
  if (a.status !== 'ok') return a;
  const prob = a.distribution_columns.indexOf('prob');
  const row = { id: '1', passthrough: shares.map(([, text]) => text), fields: a.fields, version: a.version };
  const files = {
    results: blob(resultsCsv(shares.map(([name]) => name), [row]), 'text/csv'),
    json: blob(resultsJson('1', a, shares), 'application/json'),
    distribution: blob(distributionCsv('1', a), 'text/csv'),
    chart: blob(a.chart, 'image/svg+xml'),
  };
  const { distribution, ...rest } = a;
  return { ...rest, splits: distribution.filter((row) => row[prob] > SHOWN_SPLIT), files };
}

// A scenarios file: {file, rows, ok} or {error}.
function batch(module, { text, thresholds, alpha }, id) {
  const read = scenariosOf(text);
  if (read.error) return { error: read.error };
  const requests = requestsOf(read.scenarios, thresholds, alpha);
  const answers = requests.map((request, index) => {
    const a = answer(module, request);
    postMessage({ type: 'progress', id, done: index + 1, total: requests.length });
    return a;
  });
  const refused = answers.find((a) => a.refused.includes('threshold') || a.refused.includes('alpha'));
  if (refused) return { error: refused.message };
  return {
    file: blob(batchCsv(read.passthrough, read.scenarios, answers), 'text/csv'),
    rows: answers.length,
    ok: answers.filter((a) => a.status === 'ok').length,
  };
}

onmessage = async ({ data }) => {
  asked = true;
  const module = await loaded;
  if (module === null) return;
  try {
    current = { id: data.id, single: data.type === 'analyse' };
    const result =
      data.type === 'analyse' ? single(module, data.request, data.shares) : batch(module, data.job, data.id);
    postMessage({ type: 'answer', id: data.id, answer: result });
  } catch (error) {
    // The module stops for good (out of memory, say): the page starts another worker.
    postMessage({ type: 'failed', id: data.id, message: `the computation stopped: ${error}` });
  } finally {
    current = null;
  }
};
