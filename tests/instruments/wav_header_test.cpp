#include "instruments/wav_header.h"

#include "tests/support/byte_writer.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace zb::instruments {
namespace {

using zb::test::TBytes;

using TFormat = zb::test::TWavFormat;
using zb::test::wavStart;

// A complete file with dataBytes of data after the data chunk header.
std::string wavFile(const TFormat& f, std::uint32_t dataBytes) {
    TBytes b = wavStart(f);
    b.chunk("data", dataBytes).fill(dataBytes, 0x80);
    return b.str();
}

TWAVheader examine(const std::string& bytes) {
    test::TTempDir dir;
    return TWAVheader(dir.write("x.wav", bytes));
}

// What the examination found, in one line: opened, isPcm, formatOK, truncated, valid as
// o/p/f/t/v or "-", then the data offset and size of a valid header.
std::string found(const TWAVheader& h) {
    std::string s;
    s += h.opened ? 'o' : '-';
    s += h.isPcm ? 'p' : '-';
    s += h.formatOK ? 'f' : '-';
    s += h.truncated ? 't' : '-';
    s += h.valid ? 'v' : '-';
    if (h.valid)
        s += " " + std::to_string(h.dataOffset) + " " + std::to_string(h.dataSize);
    return s;
}

std::string withByte(std::string bytes, std::size_t at, char c) {
    bytes[at] = c;
    return bytes;
}

// A missing file and a directory are not opened; valid files give their fields.
TEST(WavHeader, ValidFilesGiveTheirFields) {
    test::TTempDir dir;
    std::filesystem::create_directory(dir.path() / "d.wav");
    EXPECT_EQ(found(TWAVheader(dir.str() + "/none.wav")), "-----");
    EXPECT_EQ(found(TWAVheader(dir.str() + "/d.wav")), "-----");
    for (const auto& [channels, rate, bits, size] :
         {std::tuple{2, 44100, 16, 12}, std::tuple{1, 11025, 8, 3}}) {
        const TWAVheader h = examine(wavFile({.channels = static_cast<std::uint32_t>(channels),
                                              .rate = static_cast<std::uint32_t>(rate),
                                              .bits = static_cast<std::uint32_t>(bits)},
                                             static_cast<std::uint32_t>(size)));
        EXPECT_EQ(found(h), "opf-v 44 " + std::to_string(size));
        EXPECT_EQ(std::tuple(h.channels, h.samplesPerSec, h.bitsPerSample),
                  std::tuple(channels, rate, bits));
    }
}

// Each file and what is found in it.
TEST(WavHeader, EachFileGivesItsFindings) {
    const std::string good = wavFile({}, 4);
    const auto with = [](TBytes b, const std::function<void(TBytes&)>& more) {
        more(b);
        return b.str();
    };
    TBytes formatFirst;
    formatFirst.tag("RIFF").u32(0).tag("WAVE").chunk("LIST", 4).tag("abcd");
    std::string hugeFormat = wavStart().str();
    hugeFormat.replace(16, 4, TBytes().u32(0xFFFFFFFFU).str());
    hugeFormat += TBytes().chunk("data", 2).fill(2).str();

    std::vector<std::pair<std::string, std::string>> cases = {
        // The stated data size is taken even beyond the file; an empty data chunk is valid.
        {with(wavStart(), [](TBytes& b) { b.chunk("data", 0xFFFFFFF0U).fill(4); }),
         "opf-v 44 4294967280"},
        {with(wavStart(), [](TBytes& b) { b.chunk("data", 0).chunk("LIST", 0); }), "opf-v 44 0"},
        // Up to 36 bytes not even the identifiers are looked at; from 37 the format is.
        {good.substr(0, 0), "o--t-"},
        {good.substr(0, 36), "o--t-"},
        {good.substr(0, 37), "op-t-"},
        {wavFile({.bits = 8}, 1), "opf-v 44 1"},
        {with(wavStart(), [](TBytes& b) { b.chunk("data", 0); }), "op-t-"},
        {with(wavStart(), [](TBytes& b) { b.tag("data").u16(4); }), "op-t-"},
        {with(wavStart(),
              [](TBytes& b) { b.chunk("LIST", 4).tag("abcd").chunk("fact", 4).u32(7); }),
         "op-t-"},
        // Format chunks longer than 16 bytes, with the pad byte of an odd length; shorter ones.
        {wavFile({.length = 18}, 2), "opf-v 46 2"},
        {wavFile({.length = 19}, 2), "opf-v 48 2"},
        {with(wavStart({.length = 15}), [](TBytes& b) { b.chunk("data", 2).fill(2); }), "op-t-"},
        // Chunks before the data are skipped, with their pad bytes; huge lengths run off the end
        // instead of wrapping back (0xFFFFFFF7 and its pad byte would be -8 in 32 bits).
        {with(wavStart(),
              [](TBytes& b) {
                  b.chunk("LIST", 3).tag("abc").u8(0).chunk("fact", 4).u32(1);
                  b.chunk("data", 2).fill(2);
              }),
         "opf-v 68 2"},
        {with(wavStart(), [](TBytes& b) { b.chunk("junk", 0).chunk("data", 1).fill(1); }),
         "opf-v 52 1"},
        {hugeFormat, "op-t-"},
        // Identifiers and the order of the chunks.
        {withByte(good, 0, 'X'), "o----"},
        {withByte(good, 12, 'X'), "o----"},
        {formatFirst.str() + wavStart().str().substr(12) + TBytes().chunk("data", 2).fill(2).str(),
         "o----"},
        {wavFile({.rate = 1}, 4), "opf-v 44 4"},
        {wavFile({.rate = 0x7FFFFFFFU}, 4), "opf-v 44 4"},
    };
    for (const std::uint32_t length : {0xFFFFFFF7U, 0xFFFFFFFFU, 0x80000000U})
        cases.emplace_back(
            with(wavStart(), [&](TBytes& b) { b.chunk("LIST", length).chunk("data", 2).fill(2); }),
            "op-t-");
    for (const std::uint32_t tagValue : {0U, 0xFFFEU})
        cases.emplace_back(wavFile({.tagValue = tagValue}, 4), "o----");
    for (const std::uint32_t channels : {0U, 3U, 0x201U})
        cases.emplace_back(wavFile({.channels = channels}, 24), "op---");
    for (const std::uint32_t bits : {0U, 12U, 24U, 0x110U})
        for (const std::uint32_t channels : {1U, 2U})
            cases.emplace_back(wavFile({.channels = channels, .bits = bits}, 24), "op---");
    for (const std::uint32_t rate : {0U, 0x80000000U, 0xFFFFFFFFU})
        cases.emplace_back(wavFile({.rate = rate}, 4), "op---");

    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(found(examine(cases[i].first)), cases[i].second) << "case " << i;
}

} // namespace
} // namespace zb::instruments
