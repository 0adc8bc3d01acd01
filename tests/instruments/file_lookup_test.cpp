#include "instruments/file_lookup.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zb::instruments {
namespace {

namespace fs = std::filesystem;

// Makes dir the current directory for the lifetime of the object.
class TCurrentDirectory final {
public:
    explicit TCurrentDirectory(const fs::path& dir) : previous_(fs::current_path()) {
        fs::current_path(dir);
    }
    TCurrentDirectory(const TCurrentDirectory&) = delete;
    TCurrentDirectory& operator=(const TCurrentDirectory&) = delete;
    ~TCurrentDirectory() {
        std::error_code ec;
        fs::current_path(previous_, ec);
    }

private:
    fs::path previous_;
};

TEST(FileLookup, ExistingPathIsReturnedUnchanged) {
    test::TTempDir dir;
    dir.write("sub/Piano.PRG", "x");
    const std::string asked = dir.str() + "/sub/../sub/Piano.PRG";
    EXPECT_EQ(findFileIgnoringCase(asked), asked);
}

TEST(FileLookup, NameInAnotherCaseIsFoundAndTheDirectoryKeptAsWritten) {
    test::TTempDir dir;
    dir.write("sub/Piano.PRG", "x");
    const std::string directory = dir.str() + "/sub/../sub";
    EXPECT_EQ(findFileIgnoringCase(directory + "/piano.prg"), directory + "/Piano.PRG");
}

TEST(FileLookup, MissingFileGivesNothing) {
    test::TTempDir dir;
    dir.write("Piano.PRG", "x");
    EXPECT_EQ(findFileIgnoringCase(dir.str() + "/organ.prg"), std::nullopt);
    EXPECT_EQ(findFileIgnoringCase(dir.str() + "/piano.prg2"), std::nullopt);
    EXPECT_EQ(findFileIgnoringCase(dir.str() + "/piano.pr"), std::nullopt);
}

TEST(FileLookup, MissingDirectoryGivesNothing) {
    test::TTempDir dir;
    EXPECT_EQ(findFileIgnoringCase(dir.str() + "/nowhere/piano.prg"), std::nullopt);
    EXPECT_EQ(findFileIgnoringCase(""), std::nullopt);
}

TEST(FileLookup, SeveralMatchesTakeTheFirstByByteValue) {
    test::TTempDir dir;
    dir.write("a.prg", "x");
    dir.write("A.prg", "x");
    dir.write("A.PRG", "x");
    dir.write("a.Prg", "x");
    EXPECT_EQ(findFileIgnoringCase(dir.str() + "/a.pRG"), dir.str() + "/A.PRG");
}

TEST(FileLookup, DirectoriesAreNoMatch) {
    test::TTempDir dir;
    fs::create_directory(dir.path() / "DRUMS.PRG");
    EXPECT_EQ(findFileIgnoringCase(dir.str() + "/drums.prg"), std::nullopt);
    EXPECT_EQ(findFileIgnoringCase(dir.str() + "/DRUMS.PRG"), std::nullopt);
    dir.write("Drums.prg", "x");
    EXPECT_EQ(findFileIgnoringCase(dir.str() + "/drums.prg"), dir.str() + "/Drums.prg");
}

TEST(FileLookup, OnlyAsciiLettersAreFolded) {
    test::TTempDir dir;
    dir.write("\xC3\x89t\xC3\xA9.wav", "x"); // "Été" in UTF-8
    EXPECT_EQ(findFileIgnoringCase(dir.str() + "/\xC3\xA9t\xC3\xA9.wav"), std::nullopt);
    EXPECT_EQ(findFileIgnoringCase(dir.str() + "/\xC3\x89T\xC3\xA9.WAV"),
              dir.str() + "/\xC3\x89t\xC3\xA9.wav");
}

TEST(FileLookup, BareNameIsLookedUpInTheCurrentDirectory) {
    test::TTempDir dir;
    dir.write("Bass.WAV", "x");
    const TCurrentDirectory inDir(dir.path());
    EXPECT_EQ(findFileIgnoringCase("Bass.WAV"), "Bass.WAV");
    EXPECT_EQ(findFileIgnoringCase("bass.wav"), "Bass.WAV");
    EXPECT_EQ(findFileIgnoringCase("drum.wav"), std::nullopt);
}

} // namespace
} // namespace zb::instruments
