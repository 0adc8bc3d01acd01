#include "importer/resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zb::importer {

namespace {

constexpr double kOutputRate = 22050;
constexpr double kHalfTaps = 8;               // half width of the kernel, in periods of the cut-off
constexpr std::int64_t kMinLoopFrames = 2000; // also leaves a decay room before the loop end

// The source with its loop repeated without end; silence before it and after its end.
class TLoopedSource final {
public:
    TLoopedSource(std::span<const std::int16_t> x, std::int64_t ls, std::int64_t le)
        : x_(x), ls_(ls), le_(le) {}
    double at(std::int64_t i) const {
        if (i < 0)
            return 0;
        if (le_ > ls_ && i >= le_)
            i = ls_ + (i - ls_) % (le_ - ls_);
        return i < static_cast<std::int64_t>(x_.size()) ? x_[static_cast<std::size_t>(i)] : 0;
    }

private:
    std::span<const std::int16_t> x_;
    std::int64_t ls_, le_;
};

double kernel(double t, double cutoff, double width) {
    if (std::abs(t) >= width)
        return 0;
    const double u = t / width;
    const double window =
        0.42 + 0.5 * std::cos(std::numbers::pi * u) + 0.08 * std::cos(2 * std::numbers::pi * u);
    const double a = std::numbers::pi * cutoff * t;
    const double sinc = a == 0 ? 1.0 : std::sin(a) / a;
    return cutoff * sinc * window;
}

std::int16_t toSample(double v) {
    return static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

} // namespace

TResampled resampleForEngine(std::span<const std::int16_t> source, std::int64_t loopStart,
                             std::int64_t loopEnd, double sourceRate, double gain) {
    TResampled out;
    const auto n = static_cast<std::int64_t>(source.size());
    if (n == 0 || !(sourceRate > 0))
        return out;
    const bool looped = loopEnd > loopStart && loopStart >= 0 && loopEnd <= n;
    const TLoopedSource x(source, looped ? loopStart : 0, looped ? loopEnd : 0);
    double ratio = kOutputRate / sourceRate; // output frames per source frame
    const bool exact = std::abs(ratio - 1) < 1e-9;
    const double cutoff = std::min(1.0, ratio) * 0.97;
    const double width = kHalfTaps / cutoff;

    std::int64_t frames = static_cast<std::int64_t>(std::floor((n - 1) * ratio)) + 1;
    if (looped) {
        const std::int64_t length = loopEnd - loopStart;
        const auto repeats = std::max<std::int64_t>(
            1, static_cast<std::int64_t>(std::ceil(kMinLoopFrames / (length * ratio))));
        const std::int64_t period =
            exact ? repeats * length
                  : std::max<std::int64_t>(1, std::llround(repeats * length * ratio));
        const double wanted = ratio;
        ratio = static_cast<double>(period) / static_cast<double>(repeats * length);
        out.centsError = 1200 * std::log2(ratio / wanted);
        // The loop starts where the kernel no longer reaches back before the source's loop.
        out.loopStart = exact ? loopStart
                              : static_cast<std::int64_t>(std::ceil(
                                    (static_cast<double>(loopStart) + width + 1) * ratio));
        out.loopEnd = out.loopStart + period;
        frames = out.loopEnd + 3;
    }

    out.data.resize(static_cast<std::size_t>(frames));
    for (std::int64_t j = 0; j < frames; ++j) {
        double v = 0;
        if (exact) {
            v = x.at(j);
        } else {
            const double t = static_cast<double>(j) / ratio;
            const auto first = static_cast<std::int64_t>(std::ceil(t - width));
            const auto last = static_cast<std::int64_t>(std::floor(t + width));
            for (std::int64_t i = first; i <= last; ++i)
                v += x.at(i) * kernel(t - static_cast<double>(i), cutoff, width);
        }
        out.data[static_cast<std::size_t>(j)] = toSample(v * gain);
    }
    return out;
}

} // namespace zb::importer
