#include "encoders/ringq/qcelp_lpc.h"

#include <cmath>

void Autocorrelation(const float* x, int n, int order, double* r) {
  for (int k = 0; k <= order; ++k) {
    double sum = 0;
    for (int i = k; i < n; ++i) sum += double(x[i]) * x[i - k];
    r[k] = sum;
  }
}

bool LevinsonDurbin(const double* r, float a[LpcOrder]) {
  for (int i = 0; i < LpcOrder; ++i) a[i] = 0;
  if (!(r[0] > 0)) return false;
  double coef[LpcOrder + 1] = {1.0};
  double tmp[LpcOrder + 1];
  double err = r[0];
  for (int m = 1; m <= LpcOrder; ++m) {
    double acc = r[m];
    for (int i = 1; i < m; ++i) acc += coef[i] * r[m - i];
    const double k = -acc / err;
    if (!(std::fabs(k) < 1.0)) return false;
    for (int i = 0; i <= m; ++i) tmp[i] = coef[i];
    for (int i = 1; i < m; ++i) coef[i] = tmp[i] + k * tmp[m - i];
    coef[m] = k;
    err *= 1.0 - k * k;
  }
  for (int i = 0; i < LpcOrder; ++i) a[i] = float(coef[i + 1]);
  return true;
}

namespace {

// Multiplies poly (degree `degree`, poly[0] = 1) by (1 - 2 c z^-1 + z^-2).
void MultiplyQuadratic(double* poly, int degree, double c) {
  for (int i = degree + 2; i >= 0; --i) {
    double v = i <= degree ? poly[i] : 0.0;
    if (i >= 1 && i - 1 <= degree) v -= 2 * c * poly[i - 1];
    if (i >= 2 && i - 2 <= degree) v += poly[i - 2];
    poly[i] = v;
  }
}

// Value at x = cos(w) of the symmetric degree-10 polynomial f (f[k] = f[10-k]) divided by
// e^{-j5w}: 2 * sum_{k<5} f[k] cos((5-k)w) + f[5].
double SymmetricValue(const double f[11], double x) {
  // cos(m w) = T_m(x) by the Chebyshev recursion.
  double t[6];
  t[0] = 1.0;
  t[1] = x;
  for (int m = 2; m <= 5; ++m) t[m] = 2 * x * t[m - 1] - t[m - 2];
  double v = f[5];
  for (int k = 0; k < 5; ++k) v += 2 * f[k] * t[5 - k];
  return v;
}

}  // namespace

void LspToLpc(const double lspf[LpcOrder], float a[LpcOrder]) {
  double p[LpcOrder + 2] = {1.0};
  double q[LpcOrder + 2] = {1.0};
  for (int i = 0; i < 5; ++i) {
    MultiplyQuadratic(p, 2 * i, std::cos(Pi * lspf[2 * i]));
    MultiplyQuadratic(q, 2 * i, std::cos(Pi * lspf[2 * i + 1]));
  }
  // P(z) = P'(z)(1 + z^-1), Q(z) = Q'(z)(1 - z^-1), A = (P + Q) / 2.
  for (int i = 1; i <= LpcOrder; ++i) {
    const double pi = p[i] + p[i - 1];
    const double qi = q[i] - q[i - 1];
    a[i - 1] = float(0.5 * (pi + qi));
  }
}

bool LpcToLsp(const float a[LpcOrder], double lspf[LpcOrder]) {
  double full[LpcOrder + 2];
  full[0] = 1.0;
  for (int i = 1; i <= LpcOrder; ++i) full[i] = a[i - 1];
  full[LpcOrder + 1] = 0.0;
  // P = A + z^-11 A(1/z), Q = A - z^-11 A(1/z); remove the roots at z = -1 and z = 1.
  double p[LpcOrder + 2], q[LpcOrder + 2];
  for (int i = 0; i <= LpcOrder + 1; ++i) {
    p[i] = full[i] + full[LpcOrder + 1 - i];
    q[i] = full[i] - full[LpcOrder + 1 - i];
  }
  double pr[11], qr[11];
  pr[0] = p[0];
  qr[0] = q[0];
  for (int i = 1; i <= LpcOrder; ++i) {
    pr[i] = p[i] - pr[i - 1];
    qr[i] = q[i] + qr[i - 1];
  }
  constexpr int Grid = 512;
  double found[LpcOrder];
  int count = 0;
  const double* polys[2] = {pr, qr};
  int which = 0;  // roots alternate, starting with P
  double prevW = 0.0;
  double prevV = SymmetricValue(polys[which], 1.0);
  for (int g = 1; g <= Grid && count < LpcOrder; ++g) {
    const double w = Pi * g / Grid;
    const double v = SymmetricValue(polys[which], std::cos(w));
    if ((prevV <= 0) != (v <= 0)) {
      double lo = prevW, hi = w, vlo = prevV;
      for (int it = 0; it < 40; ++it) {
        const double mid = 0.5 * (lo + hi);
        const double vm = SymmetricValue(polys[which], std::cos(mid));
        if ((vm <= 0) == (vlo <= 0)) {
          lo = mid;
          vlo = vm;
        } else {
          hi = mid;
        }
      }
      const double root = 0.5 * (lo + hi);
      found[count++] = root / Pi;
      which ^= 1;
      prevW = root;
      prevV = SymmetricValue(polys[which], std::cos(root));
      --g;  // the other polynomial may change sign before this grid point as well
      continue;
    }
    prevW = w;
    prevV = v;
  }
  if (count != LpcOrder) return false;
  for (int i = 0; i < LpcOrder; ++i) lspf[i] = found[i];
  return true;
}
