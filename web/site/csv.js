// Comma-separated tables as `tarven grid` reads and writes them: a header row, one record per
// line (LF or CR LF), blank lines skipped, a byte-order mark dropped; a field starting with '"' is
// quoted, "" inside stands for '"', and it may not span lines. A record that cannot be read as the
// header says is kept with its fault, so that the scenario keeps its place as invalid.

export function readCsv(text) {
  if (text.startsWith('\uFEFF')) text = text.slice(1);
  const table = { header: null, headerLine: 0, rows: [] };
  const lines = text.split('\n');
  if (lines[lines.length - 1] === '') lines.pop(); // what follows the last line end is no line
  for (let n = 0; n < lines.length; ++n) {
    const number = n + 1;
    let line = lines[n];
    if (line.endsWith('\r')) line = line.slice(0, -1);
    if (/^[ \t]*$/.test(line)) continue;
    const split = splitRecord(line, number);
    if (table.header === null) {
      if (split.error) return { error: split.error };
      const seen = new Set();
      for (const name of split.fields) {
        if (name !== '' && seen.has(name))
          return { error: `line ${number}: column "${name}" appears twice in the header` };
        seen.add(name);
      }
      table.header = split.fields;
      table.headerLine = number;
    } else if (split.error) {
      table.rows.push({ line: number, fields: [], fault: split.error });
    } else if (split.fields.length !== table.header.length) {
      table.rows.push({
        line: number,
        fields: split.fields,
        fault: `line ${number}: ${split.fields.length} fields where the header has ${table.header.length}`,
      });
    } else {
      table.rows.push({ line: number, fields: split.fields, fault: null });
    }
  }
  if (table.header === null) return { error: `line ${lines.length + 1}: no header row` };
  return { table };
}

function splitRecord(line, number) {
  const fields = [];
  let i = 0;
  for (;;) {
    const at = `line ${number}: field ${fields.length + 1}`;
    let field = '';
    if (line[i] === '"') {
      for (++i; ; ++i) {
        if (i >= line.length)
          return {
            error: `${at}: the quote is not closed on this line (line breaks inside quotes are not supported)`,
          };
        if (line[i] === '"') {
          if (line[i + 1] === '"') {
            field += '"';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        field += line[i];
      }
      if (i < line.length && line[i] !== ',')
        return { error: `${at}: text after the closing quote (write a quote inside a quoted field as "")` };
    } else {
      let end = line.indexOf(',', i);
      if (end < 0) end = line.length;
      field = line.slice(i, end);
      if (field.includes('"'))
        return {
          error: `${at}: a quote inside an unquoted field (quote the whole field and write the quote as "")`,
        };
      if (field.includes('\r'))
        return { error: `${at}: a carriage return inside the line (line ends must be LF or CR LF)` };
      i = end;
    }
    fields.push(field);
    if (i >= line.length) return { fields };
    ++i; // the comma; one at the very end opens an empty last field
  }
}

// Text that reads back as the field: quoted when it holds a comma, a quote or a line break, or
// starts or ends with a blank or tab, or starts with a byte-order mark.
export function csvField(text) {
  const quote = /[,"\r\n]/.test(text) || /^[ \t]|[ \t]$/.test(text) || text.startsWith('\uFEFF');
  return quote ? '"' + text.replaceAll('"', '""') + '"' : text;
}

// One record without its line end; a lone empty field is written "" so that it is not a blank line.
export function csvRecord(fields) {
  if (fields.length === 1 && fields[0] === '') return '""';
  return fields.map(csvField).join(',');
}
