#include "player_fixture.h"

#include <fstream>
#include <sstream>

namespace zb::app::test {
namespace {

std::string readAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST_F(PlayerTest, FirstStartOpensHelpAndLoadsTheDemonstrationList) {
    home.write("ZbL/DemoList",
               "three-notes.mid\r\nmissing.mid\r\n\r\n" + midi("little-tune.mid") + "\r\n");
    start({}, true);
    EXPECT_EQ(shell.helpContexts, std::vector<int>{helpContents});
    ASSERT_EQ(form->playList.entries.size(), 2u);
    EXPECT_EQ(form->playList.entries[0].fileName, midi("three-notes.mid"));
    EXPECT_EQ(form->playList.fileName, path("ZbL/Demo.ZbL"));
    EXPECT_TRUE(form->playList.modified);
    EXPECT_EQ(form->current, 1);
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(path("MID")));

    shell.answerYes = true;
    shell.dialogAnswer = path("ZbL/Demo.ZbL");
    form->FormClose();
    EXPECT_EQ(shell.questions, std::vector<std::string>{"Save playlist?"});
    EXPECT_EQ(readAll(path("ZbL/Demo.ZbL")),
              midi("three-notes.mid") + "\r\n" + midi("little-tune.mid") + "\r\n");
    EXPECT_NE(readAll(path("ZB.INI")).find("Playlist = " + path("ZbL/Demo.ZbL")),
              std::string::npos);
    EXPECT_TRUE(shell.helpQuitCalled);
}

TEST_F(PlayerTest, SiblingDirectoriesComeFirstAndOurSettingsWin) {
    home.write("BL.INI", "[Directories]\nMID=/bl/mid\nPRG=/bl/prg\nWAV=/bl/wav\nSong=/bl/song\n"
                         "ZbL=/bl/zbl\n");
    start({}, true);
    EXPECT_EQ(form->options.midiDirectory, "/bl/mid");
    EXPECT_EQ(form->options.patchDirectory, "/bl/prg");
    EXPECT_EQ(form->options.destinationDirectory, "/bl/song");
    EXPECT_EQ(form->options.playlistDirectory, path("ZbL"));
    EXPECT_EQ(shell.helpContexts, std::vector<int>{helpContents});
    form->FormClose();
    form.reset();

    home.write("ZB.INI", "[Directories]\nPRG=/ours/prg\n");
    shell.helpContexts.clear();
    start();
    EXPECT_EQ(form->options.midiDirectory, "/bl/mid");
    EXPECT_EQ(form->options.patchDirectory, "/ours/prg");
    EXPECT_TRUE(shell.helpContexts.empty());
}

TEST_F(PlayerTest, SettingsRoundTripThroughTheIniFile) {
    home.write("ZB.INI", "[Positions]\nMainTop=120\nMainLeft=-5\nOptionsTop=7\nOptionsLeft=8\n"
                         "[PlayOptions]\nSaturate=0\nDefaultTo0=2\nLegacyMode=1\n"
                         "waveOutDevice=3\n[PlayControl]\nVolume=33\nBalance=70\nMute=1\n"
                         "SequenceMode=3\nIntroMode=1\nPlaylist=" +
                             path("ZbL/gone.ZbL") + "\nTrack=4\n");
    start();
    EXPECT_EQ(form->mainPosition.top, 120);
    EXPECT_EQ(form->mainPosition.left, -5);
    EXPECT_FALSE(form->options.saturate);
    EXPECT_FALSE(form->options.defaultTo0); // only 1 is true
    EXPECT_TRUE(form->options.legacyMode);
    EXPECT_EQ(form->options.waveOutDevice, 3);
    EXPECT_EQ(form->display.volumeText, "3.3");
    EXPECT_EQ(form->display.balanceGaugeValue, 70);
    EXPECT_TRUE(form->muted);
    EXPECT_FALSE(form->display.isDown(TControl::repeatBtn));
    EXPECT_FALSE(form->display.isDown(TControl::shuffleBtn));
    EXPECT_TRUE(form->display.isDown(TControl::introBtn));
    EXPECT_EQ(form->current, 0); // the playlist is gone, so Track was not read
    form->FormClose();

    TSettings settings;
    ASSERT_TRUE(readSettings(path("ZB.INI"), settings));
    EXPECT_EQ(settings.playControl.volume, 33);
    EXPECT_TRUE(settings.playControl.mute);
    EXPECT_TRUE(settings.playControl.playlist.empty());
    EXPECT_EQ(settings.options.midiDirectory, path("MID"));
    const std::string ini = readAll(path("ZB.INI"));
    EXPECT_NE(ini.find("SequenceMode = 0"), std::string::npos);
    EXPECT_NE(ini.find("DefaultTo0 = 0"), std::string::npos);
    EXPECT_NE(ini.find("Saturate = 0"), std::string::npos);
    EXPECT_NE(ini.find("IntroMode = 1"), std::string::npos);
    // Keys the player does not own, such as dialog positions, survive.
    auto options = readDialogPosition(path("ZB.INI"), "OptionsTop", "OptionsLeft");
    ASSERT_TRUE(options.has_value());
    EXPECT_EQ(options->top, 7);
    EXPECT_FALSE(readDialogPosition(path("ZB.INI"), "DrumsTop", "DrumsLeft").has_value());
    EXPECT_TRUE(shell.questions.empty()); // the list was not modified
}

TEST_F(PlayerTest, SequenceModeAndSavedPlaylistComeBack) {
    home.write("ZbL/x.ZbL", midi("three-notes.mid") + "\r\n" + midi("little-tune.mid") + "\r\n");
    home.write("ZB.INI", "[PlayControl]\nSequenceMode=2\nPlaylist=" + path("ZbL/x.ZbL") +
                             "\nTrack=2\nVolume=150\nBalance=-5\n");
    start();
    EXPECT_EQ(form->display.volumePosition, 99); // the counters' ends
    EXPECT_EQ(form->display.balancePosition, 0);
    EXPECT_TRUE(form->display.isDown(TControl::shuffleBtn));
    EXPECT_EQ(form->current, 2);
    EXPECT_EQ(form->playList.fileName, path("ZbL/x.ZbL"));
    EXPECT_FALSE(form->playList.modified);
    form->buttonClick(TControl::repeatBtn);
    EXPECT_FALSE(form->display.isDown(TControl::shuffleBtn));
    form->FormClose();
    const std::string ini = readAll(path("ZB.INI"));
    EXPECT_NE(ini.find("SequenceMode = 1"), std::string::npos);
    EXPECT_NE(ini.find("Track = 2"), std::string::npos);
}

TEST_F(PlayerTest, DrumLinesAreAcceptedByTheirCellRules) {
    home.write("DRUMS.INI", "ALL 10\r\n2 ALL\r\n0 10\n3 17\nnospace\n-2 5\n" +
                                std::string(100000, '7') + " 1\n\xff\xfe 9\n-1 16");
    start();
    TDrumTable& table = *form->options.drumTable;
    ASSERT_EQ(table.size(), 5u);
    EXPECT_EQ(table[0][0], "Track (1-65535)");
    EXPECT_EQ(table[1], (TDrumRow{"ALL", "10"}));
    EXPECT_EQ(table[2], (TDrumRow{"2", "ALL"}));
    EXPECT_EQ(table[3], (TDrumRow{"0", "10"}));
    EXPECT_EQ(table[4], (TDrumRow{"-1", "16"}));
    table[2][1] = "9";
    form->FormClose();
    EXPECT_EQ(readAll(path("DRUMS.INI")), "ALL 10\r\n2 9\r\n0 10\r\n-1 16\r\n");
}

TEST_F(PlayerTest, WithoutDrumFileTheBuiltInEntryStands) {
    start();
    EXPECT_EQ(*form->options.drumTable, defaultDrumTable());
}

TEST_F(PlayerTest, PassedFilesGoToTheHeadOfTheListAndTheFirstPlays) {
    home.write("MID/b.mid", "");
    home.write("WAV/a.wav", "");
    home.write("ZbL/x.ZbL", midi("three-notes.mid") + "\r\n");
    home.write("ZB.INI", "[PlayControl]\nPlaylist=" + path("ZbL/x.ZbL") + "\nTrack=1\n");
    start({"b.mid", "a.wav", "notes.txt"});
    ASSERT_EQ(form->playList.entries.size(), 3u);
    EXPECT_EQ(form->playList.entries[0].fileName, midi("b.mid"));
    EXPECT_EQ(form->playList.entries[1].fileName, path("WAV/a.wav"));
    EXPECT_EQ(form->playList.entries[2].fileName, midi("three-notes.mid"));
    EXPECT_TRUE(form->playList.modified);
    EXPECT_EQ(form->current, 1);
    // The empty b.mid was played at the first activation and could not be parsed.
    EXPECT_EQ(status(), "Can't parse file b.mid");
}

// A second start hands its files over: the song that plays is stopped and ejected, the files go
// to the head of the list and the first plays.
TEST_F(PlayerTest, HandedOverFilesReplaceWhatPlaysAtTheHeadOfTheList) {
    startWith({midi("three-notes.mid")});
    form->buttonClick(TControl::playBtn);
    ASSERT_NE(form->synth(), nullptr);
    form->filesHandedOver({midi("little-tune.mid"), path("MID"), "notes.txt"});
    ASSERT_EQ(form->playList.entries.size(), 2u);
    EXPECT_EQ(form->playList.entries[0].fileName, midi("little-tune.mid"));
    EXPECT_EQ(form->current, 1);
    EXPECT_EQ(status(), "Playing " + midi("little-tune.mid"));
    form->filesHandedOver({path("MID")}); // nothing playable: what plays goes on
    EXPECT_EQ(status(), "Playing " + midi("little-tune.mid"));
    EXPECT_EQ(form->playList.entries.size(), 2u);
}

// As a shell user means them: "songs/tune.mid" from the folder the player was started in, though
// the player works in its MIDI directory; a bare name is still looked up there.
TEST_F(PlayerTest, RelativeArgumentsWithADirectoryPartAreTakenFromTheStartingFolder) {
    std::filesystem::create_directory(path("songs"));
    std::filesystem::copy_file(midi("little-tune.mid"), path("songs/tune.mid"));
    std::filesystem::current_path(path("songs"));
    start({"../songs/tune.mid", "three-notes.mid"});
    ASSERT_EQ(form->playList.entries.size(), 2u);
    EXPECT_EQ(form->playList.entries[0].fileName, path("songs/tune.mid"));
    EXPECT_EQ(form->playList.entries[1].fileName, midi("three-notes.mid"));
    EXPECT_EQ(status(), "Playing " + path("songs/tune.mid"));
    form->FormClose();
    form.reset();
    std::filesystem::current_path(path("songs"));
    start({"./../MID", "../PRG"});
    EXPECT_EQ(form->options.midiDirectory, path("MID"));
    EXPECT_EQ(form->options.patchDirectory, path("PRG"));
}

TEST_F(PlayerTest, DirectoryArgumentsReplaceTheDirectoriesThatExist) {
    home.write("other/prg/keep", "");
    // Four directories at most: a fifth existing one is ignored.
    start({path("other"), path("other/prg"), "/no/such/dir", path("other"), path("other/prg")});
    EXPECT_EQ(form->options.midiDirectory, path("other"));
    EXPECT_EQ(form->options.patchDirectory, path("other/prg"));
    EXPECT_EQ(form->options.sampleDirectory, path("WAV"));
    EXPECT_EQ(form->options.destinationDirectory, path("other"));
}

TEST_F(PlayerTest, EditedOptionsReplaceTheOldAndReachTheLoadedSong) {
    startWith({midi("three-notes.mid")});
    form->buttonClick(TControl::playBtn);
    ASSERT_NE(form->synth(), nullptr);
    TOptions edited = form->options;
    edited.saturate = !edited.saturate;
    edited.midiDirectory = path("WAV");
    form->optionsChanged(edited);
    EXPECT_EQ(form->options.midiDirectory, path("WAV"));
    EXPECT_EQ(form->synth()->saturate, edited.saturate);
}

TEST_F(PlayerTest, DialogPositionsAreWrittenIntoTheSettingsFile) {
    EXPECT_FALSE(readDialogPosition(path("ZB.INI"), "listTop", "listLeft").has_value());
    ASSERT_TRUE(writeDialogPosition(path("ZB.INI"), "listTop", "listLeft", {40, 60}));
    auto position = readDialogPosition(path("ZB.INI"), "listTop", "listLeft");
    ASSERT_TRUE(position.has_value());
    EXPECT_EQ(position->top, 40);
    EXPECT_EQ(position->left, 60);
}

TEST(Settings, HostileIniFilesReadAsDefaults) {
    zb::test::TTempDir dir;
    std::string bytes(70000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7919 % 251);
    bytes += "\n[PlayControl]\nVolume=99999999999\nBalance=abc\n";
    const std::string ini = dir.write("ZB.INI", bytes);
    TSettings settings;
    EXPECT_TRUE(readSettings(ini, settings));
    EXPECT_EQ(settings.playControl.volume, 10);
    EXPECT_EQ(settings.playControl.balance, 50);
    EXPECT_TRUE(writeSettings(ini, settings));
    EXPECT_TRUE(readSettings(ini, settings));
}

} // namespace
} // namespace zb::app::test
