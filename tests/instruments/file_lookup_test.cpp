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

// An existing path comes back as asked; otherwise the first name by byte value that matches in
// ASCII letters only, with the directory kept as written; directories are no match.
TEST(FileLookup, ExactNameOrTheFirstOfAnotherCase) {
    test::TTempDir dir;
    dir.write("sub/Piano.PRG", "x");
    for (const char* name : {"a.prg", "A.prg", "A.PRG", "a.Prg"})
        dir.write(name, "x");
    dir.write("\xC3\x89t\xC3\xA9.wav", "x"); // "Été" in UTF-8
    fs::create_directory(dir.path() / "DRUMS.PRG");
    const std::string d = dir.str();
    const std::string written = d + "/sub/../sub";
    EXPECT_EQ(findFileIgnoringCase(written + "/Piano.PRG"), written + "/Piano.PRG");
    EXPECT_EQ(findFileIgnoringCase(written + "/piano.prg"), written + "/Piano.PRG");
    EXPECT_EQ(findFileIgnoringCase(d + "/a.pRG"), d + "/A.PRG");
    EXPECT_EQ(findFileIgnoringCase(d + "/\xC3\x89T\xC3\xA9.WAV"), d + "/\xC3\x89t\xC3\xA9.wav");
    for (const std::string& missing :
         {d + "/sub/piano.prg2", d + "/sub/piano.pr", d + "/nowhere/piano.prg", std::string(),
          d + "/\xC3\xA9t\xC3\xA9.wav", d + "/drums.prg", d + "/DRUMS.PRG"})
        EXPECT_EQ(findFileIgnoringCase(missing), std::nullopt) << missing;
    dir.write("Drums.prg", "x");
    EXPECT_EQ(findFileIgnoringCase(d + "/drums.prg"), d + "/Drums.prg");
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
