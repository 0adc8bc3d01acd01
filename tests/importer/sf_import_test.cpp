#include "importer/import_helpers.h"
#include "importer/ogg_encoder.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace zb::test {
namespace {

namespace fs = std::filesystem;

// The basic font's melodic and drum presets become PRG files: a header comment naming font and
// preset; the key range the preset zone intersected with the instrument zone, in one line per
// octave for the vibrato depth; the sample's pitch as base key and WAVs at the engine's rate;
// seamless loops inside the WAV, with a falling release.
TEST(SfImport, TheBasicFontBecomesPrgFilesAndWavs) {
    const auto imported = importFont(basicFont());
    const fs::path out = imported->dir.path() / "out";
    EXPECT_EQ(imported->summary.melodicPrograms, 1);
    EXPECT_EQ(imported->summary.drumPrograms, 1);
    EXPECT_FALSE(entryLines(out / "PRG" / "D0.PRG").empty());
    std::ifstream in(out / "PRG" / "0.PRG", std::ios::binary);
    std::string first;
    std::getline(in, first, '\r');
    EXPECT_EQ(first, "# Sine Lead: preset 0:0 of font.sf2 (Tiny Test Font)");
    const auto lines = entryLines(out / "PRG" / "0.PRG");
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(fields(lines[0])[0], "C5-B5");
    EXPECT_EQ(fields(lines[1])[0], "C6");
    for (const auto& text : lines) {
        const auto f = fields(text);
        EXPECT_EQ(f[2], "A5"); // key 69
        EXPECT_EQ(f[24], "22050");
        const auto frames = wavFrames(out / "WAV" / f[1]);
        const long end = std::stol(f[19]), loopStart = std::stol(f[20]), loopEnd = std::stol(f[21]);
        EXPECT_LT(end, static_cast<long>(frames.size()));
        ASSERT_GE(loopStart, 0);
        EXPECT_LE(loopEnd, end);
        EXPECT_GE(loopEnd - loopStart, 2000);
        // The frame after the loop's last one is its first again.
        EXPECT_NEAR(frames[static_cast<std::size_t>(loopEnd)],
                    frames[static_cast<std::size_t>(loopStart)], 2);
        EXPECT_LT(std::stod(f[15]), 0);
    }
}

TEST(SfImport, TakesTheVelocityLayerThatHoldsVelocity100) {
    auto font = basicFont();
    auto soft = font.samples[0];
    soft.name = "Soft";
    soft.pitch = 57;
    font.samples.push_back(soft);
    font.instruments[0].zones = {{{{44, 0 | (90 << 8)}, {54, 1}}, 2}, // soft layer: 0..90
                                 {{{44, 91 | (127 << 8)}, {54, 1}}, 0}};
    const auto imported = importFont(font);
    for (const auto& line : entryLines(imported->dir.path() / "out" / "PRG" / "0.PRG"))
        EXPECT_EQ(fields(line)[2], "A5") << line;
}

TEST(SfImport, AttenuationDividesTheLevelAsCommonPlayersDo) {
    auto quiet = basicFont();
    quiet.instruments[0].zones[0].gens.push_back({48, 150}); // 15 dB, counted as 6 dB
    const auto loud = importFont(basicFont());
    const auto soft = importFont(quiet);
    const auto volume = [](const TImported& i) {
        return std::stod(fields(entryLines(i.dir.path() / "out" / "PRG" / "0.PRG")[0])[3]);
    };
    EXPECT_NEAR(20 * std::log10(volume(*soft) / volume(*loud)), 6.0, 0.05);
}

// The level of the first line of program 0: RMS of its WAV's loop over its base volume.
double lineLevel(const TSf2Font& font) {
    const auto imported = importFont(font);
    const fs::path out = imported->dir.path() / "out";
    const auto f = fields(entryLines(out / "PRG" / "0.PRG")[0]);
    const auto frames = wavFrames(out / "WAV" / f[1]);
    double sum = 0;
    for (long n = std::stol(f[20]); n < std::stol(f[21]); ++n)
        sum += std::pow(frames[static_cast<std::size_t>(n)], 2);
    return std::sqrt(sum / static_cast<double>(std::stol(f[21]) - std::stol(f[20]))) /
           std::stod(f[3]);
}

TEST(SfImport, SoundAboveTheEnginesBandKeepsItsPowerInTheRest) {
    auto bright = basicFont(); // half of its power at 15 kHz, which 22050 frames a second lose
    const auto low = sine(4000, 441, 44100, 10000), high = sine(4000, 14994, 44100, 10000);
    for (std::size_t i = 0; i < low.size(); ++i)
        bright.samples[0].data[i] = static_cast<std::int16_t>(low[i] + high[i]);
    // Half the power of the plain 20000-peak sine, not the quarter its 441 Hz part keeps (to the
    // step of a whole base volume).
    EXPECT_NEAR(20 * std::log10(lineLevel(bright) / lineLevel(basicFont())), -3.0, 0.5);
}

// A low-pass that shapes the sound is baked into the data; the level is its loss averaged over
// the note while the modulation envelope sweeps it.
TEST(SfImport, TheFilterIsBakedInAndItsSweepCounted) {
    auto closed = basicFont(); // cut-off near 190 Hz at velocity 100, under the 441 Hz sine
    closed.instruments[0].zones[0].gens.push_back({8, 6000});
    auto opening = closed; // opened 5 octaves at the start, closed again after 0.3 s
    auto& gens = opening.instruments[0].zones[0].gens;
    gens.push_back({11, 6000});
    gens.push_back({28, -2084});
    gens.push_back({29, 1000});
    const double plain = lineLevel(basicFont());
    // The closed filter: a 2-pole low-pass most of an octave below the sine (at 350 Hz there).
    EXPECT_NEAR(20 * std::log10(lineLevel(closed) / plain), -10.5, 1.5);
    EXPECT_GT(20 * std::log10(lineLevel(opening) / lineLevel(closed)), 5.0);
    // The data itself is filtered: a square wave's third harmonic falls with the filter.
    auto square = basicFont();
    for (std::size_t i = 0; i < square.samples[0].data.size(); ++i)
        square.samples[0].data[i] = static_cast<std::int16_t>(i % 100 < 50 ? 10000 : -10000);
    const auto harmonics = [](const TSf2Font& font) {
        const auto imported = importFont(font);
        const fs::path out = imported->dir.path() / "out";
        const auto f = fields(entryLines(out / "PRG" / "0.PRG")[0]);
        const auto frames = wavFrames(out / "WAV" / f[1]);
        const long first = std::stol(f[20]), last = std::stol(f[21]);
        const auto amplitude = [&](double periods) { // over the loop, of that many periods
            double re = 0, im = 0;
            for (long n = first; n < last; ++n) {
                const double phase = 2 * 3.14159265358979 * periods *
                                     static_cast<double>(n - first) /
                                     static_cast<double>(last - first);
                re += frames[static_cast<std::size_t>(n)] * std::cos(phase);
                im += frames[static_cast<std::size_t>(n)] * std::sin(phase);
            }
            return std::hypot(re, im);
        };
        const double periods = static_cast<double>(last - first) / 50; // 441 Hz at 22050
        return amplitude(3 * periods) / amplitude(periods);
    };
    const double open = harmonics(square);
    square.instruments[0].zones[0].gens.push_back({8, 7000}); // about 390 Hz
    EXPECT_NEAR(open, 1.0 / 3, 0.03);
    EXPECT_LT(harmonics(square), open / 3);
}

// Modulators on the note's velocity and key count as SoundFont players apply them at velocity
// 100: an instrument's own replaces the default of its kind, a preset's adds to the
// instrument's, controllers are the engine's.
TEST(SfImport, ModulatorsOnVelocityAndKeyCount) {
    const double plain = lineLevel(basicFont());
    const auto levelWith = [](std::vector<TSf2Mod> instrument, std::vector<TSf2Mod> preset = {}) {
        auto font = basicFont();
        font.instruments[0].zones[0].mods = std::move(instrument);
        font.presets[0].zones[0].mods = std::move(preset);
        return lineLevel(font);
    };
    const auto dB = [&](double level) { return 20 * std::log10(level / plain); };
    // The default velocity curve (960 cB, concave) at velocity 100 takes 17.2 dB; an instrument
    // modulator of its kind with half the amount replaces it: 8.6 dB less (to the step of a
    // whole base volume).
    const double concave100 = -(5.0 / 3.0) * std::log10(100.0 / 128);
    EXPECT_NEAR(dB(levelWith({{0x0502, 48, 480}})), 96 * concave100 / 2, 0.4);
    // A preset modulator of the same kind adds to the default instead.
    EXPECT_NEAR(dB(levelWith({}, {{0x0502, 48, 480}})), -96 * concave100 / 2, 0.4);
    // Key, linear and falling: 10 dB x (1 - key / 128) down, at the line's middle key (65).
    EXPECT_NEAR(dB(levelWith({{0x0103, 48, 100}})), -10 * (1 - 65.0 / 128), 0.3);
    // No controller: the amount as it is; a controller source: nothing.
    EXPECT_NEAR(dB(levelWith({{0, 48, 60}})), -6, 0.3);
    EXPECT_NEAR(dB(levelWith({{0x0081, 48, 600}})), 0, 0.3);
    // The absolute-value transform: a bipolar key source times -1000 cB attenuates all the same.
    EXPECT_NEAR(dB(levelWith({{0x0203, 48, -1000, 0, 2}})), -100 * (2 * 65.0 / 128 - 1), 0.3);
    // On another generator: velocity opens a filter the zone closes.
    auto closed = basicFont();
    closed.instruments[0].zones[0].gens.push_back({8, 6000});
    auto opened = closed;
    opened.instruments[0].zones[0].mods = {{0x0002, 8, 3000}}; // + 3000 x 100/128 cents
    EXPECT_GT(20 * std::log10(lineLevel(opened) / lineLevel(closed)), 6);
}

// Only the zones that match a key sound, each with its own pan: a stereo half brings no partner
// through its sample link, and the pair that two zones play comes out as those zones pan it.
TEST(SfImport, ExactlyTheZonesSamplesSoundWithTheirOwnPan) {
    auto font = basicFont();
    auto left = font.samples[0];
    left.name = "Left";
    left.type = 4;
    left.link = 3;
    auto right = left;
    right.name = "Right";
    right.type = 2;
    right.link = 2;
    font.samples.push_back(left);
    font.samples.push_back(right);
    font.instruments[0].zones = {{{{54, 1}}, 2}};
    const auto alone = importFont(font);
    const auto lines = entryLines(alone->dir.path() / "out" / "PRG" / "0.PRG");
    for (const auto& line : lines)
        EXPECT_EQ(fields(line)[1].rfind("Left_", 0), 0U) << line;
    EXPECT_EQ(fields(lines[0])[4], "64");

    font.instruments[0].zones = {{{{17, -500}, {54, 1}}, 2}, {{{17, 500}, {54, 1}}, 3}};
    const auto pair = importFont(font);
    std::vector<std::string> pans;
    for (const auto& line : entryLines(pair->dir.path() / "out" / "PRG" / "0.PRG"))
        if (fields(line)[0] == "C5-B5")
            pans.push_back(fields(line)[4]);
    std::sort(pans.begin(), pans.end());
    EXPECT_EQ(pans, (std::vector<std::string>{"0", "127"}));
}

// Keys outside every zone play the shared silent sample: a song that strikes them compiles
// and plays on, as in a SoundFont player.
TEST(SfImport, EveryKeyIsCoveredAndUncoveredKeysAreSilent) {
    const auto imported = importFont(basicFont());
    const fs::path out = imported->dir.path() / "out";
    for (const char* file : {"0.PRG", "D0.PRG"}) {
        std::vector<int> lines(128, 0);
        for (const auto& text : entryLines(out / "PRG" / file, true)) {
            auto table = std::make_unique<instruments::prgEntryRec>();
            ASSERT_EQ(instruments::parsePrgLine(*table, text), instruments::prgOk);
            for (int key = 0; key < 128; ++key)
                lines[static_cast<std::size_t>(key)] += table->entryCount[key];
        }
        EXPECT_EQ(std::count(lines.begin(), lines.end(), 0), 0) << file;
    }
    const auto silence = wavFrames(out / "WAV" / "silence.WAV");
    EXPECT_EQ(std::count(silence.begin(), silence.end(), 0), 16);
}

// SF3: the same font with its samples as Ogg Vorbis streams imports to the same lines, and the
// decoded samples sound as the originals (within the codec's loss); a stream that does not
// decode leaves its sample out with a warning.
TEST(SfImport, CompressedFontImportsAsItsPlainForm) {
    const auto plain = importFont(basicFont());
    auto font = basicFont();
    for (auto& s : font.samples) {
        s.ogg = encodeVorbis(s.data, static_cast<long>(s.rate));
        s.type |= 0x10;
    }
    const auto packed = importFont(font);
    const fs::path a = plain->dir.path() / "out", b = packed->dir.path() / "out";
    for (const char* file : {"0.PRG", "D0.PRG"}) {
        const auto lines = entryLines(a / "PRG" / file), again = entryLines(b / "PRG" / file);
        ASSERT_EQ(again.size(), lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto x = fields(lines[i]), y = fields(again[i]);
            for (const std::size_t f : {0, 2, 4, 18, 19, 20, 21}) // keys, base, pan, positions
                EXPECT_EQ(y[f], x[f]) << lines[i] << "\n" << again[i];
            const auto wa = wavFrames(a / "WAV" / x[1]), wb = wavFrames(b / "WAV" / y[1]);
            ASSERT_EQ(wa.size(), wb.size());
            double error = 0, power = 0;
            for (std::size_t k = 0; k < wa.size(); ++k) {
                error += std::pow(wa[k] - wb[k], 2);
                power += std::pow(wa[k], 2);
            }
            EXPECT_LT(10 * std::log10(error / power), -20) << y[1]; // the codec's loss
        }
    }
    font.samples[1].ogg.assign(100, 0x55);
    const auto broken = importFont(font);
    EXPECT_EQ(broken->summary.drumPrograms, 0);
    EXPECT_NE(std::find(broken->summary.warnings.begin(), broken->summary.warnings.end(),
                        "sample Click: its compressed data does not decode, not played"),
              broken->summary.warnings.end());
}

// A long release becomes two lines of one sample: nine tenths of the level falling silent at
// 0.17 of the release time, a tenth at 0.46, which sum to the logarithmic curve; a key with
// more than three layers has no room for the pair.
TEST(SfImport, ALongReleaseIsAFastLineAndAQuietTail) {
    auto font = basicFont();
    font.instruments[0].zones = {{{{38, 1200}, {54, 1}}, 0}}; // 2 s
    const auto two = importFont(font);
    const auto lines = entryLines(two->dir.path() / "out" / "PRG" / "0.PRG");
    ASSERT_EQ(lines.size() % 2, 0U);
    for (std::size_t i = 0; i < lines.size(); i += 2) {
        const auto tail = fields(lines[i]), fast = fields(lines[i + 1]);
        EXPECT_EQ(tail[0], fast[0]);
        EXPECT_EQ(tail[1], fast[1]);
        // The base volume divides the level: the tail has 14% of the sound, the fast line 86%.
        EXPECT_NEAR(std::stod(tail[3]) / std::stod(fast[3]), 0.86 / 0.14, 0.2);
        EXPECT_NEAR(std::stod(fast[15]), -1 / (2 * 0.16), 0.01);
        EXPECT_NEAR(std::stod(tail[15]), -1 / (2 * 0.41), 0.01);
    }
    for (int i = 1; i < 4; ++i) // 4 dB quieter each
        font.instruments[0].zones.push_back({{{38, 1200}, {48, 100 * i}, {54, 1}}, 0});
    // Four layers leave room for two pairs in a key's six lines: those of the two loudest.
    const auto four = importFont(font);
    std::map<long, int> kinds; // release reach in hundredths of the release time: lines
    long loudestSingle = 0, quietestFast = 0;
    for (const auto& line : entryLines(four->dir.path() / "out" / "PRG" / "0.PRG")) {
        const auto f = fields(line);
        if (f[0] != "C5-B5")
            continue;
        const long reach = std::lround(-100 / (2 * std::stod(f[15])));
        ++kinds[reach];
        if (reach == 30)
            loudestSingle =
                loudestSingle == 0 ? std::stol(f[3]) : std::min(loudestSingle, std::stol(f[3]));
        if (reach == 16)
            quietestFast = std::max(quietestFast, std::stol(f[3]));
    }
    EXPECT_EQ(kinds, (std::map<long, int>{{16, 2}, {30, 2}, {41, 2}}));
    EXPECT_GT(loudestSingle, quietestFast); // base volumes divide: the singles are quieter
}

TEST(SfImport, ADecayingSoundIsAPairOfLinesOnEveryKey) {
    auto font = basicFont();
    // Decay 4 s (a fall of 100 dB), sustain 100 dB, release 0.5 s.
    font.instruments[0].zones = {{{{36, 2400}, {37, 1000}, {38, -1200}, {54, 1}}, 0}};
    const auto imported = importFont(font);
    const auto lines = entryLines(imported->dir.path() / "out" / "PRG" / "0.PRG");
    ASSERT_EQ(lines.size(), 2U * 25); // keys 60..84: attack and decay end at sample positions
    for (std::size_t i = 0; i < lines.size(); i += 2) {
        const auto tail = fields(lines[i]), fast = fields(lines[i + 1]);
        EXPECT_EQ(tail[0].find('-'), std::string::npos) << lines[i];
        EXPECT_EQ(tail[0], fast[0]);
        // The pair follows the logarithmic fall: silent at 0.16 and 0.41 of the decay time ...
        EXPECT_NEAR(std::stod(fast[14]), -1 / (4 * 0.16), 0.01);
        EXPECT_NEAR(std::stod(tail[14]), -1 / (4 * 0.41), 0.01);
        // ... and releases from the level it has after a second held (at least a quarter).
        EXPECT_NEAR(std::stod(fast[15]), -0.25 / (0.5 * 0.16), 0.01);
        EXPECT_NEAR(std::stod(tail[15]), -(1 - 1 / 1.64) / (0.5 * 0.41), 0.01);
    }
}

TEST(SfImport, ADecayLongerThanTheLoopRunsThroughItsRepeats) {
    auto font = basicFont(); // a loop of 100 frames at 44100 Hz, early in the sample
    // Decay 20 s (a fall of 100 dB) to a sustain 10 dB down: 2 s to reach it.
    font.instruments[0].zones = {{{{36, 5186}, {37, 100}, {54, 1}}, 0}};
    const auto imported = importFont(font);
    const fs::path out = imported->dir.path() / "out";
    for (const auto& text : entryLines(out / "PRG" / "0.PRG")) {
        const auto f = fields(text);
        const long frames = static_cast<long>(wavFrames(out / "WAV" / f[1]).size());
        const long decayEnd = (std::stol(f[16]) + std::stol(f[17])) * 441 / 20;
        const long loopStart = std::stol(f[20]), loopEnd = std::stol(f[21]);
        // The decay reaches the sustain level in time (2 s at the key's step) ...
        const std::size_t digit = f[0].find_first_of("0123456789");
        const int key = 12 * std::stoi(f[0].substr(digit)) +
                        instruments::noteIndex(std::string_view(f[0]).substr(0, digit));
        const double step = std::pow(2.0, (key - 69) / 12.0);
        EXPECT_NEAR(decayEnd / 22050.0 / step, 2.0, 0.01) << text;
        // (The engine reaches factor / step, from the attack's end or from 1 without one.)
        const double factor = std::stod(f[13]);
        EXPECT_NEAR(std::stol(f[16]) > 0 ? factor / step : 1 + (factor - 1) / step,
                    std::pow(10.0, -0.5), 1e-3)
            << text;
        // ... and sustains in the loop's repeat in which it ends.
        EXPECT_LE(loopStart, decayEnd) << text;
        EXPECT_LT(decayEnd, loopEnd) << text;
        EXPECT_LT(loopEnd, frames - 2) << text;
    }
}

TEST(SfImport, KeepsTheSixLoudestLayersOfAKey) {
    auto font = basicFont();
    font.instruments[0].zones.clear();
    for (int i = 0; i < 8; ++i) // attenuation 0, 10, ... 70 cB
        font.instruments[0].zones.push_back({{{48, i * 10}, {54, 1}}, 0});
    const auto imported = importFont(font);
    const auto lines = entryLines(imported->dir.path() / "out" / "PRG" / "0.PRG");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return fields(l)[0] == "C5-B5"; }),
              6);
    long loudestDropped = 0;
    for (const auto& l : lines)
        loudestDropped = std::max(loudestDropped, std::stol(fields(l)[3]));
    const double kept = 20 * std::log10(static_cast<double>(loudestDropped));
    const auto base = importFont(basicFont());
    const double first =
        20 *
        std::log10(std::stod(fields(entryLines(base->dir.path() / "out" / "PRG" / "0.PRG")[0])[3]));
    // The quietest kept is 50 cB x 0.4 down, to the step of a whole base volume.
    EXPECT_NEAR(kept - first, 2.0, 0.2);
    EXPECT_FALSE(imported->summary.warnings.empty());
}

TEST(SfImport, BankOptionsChooseWhichPresetsAreImported) {
    auto font = basicFont();
    font.presets.push_back({"Other Lead", 5, 8, font.presets[0].zones});
    const auto imported = importFont(font, {8, 128, {}});
    const fs::path prg = imported->dir.path() / "out" / "PRG";
    EXPECT_TRUE(fs::exists(prg / "5.PRG"));
    EXPECT_FALSE(fs::exists(prg / "0.PRG"));
    EXPECT_TRUE(fs::exists(prg / "D0.PRG"));
}

TEST(SfImport, WavNamesAreSafeAscii) {
    auto font = basicFont();
    font.samples[0].name = "Sin\xE9 A/4 *";
    const auto imported = importFont(font);
    for (const auto& entry : fs::directory_iterator(imported->dir.path() / "out" / "WAV")) {
        const auto name = entry.path().filename().string();
        EXPECT_TRUE(std::all_of(name.begin(), name.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
        })) << name;
    }
}

} // namespace
} // namespace zb::test
