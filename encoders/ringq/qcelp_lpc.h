// Linear prediction helpers of the QCELP-13K encoder: autocorrelation, Levinson-Durbin and
// the conversions between predictor coefficients and line spectral pair frequencies.
// Predictors are a[0..9] of A(z) = 1 + a1 z^-1 + ... + a10 z^-10. LSP frequencies are
// normalised to 0..1 (1 = half the sampling rate), ascending.
#pragma once

constexpr int LpcOrder = 10;
constexpr double Pi = 3.14159265358979323846;

// r[0..order] of x[0..n).
void Autocorrelation(const float* x, int n, int order, double* r);

// Levinson-Durbin on r[0..10]. False (and a flat predictor) if r[0] is not positive or the
// recursion becomes unstable.
bool LevinsonDurbin(const double* r, float a[LpcOrder]);

// Predictor from LSP frequencies.
void LspToLpc(const double lspf[LpcOrder], float a[LpcOrder]);

// LSP frequencies of a predictor. False when the roots cannot all be found (for example an
// unstable predictor); `lspf` is then untouched.
bool LpcToLsp(const float a[LpcOrder], double lspf[LpcOrder]);
