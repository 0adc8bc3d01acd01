#include "compile_fixture.h"
#include "compiler/lyrics.h"
#include "compiler/timing.h"

namespace zb::compiler::test {
namespace {

using zb::test::TTrackWriter;

class Lyrics : public CompileFixture {
protected:
    // A lyric (type 5) or text (type 1) event of the given ticks after the previous event.
    static void text(TTrackWriter& t, std::uint32_t ticks, std::uint8_t type,
                     const std::string& s) {
        std::vector<std::uint8_t> e{0xFF, type, static_cast<std::uint8_t>(s.size())};
        e.insert(e.end(), s.begin(), s.end());
        t.data.push_back(static_cast<std::uint8_t>(ticks)); // deltas below 128
        t.data.insert(t.data.end(), e.begin(), e.end());
    }
    // "text@ms" of every syllable, lines separated by "|".
    static std::string shown(const std::vector<TLyricLine>& lines) {
        std::string out;
        for (const auto& line : lines) {
            out += out.empty() ? "" : "|";
            for (const auto& s : line.syllables) {
                out += s.text + "@" + std::to_string(s.ms);
                EXPECT_EQ(s.position, msToBytes(s.ms));
            }
        }
        return out;
    }
};

// Division 480: a quarter of 480 ticks is 500 ms, then 250 ms after the tempo change at 960.
TEST_F(Lyrics, LinesOfSyllablesTimedLikeTheNotes) {
    TTrackWriter t;
    text(t, 0, 0x01, "@TTitle");
    text(t, 0, 0x05, "\\Twin");
    t.on(0, 0, 60, 100);
    text(t, 120, 0x05, "kle ");
    t.ev(0, {0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}); // 250,000 us from tick 120
    text(t, 120, 0x01, "/Lit");
    text(t, 120, 0x05, "tle\rstar");
    text(t, 0, 0x05, "\\Up");
    t.off(0, 0, 60).end();
    const std::string file = writeTracks({t});
    const TDrumGrid drums;
    // Text events count as words only in karaoke files; "@" texts never do. 187.5 ms rounds to
    // even as every event time does.
    EXPECT_EQ(shown(lyricLines(scanSong(file, drums, false), 100)),
              "Twin@0kle @125tle@250|star@250||Up@250");
    EXPECT_EQ(shown(lyricLines(scanSong(file, drums, true), 100)),
              "Twin@0kle @125|Lit@188tle@250|star@250||Up@250");
    // At half speed every time doubles, the implied first tempo's too.
    EXPECT_EQ(shown(lyricLines(scanSong(file, drums, true), 50)),
              "Twin@0kle @250|Lit@375tle@500|star@500||Up@500");
}

TEST_F(Lyrics, TheScanCountsNotesPerSlotAndProgram) {
    TTrackWriter t;
    t.on(0, 0, 60, 100).off(10, 0, 60).program(0, 0, 5).on(0, 0, 62, 100).on(0, 0, 64, 0);
    t.on(0, 9, 36, 100).end();
    const TSongScan scan = scanSong(writeTracks({t}), {{"-1", "10"}}, false);
    EXPECT_EQ(scan.errorCode, 0);
    EXPECT_EQ(scan.channels[0].notes(), 2); // a note-on of velocity 0 is a note-off
    EXPECT_EQ(scan.channels[0].programs,
              (std::vector<TSongScan::TProgramUse>{{0, false}, {5, false}}));
    EXPECT_EQ(scan.channels[9].programs, (std::vector<TSongScan::TProgramUse>{{0, true}}));
    EXPECT_EQ(scanSong(dir.str() + "/none.mid", {}, false).errorCode, errOpenMidi);
}

} // namespace
} // namespace zb::compiler::test
