// Numbers as text, the way the command line reads and writes them, so that a file from the page
// and a file from `tarven grid` agree character for character.

// The shortest text that reads back as the same double, in fixed or scientific notation,
// whichever is shorter (fixed on a tie): "0.05", "1e-06", "300", "1.5e+300". JavaScript's own
// String(x) already finds the shortest digits (the closest of them, as C++'s std::to_chars does);
// only the notation differs. No value: "NA"; values without digits: "NaN", "Inf", "-Inf".
export function numberText(x) {
  if (x === null || x === undefined) return 'NA';
  if (Number.isNaN(x)) return 'NaN';
  if (x === Infinity) return 'Inf';
  if (x === -Infinity) return '-Inf';
  if (x === 0) return Object.is(x, -0) ? '-0' : '0';
  const sign = x < 0 ? '-' : '';
  const { digits, exponent } = shortestDigits(Math.abs(x));
  let scientific = digits[0];
  if (digits.length > 1) scientific += '.' + digits.slice(1);
  scientific += (exponent < 0 ? 'e-' : 'e+') + String(Math.abs(exponent)).padStart(2, '0');
  let fixed;
  if (Math.abs(x) >= 2 ** 53) {
    fixed = BigInt(Math.abs(x)).toString(); // every digit of a whole number this large
  } else if (exponent < 0) {
    fixed = '0.' + '0'.repeat(-exponent - 1) + digits;
  } else if (exponent >= digits.length - 1) {
    fixed = digits + '0'.repeat(exponent - digits.length + 1);
  } else {
    fixed = digits.slice(0, exponent + 1) + '.' + digits.slice(exponent + 1);
  }
  return sign + (fixed.length <= scientific.length ? fixed : scientific);
}

// The digits of String(x) without point or trailing zeros, and the power of ten of the first.
function shortestDigits(x) {
  const text = String(x);
  const e = text.indexOf('e');
  const mantissa = e < 0 ? text : text.slice(0, e);
  let exponent = e < 0 ? 0 : Number(text.slice(e + 1));
  const point = mantissa.indexOf('.');
  const whole = point < 0 ? mantissa : mantissa.slice(0, point);
  const fraction = point < 0 ? '' : mantissa.slice(point + 1);
  let digits = whole + fraction;
  exponent += whole.length - 1;
  const lead = digits.search(/[1-9]/);
  digits = digits.slice(lead).replace(/0+$/, '');
  exponent -= lead;
  return { digits, exponent };
}

// A number as the command line reads one (C++'s std::from_chars): an optional '-', digits with
// an optional point, an optional exponent; no blanks, no '+', nothing after. Finite, and not a
// value too small to be held. Otherwise null.
const NUMBER = /^-?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?$/;
export function parseNumber(text) {
  if (!NUMBER.test(text)) return null;
  const value = Number(text);
  if (!Number.isFinite(value)) return null;
  const mantissa = text.replace(/[eE].*$/, '');
  if (value === 0 && /[1-9]/.test(mantissa)) return null;
  return value;
}
