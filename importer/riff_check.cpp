#include "importer/riff_check.h"

#include "importer/sound_font.h"

#include <cstring>
#include <map>
#include <string>

namespace zb::importer {

namespace {

using TBytes = std::span<const std::uint8_t>;

std::uint32_t u32(TBytes b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
std::uint32_t u16(TBytes b, std::size_t at) {
    return b[at] | (b[at + 1] << 8);
}
std::string id(TBytes b, std::size_t at) {
    return {reinterpret_cast<const char*>(b.data() + at), 4};
}

// The chunks of a list body: identifier to body. Each must lie wholly inside the body.
std::map<std::string, TBytes> chunksOf(TBytes body, const std::string& where) {
    std::map<std::string, TBytes> out;
    std::size_t at = 0;
    while (at < body.size()) {
        if (body.size() - at < 8)
            throw TImportError("truncated chunk header in " + where);
        const std::string name = id(body, at);
        const std::uint32_t size = u32(body, at + 4);
        if (size > body.size() - at - 8)
            throw TImportError("chunk " + name + " in " + where + " is truncated");
        const TBytes chunk = body.subspan(at + 8, size);
        out.emplace(name == "LIST" && size >= 4 ? id(chunk, 0) : name, chunk);
        at += 8 + size + (size & 1);
    }
    return out;
}

// The records of a pdta table; at least `minimum` of `size` bytes each, and nothing left over.
TBytes table(const std::map<std::string, TBytes>& pdta, const std::string& name, std::size_t size,
             std::size_t minimum) {
    const auto it = pdta.find(name);
    if (it == pdta.end())
        throw TImportError("the " + name + " table is missing");
    if (it->second.size() % size != 0 || it->second.size() / size < minimum)
        throw TImportError("the " + name + " table is broken");
    return it->second;
}

// Record r's 16-bit index at `offset` must not fall, and must stay within `limit`.
void checkIndices(TBytes records, std::size_t size, std::size_t offset, std::size_t limit,
                  const std::string& name) {
    std::uint32_t previous = 0;
    for (std::size_t at = 0; at + size <= records.size(); at += size) {
        const std::uint32_t index = u16(records, at + offset);
        if (index < previous || index > limit)
            throw TImportError("the " + name + " table points outside its list");
        previous = index;
    }
}

} // namespace

void checkSoundFontStructure(TBytes file) {
    if (file.size() < 12 || id(file, 0) != "RIFF" || id(file, 8) != "sfbk")
        throw TImportError("not a SoundFont 2 file");
    if (u32(file, 4) > file.size() - 8)
        throw TImportError("the file is truncated");
    const auto top = chunksOf(file.subspan(12, u32(file, 4) - 4), "the file");
    for (const char* list : {"INFO", "sdta", "pdta"})
        if (!top.count(list))
            throw TImportError(std::string("the ") + list + " list is missing");
    const auto sdta = chunksOf(top.at("sdta").subspan(4), "sdta");
    const auto pdta = chunksOf(top.at("pdta").subspan(4), "pdta");
    chunksOf(top.at("INFO").subspan(4), "INFO");
    const std::size_t sampleFrames = sdta.count("smpl") ? sdta.at("smpl").size() / 2 : 0;

    const TBytes phdr = table(pdta, "phdr", 38, 2);
    const TBytes pbag = table(pdta, "pbag", 4, 1);
    const TBytes pmod = table(pdta, "pmod", 10, 1);
    const TBytes pgen = table(pdta, "pgen", 4, 1);
    const TBytes inst = table(pdta, "inst", 22, 2);
    const TBytes ibag = table(pdta, "ibag", 4, 1);
    const TBytes imod = table(pdta, "imod", 10, 1);
    const TBytes igen = table(pdta, "igen", 4, 1);
    const TBytes shdr = table(pdta, "shdr", 46, 1);
    checkIndices(phdr, 38, 24, pbag.size() / 4 - 1, "phdr");
    checkIndices(pbag, 4, 0, pgen.size() / 4 - 1, "pbag");
    checkIndices(pbag, 4, 2, pmod.size() / 10 - 1, "pbag");
    checkIndices(inst, 22, 20, ibag.size() / 4 - 1, "inst");
    checkIndices(ibag, 4, 0, igen.size() / 4 - 1, "ibag");
    checkIndices(ibag, 4, 2, imod.size() / 10 - 1, "ibag");
    for (std::size_t at = 0; at + 46 <= shdr.size() - 46; at += 46) { // the last is the terminal
        const std::uint32_t start = u32(shdr, at + 20), end = u32(shdr, at + 24);
        const std::string name(reinterpret_cast<const char*>(shdr.data() + at),
                               strnlen(reinterpret_cast<const char*>(shdr.data() + at), 20));
        if (start > end || end > sampleFrames)
            throw TImportError("sample \"" + name + "\" lies outside the sample data");
    }
}

} // namespace zb::importer
