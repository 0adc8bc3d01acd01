#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// A SoundFont 2 file read into plain values: its presets with every playable zone resolved
// (preset and instrument levels combined), and its samples with their 16-bit data.
//
// The tables are read and checked by the importer itself (importer/sf_tables.h); the
// generators are interpreted here, preset and instrument levels combined.
namespace zb::importer {

// Everything that makes a font unusable: unreadable, truncated, inconsistent. The message is
// meant for the user as it is.
class TImportError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// SoundFont generator numbers used by the import.
enum TGenerator : int {
    genStartOffset = 0,
    genEndOffset = 1,
    genStartLoopOffset = 2,
    genEndLoopOffset = 3,
    genStartCoarseOffset = 4,
    genEndCoarseOffset = 12,
    genInitialFilterFc = 8,
    genInitialFilterQ = 9,
    genModEnvToFilterFc = 11,
    genPan = 17,
    genFreqVibLfo = 24,
    genDelayModEnv = 25,
    genAttackModEnv = 26,
    genHoldModEnv = 27,
    genDecayModEnv = 28,
    genSustainModEnv = 29,
    genDelayVolEnv = 33,
    genAttackVolEnv = 34,
    genHoldVolEnv = 35,
    genDecayVolEnv = 36,
    genSustainVolEnv = 37,
    genReleaseVolEnv = 38,
    genKeynumToVolEnvHold = 39,
    genKeynumToVolEnvDecay = 40,
    genInstrument = 41,
    genKeyRange = 43,
    genVelRange = 44,
    genStartLoopCoarseOffset = 45,
    genInitialAttenuation = 48,
    genEndLoopCoarseOffset = 50,
    genCoarseTune = 51,
    genFineTune = 52,
    genSampleId = 53,
    genSampleModes = 54,
    genScaleTuning = 56,
    genOverridingRootKey = 58,
    genCount = 61,
};

// One sample header with its data (the frames Start..End of the font's sample chunk).
struct TSfSample {
    std::string name;
    std::uint32_t start = 0; // frames from the beginning of the sample chunk
    std::uint32_t end = 0;   // one past the last frame
    std::uint32_t loopStart = 0;
    std::uint32_t loopEnd = 0; // one past the last frame of the loop
    std::uint32_t sampleRate = 0;
    int originalPitch = 60;
    int pitchCorrection = 0; // cents
    int link = 0;
    int type = 1; // 1 mono, 2 right, 4 left, 8 linked
};

// A modulator as the file holds it: its source, destination generator, amount, amount source
// and transform (SoundFont 2.04, section 8.2).
struct TSfModulator {
    std::uint16_t source = 0, destination = 0, amountSource = 0, transform = 0;
    int amount = 0;
    bool sameAs(const TSfModulator& m) const {
        return source == m.source && destination == m.destination &&
               amountSource == m.amountSource && transform == m.transform;
    }
};

// The generator values of one playable zone: the instrument zone's (or its global zone's, or
// the default) plus the preset zone's additive contribution, with the key and velocity ranges
// intersected.
struct TSfZone {
    std::array<int, genCount> gen{};
    int keyLow = 0, keyHigh = 127;
    int velLow = 0, velHigh = 127;
    int sample = 0; // index into TSoundFont::samples()
    // The modulators that act on the zone: the default ones as the instrument's global and own
    // zones replace them, then the preset's (which add to the instrument's).
    std::vector<TSfModulator> modulators;
    int get(TGenerator g) const { return gen[static_cast<std::size_t>(g)]; }
};

// What the modulators of a zone add to generator g of a note at `velocity` on `key`. Only
// modulators whose sources are the note's velocity or key (or none) count: the engine plays
// the controllers, pressure and pitch wheel by its own rules.
double modulation(const std::vector<TSfModulator>& modulators, int g, int key, int velocity);

// The default modulators of the format, as SoundFont players apply them.
const std::vector<TSfModulator>& defaultModulators();

struct TSfPreset {
    std::string name;
    int bank = 0;
    int program = 0;
    std::vector<TSfZone> zones;
};

class TSoundFont final {
public:
    // Reads the whole font; throws TImportError with a message naming the file and the fault.
    explicit TSoundFont(const std::string& path);
    ~TSoundFont();
    TSoundFont(const TSoundFont&) = delete;
    TSoundFont& operator=(const TSoundFont&) = delete;

    const std::string& bankName() const { return bankName_; }
    const std::vector<TSfPreset>& presets() const { return presets_; }
    const std::vector<TSfSample>& samples() const { return samples_; }
    // Faults of the font that reading it corrected or worked around.
    const std::vector<std::string>& warnings() const { return warnings_; }
    // The frames of sample i (its start..end), as 16-bit values.
    std::vector<std::int16_t> sampleData(int i) const;

private:
    static constexpr int kCompressed = 0x10; // SF3: the sample is an Ogg Vorbis stream
    void decodeSample(std::span<const std::uint8_t> chunk, TSfSample& s,
                      std::vector<std::uint8_t>& decoded);

    std::string path_;
    std::string bankName_;
    std::vector<TSfPreset> presets_;
    std::vector<TSfSample> samples_;
    std::vector<std::string> warnings_;
    std::vector<std::uint8_t> sampleChunk_; // the raw 16-bit "smpl" chunk
};

// The default value of every generator as the SoundFont format defines it.
std::array<int, genCount> defaultGenerators();

} // namespace zb::importer
