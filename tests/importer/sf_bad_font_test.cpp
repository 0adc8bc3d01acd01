#include "importer/import_helpers.h"
#include "importer/sound_font.h"

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

TEST(SfBadFont, MissingFileIsAnError) {
    EXPECT_THROW(importer::importSoundFont("/nonexistent/font.sf2", "/tmp/none"), TImportError);
}

TEST(SfBadFont, FileThatIsNoSoundFontIsAnError) {
    EXPECT_NE(messageOf("this is not a RIFF file at all"), "");
    EXPECT_NE(messageOf(""), "");
}

TEST(SfBadFont, EveryTruncationFailsCleanly) {
    const std::string whole = buildSf2(basicFont());
    TTempDir dir;
    // Every cut in the headers and the tables (the sample data between them only shortens
    // the sample chunk, so a few cuts there suffice).
    for (std::size_t size = 0; size < whole.size();
         size += (size < 64 || size + 700 > whole.size()) ? 1 : 397) {
        const auto path = dir.write("cut.sf2", whole.substr(0, size));
        try {
            importer::importSoundFont(path, (dir.path() / "out").string());
        } catch (const TImportError& e) {
            EXPECT_NE(std::string(e.what()), "");
        }
    }
}

TEST(SfBadFont, SampleReachingPastTheDataIsAnError) {
    auto font = basicFont();
    font.sampleEndShift = 100000;
    EXPECT_NE(messageOf(buildSf2(font)), "");
}

TEST(SfBadFont, FontWithoutTheChosenBanksIsAnError) {
    TTempDir dir;
    const auto path = dir.write("font.sf2", buildSf2(basicFont()));
    EXPECT_THROW(importer::importSoundFont(path, (dir.path() / "out").string(), {3, 4}),
                 TImportError);
}

} // namespace
} // namespace zb::test
