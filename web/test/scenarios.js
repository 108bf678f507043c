// The scenarios the page is held to the native program on: every size up to 30,000 applicants,
// both signs of d and rho, strict and loose pre-screening, few and many hires, several
// thresholds and levels, group sizes and hires given as shares. `page` says how the page is
// given the sizes (counts by default), and the native program is given them the same way.

export const SCENARIOS = [
  { n_total: 2, n_majority: 1, n_hired: 1, d: 0, rho: 0, retention: 0.5 },
  { n_total: 10, n_majority: 7, n_hired: 4, d: 0.5, rho: 0.3, retention: 0.6 },
  { n_total: 10, n_majority: 7, n_hired: 4, d: 3, rho: 0.8, retention: 0.000001 },
  { n_total: 12, n_majority: 6, n_hired: 1, d: 2, rho: 0.8, retention: 0.1 },
  { n_total: 20, n_majority: 10, n_hired: 10, d: 0, rho: 0, retention: 0.5, thresholds: ['0.8', '0.9', '1'] },
  { n_total: 25, n_majority: 20, n_hired: 24, d: -1, rho: 0.2, retention: 0.9 },
  { n_total: 50, n_majority: 40, n_hired: 10, d: 0, rho: 0, retention: 0.5 },
  { n_total: 60, n_majority: 30, n_hired: 6, d: -2.5, rho: -0.6, retention: 0.25, alpha: '0.01' },
  { n_total: 100, n_majority: 80, n_hired: 20, d: 0, rho: 0, retention: 0.5, page: 'shares' },
  { n_total: 100, n_majority: 90, n_hired: 50, d: 1.5, rho: 0.95, retention: 0.02 },
  { n_total: 150, n_majority: 75, n_hired: 15, d: 0.2, rho: -0.3, retention: 0.7, thresholds: ['0.5', '0.8', '0.825'] },
  { n_total: 200, n_majority: 160, n_hired: 40, d: 0.5, rho: -0.5, retention: 0.2 },
  { n_total: 250, n_majority: 200, n_hired: 5, d: 1, rho: 0.5, retention: 0.3, page: 'minority' },
  { n_total: 300, n_majority: 240, n_hired: 60, d: 1, rho: 0.5, retention: 0.3 },
  { n_total: 300, n_majority: 270, n_hired: 150, d: 0.3, rho: 0.999, retention: 0.5 },
  { n_total: 400, n_majority: 200, n_hired: 200, d: 0, rho: 0.5, retention: 0.5, page: 'shares' },
  { n_total: 500, n_majority: 400, n_hired: 100, d: 0.3, rho: 0.9, retention: 0.05 },
  { n_total: 500, n_majority: 450, n_hired: 25, d: 10, rho: 0, retention: 0.5 },
  { n_total: 500, n_majority: 100, n_hired: 100, d: -0.5, rho: 0.4, retention: 0.999999 },
  { n_total: 800, n_majority: 640, n_hired: 80, d: 0.8, rho: 0.7, retention: 0.15, alpha: '0.1' },
  { n_total: 1000, n_majority: 800, n_hired: 100, d: 0.8, rho: 0.4, retention: 0.5 },
  { n_total: 1000, n_majority: 800, n_hired: 200, d: 0, rho: 0, retention: 0.5 },
  { n_total: 1000, n_majority: 700, n_hired: 400, d: 1, rho: 0.6, retention: 0.001 },
  { n_total: 1500, n_majority: 1200, n_hired: 30, d: 0.4, rho: -0.9, retention: 0.6, page: 'shares' },
  { n_total: 2000, n_majority: 1900, n_hired: 600, d: 0.6, rho: 0.3, retention: 0.4 },
  { n_total: 3000, n_majority: 2100, n_hired: 1500, d: 0, rho: 0.4, retention: 0.5 },
  { n_total: 5000, n_majority: 4000, n_hired: 500, d: 0.3, rho: 0.9, retention: 0.05 },
  { n_total: 8000, n_majority: 6000, n_hired: 800, d: 0.5, rho: 0.3, retention: 0.6, thresholds: ['0.8', '0.9'] },
  { n_total: 15000, n_majority: 12000, n_hired: 1500, d: 0.8, rho: 0.9, retention: 0.05 },
  { n_total: 20000, n_majority: 19000, n_hired: 200, d: -0.2, rho: 0.5, retention: 0.8 },
  { n_total: 30000, n_majority: 24000, n_hired: 3000, d: 0.8, rho: 0.4, retention: 0.5 },
  { n_total: 30000, n_majority: 27000, n_hired: 1500, d: 0.1, rho: -0.2, retention: 0.3, page: 'shares' },
];

// The page's address for a scenario.
export function addressOf(s) {
  const q = new URLSearchParams();
  q.set('n_total', s.n_total);
  if (s.page === 'shares') q.set('minority_share', String((s.n_total - s.n_majority) / s.n_total));
  else if (s.page === 'minority') q.set('n_minority', String(s.n_total - s.n_majority));
  else q.set('n_majority', s.n_majority);
  if (s.page === 'shares') q.set('selection_ratio', String(s.n_hired / s.n_total));
  else q.set('n_hired', s.n_hired);
  for (const name of ['d', 'rho', 'retention']) q.set(name, String(s[name]));
  for (const t of s.thresholds ?? ['0.8']) q.append('threshold', t);
  q.set('alpha', s.alpha ?? '0.05');
  return '?' + q.toString();
}
