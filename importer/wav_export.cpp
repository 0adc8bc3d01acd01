#include "importer/wav_export.h"

#include "importer/patch_mapping.h"
#include "importer/resampler.h"
#include "instruments/little_endian.h"
#include "instruments/wav_header.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <tuple>
#include <vector>

namespace zb::importer {

namespace {

// Samples are stored with their peak at this level (-30 dBFS): the engine's gains are whole
// numbers (128 is unity at the default volume), so quieter data means larger gains and finer
// envelope steps, and the quiet tail line of a release then fades some 30 dB further before its
// last step. The data keeps about 70 dB between its peak and its rounding.
constexpr double kStoredPeak = 1024;

// The longest a looping cut is made for a long decay: 6 s at the engine's rate.
constexpr std::int64_t kMaxFrames = std::int64_t{1} << 17;

// The resonant low-pass of SoundFont players: a biquad whose Q is the zone's resonance in
// centibels above that of a Butterworth filter, its gain lowered by the root of Q.
class TLowPass final {
public:
    TLowPass(double cutoff, int resonance, double rate) {
        const double q = std::pow(10.0, (std::clamp(resonance, 0, 960) / 10.0 - 3.01) / 20);
        const double gain = 1 / std::sqrt(q);
        const double w = 2 * 3.14159265358979323846 * cutoff / rate;
        const double alpha = std::sin(w) / (2 * q);
        const double a0 = 1 + alpha;
        b0_ = (1 - std::cos(w)) / 2 / a0 * gain;
        b1_ = (1 - std::cos(w)) / a0 * gain;
        a1_ = -2 * std::cos(w) / a0;
        a2_ = (1 - alpha) / a0;
    }
    double operator()(double x) {
        const double y = b0_ * x + b1_ * x1_ + b0_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }
    // Frames until a disturbance has died away to -60 dB (the poles' radius is the root of a2).
    double settlingFrames() const {
        return a2_ > 0 && a2_ < 1 ? std::log(1e-3) / std::log(std::sqrt(a2_)) : 0;
    }

private:
    double b0_ = 1, b1_ = 0, a1_ = 0, a2_ = 0;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// A piece of a sample through a low-pass, as a SoundFont player filters it while it plays:
// the onset, then the loop passed through the filter until the filter has settled, its last
// pass taken as the loop (so that the loop stays seamless). Scaled into 16 bits by `scale`.
struct TFilteredPiece {
    std::vector<std::int16_t> data;
    std::int64_t loopStart = -1, loopEnd = -1;
    double scale = 1; // data = filtered font data x scale
};

TFilteredPiece lowPassed(std::span<const std::int16_t> piece, std::int64_t loopStart,
                         std::int64_t loopEnd, double cutoff, int resonance, double rate) {
    TLowPass filter(cutoff, resonance, rate);
    std::vector<double> y;
    const bool looped = loopEnd > loopStart && loopStart >= 0;
    const auto end = looped ? static_cast<std::size_t>(loopEnd) : piece.size();
    y.reserve(end);
    for (std::size_t i = 0; i < end; ++i)
        y.push_back(filter(piece[i]));
    TFilteredPiece out;
    if (looped) {
        const std::int64_t length = loopEnd - loopStart;
        const double settle = std::min(filter.settlingFrames(), rate);
        const auto passes = std::min<std::int64_t>(
            1 + static_cast<std::int64_t>(std::ceil(settle / static_cast<double>(length))),
            (std::int64_t{1} << 22) / length + 1);
        for (std::int64_t p = 0; p < passes; ++p)
            for (std::int64_t i = loopStart; i < loopEnd; ++i)
                y.push_back(filter(piece[static_cast<std::size_t>(i)]));
        out.loopEnd = static_cast<std::int64_t>(y.size());
        out.loopStart = out.loopEnd - length;
    }
    double peak = 1;
    for (const double v : y)
        peak = std::max(peak, std::abs(v));
    out.scale = peak > 32000 ? 32000 / peak : 1.0;
    out.data.reserve(y.size());
    for (const double v : y)
        out.data.push_back(static_cast<std::int16_t>(std::lround(v * out.scale)));
    return out;
}

} // namespace

std::string safeName(const std::string& raw) {
    std::string out;
    for (const char c : raw) {
        const auto u = static_cast<unsigned char>(c);
        const bool ok = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') ||
                        (u >= 'a' && u <= 'z') || u == '-' || u == '_';
        out += ok ? c : '_';
    }
    while (out.find("__") != std::string::npos)
        out.erase(out.find("__"), 1);
    if (out.empty() || out == "_")
        out = "sample";
    return out.substr(0, 40);
}

void writeWav(const std::filesystem::path& path, std::span<const std::int16_t> data, int rate) {
    const auto bytes = static_cast<std::uint32_t>(data.size() * 2);
    const auto header = instruments::canonicalWavHeader(bytes, 16, 1, rate);
    std::vector<std::uint8_t> file(header.size() + bytes);
    std::copy(header.begin(), header.end(), file.begin());
    for (std::size_t i = 0; i < data.size(); ++i)
        instruments::putLE16(&file[header.size() + 2 * i], static_cast<std::uint16_t>(data[i]));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    if (!out)
        throw TImportError("cannot write " + path.string());
}

const TExportedWav& TWavExport::silence() {
    if (!silence_) {
        TExportedWav wav;
        wav.name = "silence.WAV"; // no sample's name: those end in _<number>
        wav.frames = 16;
        const std::vector<std::int16_t> zeros(static_cast<std::size_t>(wav.frames), 0);
        writeWav(dir_ / wav.name, zeros, kOutputRate);
        silence_ = wav;
    }
    return *silence_;
}

double TWavExport::rms(int sample) {
    if (auto it = rms_.find(sample); it != rms_.end())
        return it->second;
    const auto data = font_.sampleData(sample);
    double sum = 0;
    for (const auto v : data)
        sum += static_cast<double>(v) * v;
    const double value = data.empty() ? 0 : std::sqrt(sum / static_cast<double>(data.size()));
    rms_[sample] = value;
    return value;
}

double TWavExport::lowPassRatio(int sample, double cutoff, int resonance) {
    const TSfSample& s = font_.samples()[static_cast<std::size_t>(sample)];
    if (!(cutoff < 0.45 * s.sampleRate) || rms(sample) <= 0)
        return 1;
    const std::tuple<int, long, int> key{
        sample, std::lround(std::log2(std::max(cutoff, 1.0)) * 120), resonance};
    if (auto it = lowPass_.find(key); it != lowPass_.end())
        return it->second;
    TLowPass filter(cutoff, resonance, s.sampleRate);
    const auto data = font_.sampleData(sample);
    const std::size_t n = std::min<std::size_t>(data.size(), 2 * s.sampleRate);
    double sum = 0, plain = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = data[i];
        const double y = filter(x); // over the first two seconds
        sum += y * y;
        plain += x * x;
    }
    const double ratio = plain > 0 ? std::sqrt(sum / plain) : 1.0;
    lowPass_[key] = ratio;
    return ratio;
}

TWavExport::TWavExport(const TSoundFont& font, std::filesystem::path dir)
    : font_(font), dir_(std::move(dir)), budget_(std::int64_t{1} << 20) {
    for (const auto& s : font.samples())
        budget_ += 16 * (std::int64_t{s.end} - s.start);
}

std::int64_t TWavExport::minFramesOf(const TSampleCut& cut) const {
    if (cut.loopEnd <= cut.loopStart || cut.minFrames <= 0)
        return 0;
    const TSfSample& s = font_.samples()[static_cast<std::size_t>(cut.sample)];
    const std::int64_t natural =
        resampledFrames(cut.end - cut.start, cut.loopStart - cut.start, cut.loopEnd - cut.start,
                        s.sampleRate * std::pow(2.0, cut.cents / 1200));
    if (cut.minFrames <= natural)
        return 0; // the plain file holds it: no second one
    std::int64_t frames = 4096;
    while (frames < cut.minFrames && frames < kMaxFrames)
        frames *= 2;
    return frames;
}

TWavExport::TKey TWavExport::keyOf(const TSampleCut& cut) const {
    return {cut.sample,
            cut.start,
            cut.end,
            cut.loopStart,
            cut.loopEnd,
            std::lround(cut.cents * 10),
            minFramesOf(cut),
            cut.filterCutoff > 0 ? std::lround(std::log2(cut.filterCutoff) * 1200) : 0,
            cut.filterResonance};
}

std::int64_t TWavExport::framesOf(const TSampleCut& cut) const {
    const TSfSample& s = font_.samples()[static_cast<std::size_t>(cut.sample)];
    const bool looped = cut.loopEnd > cut.loopStart;
    return resamplingWork(cut.end - cut.start, looped ? cut.loopStart - cut.start : -1,
                          looped ? cut.loopEnd - cut.start : -1,
                          s.sampleRate * std::pow(2.0, cut.cents / 1200), minFramesOf(cut));
}

bool TWavExport::fits(const TSampleCut& cut) const {
    return files_.count(keyOf(cut)) != 0 || framesOf(cut) <= budget_;
}

const TExportedWav& TWavExport::get(const TSampleCut& cut) {
    const TKey key = keyOf(cut);
    if (auto it = files_.find(key); it != files_.end())
        return it->second;
    budget_ -= framesOf(cut);

    const TSfSample& s = font_.samples()[static_cast<std::size_t>(cut.sample)];
    const auto all = font_.sampleData(cut.sample);
    const auto from = static_cast<std::size_t>(cut.start - s.start);
    const auto to = static_cast<std::size_t>(cut.end - s.start);
    std::span<const std::int16_t> piece(all.data() + from, to - from);
    const bool looped = cut.loopEnd > cut.loopStart;
    std::int64_t loopStart = looped ? cut.loopStart - cut.start : -1;
    std::int64_t loopEnd = looped ? cut.loopEnd - cut.start : -1;
    double unit = 1; // font data per unit of the piece
    TFilteredPiece filtered;
    if (cut.filterCutoff > 0) {
        filtered = lowPassed(piece, loopStart, loopEnd, cut.filterCutoff, cut.filterResonance,
                             s.sampleRate);
        piece = filtered.data;
        loopStart = filtered.loopStart;
        loopEnd = filtered.loopEnd;
        unit = 1 / filtered.scale;
    }
    int peak = 1;
    for (const auto v : piece)
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    const double gain = peak * unit > kStoredPeak ? kStoredPeak / (peak * unit) : 1.0;
    const auto resampled =
        resampleForEngine(piece, loopStart, loopEnd, s.sampleRate * std::pow(2.0, cut.cents / 1200),
                          gain * unit, minFramesOf(cut));

    auto meanSquare = [](auto first, auto last) {
        double sum = 0;
        for (auto it = first; it != last; ++it)
            sum += static_cast<double>(*it) * *it;
        return last > first ? sum / static_cast<double>(last - first) : 0.0;
    };
    // Over the sample's onset and one pass of its loop: a bright attack often carries most of
    // the sound above the band.
    double before = meanSquare(piece.begin(), piece.end());
    double after = meanSquare(resampled.data.begin(), resampled.data.end());
    if (looped) {
        const auto onset = static_cast<double>(loopStart);
        const auto loop = static_cast<double>(loopEnd - loopStart);
        const auto* res = resampled.data.data();
        before = meanSquare(piece.begin(), piece.begin() + loopEnd);
        after = (meanSquare(res, res + resampled.loopStart) * onset +
                 meanSquare(res + resampled.loopStart, res + resampled.loopEnd) * loop) /
                (onset + loop);
    }

    TExportedWav wav;
    wav.bandRatio =
        before > 0 && after > 0 ? std::min(1.0, std::sqrt(after / before) / (gain * unit)) : 1;
    wav.name = safeName(s.name) + "_" + std::to_string(files_.size() + 1) + ".WAV";
    wav.frames = static_cast<std::int64_t>(resampled.data.size());
    wav.loopStart = resampled.loopStart;
    wav.loopEnd = resampled.loopEnd;
    wav.gain = gain;
    writeWav(dir_ / wav.name, resampled.data, kOutputRate);
    return files_.emplace(key, wav).first->second;
}

} // namespace zb::importer
