// The files the page offers, laid out as the command line writes them: the results as `tarven
// grid` writes its rows (scenario_id, pass-through columns, the library's summary columns,
// cpu_seconds, tarven_version) and as `tarven run --format json` writes its object, the
// distribution as `tarven run --distribution` writes it. The columns themselves come from the
// library's answer; only the command line's frame around them is written here.

import { csvRecord } from './csv.js';
import { numberText, parseNumber } from './number_text.js';

// The inputs that are no summary column (which states the counts they give): passed through as
// given, beside the summary.
export const SHARES = new Set(['minority_share', 'selection_ratio']);

// A value of the answer as the command line writes it: counts as integers, other numbers in
// shortest round-trip form, NA where there is none.
export function valueText(kind, value) {
  if (value === null || value === undefined) return 'NA';
  if (kind === 'text' || typeof value === 'string') return String(value);
  if (kind === 'count') return BigInt(value).toString();
  return numberText(value);
}

// A refused scenario echoes the inputs it was given, as given, in the columns that hold them.
export function withInputsAsGiven(fields, given) {
  return fields.map((f) => (f.name in given && given[f.name] !== '' ? { ...f, kind: 'text', value: given[f.name] } : f));
}

export function resultsHeader(passthrough, fields) {
  return ['scenario_id', ...passthrough, ...fields.map((f) => f.name), 'cpu_seconds', 'tarven_version'];
}

// `rows`: {id, passthrough: [text], fields, version}.
export function resultsCsv(passthrough, rows) {
  const lines = [csvRecord(resultsHeader(passthrough, rows[0].fields))];
  for (const row of rows) {
    lines.push(
      csvRecord([
        row.id,
        ...row.passthrough,
        ...row.fields.map((f) => valueText(f.kind, f.value)),
        'NA',
        row.version,
      ]),
    );
  }
  return lines.join('\n') + '\n';
}

function jsonValue(kind, value) {
  if (value === null || typeof value === 'string') return kind === 'text' ? value : null;
  return value;
}

// The problem's columns, n_total .. cutoff_z, go under "input"; engine, alpha, status and error
// stand on their own; the rest is the "summary".
const INPUT_COLUMNS = 8;
const TOP_LEVEL = new Set(['engine', 'alpha', 'status', 'error']);

// `passthrough`: [name, text as given] of the scenario's pass-through columns; a share is written
// as the number it reads as.
export function resultsJson(id, answer, passthrough = []) {
  const object = { scenario_id: id, input: {} };
  for (const [name, text] of passthrough) {
    const value = SHARES.has(name) ? parseNumber(text) : null;
    object.input[name] = value === null ? text : value;
  }
  const summary = {};
  answer.fields.forEach((f, i) => {
    const value = jsonValue(f.kind, f.value);
    if (i < INPUT_COLUMNS) object.input[f.name] = value;
    else if (TOP_LEVEL.has(f.name)) object[f.name] = value;
    else summary[f.name] = value;
  });
  summary.cpu_seconds = null;
  summary.tarven_version = answer.version;
  object.summary = summary;
  object.distribution = (answer.distribution ?? []).map((row) =>
    Object.fromEntries(answer.distribution_columns.map((name, c) => [name, jsonValue('number', row[c])])),
  );
  return JSON.stringify(object, null, 2) + '\n';
}

export function distributionCsv(id, answer) {
  const lines = [csvRecord(['scenario_id', ...answer.distribution_columns])];
  for (const row of answer.distribution)
    lines.push(csvRecord([id, ...row.map((v, c) => valueText(answer.distribution_kinds[c], v))]));
  return lines.join('\n') + '\n';
}
