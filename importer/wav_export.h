#pragma once

#include "importer/sound_font.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <tuple>

// The WAV files of one import: each distinct piece of a sample (range, loop, tuning) is
// resampled and written once, and every line that plays it names the same file.
namespace zb::importer {

struct TSampleCut {
    int sample = 0;
    std::int64_t start = 0, end = 0;         // frames of the font's sample chunk, end exclusive
    std::int64_t loopStart = 0, loopEnd = 0; // loopEnd <= loopStart: no loop
    double cents = 0;                        // pitch raised by the resampling
    // Frames at the engine's rate that a looping cut must hold at least, its loop repeated past
    // its end; rounded up to a power of two, so that the lines of many zones share one file.
    std::int64_t minFrames = 0;
    // A low-pass baked into the data: cut-off in Hz on the data at its own rate (0: none) and
    // resonance in cB, as the zone's filter sounds at the pitch the cut's lines play.
    double filterCutoff = 0;
    int filterResonance = 0;
};

struct TExportedWav {
    std::string name; // file name inside the WAV directory
    std::int64_t frames = 0;
    std::int64_t loopStart = -1, loopEnd = -1;
    double gain = 1; // WAV data = font data x gain
    // RMS of the WAV over that of the font data x gain (up to the loop's end, one pass of the
    // loop): below 1 by the share of the sound above the engine's band, which resampling removes.
    double bandRatio = 1;
};

class TWavExport final {
public:
    TWavExport(const TSoundFont& font, std::filesystem::path dir);

    // Whether the file for a cut is written already or still fits the import's budget:
    // resampling a sample of a very low rate, or tuned far down, multiplies its frames, one
    // tuned far up widens the kernel, and a font's few bytes must not fill a disk or take
    // minutes. The budget is the work (resamplingWork) of 2^20 frames (48 seconds) plus 16 times
    // the font's own sample frames; real fonts take less than they hold (FluidR3_GM) or about
    // twice as much (TimGM6mb).
    bool fits(const TSampleCut& cut) const;
    // The file for a cut, written on first use. Throws TImportError when it cannot be written.
    const TExportedWav& get(const TSampleCut& cut);
    // A few frames of silence, written on first use, for the keys that no zone covers.
    const TExportedWav& silence();
    int count() const { return static_cast<int>(files_.size()) + (silence_ ? 1 : 0); }
    // Root mean square of a sample's data (font scale), for ranking layers by loudness.
    double rms(int sample);
    // How much a low-pass at `cutoff` Hz (on the data at its own rate) with `resonance` (cB)
    // changes a sample's RMS: filtered RMS / RMS, 1 when the cut-off lies above the data's band.
    double lowPassRatio(int sample, double cutoff, int resonance = 0);

private:
    using TKey = std::tuple<int, std::int64_t, std::int64_t, std::int64_t, std::int64_t, long,
                            std::int64_t, long, int>;
    const TSoundFont& font_;
    std::filesystem::path dir_;
    TKey keyOf(const TSampleCut& cut) const;
    std::int64_t minFramesOf(const TSampleCut& cut) const;
    std::int64_t framesOf(const TSampleCut& cut) const;
    std::map<TKey, TExportedWav> files_;
    std::int64_t budget_ = 0; // frames that may still be written
    std::optional<TExportedWav> silence_;
    std::map<int, double> rms_;
    std::map<std::tuple<int, long, int>, double> lowPass_;
};

// Writes a 16-bit mono PCM WAV file; throws TImportError on failure.
void writeWav(const std::filesystem::path& path, std::span<const std::int16_t> data, int rate);

// A file name made of letters, digits, '-' and '_' only.
std::string safeName(const std::string& raw);

} // namespace zb::importer
