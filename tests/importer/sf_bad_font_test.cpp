#include "importer/import_helpers.h"
#include "importer/sound_font.h"

#include <algorithm>

namespace zb::test {
namespace {

using importer::TImportError;

std::string messageOf(const std::string& bytes) {
    TTempDir dir;
    const auto path = dir.write("bad.sf2", bytes);
    try {
        importer::importSoundFont(path, (dir.path() / "out").string());
    } catch (const TImportError& e) {
        return e.what();
    }
    return {};
}

// A missing file and one that is no SoundFont are errors. Every cut of a good font (in the
// headers and tables at every byte; the sample data between them only shortens the sample
// chunk, so a few cuts there suffice), and every chunk's size field set to values around 0, 1,
// 4 and 8, around its real size and around what is left of the file, give a clean error or an
// import, never a read outside the file (the sanitizer build watches).
TEST(SfBadFont, EveryCutAndChunkSizeFailsCleanly) {
    EXPECT_THROW(importer::importSoundFont("/nonexistent/font.sf2", "/tmp/none"), TImportError);
    EXPECT_NE(messageOf("this is not a RIFF file at all"), "");
    EXPECT_NE(messageOf(""), "");
    const std::string whole = buildSf2(basicFont());
    const auto le24 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<std::uint8_t>(whole[at]) |
                                          static_cast<std::uint8_t>(whole[at + 1]) << 8 |
                                          static_cast<std::uint8_t>(whole[at + 2]) << 16);
    };
    std::vector<std::string> bad;
    for (std::size_t size = 0; size < whole.size();
         size += (size < 64 || size + 700 > whole.size()) ? 1 : 397)
        bad.push_back(whole.substr(0, size));
    std::vector<std::size_t> sizeFields{4};
    for (std::size_t at = 12; at + 8 <= whole.size();) { // walk every chunk, into the lists
        sizeFields.push_back(at + 4);
        at += whole.compare(at, 4, "LIST") == 0 ? 12 : 8 + le24(at + 4) + (le24(at + 4) & 1);
    }
    EXPECT_GT(sizeFields.size(), 15U);
    for (const std::size_t field : sizeFields) {
        const auto real = le24(field), rest = static_cast<std::uint32_t>(whole.size() - field - 4);
        for (const std::uint32_t size : {0U, 1U, 2U, 3U, 4U, 5U, 8U, 11U, real - 1, real + 1,
                                         rest - 1, rest, rest + 1, 0x7FFFFFFFU, 0xFFFFFFFFU}) {
            std::string sized = whole;
            for (int i = 0; i < 4; ++i)
                sized[field + static_cast<std::size_t>(i)] = static_cast<char>(size >> (8 * i));
            bad.push_back(sized);
        }
    }
    TTempDir dir;
    for (const auto& bytes : bad) {
        try {
            importer::importSoundFont(dir.write("bad.sf2", bytes), (dir.path() / "out").string());
        } catch (const TImportError& e) {
            EXPECT_NE(std::string(e.what()), "");
        }
    }
}

// A sample reaching past the data is not played, as in SoundFont players, and the rest of the
// font imports; a font left with nothing to play is an error.
TEST(SfBadFont, SampleReachingPastTheDataIsLeftOut) {
    TTempDir dir;
    EXPECT_THROW(importer::importSoundFont(dir.write("font.sf2", buildSf2(basicFont())),
                                           (dir.path() / "out").string(), {3, 4, {}}),
                 TImportError); // a font without the chosen banks
    auto font = basicFont();
    font.sampleEndShift = 100000;
    EXPECT_NE(messageOf(buildSf2(font)), "");
    font.sampleEndShift = 0;
    auto bad = font.samples[0];
    bad.name = "Broken";
    font.samples.push_back(bad);
    std::string bytes = buildSf2(font);
    const auto at = bytes.find("Broken");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 24 + 3] = 0x7F; // its end, far past the data
    const auto summary =
        importer::importSoundFont(dir.write("font.sf2", bytes), (dir.path() / "out").string());
    EXPECT_EQ(summary.melodicPrograms, 1);
    EXPECT_NE(std::find(summary.warnings.begin(), summary.warnings.end(),
                        "sample Broken lies outside the sample data, not played"),
              summary.warnings.end());
}

// The font with the last record of one pdta table taken away, every size above it adjusted.
std::string withoutLastRecord(std::string bytes, const std::string& table, std::size_t size) {
    const auto le32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
        return v;
    };
    const auto shrink = [&](std::size_t at) {
        const std::uint32_t v = le32(at) - static_cast<std::uint32_t>(size);
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    };
    const std::size_t list = bytes.find("pdta") - 8, chunk = bytes.find(table, list);
    bytes.erase(chunk + 8 + le32(chunk + 4) - size, size);
    shrink(chunk + 4);
    shrink(list + 4);
    shrink(4);
    return bytes;
}

// A table without its terminal record is forgiven as SoundFont players forgive it: generator
// and modulator lists read to their end, and a zone that names the record taken for the
// terminal of the instruments or samples is left out; each with a warning.
TEST(SfBadFont, TablesWithoutTerminalRecordsImport) {
    const std::string whole = buildSf2(basicFont());
    const auto import = [](const std::string& bytes, importer::TImportSummary& summary) {
        TTempDir dir;
        summary =
            importer::importSoundFont(dir.write("font.sf2", bytes), (dir.path() / "out").string());
        return entryLines(dir.path() / "out" / "PRG" / "0.PRG");
    };
    importer::TImportSummary plain, cut;
    const auto lines = import(whole, plain);
    for (const char* table : {"pgen", "igen", "pmod", "imod"}) {
        const std::size_t size = table[1] == 'g' ? 4 : 10;
        EXPECT_EQ(import(withoutLastRecord(whole, table, size), cut), lines) << table;
        EXPECT_NE(std::find(cut.warnings.begin(), cut.warnings.end(),
                            std::string("the ") + table + " table has no terminal record"),
                  cut.warnings.end());
    }
    // The drum sample is the last: taken for the terminal, the kit's zone goes, the rest plays.
    EXPECT_EQ(import(withoutLastRecord(whole, "shdr", 46), cut), lines);
    EXPECT_EQ(cut.drumPrograms, 0);
    EXPECT_NE(std::find(cut.warnings.begin(), cut.warnings.end(),
                        "preset Kit: an instrument names a missing sample, zone left out"),
              cut.warnings.end());
}

} // namespace
} // namespace zb::test
