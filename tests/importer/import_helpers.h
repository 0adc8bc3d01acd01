#pragma once

#include "importer/sf2_builder.h"
#include "importer/sf_importer.h"
#include "instruments/prg_file.h"
#include "instruments/prg_patch.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace zb::test {

// A font with one looping sine sample (441 Hz at 44100 Hz: 100 frames a period), a melodic
// preset 0 over keys 60..84 whose instrument covers 48..72, and a drum kit 0.
inline TSf2Font basicFont() {
    TSf2Font font;
    TSf2Sample sample;
    sample.name = "Sine A4";
    sample.data = sine(4000, 441, 44100, 20000);
    sample.rate = 44100;
    sample.pitch = 69;
    sample.loopStart = 1000;
    sample.loopEnd = 1100;
    font.samples.push_back(sample);
    TSf2Sample drum = sample;
    drum.name = "Click";
    drum.data = sine(500, 1000, 22050, 8000);
    drum.rate = 22050;
    drum.loopStart = drum.loopEnd = 0;
    font.samples.push_back(drum);
    font.instruments.push_back({"Sine", {{{{43, 48 | (72 << 8)}, {54, 1}}, 0}}});
    font.instruments.push_back({"Kit", {{{{43, 35 | (40 << 8)}}, 1}}});
    font.presets.push_back({"Sine Lead", 0, 0, {{{{43, 60 | (84 << 8)}}, 0}}});
    font.presets.push_back({"Kit", 0, 128, {{{}, 1}}});
    return font;
}

struct TImported {
    TTempDir dir;
    importer::TImportSummary summary;
};

inline std::unique_ptr<TImported> importFont(const TSf2Font& font,
                                             const importer::TImportOptions& options = {}) {
    auto out = std::make_unique<TImported>();
    const auto path = out->dir.write("font.sf2", buildSf2(font));
    out->summary = importer::importSoundFont(path, (out->dir.path() / "out").string(), options);
    return out;
}

// The entry lines of a PRG file (comments left out), each checked by the patch parser; the
// lines of keys no zone covers only when asked for.
inline std::vector<std::string> entryLines(const std::filesystem::path& prg,
                                           bool withSilence = false) {
    std::ifstream in(prg, std::ios::binary);
    EXPECT_TRUE(in) << prg;
    std::vector<std::string> lines;
    auto table = std::make_unique<instruments::prgEntryRec>();
    instruments::forEachPrgLine(in, [&](std::string_view text) {
        EXPECT_EQ(instruments::parsePrgLine(*table, text), instruments::prgOk) << text;
        const auto first = text.find_first_not_of(' ');
        if (!text.empty() && first != std::string_view::npos && text[first] != '#' &&
            (withSilence || text.find(" silence.WAV ") == std::string_view::npos))
            lines.emplace_back(text);
        return true;
    });
    return lines;
}

inline std::vector<std::string> fields(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string f; in >> f;)
        out.push_back(f);
    return out;
}

// The frames of a 16-bit mono WAV file written by the import.
inline std::vector<std::int16_t> wavFrames(const std::filesystem::path& wav) {
    std::ifstream in(wav, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> out;
    for (std::size_t i = 44; i + 1 < bytes.size(); i += 2)
        out.push_back(static_cast<std::int16_t>(static_cast<unsigned char>(bytes[i]) |
                                                (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return out;
}

} // namespace zb::test
