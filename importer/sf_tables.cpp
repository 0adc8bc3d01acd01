#include "importer/sf_tables.h"

#include "importer/sound_font.h"
#include "instruments/span_reader.h"

#include <map>
#include <string>

namespace zb::importer {

namespace {

using instruments::TSpanReader;
using TBytes = TSpanReader::TBytes;

// The chunks of a list body. A plain chunk is keyed by its identifier, a LIST chunk by
// "LIST " + its list type with the type stripped from its body, so that a plain chunk that
// happens to carry a list's name is never taken for that list. Each must lie wholly inside the
// body; the pad byte after an odd size may be missing at the very end.
std::map<std::string, TBytes> chunksOf(TBytes body, const std::string& where) {
    std::map<std::string, TBytes> out;
    TSpanReader reader(body);
    while (!reader.atEnd()) {
        const auto name = reader.tag();
        const auto size = reader.u32();
        if (!name || !size)
            throw TImportError("truncated chunk header in " + where);
        const auto chunk = reader.take(*size);
        if (!chunk)
            throw TImportError("chunk " + *name + " in " + where + " is truncated");
        // The pad byte after an odd size (a zero) is missing in fonts of some writers: the
        // next chunk's identifier then stands where it should be.
        if ((*size & 1U) && !reader.atEnd() && body[reader.position()] == 0)
            reader.skipUpTo(1);
        if (*name != "LIST") {
            out.emplace(*name, *chunk);
            continue;
        }
        TSpanReader list(*chunk);
        const auto type = list.tag();
        if (!type)
            throw TImportError("a LIST chunk in " + where + " is truncated");
        out.emplace("LIST " + *type, *list.take(list.remaining()));
    }
    return out;
}

TBytes listOf(const std::map<std::string, TBytes>& chunks, const std::string& type) {
    const auto it = chunks.find("LIST " + type);
    if (it == chunks.end())
        throw TImportError("the " + type + " list is missing");
    return it->second;
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

// A 16-bit field of record `at`. The tables' record sizes were checked, so it is there.
std::uint32_t field16(TBytes records, std::size_t at, std::size_t offset) {
    TSpanReader reader(records.subspan(at + offset, 2));
    return *reader.u16();
}

// Record r's 16-bit index at `offset` must not fall, and must stay within `limit`.
void checkIndices(TBytes records, std::size_t size, std::size_t offset, std::size_t limit,
                  const std::string& name) {
    std::uint32_t previous = 0;
    for (std::size_t at = 0; at + size <= records.size(); at += size) {
        const std::uint32_t index = field16(records, at, offset);
        if (index < previous || index > limit)
            throw TImportError("the " + name + " table points outside its list");
        previous = index;
    }
}

// A bag's generator or modulator index may point just past the list when the list lacks its
// terminal record, which SoundFont players forgive: the last zone then reads to the list's end.
void checkListIndices(TBytes bags, std::size_t offset, std::size_t count, const std::string& bag,
                      const std::string& list, std::vector<std::string>& warnings) {
    checkIndices(bags, 4, offset, count, bag);
    if (bags.size() >= 4 && field16(bags, bags.size() - 4, offset) == count)
        warnings.push_back("the " + list + " table has no terminal record");
}

} // namespace

TSfTables readSoundFontTables(TBytes file) {
    TSpanReader reader(file);
    const auto riff = reader.tag();
    const auto riffSize = reader.u32();
    const auto form = reader.tag();
    if (!riff || *riff != "RIFF" || !form || *form != "sfbk" || *riffSize < 4)
        throw TImportError("not a SoundFont 2 file");
    // The form type was counted in the RIFF size.
    const auto body = reader.take(*riffSize - 4U);
    if (!body)
        throw TImportError("the file is truncated");
    const auto top = chunksOf(*body, "the file");
    for (const char* list : {"INFO", "sdta", "pdta"})
        listOf(top, list);
    const auto sdta = chunksOf(listOf(top, "sdta"), "sdta");
    const auto pdta = chunksOf(listOf(top, "pdta"), "pdta");
    const auto info = chunksOf(listOf(top, "INFO"), "INFO");

    const TBytes phdr = table(pdta, "phdr", 38, 2);
    const TBytes pbag = table(pdta, "pbag", 4, 1);
    const TBytes pmod = table(pdta, "pmod", 10, 0);
    const TBytes pgen = table(pdta, "pgen", 4, 0);
    const TBytes inst = table(pdta, "inst", 22, 2);
    const TBytes ibag = table(pdta, "ibag", 4, 1);
    const TBytes imod = table(pdta, "imod", 10, 0);
    const TBytes igen = table(pdta, "igen", 4, 0);
    const TBytes shdr = table(pdta, "shdr", 46, 1);
    TSfTables tables;
    checkIndices(phdr, 38, 24, pbag.size() / 4 - 1, "phdr");
    checkListIndices(pbag, 0, pgen.size() / 4, "pbag", "pgen", tables.warnings);
    checkListIndices(pbag, 2, pmod.size() / 10, "pbag", "pmod", tables.warnings);
    checkIndices(inst, 22, 20, ibag.size() / 4 - 1, "inst");
    checkListIndices(ibag, 0, igen.size() / 4, "ibag", "igen", tables.warnings);
    checkListIndices(ibag, 2, imod.size() / 10, "ibag", "imod", tables.warnings);
    if (const auto it = info.find("INAM"); it != info.end())
        tables.bankName.assign(reinterpret_cast<const char*>(it->second.data()), it->second.size());
    if (sdta.count("smpl"))
        tables.smpl = sdta.at("smpl");
    tables.phdr = phdr;
    tables.pbag = pbag;
    tables.pmod = pmod;
    tables.pgen = pgen;
    tables.inst = inst;
    tables.ibag = ibag;
    tables.imod = imod;
    tables.igen = igen;
    tables.shdr = shdr;
    return tables;
}

} // namespace zb::importer
