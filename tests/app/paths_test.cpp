#include "app/atomic_file.h"
#include "app/options.h"
#include "app/paths.h"
#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace zb::app {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(Paths, AppendBackslashAddsOneSeparatorOnlyWhereNeeded) {
    EXPECT_EQ(appendBackslash(""), "");
    EXPECT_EQ(appendBackslash("/music"), "/music/");
    EXPECT_EQ(appendBackslash("/music/"), "/music/");
}

TEST(Paths, NumberOkChecksTheWholeTextAndTheBoundsSwitchedOn) {
    EXPECT_TRUE(numberOK("16", true, true, 1, 16));
    EXPECT_FALSE(numberOK("17", true, true, 1, 16));
    EXPECT_TRUE(numberOK("17", true, false, 1, 16));
    EXPECT_FALSE(numberOK("0", true, true, 1, 16));
    EXPECT_TRUE(numberOK("-1", true, true, -1, 65535));
    EXPECT_TRUE(numberOK(" +5", false, false, 0, 0));
    EXPECT_FALSE(numberOK("5 ", false, false, 0, 0));
    EXPECT_FALSE(numberOK("", false, false, 0, 0));
    EXPECT_FALSE(numberOK("-", false, false, 0, 0));
    EXPECT_FALSE(numberOK("1O", false, false, 0, 0));
    EXPECT_TRUE(numberOK("-2147483648", false, false, 0, 0));
    EXPECT_FALSE(numberOK("2147483648", false, false, 0, 0));
    EXPECT_FALSE(numberOK("99999999999999999999999", false, false, 0, 0));
}

TEST(Paths, FileNamePartsFollowTheLastSeparatorAndDot) {
    EXPECT_EQ(extractFileName("/a.b/song"), "song");
    EXPECT_EQ(extractFileExt("/a.b/song"), "");
    EXPECT_EQ(extractFileExt("/x/Song.MID"), ".MID");
    EXPECT_EQ(changeFileExt("/x/Song.MID", ".WAV"), "/x/Song.WAV");
    EXPECT_EQ(changeFileExt("/x.y/Song", ".WAV"), "/x.y/Song.WAV");
    EXPECT_FALSE(hasDirectoryPart("Song.MID"));
}

TEST(Paths, ZorbelHomeOverridesTheProgramDirectoryForSettingsToo) {
    test::TTempDir dir;
    ::setenv("ZORBEL_HOME", dir.str().c_str(), 1);
    EXPECT_EQ(getHomePath(), dir.str() + "/");
    bool moved = true;
    EXPECT_EQ(getSettingsPath(getHomePath(), moved), dir.str() + "/");
    EXPECT_FALSE(moved);
    ::unsetenv("ZORBEL_HOME");
}

TEST(Paths, SettingsMoveToTheConfigFolderWhenHomeCannotBeWritten) {
    test::TTempDir dir;
    // A program directory below a plain file can never be written, whoever runs the test.
    dir.write("file", "x");
    ::unsetenv("ZORBEL_HOME");
    ::setenv("XDG_CONFIG_HOME", (dir.str() + "/cfg").c_str(), 1);
    bool moved = false;
    EXPECT_EQ(getSettingsPath(dir.str() + "/file/bin/", moved), dir.str() + "/cfg/zorbel/");
    EXPECT_TRUE(moved);
    EXPECT_TRUE(directoryExists(dir.str() + "/cfg/zorbel"));
    EXPECT_EQ(getSettingsPath(dir.str() + "/", moved), dir.str() + "/");
    EXPECT_FALSE(moved);
    ::unsetenv("XDG_CONFIG_HOME");
}

// An installed program is a bin/ folder with share/zorbel/ beside it; ZORBEL_HOME makes any
// program a build-tree one.
TEST(Paths, InstalledLayoutAndTheUsersFolders) {
    test::TTempDir dir;
    dir.write("usr/share/zorbel/MID/a.mid", "");
    dir.write("usr/bin/zorbel", "");
    dir.write("build/bin/zorbel", "");
    ::unsetenv("ZORBEL_HOME");
    EXPECT_EQ(installedDataPath(dir.str() + "/usr/bin"), dir.str() + "/usr/share/zorbel/");
    EXPECT_EQ(installedDataPath(dir.str() + "/usr/bin/"), dir.str() + "/usr/share/zorbel/");
    EXPECT_EQ(installedDataPath(dir.str() + "/build/bin"), "");
    EXPECT_EQ(installedDataPath(dir.str() + "/usr/share"), "");
    ::setenv("ZORBEL_HOME", dir.str().c_str(), 1);
    EXPECT_EQ(installedDataPath(dir.str() + "/usr/bin"), "");
    ::unsetenv("ZORBEL_HOME");

    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    ::setenv("HOME", (dir.str() + "/home").c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("XDG_DATA_HOME", "relative/is/ignored", 1);
    EXPECT_EQ(userConfigPath(), dir.str() + "/home/.config/zorbel/");
    EXPECT_EQ(userDataPath(), dir.str() + "/home/.local/share/zorbel/");
    EXPECT_EQ(userMusicPath(), dir.str() + "/home/Music/");
    dir.write("home/.config/user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                             "XDG_MUSIC_DIR=\"$HOME/Musik\"\n");
    EXPECT_EQ(userMusicPath(), dir.str() + "/home/Musik/");
    ::setenv("XDG_CONFIG_HOME", (dir.str() + "/cfg").c_str(), 1);
    dir.write("cfg/user-dirs.dirs", "XDG_MUSIC_DIR=\"/srv/music\"\n");
    EXPECT_EQ(userMusicPath(), "/srv/music/");
    EXPECT_EQ(userConfigPath(), dir.str() + "/cfg/zorbel/");
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", home.c_str(), 1);
}

TEST(AtomicFile, ReplacesTheFileAndLeavesNoTemporaryBehind) {
    test::TTempDir dir;
    std::string path = dir.write("ZB.INI", "old");
    ASSERT_TRUE(writeFileAtomically(path, "new content"));
    EXPECT_EQ(readAll(path), "new content");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_FALSE(writeFileAtomically(dir.str() + "/missing/ZB.INI", "x"));
}

TEST(DrumTable, CompilerGetsEntriesWithAllAsMinusOne) {
    TDrumTable table = defaultDrumTable();
    table.push_back({"2", "ALL"});
    auto grid = drumGridForCompile(table);
    ASSERT_EQ(grid.size(), 2u);
    EXPECT_EQ(grid[0].track, "-1");
    EXPECT_EQ(grid[0].channel, "10");
    EXPECT_EQ(grid[1].track, "2");
    EXPECT_EQ(grid[1].channel, "-1");
    EXPECT_EQ(table[1][0], "ALL");
}

} // namespace
} // namespace zb::app
