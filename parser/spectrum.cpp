#include "parser/spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>
#include <vector>

namespace {

// FFTW's planner keeps global state: plans are made and destroyed under this lock. Executing a
// plan on its own buffer needs no lock.
std::mutex plannerLock;

// The window, the transform buffer and the in-place plan of one length.
class Transform {
public:
    explicit Transform(int n)
        : window_(static_cast<size_t>(n)), data_(static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * n)))
    {
        // The 4-term Blackman-Nuttall window in its periodic form, as spectral analysis uses it.
        for (int k = 0; k < n; ++k) {
            const double x = 2.0 * std::numbers::pi * k / n;
            window_[k] = 0.3635819 - 0.4891775 * std::cos(x) + 0.1365995 * std::cos(2.0 * x) -
                         0.0106411 * std::cos(3.0 * x);
        }
        std::lock_guard lock(plannerLock);
        plan_ = fftw_plan_dft_1d(n, data_, data_, FFTW_FORWARD, FFTW_ESTIMATE);
    }
    ~Transform()
    {
        {
            std::lock_guard lock(plannerLock);
            fftw_destroy_plan(plan_);
        }
        fftw_free(data_);
    }
    Transform(const Transform &) = delete;
    Transform &operator=(const Transform &) = delete;

    const std::vector<double> &window() const { return window_; }
    fftw_complex *data() { return data_; }
    void run() { fftw_execute(plan_); }

private:
    std::vector<double> window_;
    fftw_complex *data_;
    fftw_plan plan_ = nullptr;
};

Transform &TransformOf(int n)
{
    // One per length and thread: the previews use a handful of lengths, on one thread.
    thread_local std::map<int, std::unique_ptr<Transform>> transforms;
    std::unique_ptr<Transform> &transform = transforms[n];
    if (!transform) transform = std::make_unique<Transform>(n);
    return *transform;
}

double Finite(double value) { return std::isfinite(value) ? value : 0.0; }

}  // namespace

void Parser_Fft(const double *re, const double *im, int n, double *out)
{
    if (n < 1) return;
    Transform &transform = TransformOf(n);
    // The result is scaled to a peak of 1, so the input may be scaled first: with every value at
    // most 1 in magnitude no square or sum can overflow.
    double largest = 0.0;
    for (int k = 0; k < n; ++k) largest = std::max({largest, std::abs(Finite(re[k])), std::abs(Finite(im[k]))});
    if (largest == 0.0) {
        std::fill(out, out + n, 0.0);
        return;
    }
    const std::vector<double> &window = transform.window();
    fftw_complex *data = transform.data();
    for (int k = 0; k < n; ++k) {
        data[k][0] = Finite(re[k]) / largest * window[k];
        data[k][1] = Finite(im[k]) / largest * window[k];
    }
    transform.run();
    double peak = 0.0;
    for (int k = 0; k < n; ++k) {
        const int j = (k + n / 2) % n;
        out[k] = std::sqrt(data[j][0] * data[j][0] + data[j][1] * data[j][1]);
        peak = std::max(peak, out[k]);
    }
    // Some input is not 0 and no window weight is 0, so neither is the peak. Dividing (rather
    // than multiplying by 1 / peak) puts the peak at exactly 1.0.
    for (int k = 0; k < n; ++k) out[k] /= peak;
}

void Parser_LogScale(double *x, int n, double floor)
{
    for (int k = 0; k < n; ++k) x[k] = 20.0 * std::log10(x[k] + floor);
}
