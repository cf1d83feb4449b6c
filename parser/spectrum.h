#pragma once
// The spectra of the analysis previews: the normalised, centred magnitude spectrum of a window
// of complex samples, and its decibel form.

// The magnitude spectrum of the n complex values re[k] + j im[k] (n >= 1): each value is
// weighted with a Blackman-Nuttall window, transformed, and the magnitudes are written to out
// with the negative frequencies first (out[0] is -fs/2, out[n/2] is 0) and scaled so that the
// largest is 1.0. All-zero input gives all zeros. Values that are not finite (NaN, infinity from
// float input) count as 0, and the values are brought to at most 1 in magnitude before the
// transform, so every result is finite whatever the input's range. re and im are not changed.
// The window and the transform's plan are made once per length and thread.
void Parser_Fft(const double *re, const double *im, int n, double *out);

// x[k] = 20 log10(x[k] + floor) for k < n, in place: magnitudes (0 or more) to decibels, with
// `floor` (greater than 0) keeping a zero finite.
void Parser_LogScale(double *x, int n, double floor);
