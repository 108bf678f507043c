// Several scenarios from a file in the grid's input format, computed row by row into the grid's
// results file.

import { readCsv } from './csv.js';
import { SHARES, resultsCsv, withInputsAsGiven } from './downloads.js';
import { inputsOf } from './inputs.js';

export const MAX_ROWS = 10000;

// The inputs a row may give, and the columns that must be there (for the group sizes and the
// hires, one of several).
const INPUTS = ['n_total', 'n_majority', 'n_minority', 'minority_share', 'n_hired', 'selection_ratio', 'd', 'rho', 'retention'];
const REQUIRED = [['n_total'], ['n_majority', 'n_minority', 'minority_share'], ['n_hired', 'selection_ratio'], ['d'], ['rho'], ['retention']];
// Inputs that are also summary columns are written there; the shares are carried through.
const SUMMARY_INPUTS = new Set(INPUTS.filter((name) => !SHARES.has(name)));

// {scenarios, passthrough} or {error}. Each scenario: {id, passthrough, given (text by input
// name), inputs or refusal}.
export function scenariosOf(text) {
  const read = readCsv(text);
  if (read.error) return { error: read.error };
  const { header, rows } = read.table;
  const missing = REQUIRED.filter((ways) => !ways.some((name) => header.includes(name))).map((ways) => ways.join(' or '));
  if (missing.length > 0)
    return { error: `no column ${missing.map((m) => `"${m}"`).join(', ')} (the columns found: ${header.join(', ')})` };
  if (rows.length > MAX_ROWS)
    return { error: `${rows.length} rows: the page computes at most ${MAX_ROWS} at once; split the file` };
  const idColumn = header.indexOf('scenario_id');
  const passColumns = header.map((name, c) => c).filter((c) => c !== idColumn && !SUMMARY_INPUTS.has(header[c]));
  const scenarios = rows.map((row, r) => {
    const field = (c) => row.fields[c] ?? '';
    const given = {};
    for (const name of INPUTS) if (header.includes(name)) given[name] = field(header.indexOf(name));
    const scenario = {
      id: idColumn >= 0 && field(idColumn) !== '' ? field(idColumn) : String(r + 1),
      passthrough: passColumns.map(field),
      given,
    };
    if (row.fault) return { ...scenario, refusal: row.fault };
    const read = inputsOf(given);
    return read.refused ? { ...scenario, refusal: read.message } : { ...scenario, inputs: read.inputs };
  });
  return { scenarios, passthrough: passColumns.map((c) => header[c]) };
}

export function requestsOf(scenarios, thresholds, alpha) {
  return scenarios.map((s) =>
    s.refusal !== undefined
      ? { refusal: s.refusal, thresholds, alpha }
      : { inputs: s.inputs, thresholds, alpha, details: false },
  );
}

// The results file of the answered scenarios.
export function batchCsv(passthrough, scenarios, answers) {
  const rows = scenarios.map((s, i) => {
    const answer = answers[i];
    const fields = answer.status === 'invalid' ? withInputsAsGiven(answer.fields, s.given) : answer.fields;
    return { id: s.id, passthrough: s.passthrough, fields, version: answer.version };
  });
  return resultsCsv(passthrough, rows);
}
