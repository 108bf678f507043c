// The page: the form and its address, one computation at a time in the worker, the answer shown
// with its downloads, several scenarios from a file. The root element's data-state says where the
// page stands: loading, idle, running, done (the results of the inputs shown), error (a refusal
// or a failure, its message in the element with data-role="error"), cancelled.

import { Calculator, CancelledError } from './calculator.js';
import { GROUP_WAYS, HIRED_WAYS, fieldOf, queryOf, readForm, requestOf, stateFromQuery, thresholdsOf, writeForm } from './inputs.js';
import { numberText, parseNumber } from './number_text.js';
import { renderResults } from './results.js';

// Runs longer than this show their progress.
const PROGRESS_DELAY_MS = 300;

const $ = (id) => document.getElementById(id);
const form = $('scenario');
const root = document.documentElement;
const setState = (state) => {
  root.dataset.state = state;
};

const calculator = new Calculator({
  onReady(version) {
    $('version').textContent = version;
    if (root.dataset.state === 'loading') setState('idle');
  },
  onFailed(message) {
    showError(message, []);
  },
});

// --- Refusals, next to the field they concern -------------------------------------------------

function clearErrors() {
  $('error').hidden = true;
  $('error').textContent = '';
  for (const e of form.querySelectorAll('.field-error')) {
    e.hidden = true;
    e.textContent = '';
  }
  for (const input of form.querySelectorAll('[aria-invalid]')) input.removeAttribute('aria-invalid');
}

function showError(message, refused) {
  $('error').textContent = message;
  $('error').hidden = false;
  for (const name of new Set(refused.map(fieldOf))) {
    const input = form.elements[name];
    const note = $(`${name}-error`);
    if (!input || !note) continue;
    input.setAttribute('aria-invalid', 'true');
    note.textContent = message;
    note.hidden = false;
  }
  const first = refused.length > 0 ? form.elements[fieldOf(refused[0])] : null;
  if (first && first.focus && document.activeElement !== first) first.focus();
  setState('error');
}

// --- Progress ---------------------------------------------------------------------------------

function progressShower(boxId, textId) {
  let timer = null;
  let last = null;
  const box = $(boxId);
  const draw = () => {
    box.hidden = false;
    if (last) {
      box.querySelector('progress').value = last.done / last.total;
      $(textId).textContent = last.text;
    }
  };
  return {
    start() {
      last = null;
      box.querySelector('progress').removeAttribute('value');
      $(textId).textContent = 'Computing…';
      timer = setTimeout(() => {
        timer = null;
        draw();
      }, PROGRESS_DELAY_MS);
    },
    update(done, total, text) {
      last = { done, total, text };
      if (timer === null) draw();
    },
    stop() {
      clearTimeout(timer);
      timer = null;
      box.hidden = true;
    },
  };
}

// --- One scenario ------------------------------------------------------------------------------

const progress = progressShower('progress', 'progress-text');

function numberTexts(request) {
  const texts = {};
  for (const name of ['d', 'rho', 'retention'])
    texts[name] = name in request.inputs ? numberText(request.inputs[name]) : '';
  return texts;
}

function fieldValue(answer, name) {
  return answer.fields.find((f) => f.name === name)?.value;
}

function titleOf(answer) {
  const v = (name) => fieldValue(answer, name);
  return (
    `${v('n_total')} applicants (${v('n_majority')} majority, ${v('n_minority')} minority), ` +
    `${v('n_hired')} hired; d = ${numberText(v('d'))}, rho = ${numberText(v('rho'))}, ` +
    `retention = ${numberText(v('retention'))}`
  );
}

// A computation asked while another runs replaces it: only the latest one may change the page.
let latest = 0;

async function compute(state) {
  const mine = ++latest;
  clearErrors();
  $('status').textContent = '';
  const read = requestOf(state);
  if (read.refused) {
    showError(read.message, read.refused);
    return;
  }
  const request = { ...read.request, number_texts: numberTexts(read.request) };
  history.replaceState(null, '', `?${queryOf(state)}`);
  setState('running');
  $('cancel').disabled = false;
  progress.start();
  try {
    const answer = await calculator.analyse(request, read.shares, (done, total) =>
      progress.update(done, total, `${done} of ${total} steps`),
    );
    if (mine !== latest) return;
    if (answer.refused.length > 0 || answer.status === 'invalid') {
      showError(answer.message, answer.refused);
      return;
    }
    if (answer.status !== 'ok') {
      showError(`The computation ended with status ${answer.status}: ${answer.message}`, []);
      return;
    }
    show(answer);
  } catch (error) {
    if (mine !== latest) return;
    if (error instanceof CancelledError) {
      $('status').textContent = 'Cancelled. Change the inputs or compute again.';
      setState('cancelled');
    } else {
      showError(error.message, []);
    }
  } finally {
    if (mine === latest) {
      progress.stop();
      $('cancel').disabled = true;
    }
  }
}

// A link that downloads `blob`, in place of what it offered before.
function offer(link, blob) {
  if (link.href.startsWith('blob:')) URL.revokeObjectURL(link.href);
  link.href = URL.createObjectURL(blob);
}

function show(answer) {
  renderResults(answer, { title: titleOf(answer) });
  offer($('download-csv'), answer.files.results);
  offer($('download-json'), answer.files.json);
  offer($('download-distribution'), answer.files.distribution);
  offer($('download-chart'), answer.files.chart);
  $('results').hidden = false;
  $('status').textContent = 'Computed: the results are below.';
  setState('done');
}

form.addEventListener('submit', (event) => {
  event.preventDefault();
  compute(readForm(form));
});
$('cancel').addEventListener('click', () => calculator.cancel());

// The label says what the one value field holds; editing means the results shown are not those
// of the inputs any more.
function relabel() {
  $('group-label').textContent = GROUP_WAYS[form.elements.group_way.value];
  $('hired-label').textContent = HIRED_WAYS[form.elements.hired_way.value];
}
form.addEventListener('change', relabel);
form.addEventListener('input', () => {
  if (root.dataset.state === 'done') setState('idle');
});

// --- Several scenarios ------------------------------------------------------------------------

const batchProgress = progressShower('batch-progress', 'batch-progress-text');
let batchText = null;

$('batch-file').addEventListener('change', async () => {
  const file = $('batch-file').files[0];
  batchText = file ? await file.text() : null;
  $('batch-run').disabled = batchText === null;
  $('batch-error').hidden = true;
  $('batch-done').hidden = true;
});

$('batch-run').addEventListener('click', async () => {
  $('batch-error').hidden = true;
  $('batch-done').hidden = true;
  const state = readForm(form);
  const alpha = parseNumber(state.alpha.trim());
  const fail = (message, outcome) => {
    $('batch-error').textContent = message;
    $('batch-error').hidden = false;
    root.dataset.batch = outcome;
  };
  if (alpha === null) {
    fail(`alpha: "${state.alpha}" is not a number`, 'error');
    return;
  }
  $('batch-cancel').disabled = false;
  $('batch-run').disabled = true;
  root.dataset.batch = 'running';
  batchProgress.start();
  try {
    const result = await calculator.batch({ text: batchText ?? '', thresholds: thresholdsOf(state.threshold), alpha }, (done, total) =>
      batchProgress.update(done, total, `${done} of ${total} rows`),
    );
    if (result.error) {
      fail(result.error, 'error');
      return;
    }
    offer($('download-batch'), result.file);
    $('batch-summary').textContent = `${result.rows} rows: ${result.ok} ok, ${result.rows - result.ok} not ok.`;
    $('batch-done').hidden = false;
    root.dataset.batch = 'done';
  } catch (error) {
    if (error instanceof CancelledError) fail('Cancelled; no file was made.', 'cancelled');
    else fail(error.message, 'error');
  } finally {
    batchProgress.stop();
    $('batch-cancel').disabled = true;
    $('batch-run').disabled = batchText === null;
  }
});
$('batch-cancel').addEventListener('click', () => calculator.cancel());

// --- The address --------------------------------------------------------------------------------

const fromAddress = stateFromQuery(location.search, readForm(form));
if (fromAddress) {
  writeForm(form, fromAddress);
  relabel();
  compute(fromAddress);
}
relabel();
