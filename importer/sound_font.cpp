#include "importer/sound_font.h"

#include "importer/sf_tables.h"
#include "importer/vorbis_decode.h"
#include "instruments/little_endian.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zb::importer {

namespace {

using TBytes = TSfTables::TBytes;

// One record of a checked table: its fields are there (the table is a whole number of records).
class TRecord final {
public:
    TRecord(TBytes table, std::size_t size, std::size_t index)
        : bytes_(table.subspan(index * size, size)) {}
    std::uint32_t u8(std::size_t at) const { return bytes_[at]; }
    std::uint32_t u16(std::size_t at) const { return instruments::getLE16(&bytes_[at]); }
    std::uint32_t u32(std::size_t at) const { return instruments::getLE32(&bytes_[at]); }
    std::string name() const { return {reinterpret_cast<const char*>(bytes_.data()), 20}; }

private:
    TBytes bytes_;
};

// A bag: where its generators and modulators begin in their tables.
struct TBag {
    std::size_t genIndex = 0;
    std::size_t modIndex = 0;
};

// A generator as the file holds it: operator and the two bytes of its amount.
struct TGen {
    int oper = 0;
    std::uint32_t low = 0, high = 0;
};

std::vector<TBag> bagsOf(TBytes table) {
    std::vector<TBag> bags(table.size() / 4);
    for (std::size_t i = 0; i < bags.size(); ++i) {
        bags[i].genIndex = TRecord(table, 4, i).u16(0);
        bags[i].modIndex = TRecord(table, 4, i).u16(2);
    }
    return bags;
}

std::vector<TSfModulator> modsOf(TBytes table) {
    std::vector<TSfModulator> mods(table.size() / 10);
    for (std::size_t i = 0; i < mods.size(); ++i) {
        const TRecord r(table, 10, i);
        mods[i].source = static_cast<std::uint16_t>(r.u16(0));
        mods[i].destination = static_cast<std::uint16_t>(r.u16(2));
        mods[i].amount = static_cast<std::int16_t>(static_cast<std::uint16_t>(r.u16(4)));
        mods[i].amountSource = static_cast<std::uint16_t>(r.u16(6));
        mods[i].transform = static_cast<std::uint16_t>(r.u16(8));
    }
    return mods;
}

// A list of modulators with others merged in: an identical one replaces its match.
void mergeModulators(std::vector<TSfModulator>& into, const std::vector<TSfModulator>& from) {
    for (const auto& m : from) {
        const auto same = std::find_if(into.begin(), into.end(),
                                       [&](const TSfModulator& o) { return o.sameAs(m); });
        if (same != into.end())
            *same = m;
        else
            into.push_back(m);
    }
}

std::vector<TGen> gensOf(TBytes table) {
    std::vector<TGen> gens(table.size() / 4);
    for (std::size_t i = 0; i < gens.size(); ++i) {
        const TRecord r(table, 4, i);
        gens[i] = {static_cast<int>(r.u16(0)), r.u8(2), r.u8(3)};
    }
    return gens;
}

// The generators one zone sets, as written in the file.
struct TRawZone {
    std::array<int, genCount> value{};
    std::bitset<genCount> set;
    std::vector<TSfModulator> modulators; // later ones of the same kind replace earlier ones
    bool has(int g) const { return set.test(static_cast<std::size_t>(g)); }
    int at(int g) const { return value[static_cast<std::size_t>(g)]; }
};

struct TZoneList {
    std::optional<TRawZone> global;
    std::vector<TRawZone> zones; // each ends with its terminal generator (instrument or sample)
};

int amountOf(const TGen& gen, int oper) {
    const auto word = static_cast<int>(gen.low | gen.high << 8);
    if (oper == genKeyRange || oper == genVelRange)
        return word; // low key or velocity in the low byte, high in the high byte
    if (oper == genInstrument || oper == genSampleId || oper == genSampleModes)
        return word; // unsigned
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(word));
}

// Reads the zones of bags first..last-1. `terminal` is the generator that ends a zone.
TZoneList readZones(const std::vector<TBag>& bags, const std::vector<TGen>& gens,
                    const std::vector<TSfModulator>& mods, std::size_t first, std::size_t last,
                    int terminal) {
    if (first > last || last >= bags.size())
        throw TImportError("zone list out of range");
    TZoneList list;
    for (std::size_t b = first; b < last; ++b) {
        const std::size_t g1 = bags[b].genIndex;
        const std::size_t g2 = bags[b + 1].genIndex;
        if (g1 > g2 || g2 > gens.size())
            throw TImportError("generator list out of range");
        TRawZone zone;
        // (Modulator indices were checked like generator indices; a falling pair reads none.)
        for (std::size_t m = bags[b].modIndex; m < bags[b + 1].modIndex && m < mods.size(); ++m)
            mergeModulators(zone.modulators, {mods[m]});
        bool terminated = false;
        for (std::size_t g = g1; g < g2 && !terminated; ++g) {
            const int oper = gens[g].oper;
            if (oper < 0 || oper >= genCount)
                continue;
            zone.value[static_cast<std::size_t>(oper)] = amountOf(gens[g], oper);
            zone.set.set(static_cast<std::size_t>(oper));
            terminated = oper == terminal;
        }
        if (terminated)
            list.zones.push_back(zone);
        else if (b == first && last - first > 1)
            list.global = zone; // a first zone without terminal generator holds the defaults
    }
    return list;
}

// Generators that only the instrument level may set; a preset's value for them is ignored.
bool instrumentOnly(int g) {
    switch (g) {
    case genStartOffset:
    case genEndOffset:
    case genStartLoopOffset:
    case genEndLoopOffset:
    case genStartCoarseOffset:
    case genEndCoarseOffset:
    case genStartLoopCoarseOffset:
    case genEndLoopCoarseOffset:
    case 46:
    case 47:
    case genSampleModes:
    case 57:
    case genOverridingRootKey:
    case genKeyRange:
    case genVelRange:
    case genInstrument:
    case genSampleId:
        return true;
    default:
        return false;
    }
}

void rangeOf(const TRawZone& zone, const std::optional<TRawZone>& global, int g, int& lo, int& hi) {
    int packed = -1;
    if (zone.has(g))
        packed = zone.at(g);
    else if (global && global->has(g))
        packed = global->at(g);
    if (packed < 0)
        return;
    lo = std::max(lo, packed & 0xFF);
    hi = std::min(hi, (packed >> 8) & 0xFF);
}

// A name up to its first zero, without trailing spaces; bytes that are no printable ASCII shown
// as '?' (names reach messages and file names).
std::string cleanName(const std::string& raw) {
    std::string name = raw.substr(0, raw.find('\0'));
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126)
            c = '?';
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

} // namespace

namespace {

// A source's value for a note, as SoundFont players map it (section 8.2.1): 0..127 over 128,
// then direction, polarity and curve. Nothing for a source the import does not play.
std::optional<double> sourceValue(std::uint16_t source, int key, int velocity) {
    const int index = source & 0x7F;
    if (source & 0x80)
        return std::nullopt; // a MIDI controller
    double x = 0;
    if (index == 0)
        return 1.0; // no controller: the amount as it is
    if (index == 2)
        x = velocity / 128.0;
    else if (index == 3)
        x = key / 128.0;
    else
        return std::nullopt; // pressure, pitch wheel, its sensitivity, a link
    if (source & 0x100)
        x = 1 - x;
    const bool bipolar = (source & 0x200) != 0;
    const auto concave = [](double v) { // 0..1 onto the format's concave curve
        const double rest = std::clamp(1 - v, 0.0, 1.0);
        return rest <= 0 ? 1.0 : std::clamp(-(5.0 / 3.0) * std::log10(rest), 0.0, 1.0);
    };
    double y = x;
    switch (source >> 10) {
    case 1: // concave
        y = bipolar ? (x > 0.5 ? concave(2 * x - 1) : -concave(1 - 2 * x)) : concave(x);
        return y;
    case 2: // convex
        y = bipolar ? (x > 0.5 ? 1 - concave(2 - 2 * x) : concave(2 * x) - 1) : 1 - concave(1 - x);
        return y;
    case 3: // switch
        y = x >= 0.5 ? 1 : 0;
        break;
    default:
        break;
    }
    return bipolar ? 2 * y - 1 : y;
}

} // namespace

double modulation(const std::vector<TSfModulator>& modulators, int g, int key, int velocity) {
    double sum = 0;
    for (const auto& m : modulators) {
        if (m.destination != g)
            continue; // also a link to another modulator (bit 15)
        const auto a = sourceValue(m.source, key, velocity);
        const auto b = m.amountSource == 0 ? std::optional<double>(1.0)
                                           : sourceValue(m.amountSource, key, velocity);
        if (!a || !b)
            continue;
        const double v = m.amount * *a * *b;
        sum += m.transform == 2 ? std::abs(v) : v;
    }
    return sum;
}

const std::vector<TSfModulator>& defaultModulators() {
    // Velocity to attenuation (960 cB, concave, falling) and to the filter's cut-off (-2400
    // cents, falling, from velocity 64 up), as SoundFont players define them; the defaults on
    // controllers are the engine's own.
    static const std::vector<TSfModulator> defaults{
        {0x0502, genInitialAttenuation, 0, 0, 960},
        {0x0102, genInitialFilterFc, 0x0C02, 0, -2400},
    };
    return defaults;
}

std::array<int, genCount> defaultGenerators() {
    std::array<int, genCount> d{};
    for (const int g : {8, 21, 23, 25, 26, 27, 28, 30, 33, 34, 35, 36, 38})
        d[static_cast<std::size_t>(g)] = -12000; // delays and envelope times: 1 ms
    d[8] = 13500;                                // filter cutoff
    d[genKeyRange] = 0x7F00;
    d[genVelRange] = 0x7F00;
    d[46] = -1;
    d[47] = -1;
    d[genScaleTuning] = 100;
    d[genOverridingRootKey] = -1;
    return d;
}

// SF3: the sample's Ogg Vorbis stream, bytes start..end of the sample chunk, is decoded and
// appended after the chunk's frames; its loop, counted from the sample's first frame, moves
// with it. A stream that does not decode leaves the sample out, with a warning.
void TSoundFont::decodeSample(std::span<const std::uint8_t> chunk, TSfSample& s,
                              std::vector<std::uint8_t>& decoded) {
    constexpr std::size_t kMaxSampleFrames = std::size_t{1} << 24;
    constexpr std::size_t kMaxDecodedBytes = std::size_t{1} << 29;
    std::optional<std::vector<std::int16_t>> frames;
    if (s.start < s.end && s.end <= chunk.size() && decoded.size() < kMaxDecodedBytes)
        frames = decodeVorbis(chunk.subspan(s.start, s.end - s.start), kMaxSampleFrames);
    if (!frames || frames->empty()) {
        warnings_.push_back("sample " + s.name +
                            ": its compressed data does not decode, not played");
        s.type |= 0x8000;
        s.start = s.end = 0;
        return;
    }
    const std::uint64_t first = chunk.size() / 2 + decoded.size() / 2;
    const auto at = [&](std::uint64_t relative) {
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(first + relative, 0xFFFFFFFFU));
    };
    s.loopStart = at(s.loopStart);
    s.loopEnd = at(s.loopEnd);
    s.start = at(0);
    s.end = at(frames->size());
    s.type &= ~kCompressed;
    const std::size_t written = decoded.size();
    decoded.resize(written + 2 * frames->size());
    for (std::size_t f = 0; f < frames->size(); ++f)
        instruments::putLE16(&decoded[written + 2 * f], static_cast<std::uint16_t>((*frames)[f]));
}

// Reads and checks the whole font in the order of its tables. One long function on purpose: each
// table is checked against the ones read before it, and the checks read best in that order.
TSoundFont::TSoundFont(const std::string& path) : path_(path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw TImportError(path + ": no such SoundFont file");
    try {
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        if (!in.eof() && in.fail())
            throw TImportError("cannot be read");
        const TSfTables t = readSoundFontTables(bytes);
        bankName_ = cleanName(t.bankName);
        warnings_ = t.warnings;

        // Every table ends with a terminal record, which is no sample, instrument or preset.
        std::vector<std::uint8_t> decoded; // the frames of compressed samples, after smpl's
        const int sampleCount = static_cast<int>(t.shdr.size() / 46) - 1;
        for (int i = 0; i < sampleCount; ++i) {
            const TRecord r(t.shdr, 46, static_cast<std::size_t>(i));
            TSfSample out;
            out.name = cleanName(r.name());
            out.start = r.u32(20);
            out.end = r.u32(24);
            out.loopStart = r.u32(28);
            out.loopEnd = r.u32(32);
            out.sampleRate = r.u32(36);
            out.originalPitch = static_cast<int>(r.u8(40));
            out.pitchCorrection = static_cast<std::int8_t>(r.u8(41));
            out.link = static_cast<int>(r.u16(42));
            out.type = static_cast<int>(r.u16(44));
            if ((out.type & kCompressed) && !(out.type & 0x8000))
                decodeSample(t.smpl, out, decoded);
            // A sample reaching outside the data cannot be played; SoundFont players disable
            // it and play the rest of the font.
            if (!(out.type & 0x8000) &&
                (out.start > out.end || out.end > t.smpl.size() / 2 + decoded.size() / 2)) {
                warnings_.push_back("sample " + out.name +
                                    " lies outside the sample data, not played");
                out.type |= 0x8000;
                out.start = out.end = 0;
            }
            samples_.push_back(out);
        }
        if (sampleCount > 0) {
            sampleChunk_.assign(t.smpl.begin(), t.smpl.begin() + t.smpl.size() / 2 * 2);
            sampleChunk_.insert(sampleChunk_.end(), decoded.begin(), decoded.end());
        }

        const auto pBags = bagsOf(t.pbag);
        const auto iBags = bagsOf(t.ibag);
        const auto pGens = gensOf(t.pgen);
        const auto iGens = gensOf(t.igen);
        const auto pMods = modsOf(t.pmod);
        const auto iMods = modsOf(t.imod);
        const int presetCount = static_cast<int>(t.phdr.size() / 38) - 1;
        const int instrumentCount = static_cast<int>(t.inst.size() / 22) - 1;
        const auto presetBag = [&](int p) {
            return std::size_t{TRecord(t.phdr, 38, static_cast<std::size_t>(p)).u16(24)};
        };
        const auto instrumentBag = [&](int i) {
            return std::size_t{TRecord(t.inst, 22, static_cast<std::size_t>(i)).u16(20)};
        };
        const auto defaults = defaultGenerators();
        for (int p = 0; p < presetCount; ++p) {
            const TRecord preset(t.phdr, 38, static_cast<std::size_t>(p));
            const std::size_t last = p + 1 < presetCount ? presetBag(p + 1) : pBags.size() - 1;
            const TZoneList pz = readZones(pBags, pGens, pMods, presetBag(p), last, genInstrument);
            TSfPreset out;
            out.name = cleanName(preset.name());
            out.bank = static_cast<int>(preset.u16(22));
            out.program = static_cast<int>(preset.u16(20));
            for (const auto& pzone : pz.zones) {
                const int inst = pzone.at(genInstrument);
                // (As when a table lacks its terminal record and its last entry is taken for
                // it: SoundFont players leave such a zone out and play the rest.)
                if (inst >= instrumentCount) {
                    warnings_.push_back("preset " + out.name +
                                        " names a missing instrument, zone left out");
                    continue;
                }
                const std::size_t iLast =
                    inst + 1 < instrumentCount ? instrumentBag(inst + 1) : iBags.size() - 1;
                const TZoneList iz =
                    readZones(iBags, iGens, iMods, instrumentBag(inst), iLast, genSampleId);
                for (const auto& izone : iz.zones) {
                    TSfZone zone;
                    rangeOf(izone, iz.global, genKeyRange, zone.keyLow, zone.keyHigh);
                    rangeOf(pzone, pz.global, genKeyRange, zone.keyLow, zone.keyHigh);
                    rangeOf(izone, iz.global, genVelRange, zone.velLow, zone.velHigh);
                    rangeOf(pzone, pz.global, genVelRange, zone.velLow, zone.velHigh);
                    if (zone.keyLow > zone.keyHigh || zone.velLow > zone.velHigh)
                        continue;
                    zone.sample = izone.at(genSampleId);
                    if (zone.sample >= sampleCount) {
                        warnings_.push_back(
                            "preset " + out.name +
                            ": an instrument names a missing sample, zone left out");
                        continue;
                    }
                    if (samples_[static_cast<std::size_t>(zone.sample)].type & 0x8000)
                        continue; // ROM samples (and disabled ones) have no data in the file
                    for (int g = 0; g < genCount; ++g) {
                        const auto i = static_cast<std::size_t>(g);
                        zone.gen[i] = izone.has(g)                     ? izone.at(g)
                                      : iz.global && iz.global->has(g) ? iz.global->at(g)
                                                                       : defaults[i];
                        if (instrumentOnly(g))
                            continue;
                        if (pzone.has(g))
                            zone.gen[i] += pzone.at(g);
                        else if (pz.global && pz.global->has(g))
                            zone.gen[i] += pz.global->at(g);
                    }
                    zone.modulators = defaultModulators();
                    if (iz.global)
                        mergeModulators(zone.modulators, iz.global->modulators);
                    mergeModulators(zone.modulators, izone.modulators);
                    std::vector<TSfModulator> presetLevel;
                    if (pz.global)
                        presetLevel = pz.global->modulators;
                    mergeModulators(presetLevel, pzone.modulators);
                    zone.modulators.insert(zone.modulators.end(), presetLevel.begin(),
                                           presetLevel.end());
                    out.zones.push_back(zone);
                }
            }
            presets_.push_back(std::move(out));
        }
    } catch (const TImportError& e) {
        const std::string what = e.what();
        if (what.rfind(path, 0) == 0)
            throw;
        throw TImportError(path + ": " + what);
    }
}

TSoundFont::~TSoundFont() = default;

std::vector<std::int16_t> TSoundFont::sampleData(int i) const {
    const auto& s = samples_.at(static_cast<std::size_t>(i));
    std::vector<std::int16_t> out(s.end - s.start);
    for (std::size_t f = 0; f < out.size(); ++f) {
        const std::size_t at = (s.start + f) * 2;
        out[f] = instruments::getSample16(&sampleChunk_[at]);
    }
    return out;
}

} // namespace zb::importer
