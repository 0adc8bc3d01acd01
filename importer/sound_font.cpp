#include "importer/sound_font.h"

#include "importer/riff_check.h"

#include <SF.h>

#include <algorithm>
#include <bitset>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zb::importer {

namespace {

// libgig keeps the bag and generator lists of a font protected; the import reads them directly.
class TGigFont final : public sf2::File {
public:
    explicit TGigFont(RIFF::File* riff) : sf2::File(riff) {}
    const std::vector<sf2::PresetBag>& presetBags() const { return PresetBags; }
    const std::vector<sf2::GenList>& presetGens() const { return PresetGenLists; }
    const std::vector<sf2::InstBag>& instBags() const { return InstBags; }
    const std::vector<sf2::GenList>& instGens() const { return InstGenLists; }
};

// The generators one zone sets, as written in the file.
struct TRawZone {
    std::array<int, genCount> value{};
    std::bitset<genCount> set;
    bool has(int g) const { return set.test(static_cast<std::size_t>(g)); }
    int at(int g) const { return value[static_cast<std::size_t>(g)]; }
};

struct TZoneList {
    std::optional<TRawZone> global;
    std::vector<TRawZone> zones; // each ends with its terminal generator (instrument or sample)
};

int amountOf(const sf2::GenList& gen, int oper) {
    if (oper == genKeyRange || oper == genVelRange)
        return gen.GenAmount.ranges.byLo | (gen.GenAmount.ranges.byHi << 8);
    if (oper == genInstrument || oper == genSampleId || oper == genSampleModes)
        return gen.GenAmount.wAmount;
    return gen.GenAmount.shAmount;
}

// Reads the zones of bags first..last-1. `terminal` is the generator that ends a zone.
template <typename Bag, typename GenIndex>
TZoneList readZones(const std::vector<Bag>& bags, const std::vector<sf2::GenList>& gens,
                    std::size_t first, std::size_t last, int terminal, GenIndex genIndex) {
    if (first > last || last >= bags.size())
        throw TImportError("zone list out of range");
    TZoneList list;
    for (std::size_t b = first; b < last; ++b) {
        const std::size_t g1 = genIndex(bags[b]);
        const std::size_t g2 = genIndex(bags[b + 1]);
        if (g1 > g2 || g2 > gens.size())
            throw TImportError("generator list out of range");
        TRawZone zone;
        bool terminated = false;
        for (std::size_t g = g1; g < g2 && !terminated; ++g) {
            const int oper = gens[g].GenOper;
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

std::string cleanName(const std::string& raw) {
    std::string name = raw.substr(0, raw.find('\0'));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

} // namespace

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

TSoundFont::TSoundFont(const std::string& path) : path_(path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw TImportError(path + ": no such SoundFont file");
    try {
        {
            std::ifstream in(path, std::ios::binary);
            const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                                  std::istreambuf_iterator<char>());
            if (!in.eof() && in.fail())
                throw TImportError("cannot be read");
            checkSoundFontStructure(bytes);
        }
        RIFF::File riff(path);
        TGigFont font(&riff);
        if (font.pInfo)
            bankName_ = cleanName(font.pInfo->BankName);

        const int sampleCount = font.GetSampleCount();
        RIFF::Chunk* data = nullptr;
        for (int i = 0; i < sampleCount; ++i) {
            sf2::Sample* s = font.GetSample(i);
            TSfSample out;
            out.name = cleanName(s->Name);
            out.start = s->Start;
            out.end = s->End;
            out.loopStart = s->StartLoop;
            out.loopEnd = s->EndLoop;
            out.sampleRate = s->SampleRate;
            out.originalPitch = s->OriginalPitch;
            out.pitchCorrection = static_cast<std::int8_t>(s->PitchCorrection);
            out.link = s->SampleLink;
            out.type = s->SampleType;
            samples_.push_back(out);
            data = s->pCkSmpl;
        }
        if (data) {
            sampleChunk_.resize(data->GetSize());
            data->SetPos(0);
            if (data->Read(sampleChunk_.data(), sampleChunk_.size(), 1) != sampleChunk_.size())
                throw TImportError(path + ": the sample data is truncated");
        }
        for (const auto& s : samples_)
            if (s.end < s.start || std::uint64_t{s.end} * 2 > sampleChunk_.size())
                throw TImportError(path + ": sample \"" + s.name +
                                   "\" lies outside the sample data");

        const auto& pBags = font.presetBags();
        const auto& iBags = font.instBags();
        const int presetCount = font.GetPresetCount();
        const int instrumentCount = font.GetInstrumentCount();
        auto presetGen = [](const sf2::PresetBag& b) { return std::size_t{b.GenNdx}; };
        auto instGen = [](const sf2::InstBag& b) { return std::size_t{b.InstGenNdx}; };
        const auto defaults = defaultGenerators();
        for (int p = 0; p < presetCount; ++p) {
            sf2::Preset* preset = font.GetPreset(p);
            const std::size_t last =
                p + 1 < presetCount ? font.GetPreset(p + 1)->PresetBagNdx : pBags.size() - 1;
            const TZoneList pz = readZones(pBags, font.presetGens(), preset->PresetBagNdx, last,
                                           genInstrument, presetGen);
            TSfPreset out;
            out.name = cleanName(preset->Name);
            out.bank = preset->Bank;
            out.program = preset->PresetNum;
            for (const auto& pzone : pz.zones) {
                const int inst = pzone.at(genInstrument);
                if (inst >= instrumentCount)
                    throw TImportError("preset " + out.name + " names a missing instrument");
                const std::size_t iFirst = font.GetInstrument(inst)->InstBagNdx;
                const std::size_t iLast = inst + 1 < instrumentCount
                                              ? font.GetInstrument(inst + 1)->InstBagNdx
                                              : iBags.size() - 1;
                const TZoneList iz =
                    readZones(iBags, font.instGens(), iFirst, iLast, genSampleId, instGen);
                for (const auto& izone : iz.zones) {
                    TSfZone zone;
                    rangeOf(izone, iz.global, genKeyRange, zone.keyLow, zone.keyHigh);
                    rangeOf(pzone, pz.global, genKeyRange, zone.keyLow, zone.keyHigh);
                    rangeOf(izone, iz.global, genVelRange, zone.velLow, zone.velHigh);
                    rangeOf(pzone, pz.global, genVelRange, zone.velLow, zone.velHigh);
                    if (zone.keyLow > zone.keyHigh || zone.velLow > zone.velHigh)
                        continue;
                    zone.sample = izone.at(genSampleId);
                    if (zone.sample >= sampleCount)
                        throw TImportError("an instrument names a missing sample");
                    if (samples_[static_cast<std::size_t>(zone.sample)].type & 0x8000)
                        continue; // ROM samples have no data in the file
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
                    out.zones.push_back(zone);
                }
            }
            presets_.push_back(std::move(out));
        }
    } catch (const RIFF::Exception& e) {
        throw TImportError(path + ": not a usable SoundFont: " + e.Message);
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
        out[f] = static_cast<std::int16_t>(sampleChunk_[at] | (sampleChunk_[at + 1] << 8));
    }
    return out;
}

} // namespace zb::importer
