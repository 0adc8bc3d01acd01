#include "importer/wav_export.h"

#include "importer/patch_mapping.h"
#include "importer/resampler.h"

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

void put16(std::string& s, unsigned v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
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
    std::string file;
    file.reserve(44 + bytes);
    file += "RIFF";
    put32(file, 36 + bytes);
    file += "WAVEfmt ";
    put32(file, 16);
    put16(file, 1); // PCM
    put16(file, 1); // mono
    put32(file, static_cast<std::uint32_t>(rate));
    put32(file, static_cast<std::uint32_t>(rate) * 2);
    put16(file, 2);
    put16(file, 16);
    file += "data";
    put32(file, bytes);
    for (const std::int16_t v : data)
        put16(file, static_cast<std::uint16_t>(v));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
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
    // The resonant low-pass of SoundFont players (a biquad whose Q is the zone's resonance in
    // centibels above that of a Butterworth filter, its gain lowered by the root of Q), over the
    // first two seconds.
    const double q = std::pow(10.0, (std::clamp(resonance, 0, 960) / 10.0 - 3.01) / 20);
    const double gain = 1 / std::sqrt(q);
    const double w = 2 * 3.14159265358979323846 * cutoff / s.sampleRate;
    const double alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    const double b0 = (1 - std::cos(w)) / 2 / a0 * gain, b1 = (1 - std::cos(w)) / a0 * gain,
                 b2 = b0;
    const double a1 = -2 * std::cos(w) / a0, a2 = (1 - alpha) / a0;
    const auto data = font_.sampleData(sample);
    const std::size_t n = std::min<std::size_t>(data.size(), 2 * s.sampleRate);
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0, sum = 0, plain = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = data[i];
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
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
    return {cut.sample,      cut.start,   cut.end,
            cut.loopStart,   cut.loopEnd, std::lround(cut.cents * 10),
            minFramesOf(cut)};
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
    const std::span<const std::int16_t> piece(all.data() + from, to - from);
    int peak = 1;
    for (const auto v : piece)
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    const double gain = peak > kStoredPeak ? kStoredPeak / peak : 1.0;
    const bool looped = cut.loopEnd > cut.loopStart;
    const auto resampled = resampleForEngine(
        piece, looped ? cut.loopStart - cut.start : -1, looped ? cut.loopEnd - cut.start : -1,
        s.sampleRate * std::pow(2.0, cut.cents / 1200), gain, minFramesOf(cut));

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
        const auto onset = static_cast<double>(cut.loopStart - cut.start);
        const auto loop = static_cast<double>(cut.loopEnd - cut.loopStart);
        const auto* res = resampled.data.data();
        before = meanSquare(piece.begin(), piece.begin() + (cut.loopEnd - cut.start));
        after = (meanSquare(res, res + resampled.loopStart) * onset +
                 meanSquare(res + resampled.loopStart, res + resampled.loopEnd) * loop) /
                (onset + loop);
    }

    TExportedWav wav;
    wav.bandRatio = before > 0 && after > 0 ? std::min(1.0, std::sqrt(after / before) / gain) : 1;
    wav.name = safeName(s.name) + "_" + std::to_string(files_.size() + 1) + ".WAV";
    wav.frames = static_cast<std::int64_t>(resampled.data.size());
    wav.loopStart = resampled.loopStart;
    wav.loopEnd = resampled.loopEnd;
    wav.gain = gain;
    writeWav(dir_ / wav.name, resampled.data, kOutputRate);
    return files_.emplace(key, wav).first->second;
}

} // namespace zb::importer
