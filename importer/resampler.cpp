#include "importer/resampler.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace zb::importer {

namespace {

constexpr double kOutputRate = 22050;
constexpr double kHalfTaps = 8;               // half width of the kernel, in periods of the cut-off
constexpr std::int64_t kMinLoopFrames = 2000; // also leaves a decay room before the loop end
constexpr double kTooManyFrames = 1e15;
constexpr double kSmallestRatio = 1.0 / 1024; // a source above 22.5 MHz after tuning
constexpr double kLargestRatio = 256;         // one below 86 Hz

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

std::int16_t toSample(double v) {
    return static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

} // namespace

namespace {

// The frames, loop and effective ratio of a resampling, worked out before any data.
struct TPlan {
    double ratio = 1; // output frames per source frame, after making the loop whole
    bool exact = false;
    bool looped = false;
    double cutoff = 1, width = 1;
    std::int64_t frames = 0;
    std::int64_t loopStart = -1, loopEnd = -1;
    double centsError = 0;
};

TPlan planOf(std::int64_t n, std::int64_t loopStart, std::int64_t loopEnd, double sourceRate,
             std::int64_t minFrames = 0) {
    TPlan p;
    if (n == 0 || !(sourceRate > 0))
        return p;
    p.looped = loopEnd > loopStart && loopStart >= 0 && loopEnd <= n;
    p.ratio = kOutputRate / sourceRate;
    // A rate tuned far enough down gives more frames than anything could hold, one tuned far
    // enough up a kernel wider than any sample: such a plan says so by its frame count alone,
    // before any size is converted to an integer.
    if (!(static_cast<double>(n) * p.ratio < kTooManyFrames) || !(p.ratio > kSmallestRatio) ||
        !(p.ratio < kLargestRatio)) {
        p.frames = std::numeric_limits<std::int64_t>::max();
        return p;
    }
    p.exact = std::abs(p.ratio - 1) < 1e-9;
    p.cutoff = std::min(1.0, p.ratio) * 0.97;
    p.width = kHalfTaps / p.cutoff;

    p.frames = static_cast<std::int64_t>(std::floor(static_cast<double>(n - 1) * p.ratio)) + 1;
    if (p.looped) {
        const std::int64_t length = loopEnd - loopStart;
        const auto repeats = std::max<std::int64_t>(
            1, static_cast<std::int64_t>(std::ceil(static_cast<double>(kMinLoopFrames) /
                                                   (static_cast<double>(length) * p.ratio))));
        const std::int64_t period =
            p.exact ? repeats * length
                    : std::max<std::int64_t>(
                          1, std::llround(static_cast<double>(repeats * length) * p.ratio));
        const double wanted = p.ratio;
        p.ratio = static_cast<double>(period) / static_cast<double>(repeats * length);
        p.centsError = 1200 * std::log2(p.ratio / wanted);
        // The loop starts where the kernel no longer reaches back before the source's loop.
        p.loopStart = p.exact ? loopStart
                              : static_cast<std::int64_t>(std::ceil(
                                    (static_cast<double>(loopStart) + p.width + 1) * p.ratio));
        p.loopEnd = p.loopStart + period;
        p.frames = std::max(p.loopEnd + 3, minFrames);
    }
    return p;
}

// The frames worked out by the kernel; the rest repeat the loop.
std::int64_t computedFrames(const TPlan& p) {
    return p.looped ? std::min(p.frames, p.loopEnd + 3) : p.frames;
}

} // namespace

std::int64_t resampledFrames(std::int64_t frames, std::int64_t loopStart, std::int64_t loopEnd,
                             double sourceRate) {
    return planOf(frames, loopStart, loopEnd, sourceRate).frames;
}

std::int64_t resamplingWork(std::int64_t frames, std::int64_t loopStart, std::int64_t loopEnd,
                            double sourceRate, std::int64_t minFrames) {
    const TPlan p = planOf(frames, loopStart, loopEnd, sourceRate, minFrames);
    if (p.frames == std::numeric_limits<std::int64_t>::max())
        return p.frames;
    // The taps of a kernel at the engine's own rate count as one unit of work per frame.
    const double taps = p.exact ? 1 : 2 * std::ceil(p.width) + 1;
    const std::int64_t computed = computedFrames(p);
    return static_cast<std::int64_t>(std::ceil(static_cast<double>(computed) * taps / 17)) +
           (p.frames - computed) / 17;
}

TResampled resampleForEngine(std::span<const std::int16_t> source, std::int64_t loopStart,
                             std::int64_t loopEnd, double sourceRate, double gain,
                             std::int64_t minFrames) {
    TResampled out;
    const auto n = static_cast<std::int64_t>(source.size());
    const TPlan p = planOf(n, loopStart, loopEnd, sourceRate, minFrames);
    if (p.frames == 0 || p.frames == std::numeric_limits<std::int64_t>::max())
        return out;
    const TLoopedSource x(source, p.looped ? loopStart : 0, p.looped ? loopEnd : 0);
    out.loopStart = p.loopStart;
    out.loopEnd = p.loopEnd;
    out.centsError = p.centsError;
    out.data.resize(static_cast<std::size_t>(p.frames));
    // Past the loop's end the data repeats the loop: computed once, then copied.
    const std::int64_t computed = computedFrames(p);
    for (std::int64_t j = 0; j < computed; ++j) {
        double v = 0;
        if (p.exact) {
            v = x.at(j);
        } else {
            const double t = static_cast<double>(j) / p.ratio;
            const auto first = static_cast<std::int64_t>(std::ceil(t - p.width));
            const auto last = static_cast<std::int64_t>(std::floor(t + p.width));
            // The kernel tap by tap, its sines and cosines turned on by one tap's angle instead
            // of computed anew: three fewer calls a tap, the same values to rounding.
            const double d = t - static_cast<double>(first);
            const double sincStep = std::numbers::pi * p.cutoff;
            const double windowStep = std::numbers::pi / p.width;
            double sa = std::sin(sincStep * d), ca = std::cos(sincStep * d);
            double sw = std::sin(windowStep * d), cw = std::cos(windowStep * d);
            const double cs = std::cos(sincStep), ss = std::sin(sincStep);
            const double cws = std::cos(windowStep), sws = std::sin(windowStep);
            for (std::int64_t i = first; i <= last; ++i) {
                const double ti = t - static_cast<double>(i);
                if (std::abs(ti) < p.width) {
                    const double a = sincStep * ti;
                    // (Near a tap's own frame the turned sine's rounding would dominate.)
                    const double sinc = std::abs(a) < 1e-3 ? 1 - a * a / 6 : sa / a;
                    const double window = 0.42 + 0.5 * cw + 0.08 * (2 * cw * cw - 1);
                    v += x.at(i) * p.cutoff * sinc * window;
                }
                const double nsa = sa * cs - ca * ss, nca = ca * cs + sa * ss;
                const double nsw = sw * cws - cw * sws, ncw = cw * cws + sw * sws;
                sa = nsa, ca = nca, sw = nsw, cw = ncw;
            }
        }
        out.data[static_cast<std::size_t>(j)] = toSample(v * gain);
    }
    for (std::int64_t j = computed; j < p.frames; ++j)
        out.data[static_cast<std::size_t>(j)] =
            out.data[static_cast<std::size_t>(j - (p.loopEnd - p.loopStart))];
    return out;
}

} // namespace zb::importer
