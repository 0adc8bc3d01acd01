#pragma once

#include "support/byte_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Writes small SoundFont 2 files for the import tests: samples, instruments and presets with
// the generators a test names, laid out as the format wants it (INFO, sdta, pdta with their
// terminal records).
namespace zb::test {

using TGens = std::vector<std::pair<int, int>>; // generator number, amount

struct TSf2Sample {
    std::string name;
    std::vector<std::int16_t> data;
    std::uint32_t rate = 22050;
    int pitch = 60;
    int correction = 0;
    std::uint32_t loopStart = 0, loopEnd = 0; // relative to the sample's first frame
    int type = 1;
    int link = 0;
    // SF3: the sample as an Ogg Vorbis stream instead of data; its start and end are then byte
    // offsets in the sample chunk and its loop counts from its first frame.
    std::vector<std::uint8_t> ogg;
};

// A modulator: source, destination, amount, amount source, transform.
struct TSf2Mod {
    int source = 0, destination = 0, amount = 0, amountSource = 0, transform = 0;
};

struct TSf2Zone {
    TGens gens;     // without the terminal generator
    int target = 0; // instrument (preset zone) or sample (instrument zone); -1: global zone
    std::vector<TSf2Mod> mods = {};
};

struct TSf2Instrument {
    std::string name;
    std::vector<TSf2Zone> zones;
};

struct TSf2Preset {
    std::string name;
    int program = 0;
    int bank = 0;
    std::vector<TSf2Zone> zones;
};

struct TSf2Font {
    std::vector<TSf2Sample> samples;
    std::vector<TSf2Instrument> instruments;
    std::vector<TSf2Preset> presets;
    std::int64_t sampleEndShift = 0; // moves every sample's end, to build broken headers
};

inline void sf2Name(TBytes& b, const std::string& name) {
    b.tag(name.substr(0, 19)).fill(20 - std::min<std::size_t>(name.size(), 19));
}

inline std::string buildSf2(const TSf2Font& font) {
    TBytes smpl;
    std::vector<std::uint32_t> starts;
    for (const auto& s : font.samples) {
        if (!s.ogg.empty()) {
            starts.push_back(static_cast<std::uint32_t>(smpl.size()));
            smpl.raw(s.ogg);
            continue;
        }
        starts.push_back(static_cast<std::uint32_t>(smpl.size() / 2));
        for (const auto v : s.data)
            smpl.s16(v);
        smpl.fill(46 * 2); // the format's zero points after each sample
    }

    TBytes phdr, pbag, pmod, pgen, inst, ibag, imod, igen, shdr;
    int bagCount = 0, genCount = 0, modCount = 0;
    auto zonesOf = [&](const std::vector<TSf2Zone>& zones, TBytes& bag, TBytes& mod, TBytes& gen,
                       int terminal) {
        for (const auto& z : zones) {
            bag.u16(static_cast<std::uint32_t>(genCount)).u16(static_cast<std::uint32_t>(modCount));
            ++bagCount;
            for (const auto& m : z.mods) {
                mod.u16(static_cast<std::uint32_t>(m.source))
                    .u16(static_cast<std::uint32_t>(m.destination))
                    .s16(m.amount)
                    .u16(static_cast<std::uint32_t>(m.amountSource))
                    .u16(static_cast<std::uint32_t>(m.transform));
                ++modCount;
            }
            for (const auto& [g, amount] : z.gens) {
                gen.u16(static_cast<std::uint32_t>(g)).s16(amount);
                ++genCount;
            }
            if (z.target >= 0) {
                gen.u16(static_cast<std::uint32_t>(terminal))
                    .u16(static_cast<std::uint32_t>(z.target));
                ++genCount;
            }
        }
    };
    for (const auto& p : font.presets) {
        sf2Name(phdr, p.name);
        phdr.u16(static_cast<std::uint32_t>(p.program)).u16(static_cast<std::uint32_t>(p.bank));
        phdr.u16(static_cast<std::uint32_t>(bagCount)).u32(0).u32(0).u32(0);
        zonesOf(p.zones, pbag, pmod, pgen, 41);
    }
    sf2Name(phdr, "EOP");
    phdr.u16(0).u16(0).u16(static_cast<std::uint32_t>(bagCount)).u32(0).u32(0).u32(0);
    pbag.u16(static_cast<std::uint32_t>(genCount)).u16(static_cast<std::uint32_t>(modCount));
    pgen.u32(0);
    pmod.fill(10);
    bagCount = genCount = modCount = 0;
    for (const auto& i : font.instruments) {
        sf2Name(inst, i.name);
        inst.u16(static_cast<std::uint32_t>(bagCount));
        zonesOf(i.zones, ibag, imod, igen, 53);
    }
    sf2Name(inst, "EOI");
    inst.u16(static_cast<std::uint32_t>(bagCount));
    ibag.u16(static_cast<std::uint32_t>(genCount)).u16(static_cast<std::uint32_t>(modCount));
    igen.u32(0);
    imod.fill(10);
    for (std::size_t i = 0; i < font.samples.size(); ++i) {
        const auto& s = font.samples[i];
        const std::uint32_t start = starts[i];
        sf2Name(shdr, s.name);
        if (!s.ogg.empty()) {
            shdr.u32(start).u32(static_cast<std::uint32_t>(start + s.ogg.size()));
            shdr.u32(s.loopStart).u32(s.loopEnd).u32(s.rate);
        } else {
            shdr.u32(start).u32(
                static_cast<std::uint32_t>(start + s.data.size() + font.sampleEndShift));
            shdr.u32(start + s.loopStart).u32(start + s.loopEnd).u32(s.rate);
        }
        shdr.u8(static_cast<std::uint32_t>(s.pitch))
            .u8(static_cast<std::uint32_t>(s.correction & 0xFF));
        shdr.u16(static_cast<std::uint32_t>(s.link)).u16(static_cast<std::uint32_t>(s.type));
    }
    sf2Name(shdr, "EOS");
    shdr.fill(26);

    auto chunk = [](TBytes& into, const std::string& id, const TBytes& body) {
        into.chunk(id, static_cast<std::uint32_t>(body.size())).raw(body.data());
    };
    TBytes info, sdta, pdta;
    info.tag("INFO");
    chunk(info, "ifil", TBytes().u16(2).u16(1));
    chunk(info, "isng", TBytes().tag("EMU8000").u8(0));
    chunk(info, "INAM", TBytes().tag("Tiny Test Font").u8(0).u8(0));
    sdta.tag("sdta");
    chunk(sdta, "smpl", smpl);
    pdta.tag("pdta");
    chunk(pdta, "phdr", phdr);
    chunk(pdta, "pbag", pbag);
    chunk(pdta, "pmod", pmod);
    chunk(pdta, "pgen", pgen);
    chunk(pdta, "inst", inst);
    chunk(pdta, "ibag", ibag);
    chunk(pdta, "imod", imod);
    chunk(pdta, "igen", igen);
    chunk(pdta, "shdr", shdr);
    TBytes body;
    body.tag("sfbk");
    chunk(body, "LIST", info);
    chunk(body, "LIST", sdta);
    chunk(body, "LIST", pdta);
    TBytes file;
    chunk(file, "RIFF", body);
    return file.str();
}

// A sine wave of `frames` frames at `hz`, recorded at `rate`, with the given peak.
inline std::vector<std::int16_t> sine(std::size_t frames, double hz, double rate, double peak) {
    std::vector<std::int16_t> out(frames);
    for (std::size_t i = 0; i < frames; ++i)
        out[i] = static_cast<std::int16_t>(
            peak * std::sin(2 * 3.14159265358979323846 * hz * static_cast<double>(i) / rate));
    return out;
}

} // namespace zb::test
