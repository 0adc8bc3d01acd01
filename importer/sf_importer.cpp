#include "importer/sf_importer.h"

#include "importer/patch_mapping.h"
#include "importer/sound_font.h"
#include "importer/wav_export.h"
#include "importer/zone_values.h"
#include "instruments/prg_patch.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>

namespace zb::importer {

namespace {

namespace fs = std::filesystem;

// The two lines of a long decay or release: the tail's share of the amplitude, and where each
// falls silent, as a fraction of the SoundFont time (a fall of 100 dB). Fitted to the
// logarithmic fall over its first 40 dB: 1.9 dB mean difference, against 11 dB for one line.
constexpr double kTailShare = 0.14;
constexpr double kFastReach = 0.16;
constexpr double kTailReach = 0.41;
constexpr double kTypicalHold = 1.0; // seconds
constexpr double kBakeBelow = 0.9;   // a low-pass that keeps less of the level is baked in

// One zone that may sound at velocity 100, with what it takes to rank it.
struct TLayer {
    TSfZone zone;
    int pan = 0;          // SoundFont units, -500..500
    double amplitude = 0; // per channel at the reference controllers, relative to the font data
                          // (before the modulators' attenuation at the line's key)
    double loudness = 0;  // amplitude x the sample's RMS
};

class TPresetWriter final {
public:
    TPresetWriter(const TSoundFont& font, TWavExport& wavs, TImportSummary& summary)
        : font_(font), wavs_(wavs), summary_(summary) {}

    std::vector<std::string> lines(const TSfPreset& preset) {
        const auto layers = layersOf(preset);
        // Of the layers over a key, the six loudest sound: a key holds at most six entries.
        std::vector<std::vector<bool>> kept(layers.size(), std::vector<bool>(128, false));
        // Of the kept layers, the loudest may take a second line while the key has room.
        std::vector<std::vector<bool>> paired(layers.size(), std::vector<bool>(128, false));
        for (int key = 0; key < 128; ++key) {
            std::vector<std::size_t> over;
            for (std::size_t i = 0; i < layers.size(); ++i)
                if (layers[i].zone.keyLow <= key && key <= layers[i].zone.keyHigh)
                    over.push_back(i);
            std::stable_sort(over.begin(), over.end(), [&](std::size_t a, std::size_t b) {
                return layers[a].loudness > layers[b].loudness;
            });
            if (over.size() > 6)
                summary_.warnings.push_back(preset.name + ": key " + std::to_string(key) +
                                            " keeps the 6 loudest of " +
                                            std::to_string(over.size()) + " layers");
            const std::size_t count = std::min<std::size_t>(over.size(), 6);
            for (std::size_t n = 0; n < count; ++n) {
                kept[over[n]][static_cast<std::size_t>(key)] = true;
                paired[over[n]][static_cast<std::size_t>(key)] = n < 6 - count;
            }
        }
        std::vector<std::string> out;
        covered_.reset();
        for (std::size_t i = 0; i < layers.size(); ++i)
            linesOf(layers[i], kept[i], paired[i], out);
        if (!out.empty())
            coverSilentKeys(out);
        return out;
    }

private:
    std::vector<TLayer> layersOf(const TSfPreset& preset) {
        std::vector<TLayer> layers;
        auto add = [&](const TSfZone& zone, int pan) {
            TLayer l;
            l.zone = zone;
            l.pan = std::clamp(pan, -500, 500);
            const double cB = std::max(0, zone.get(genInitialAttenuation)) * kAttenuationFactor;
            l.amplitude = kLevelScale * std::pow(10.0, -cB / 200);
            const double extra = extraAttenuation(zone, (zone.keyLow + zone.keyHigh) / 2);
            l.loudness = l.amplitude * std::pow(10.0, -extra / 200) * wavs_.rms(zone.sample);
            layers.push_back(l);
        };
        // Exactly the zones that match a key sound, each with its own pan: the halves of a
        // stereo pair come out as a pair because their zones pan them apart, and a sample's
        // stereo link brings in nothing that no zone plays.
        for (const auto& zone : preset.zones) {
            if (zone.velLow > 100 || zone.velHigh < 100)
                continue; // of velocity layers, the one that holds velocity 100
            add(zone, atKey(zone, (zone.keyLow + zone.keyHigh) / 2).get(genPan));
        }
        return layers;
    }

    // A zone's volume envelope in time for a key (hold and decay may be scaled by the key).
    static TEnvelope envelopeInTime(const TSfZone& z, int key) {
        const int fromMiddle = 60 - key;
        return mapEnvelope(
            seconds(z.get(genDelayVolEnv)), seconds(z.get(genAttackVolEnv)),
            seconds(z.get(genHoldVolEnv) + z.get(genKeynumToVolEnvHold) * fromMiddle),
            seconds(z.get(genDecayVolEnv) + z.get(genKeynumToVolEnvDecay) * fromMiddle),
            std::max(0, z.get(genSustainVolEnv)) / 10.0, seconds(z.get(genReleaseVolEnv)));
    }

    // The lines of one layer over its kept keys: runs of keys that share base key and
    // resampling, cut into octaves because vibrato depth and key-scaled envelopes vary with
    // the key.
    void linesOf(const TLayer& layer, const std::vector<bool>& kept,
                 const std::vector<bool>& paired, std::vector<std::string>& out) {
        const TSfZone z = atKey(layer.zone, (layer.zone.keyLow + layer.zone.keyHigh) / 2);
        const TSfSample& s = font_.samples()[static_cast<std::size_t>(z.sample)];
        const int root = rootKeyOf(z, s);
        const int tune = z.get(genCoarseTune) * 100 + z.get(genFineTune) + s.pitchCorrection;
        auto placement = [&](int key) {
            const double cents = (key - root) * z.get(genScaleTuning) + tune;
            int base = key - static_cast<int>(std::lround(cents / 100));
            base = std::clamp(base, 0, 131);
            return std::pair<int, double>{base, cents - (key - base) * 100.0};
        };
        // The engine ends attack and decay at sample positions, so that their length and the
        // level they reach follow the pitch step: only a line of one key sounds them in time.
        const bool envelopeMoves =
            seconds(z.get(genDelayVolEnv)) + seconds(z.get(genAttackVolEnv)) >= 0.002 ||
            z.get(genSustainVolEnv) > 0;
        const int run = envelopeMoves ? 1 : 12;
        // A decay runs through the sample, not its loop: the highest key of the zone, which
        // steps fastest, needs the most of it. Only a decay to a sustain level (1 to 20 dB
        // down) is worth the data; a deeper one falls on by time, as a pair or a slope.
        std::int64_t decayFrames = 0;
        const int sustain = z.get(genSustainVolEnv);
        for (int k = z.keyLow; k <= z.keyHigh && sustain > 10 && sustain <= 200; ++k) {
            if (!kept[static_cast<std::size_t>(k)])
                continue;
            const TEnvelope e = envelopeInTime(z, k);
            const double r = std::pow(2.0, (k - placement(k).first) / 12.0);
            decayFrames = std::max(decayFrames, static_cast<std::int64_t>(std::llround(
                                                    (e.attackLength + e.decayLength) * r * 22.05)));
        }
        int key = z.keyLow;
        while (key <= z.keyHigh) {
            if (!kept[static_cast<std::size_t>(key)]) {
                ++key;
                continue;
            }
            const auto [base, cents] = placement(key);
            int high = key;
            while (high + 1 <= z.keyHigh && high + 1 - key < run &&
                   kept[static_cast<std::size_t>(high + 1)] && placement(high + 1).first == base &&
                   std::abs(placement(high + 1).second - cents) < 0.05)
                ++high;
            addLine(layer, s, key, high, base, cents, decayFrames,
                    std::all_of(paired.begin() + key, paired.begin() + high + 1,
                                [](bool p) { return p; }),
                    out);
            key = high + 1;
        }
    }

    // One zone's key range as one or two patch lines, from the sample cut through the filter
    // and the level to the envelope pair. Longer than most functions on purpose: every step
    // refines the same cut, line values and loop placement, and read in one piece it can be
    // checked against how a SoundFont player sounds the zone.
    void addLine(const TLayer& layer, const TSfSample& s, int low, int high, int base, double cents,
                 std::int64_t decayFrames, bool pairable, std::vector<std::string>& out) {
        const TSfZone z = atKey(layer.zone, (low + high) / 2);
        const int root = rootKeyOf(z, s);
        const int tune = z.get(genCoarseTune) * 100 + z.get(genFineTune) + s.pitchCorrection;
        TSampleCut cut;
        cut.sample = z.sample;
        cut.start =
            std::int64_t{s.start} + z.get(genStartOffset) + 32768LL * z.get(genStartCoarseOffset);
        cut.end = std::int64_t{s.end} + z.get(genEndOffset) + 32768LL * z.get(genEndCoarseOffset);
        cut.start = std::clamp<std::int64_t>(cut.start, s.start, s.end);
        cut.end = std::clamp<std::int64_t>(cut.end, cut.start, s.end);
        const int mode = z.get(genSampleModes) & 3;
        if (mode == 1 || mode == 3) {
            cut.loopStart = std::int64_t{s.loopStart} + z.get(genStartLoopOffset) +
                            32768LL * z.get(genStartLoopCoarseOffset);
            cut.loopEnd = std::int64_t{s.loopEnd} + z.get(genEndLoopOffset) +
                          32768LL * z.get(genEndLoopCoarseOffset);
            // A loop reaching outside the sample is moved inside it, as SoundFont players
            // correct such loop points; one that leaves nothing to loop is dropped.
            if (cut.loopStart < cut.start || cut.loopEnd > cut.end) {
                cut.loopStart = std::clamp(cut.loopStart, cut.start, cut.end);
                cut.loopEnd = std::clamp(cut.loopEnd, cut.start, cut.end);
                if (cut.loopEnd > cut.loopStart)
                    summary_.warnings.push_back("sample " + s.name +
                                                ": loop moved inside the sample");
            }
            if (cut.loopEnd <= cut.loopStart) {
                summary_.warnings.push_back("sample " + s.name +
                                            ": loop outside the sample, played without loop");
                cut.loopStart = cut.loopEnd = 0;
            }
        }
        if (cut.end - cut.start < 2 || s.sampleRate == 0 || s.sampleRate > 1000000) {
            summary_.warnings.push_back("sample " + s.name + ": empty or without rate, skipped");
            return;
        }
        cut.cents = cents;
        cut.minFrames = decayFrames + 4096; // the decay's end, then a loop to sustain in

        // The zone's low-pass, as it sounds over the first second and a half of a note at
        // velocity 100 while the modulation envelope may sweep it: its loss of level as the
        // power average, weighted by the volume envelope's power, and its cut-off as their
        // geometric mean. Where it takes more than 0.5 dB it shapes the sound, and is baked into
        // the data at the middle of the octave (from the root) that the line plays in: the
        // filter is fixed in Hz while a line transposes its data. The level of a line is the
        // average loss, whatever the bake took.
        const int middle = (low + high) / 2;
        const TEnvelope inTime = envelopeInTime(z, middle);
        const auto pitchAt = [&](double key) {
            return std::pow(2.0, (key - root) * z.get(genScaleTuning) / 1200.0 + tune / 1200.0);
        };
        const int resonance = z.get(genInitialFilterQ);
        double filtered = 0, weight = 0, logCutoff = 0;
        for (const double t : {0.05, 0.2, 0.5, 1.0, 1.5}) {
            const double w = std::pow(levelAt(inTime, t), 2) + 1e-6;
            const double hz = cutoffHz(z, t);
            filtered +=
                w * std::pow(wavs_.lowPassRatio(z.sample, hz / pitchAt(middle), resonance), 2);
            logCutoff += w * std::log2(hz);
            weight += w;
        }
        double filter = std::sqrt(filtered / weight);
        if (filter < kBakeBelow) {
            const double octave = std::floor((middle - root) / 12.0);
            const double hz = std::pow(2.0, logCutoff / weight) / pitchAt(root + 12 * octave + 6);
            cut.filterCutoff = std::pow(2.0, std::round(std::log2(hz) * 4) / 4);
            cut.filterResonance = resonance;
            filter /= wavs_.lowPassRatio(z.sample, cut.filterCutoff, resonance);
        }
        if (!wavs_.fits(cut)) {
            summary_.warnings.push_back("sample " + s.name +
                                        ": too many frames at the engine's rate, skipped");
            return;
        }
        const TExportedWav& wav = wavs_.get(cut);

        TPrgLineValues v;
        v.keyLow = low;
        v.keyHigh = high;
        v.wavName = wav.name;
        v.baseKey = base;
        v.panpot = panpotOf(layer.pan);
        v.modulationSensitivity = modulationSensitivityFor(middle, base);
        v.modulationRate = modulationRateFor(8.176 * std::pow(2.0, z.get(genFreqVibLfo) / 1200.0));
        const int fromMiddle = 60 - middle;
        const double hold =
            seconds(z.get(genHoldVolEnv) + z.get(genKeynumToVolEnvHold) * fromMiddle);
        const double decay =
            seconds(z.get(genDecayVolEnv) + z.get(genKeynumToVolEnvDecay) * fromMiddle);
        const double sustainDb = std::max(0, z.get(genSustainVolEnv)) / 10.0;
        const double release = seconds(z.get(genReleaseVolEnv));
        // SoundFont players keep the sound above the engine's band (as aliases at its rate):
        // the power that the resampling removes is given back to the rest, up to 12 dB.
        const double amplitude = layer.amplitude *
                                 std::pow(10.0, -extraAttenuation(layer.zone, middle) / 200) *
                                 filter / wav.gain / std::max(0.25, wav.bandRatio);
        v.baseVolume = baseVolumeFor(amplitude, v.panpot);
        // The data may repeat the loop past its end (for a long decay): each line then loops
        // the period in which its decay ends, as far as the data goes.
        const std::int64_t period = wav.loopEnd - wav.loopStart;
        const std::int64_t shifts = wav.loopEnd > 0 ? (wav.frames - 3 - wav.loopEnd) / period : 0;
        const double limitMs = wav.loopEnd > 0
                                   ? static_cast<double>(wav.loopEnd - 1 + shifts * period) / 22.05
                                   : static_cast<double>(wav.frames) / 22.05 + 1e6;
        const auto placeLoop = [&](TPrgLineValues& line) {
            if (wav.loopEnd <= 0)
                return;
            const std::int64_t decayEnd =
                (std::int64_t{line.envelope.attackLength} + line.envelope.decayLength) * 441 / 20;
            const std::int64_t shift =
                std::clamp<std::int64_t>((decayEnd - wav.loopStart) / period, 0, shifts);
            line.loopStart = wav.loopStart + shift * period;
            line.loopEnd = wav.loopEnd + shift * period;
        };
        const double loopStartMs = wav.loopEnd > 0 ? static_cast<double>(wav.loopStart) / 22.05 : 0;
        const double r = std::pow(2.0, (middle - base) / 12.0);
        // A straight release falls by a fixed amount a second, the logarithmic one by a fixed
        // share of the level it starts from: the slopes are sized for the level that a note
        // held for a while has reached (a note released early rings at most four times as
        // long as it should).
        auto releasing = [&](TEnvelope e, double reach) {
            e.releaseSlope =
                -std::max(0.25, levelAt(e, kTypicalHold)) / std::max(0.01, release * reach);
            return fitEnvelope(e, r, limitMs, loopStartMs);
        };
        v.envelope = releasing(inTime, 0.3);
        v.startPosition = 0;
        v.endPosition = wav.frames - 1;
        v.loopStart = wav.loopStart;
        v.loopEnd = wav.loopEnd;
        placeLoop(v);
        if (v.endPosition >= wav.frames || v.loopEnd >= wav.frames)
            throw TImportError("internal error: the line written for sample " + s.name +
                               " lies outside its WAV: " + formatPrgLine(v));

        // SoundFont players decay and release on a logarithmic curve, the engine on straight
        // ones. Two lines that play the same sample in step sum to one sound; the louder one
        // falls fast and the quiet one leaves the long, faint tail, and together they follow
        // the curve within a few dB where one straight line misses it by ten. Of six lines a
        // key may hold, the loudest layers take the room the others leave; a short fall needs
        // no tail.
        const bool longDecay = sustainDb > 20 && decay * kTailReach >= 0.1;
        // (A base volume divides: a loud line has a small one, which must stay fine enough.)
        TPrgLineValues tail = v;
        tail.baseVolume = baseVolumeFor(amplitude * kTailShare, v.panpot);
        const std::int64_t fastVolume = baseVolumeFor(amplitude * (1 - kTailShare), v.panpot);
        if (pairable && (release * kTailReach >= 0.1 || longDecay) && fastVolume >= 8) {
            v.baseVolume = fastVolume;
            const TEnvelope fast =
                longDecay ? pairedDecay(inTime, hold, decay, kFastReach) : inTime;
            const TEnvelope slow =
                longDecay ? pairedDecay(inTime, hold, decay, kTailReach) : inTime;
            v.envelope = releasing(fast, kFastReach);
            tail.envelope = releasing(slow, kTailReach);
            placeLoop(v);
            placeLoop(tail);
            checkedAdd(formatPrgLine(tail), s.name, out);
        }
        checkedAdd(formatPrgLine(v), s.name, out);
        for (int key = low; key <= high; ++key)
            covered_.set(static_cast<std::size_t>(key));
    }

    // Keys that no zone covers play a shared silent sample, as a SoundFont player plays
    // nothing there and goes on: a song must not stop at a key the font leaves out.
    void coverSilentKeys(std::vector<std::string>& out) {
        for (int key = 0; key < 128;) {
            if (covered_.test(static_cast<std::size_t>(key))) {
                ++key;
                continue;
            }
            int high = key;
            while (high + 1 < 128 && !covered_.test(static_cast<std::size_t>(high + 1)))
                ++high;
            const TExportedWav& wav = wavs_.silence();
            TPrgLineValues v;
            v.keyLow = key;
            v.keyHigh = high;
            v.wavName = wav.name;
            v.baseKey = key;
            v.endPosition = wav.frames - 1;
            checkedAdd(formatPrgLine(v), "silence", out);
            key = high + 1;
        }
    }

    // Every line written is read back by the patch parser (into one scratch table: a full key
    // only ignores further lines, which reads back all the same).
    void checkedAdd(const std::string& line, const std::string& sample,
                    std::vector<std::string>& out) {
        const auto code = instruments::parsePrgLine(*readBack_, line);
        if (code != instruments::prgOk)
            throw TImportError("internal error: the line written for sample " + sample +
                               " does not read back (code " + std::to_string(code) + "): " + line);
        out.push_back(line);
    }

    const TSoundFont& font_;
    TWavExport& wavs_;
    TImportSummary& summary_;
    std::unique_ptr<instruments::prgEntryRec> readBack_ =
        std::make_unique<instruments::prgEntryRec>();
    std::bitset<128> covered_; // keys of the current preset that a line plays
};

void writePrg(const fs::path& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n"; // a patch line ends at a carriage return
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out)
        throw TImportError("cannot write " + path.string());
}

} // namespace

TImportSummary importSoundFont(const std::string& fontPath, const std::string& outDir,
                               const TImportOptions& options) {
    const TSoundFont font(fontPath);
    const fs::path prgDir = fs::path(outDir) / "PRG";
    const fs::path wavDir = fs::path(outDir) / "WAV";
    std::error_code ec;
    fs::create_directories(prgDir, ec);
    if (!ec)
        fs::create_directories(wavDir, ec);
    if (ec)
        throw TImportError("cannot create " + outDir + "/PRG and WAV: " + ec.message());

    TImportSummary summary;
    summary.warnings = font.warnings();
    TWavExport wavs(font, wavDir);
    TPresetWriter writer(font, wavs, summary);
    const std::string fontName = printable(fs::path(fontPath).filename().string());
    const int presetCount = static_cast<int>(font.presets().size());
    int done = 0;
    for (const auto& preset : font.presets()) {
        if (options.progress)
            options.progress(done++, presetCount);
        const bool melodic = preset.bank == options.bank && preset.program < 128;
        const bool drum = !melodic && preset.bank == options.drumBank && preset.program < 128;
        if (!melodic && !drum)
            continue;
        std::string title = "# ";
        title += printable(preset.name);
        title += ": preset " + std::to_string(preset.bank) + ":" + std::to_string(preset.program);
        title += " of " + fontName;
        if (!font.bankName().empty())
            title += " (" + printable(font.bankName()) + ")";
        std::vector<std::string> lines{
            title, "# imported by zorbel-cli import-sf2",
            "# keys wav base vol pan vel pres expr rel bend modsens modrate att dec sus rel "
            "attlen declen start end lstart lend bits ch rate"};
        const auto body = writer.lines(preset);
        if (body.empty()) {
            summary.warnings.push_back(preset.name + ": no zone sounds at velocity 100, skipped");
            continue;
        }
        lines.insert(lines.end(), body.begin(), body.end());
        summary.lines += static_cast<int>(body.size());
        std::string file = drum ? "D" : "";
        file += std::to_string(preset.program);
        file += ".PRG";
        writePrg(prgDir / file, lines);
        ++(drum ? summary.drumPrograms : summary.melodicPrograms);
    }
    if (options.progress)
        options.progress(presetCount, presetCount);
    summary.wavFiles = wavs.count();
    if (summary.melodicPrograms + summary.drumPrograms == 0)
        throw TImportError(fontPath + ": no preset in bank " + std::to_string(options.bank) +
                           " or drum bank " + std::to_string(options.drumBank));
    return summary;
}

} // namespace zb::importer
