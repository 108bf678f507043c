// The scenario as the form holds it, as the address holds it, and as the library is asked it.
// Inputs are named as the library's ScenarioInputs names them, which are the summary columns'
// names (and the grid's): the address of a page is a row of a scenarios file.

import { parseNumber } from './number_text.js';

// Each of these is given one way of several.
export const GROUP_WAYS = {
  n_minority: 'Minority applicants',
  minority_share: 'Minority share',
  n_majority: 'Majority applicants',
};
export const HIRED_WAYS = { n_hired: 'Number hired', selection_ratio: 'Selection ratio' };
const PLAIN = ['n_total', 'd', 'rho', 'retention'];

// Where on the form each name the library may blame is shown.
export function fieldOf(name) {
  if (name in GROUP_WAYS) return 'group';
  if (name in HIRED_WAYS) return 'hired';
  return name;
}

// The form's values as text, exactly as typed.
export function readForm(form) {
  const value = (name) => form.elements[name].value;
  return {
    n_total: value('n_total'),
    groupWay: value('group_way'),
    group: value('group'),
    hiredWay: value('hired_way'),
    hired: value('hired'),
    d: value('d'),
    rho: value('rho'),
    retention: value('retention'),
    threshold: value('threshold'),
    alpha: value('alpha'),
    extra: {},
  };
}

export function writeForm(form, state) {
  for (const name of [...PLAIN, 'group', 'hired', 'threshold', 'alpha'])
    form.elements[name].value = state[name];
  form.elements.group_way.value = state.groupWay;
  form.elements.hired_way.value = state.hiredWay;
}

export function thresholdsOf(text) {
  return text.split(/[\s,;]+/).filter((t) => t !== '');
}

// The state an address gives, or null when it names no input. A size given in more than one way
// is kept aside, so that the library refuses the conflict rather than the page picking one.
export function stateFromQuery(search, defaults) {
  const query = new URLSearchParams(search);
  const known = [...PLAIN, ...Object.keys(GROUP_WAYS), ...Object.keys(HIRED_WAYS), 'threshold', 'alpha'];
  if (!known.some((name) => query.has(name))) return null;
  const state = { ...defaults, extra: {} };
  for (const name of PLAIN) state[name] = query.get(name) ?? '';
  const pick = (ways, wayKey, valueKey) => {
    const given = Object.keys(ways).filter((name) => query.has(name));
    if (given.length === 0) {
      state[valueKey] = '';
      return;
    }
    state[wayKey] = given[0];
    state[valueKey] = query.get(given[0]);
    for (const other of given.slice(1)) state.extra[other] = query.get(other);
  };
  pick(GROUP_WAYS, 'groupWay', 'group');
  pick(HIRED_WAYS, 'hiredWay', 'hired');
  if (query.has('threshold')) state.threshold = query.getAll('threshold').join(', ');
  if (query.has('alpha')) state.alpha = query.get('alpha');
  return state;
}

export function queryOf(state) {
  const query = new URLSearchParams();
  query.set('n_total', state.n_total);
  query.set(state.groupWay, state.group);
  for (const [name, text] of Object.entries(state.extra)) query.set(name, text);
  query.set(state.hiredWay, state.hired);
  for (const name of ['d', 'rho', 'retention']) query.set(name, state[name]);
  for (const t of thresholdsOf(state.threshold)) query.append('threshold', t);
  query.set('alpha', state.alpha);
  return query.toString();
}

// The library's inputs of a scenario given as text by name: {inputs} or {refused, message} for
// text that is not a number (the library names what is missing or out of range). Empty is
// missing. The form forgives blanks around a number; a scenarios file, as the grid reads it,
// does not.
export function inputsOf(texts, { trim = false } = {}) {
  const inputs = {};
  for (const [name, raw] of Object.entries(texts)) {
    const text = trim ? raw.trim() : raw;
    if (text === '') continue;
    const value = parseNumber(text);
    if (value === null) return { refused: [name], message: `${name}: "${raw}" is not a number` };
    inputs[name] = value;
  }
  return { inputs };
}

// The request to the library for the form's state, or a refusal of text the page cannot read.
export function requestOf(state) {
  const texts = { n_total: state.n_total, [state.groupWay]: state.group, ...state.extra };
  texts[state.hiredWay] = state.hired;
  for (const name of ['d', 'rho', 'retention']) texts[name] = state[name];
  const read = inputsOf(texts, { trim: true });
  if (read.refused) return read;
  const alpha = state.alpha.trim() === '' ? null : parseNumber(state.alpha.trim());
  if (alpha === null)
    return { refused: ['alpha'], message: `alpha: "${state.alpha}" is not a number` };
  const shares = ['minority_share', 'selection_ratio'].filter((name) => name in read.inputs).map((name) => [name, texts[name].trim()]);
  return {
    request: { inputs: read.inputs, thresholds: thresholdsOf(state.threshold), alpha, details: true },
    shares,
  };
}
