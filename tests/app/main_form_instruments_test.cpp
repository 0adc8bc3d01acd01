#include "player_fixture.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace zb::app::test {
namespace {

namespace fs = std::filesystem;

TEST(SoundFontChoices, EachFontOnceSortedByName) {
    zb::test::TTempDir a, b;
    a.write("Zeta.sf2", "x");
    a.write("alpha.SF3", "x");
    a.write("notes.txt", "x");
    fs::create_symlink(a.path() / "Zeta.sf2", b.path() / "link.sf2");
    const auto fonts = findSoundFonts({a.str(), b.str(), "/nonexistent"});
    ASSERT_EQ(fonts.size(), 2U);
    EXPECT_EQ(fonts[0].name, "alpha.SF3");
    EXPECT_EQ(fonts[1].name, "Zeta.sf2");
}

// The import runs on its own thread while the player goes on; its set is handed over complete.
class InstrumentChoice : public PlayerTest {
protected:
    InstrumentChoice() { ::setenv("XDG_DATA_HOME", data.str().c_str(), 1); }
    ~InstrumentChoice() override { ::unsetenv("XDG_DATA_HOME"); }
    void waitForImport() {
        for (int i = 0; i < 2000 && form->instrumentImport; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            form->instrumentImportTick();
        }
        ASSERT_FALSE(form->instrumentImport);
    }
    zb::test::TTempDir data;
    const std::string font = std::string(ZB_TEST_DATA_DIR) + "/soundfonts/basic.sf2";
};

TEST_F(InstrumentChoice, AChosenFontIsImportedOnceAndTheNextSongPlaysWithIt) {
    startWith({midi("three-notes.mid")});
    form->chooseInstruments(font);
    EXPECT_EQ(status(), "Importing instruments from basic.sf2...");
    waitForImport();
    const std::string set = data.str() + "/zorbel/instruments/basic/";
    EXPECT_EQ(form->options.patchDirectory, set + "PRG");
    EXPECT_EQ(form->options.sampleDirectory, set + "WAV");
    EXPECT_EQ(status(), "Instruments: basic.sf2 (from the next song on)");
    EXPECT_TRUE(fs::exists(set + "PRG/0.PRG"));
    form->playBtnClick();
    EXPECT_TRUE(form->synth());
    ASSERT_FALSE(form->loaded.samples().empty());
    EXPECT_EQ(form->loaded.samples().front()->wavName.rfind("Sine", 0), 0U); // the font's sample
    form->stopBtnClick();

    const auto written = fs::last_write_time(set + "PRG/0.PRG");
    form->chooseInstruments(font); // reused, not imported again
    waitForImport();
    EXPECT_EQ(fs::last_write_time(set + "PRG/0.PRG"), written);
}

TEST_F(InstrumentChoice, ABrokenFontChangesNothingAndSaysWhy) {
    startWith({midi("three-notes.mid")});
    const TOptions before = form->options;
    const std::string bad = home.write("bad.sf2", "RIFF\x04\x00\x00\x00sfbk");
    form->chooseInstruments(bad);
    waitForImport();
    EXPECT_EQ(form->options.patchDirectory, before.patchDirectory);
    EXPECT_EQ(form->options.sampleDirectory, before.sampleDirectory);
    EXPECT_EQ(status().rfind("Can't import bad.sf2: ", 0), 0U) << status();
    const fs::path sets = data.path() / "zorbel" / "instruments";
    EXPECT_TRUE(!fs::exists(sets) || fs::is_empty(sets)); // no set, no partial one
}

} // namespace
} // namespace zb::app::test
