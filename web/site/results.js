// The answer on the page: the headline per threshold, every summary column in a table of its
// kind, the chart, the splits. Every value element carries data-column (the column's name) and
// data-value (the value as the results file writes it, NA where there is none), for readers that
// are programs.

import { valueText } from './downloads.js';

const SCENARIO = {
  n_total: 'Applicants',
  n_majority: 'Majority applicants',
  n_minority: 'Minority applicants',
  n_hired: 'Hired',
  d: 'd (majority mean minus minority mean)',
  rho: 'rho (predictor and pre-screening)',
  retention: 'Retention of the minority group',
  cutoff_z: 'Pre-screening cutoff (z)',
  engine: 'Engine',
  alpha: 'alpha',
  status: 'Status',
  error: 'Why not ok',
};
const RATIO = {
  ai_mean: 'Expected AI (where defined)',
  ai_sd: 'Standard deviation of AI (where defined)',
  p_ai_undefined: 'P(AI undefined: no majority hire)',
  sr_majority_mean: 'Expected selection rate, majority',
  sr_minority_mean: 'Expected selection rate, minority',
  n_minority_hired_mean: 'Expected minority hires',
};
const TESTS = {
  p_sig_fisher: 'P(Fisher exact test significant)',
  p_sig_z: 'P(pooled Z test significant)',
};
const POPULATION = {
  ai_population: 'AI, pre-screened population',
  sr_majority_population: 'Selection rate, majority',
  sr_minority_population: 'Selection rate, minority',
  ai_population_unscreened: 'AI without pre-screening',
};
const PER_THRESHOLD = [
  ['p_ai_lt_', (t) => `P(AI < ${t})`],
  ['p_flag_two_sided_', (t) => `P(either rate below ${t} × the other)`],
  ['p_flag_and_sig_fisher_', (t) => `P(AI < ${t} and Fisher significant)`],
  ['p_flag_and_sig_z_', (t) => `P(AI < ${t} and Z significant)`],
];

// "0_80" is the column suffix of the threshold 0.80.
const thresholdOf = (suffix) => suffix.replace('_', '.');
// "q2_5" is the quantile at 2.5 %.
const levelOf = (suffix) => suffix.slice(1).replace('_', '.') + ' %';

// Values people type are shown as typed; results with four decimals (quantiles, which are ratios
// of counts, with three).
const AS_GIVEN = new Set(['d', 'rho', 'retention', 'alpha']);

function shown(field) {
  const { kind, value } = field;
  if (value === null) return field.name.startsWith('ai_q') ? 'undefined' : 'NA';
  if (kind === 'text' || typeof value === 'string') return String(value);
  if (kind === 'count' || AS_GIVEN.has(field.name)) return valueText(kind, value);
  if (field.name.startsWith('ai_q')) return value.toFixed(3);
  // A probability that is not 0 or 1 never reads as one.
  if (field.name.startsWith('p_') && value > 0 && value < 0.00005) return '< 0.0001';
  if (field.name.startsWith('p_') && value < 1 && value >= 0.99995) return '> 0.9999';
  if (value !== 0 && Math.abs(value) < 0.00005) return value.toExponential(2);
  return value.toFixed(4);
}

function element(tag, attributes = {}, text = null) {
  const e = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) e.setAttribute(name, value);
  if (text !== null) e.textContent = text;
  return e;
}

function valueElement(tag, field, text = shown(field)) {
  const e = element(tag, { 'data-column': field.name, 'data-value': valueText(field.kind, field.value) }, text);
  if (field.kind === 'number' && typeof field.value === 'number') e.title = valueText(field.kind, field.value);
  return e;
}

function table(caption, rows, head = null) {
  const t = element('table');
  t.append(element('caption', {}, caption));
  if (head) {
    const thead = element('thead');
    const tr = element('tr');
    for (const h of head) tr.append(element('th', { scope: 'col' }, h));
    thead.append(tr);
    t.append(thead);
  }
  const body = element('tbody');
  for (const row of rows) body.append(row);
  t.append(body);
  const wrap = element('div', { class: 'scroll' });
  wrap.append(t);
  return wrap;
}

function labelledRow(label, field) {
  const tr = element('tr');
  tr.append(element('th', { scope: 'row' }, label));
  tr.append(valueElement('td', field));
  return tr;
}

// The sentence a headline rate stands for.
function inHundred(p, threshold) {
  const n = Math.round(100 * p);
  const rounds = 'hiring rounds like this';
  if (n === 0 && p > 0) return `In 100 ${rounds}, fewer than one shows an impact ratio below ${threshold}.`;
  if (n === 100 && p < 1) return `In 100 ${rounds}, more than 99 show an impact ratio below ${threshold}.`;
  const verb = n === 1 ? 'shows' : 'show';
  return `In 100 ${rounds}, about ${n} ${verb} an impact ratio below ${threshold}.`;
}

export function renderResults(answer, { title }) {
  const byName = new Map(answer.fields.map((f) => [f.name, f]));
  const claimed = new Set();
  const take = (name) => {
    claimed.add(name);
    return byName.get(name);
  };

  document.getElementById('scenario-title').textContent = title;

  // Headline: P(AI < T) and the two-sided flag for each threshold.
  const headline = document.getElementById('headline');
  headline.replaceChildren();
  const suffixes = answer.fields.filter((f) => f.name.startsWith('p_ai_lt_')).map((f) => f.name.slice(8));
  if (suffixes.length === 0) headline.append(element('p', {}, 'No threshold was asked: enter one, such as 0.8, for the rates of the rule.'));
  for (const s of suffixes) {
    const t = thresholdOf(s);
    const lt = byName.get('p_ai_lt_' + s);
    const both = byName.get('p_flag_two_sided_' + s);
    const card = element('article');
    card.append(element('h3', {}, `P(AI < ${t}): the impact ratio falls below ${t}`));
    card.append(valueElement('span', lt, shown(lt)));
    card.lastChild.classList.add('big');
    if (typeof lt.value === 'number') card.append(element('p', {}, inHundred(lt.value, t)));
    if (both) {
      const p = element('p', {}, `Either group's selection rate below ${t} times the other's (two-sided): `);
      p.append(valueElement('strong', both));
      card.append(p);
    }
    headline.append(card);
  }

  const tables = document.getElementById('tables');
  tables.replaceChildren();
  // The rates for every threshold, one row each.
  const perThreshold = suffixes.map((s) => {
    const tr = element('tr');
    tr.append(element('th', { scope: 'row' }, thresholdOf(s)));
    for (const [prefix] of PER_THRESHOLD) tr.append(valueElement('td', take(prefix + s)));
    return tr;
  });
  const testRows = Object.entries(TESTS).filter(([n]) => byName.has(n)).map(([n, label]) => labelledRow(label, take(n)));
  if (perThreshold.length > 0)
    tables.append(
      table('Flags and tests at each threshold T', perThreshold, ['T', ...PER_THRESHOLD.map(([, label]) => label('T'))]),
    );
  tables.append(table(`Significance tests at alpha ${shown(byName.get('alpha'))}`, testRows));

  const group = (caption, labels) => {
    const rows = Object.entries(labels).filter(([n]) => byName.has(n)).map(([n, label]) => labelledRow(label, take(n)));
    if (rows.length > 0) tables.append(table(caption, rows));
  };
  group('The impact ratio and the selection rates', RATIO);
  const quantiles = answer.fields
    .filter((f) => /^ai_q/.test(f.name))
    .map((f) => labelledRow(levelOf(f.name.slice(3)), take(f.name)));
  if (quantiles.length > 0) tables.append(table('Quantiles of AI', quantiles, ['Level', 'AI']));
  group('Population values (large-sample limits)', POPULATION);
  group('Scenario', SCENARIO);
  const others = answer.fields.filter((f) => !claimed.has(f.name)).map((f) => labelledRow(f.name, take(f.name)));
  if (others.length > 0) tables.append(table('Other values', others));

  // The chart, as the command line draws it, in the page so that every bar tells its value.
  const chart = document.getElementById('chart-svg');
  chart.replaceChildren();
  if (answer.chart) {
    const svg = new DOMParser().parseFromString(answer.chart, 'image/svg+xml').documentElement;
    chart.append(document.importNode(svg, true));
  }

  // Splits above 1e-6.
  const body = document.querySelector('#splits tbody');
  body.replaceChildren();
  const columns = answer.distribution_columns ?? [];
  const at = (name) => columns.indexOf(name);
  const rows = [];
  for (const split of answer.splits ?? []) {
    const tr = element('tr');
    const cells = [
      String(split[at('n_minority_hired')]),
      String(split[at('n_majority_hired')]),
      split[at('sr_minority')].toFixed(4),
      split[at('sr_majority')].toFixed(4),
      split[at('ai')] === null ? 'undefined' : split[at('ai')].toFixed(3),
      split[at('prob')].toFixed(6),
      split[at('cum_prob')].toFixed(6),
    ];
    cells.forEach((text, i) => tr.append(element(i === 0 ? 'th' : 'td', i === 0 ? { scope: 'row' } : {}, text)));
    rows.push(tr);
  }
  body.append(...rows);
}
