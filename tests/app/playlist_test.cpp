#include "app/playlist.h"
#include "app/shell.h"
#include "support/fake_shell.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace zb::app {
namespace {

using TNames = std::vector<std::string>;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TNames names(const TPlayList& list) {
    TNames result;
    for (const auto& entry : list.entries)
        result.push_back(entry.fileName);
    return result;
}

// Answers file dialogs with `answer` and records the requests and the errors shown.
using TFakeShell = zb::test::TFakeShell;

TEST(PlaylistFile, LoadKeepsLinesNamingExistingFilesAndNothingWhenUnreadable) {
    test::TTempDir dir;
    const auto song = dir.write("MID/song.mid", "MThd");
    dir.write("MID/rel.mid", "MThd");
    const auto wave = dir.write("take.wav", "RIFF");
    // CR LF and LF endings, an empty line, a missing file, a relative path, no final line end.
    const auto zbl = dir.write("list.ZbL", song + "\r\n\r\n" + dir.str() + "/missing.mid\r\n" +
                                               "MID/rel.mid\n" + wave);
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    TPlayList list{"/lists/x.ZbL", true, {{"/first.mid", false}}};
    EXPECT_FALSE(loadPlayList(list, dir.str() + "/absent.ZbL"));
    EXPECT_FALSE(loadPlayList(list, dir.str())); // a directory opens but is no playlist
    EXPECT_TRUE(list.modified);
    EXPECT_TRUE(loadPlayList(list, zbl));
    std::filesystem::current_path(saved);
    EXPECT_EQ(names(list), (TNames{"/first.mid", song, "MID/rel.mid", wave}));
    EXPECT_FALSE(list.modified);
    EXPECT_EQ(list.fileName, "/lists/x.ZbL");
}

TEST(PlaylistFile, HostileContentNeverCrashesAndHidesNoValidLine) {
    test::TTempDir dir;
    const auto song = dir.write("song.mid", "MThd");
    const auto huge = dir.write("huge.ZbL", std::string(1 << 20, 'x') + "\r\n" + song + "\r\n");
    EXPECT_EQ(readPlaylistFile(huge), TNames{song});
    // The system call would stop at the NUL byte and find the existing file.
    const auto nul = dir.write("nul.ZbL", song + std::string(1, '\0') + "junk\r\n");
    EXPECT_TRUE(readPlaylistFile(nul).empty());
    std::mt19937 random(12345);
    std::string bytes(256 * 1024, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    EXPECT_EQ(readPlaylistFile(dir.write("binary.ZbL", bytes + "\n" + song)), TNames{song});
}

TEST(PlaylistFile, WritesOneLinePerEntryEndedByCrLf) {
    test::TTempDir dir;
    const auto path = dir.str() + "/out.ZbL";
    // A name holding a line feed would come back as other entries, so it is left out.
    TPlayList list{
        "", true, {{"/a/one.mid", true}, {"/c/x.mid\n/etc/passwd", false}, {"/b/2.wav"}}};
    ASSERT_TRUE(writePlaylistFile(list, path));
    EXPECT_EQ(readAll(path), "/a/one.mid\r\n/b/2.wav\r\n");
    EXPECT_FALSE(writePlaylistFile(list, dir.str() + "/no/such/dir/out.ZbL"));
}

TEST(PlaylistEntries, PassedFilesGoToTheHeadInArgumentOrderFromTheirDirectories) {
    test::TTempDir dir;
    const auto midi = dir.str() + "/MID";
    const auto samples = dir.str() + "/WAV";
    dir.write("MID/b.mid", "MThd");
    dir.write("MID/C.MID", "MThd");
    dir.write("MID/sing.kar", "MThd");
    dir.write("WAV/a.wav", "RIFF");
    const auto elsewhere = dir.write("other/d.Mid", "MThd");
    TPlayList list{"/x.ZbL", false, {{"/old/x.mid", false}}};
    EXPECT_EQ(insertPassedFiles(list, {"gone.mid", "notes.txt"}, midi, samples), 0u);
    EXPECT_FALSE(list.modified);
    const TNames args{"b.mid",   "notes.txt", "a.wav", "missing.mid",
                      elsewhere, "C.MID",     "b.wav", "sing.kar"};
    EXPECT_EQ(insertPassedFiles(list, args, midi, samples), 5u);
    EXPECT_EQ(names(list), (TNames{midi + "/b.mid", samples + "/a.wav", elsewhere, midi + "/C.MID",
                                   midi + "/sing.kar", "/old/x.mid"}));
    EXPECT_TRUE(list.modified);
}

TEST(PlaylistEntries, DroppedMidiAndWaveFilesOfAnyCaseAreAppendedUnchecked) {
    TPlayList list{"", false, {{"/first.mid", false}}};
    EXPECT_FALSE(addDroppedFiles(list, {"/readme.txt", "/noext"}));
    EXPECT_FALSE(list.modified);
    EXPECT_TRUE(addDroppedFiles(list, {"/x/A.MID", "/x/cover.jpg", "/y/b.Wav", "/z/song.Kar"}));
    EXPECT_EQ(names(list), (TNames{"/first.mid", "/x/A.MID", "/y/b.Wav", "/z/song.Kar"}));
    EXPECT_TRUE(list.modified);
}

TEST(PlaylistEntries, DemoListFindsBareNamesInTheMidiDirectory) {
    test::TTempDir dir;
    const auto midi = dir.str() + "/MID";
    const auto one = dir.write("MID/one.mid", "MThd");
    const auto other = dir.write("other/two.mid", "MThd");
    dir.write("ZbL/DemoList", "one.mid\r\n" + other + "\r\nabsent.mid\r\n");
    TPlayList list{"/x.ZbL", true, {}};
    EXPECT_FALSE(
        loadDemoPlaylist(list, dir.str() + "/ZbL", dir.str() + "/NoMID", dir.str() + "/ZbL"));
    EXPECT_EQ(list.fileName, "/x.ZbL");

    EXPECT_TRUE(loadDemoPlaylist(list, dir.str() + "/ZbL", midi, dir.str() + "/ZbL"));
    EXPECT_EQ(names(list), (TNames{one, other}));
    EXPECT_TRUE(list.modified);
    EXPECT_EQ(list.fileName, dir.str() + "/ZbL/Demo.ZbL");

    dir.write("ZbL/DemoList", "absent.mid\r\n");
    disposePlaylist(list);
    EXPECT_FALSE(loadDemoPlaylist(list, dir.str() + "/ZbL", midi, dir.str() + "/ZbL"));
    EXPECT_EQ(list.fileName, "");
    EXPECT_FALSE(list.modified);
}

TEST(PlaylistEntries, SaveWritesTheChosenFileOrReportsWhyNot) {
    test::TTempDir dir;
    TFakeShell shell;
    TPlayList list{"/old/name.ZbL", true, {{"/a.mid", false}}};
    EXPECT_FALSE(savePlaylist(list, "/lists", shell)); // cancelled
    const auto& request = shell.dialogs.at(0);
    EXPECT_EQ(request.kind, TFileDialog::TKind::save);
    EXPECT_EQ(request.title, "Save playlist file");
    EXPECT_EQ(request.filter, "ZbL files (ZbL.*)|*.ZbL");
    EXPECT_EQ(request.defaultExt, "ZbL");
    EXPECT_EQ(request.initialDir, "/lists");
    EXPECT_EQ(request.fileName, "/old/name.ZbL");
    EXPECT_EQ(list.fileName, "/old/name.ZbL");

    shell.dialogAnswer = dir.str() + "/gone/x.ZbL";
    EXPECT_FALSE(savePlaylist(list, dir.str(), shell));
    EXPECT_EQ(shell.errors, TNames{"Error: can't open file " + *shell.dialogAnswer});
    EXPECT_TRUE(list.modified);

    shell.dialogAnswer = dir.str() + "/mine.ZbL";
    EXPECT_TRUE(savePlaylist(list, dir.str(), shell));
    EXPECT_EQ(list.fileName, *shell.dialogAnswer);
    EXPECT_FALSE(list.modified);
    EXPECT_EQ(readAll(*shell.dialogAnswer), "/a.mid\r\n");
}

} // namespace
} // namespace zb::app
