#include "support/midi_writer.h"
#include "support/temp_dir.h"
#include "synth/loaded_song.h"
#include "synth/null_audio_output.h"
#include "synth/stream_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

namespace zb::synth {
namespace {

const std::string kData = ZB_TEST_DATA_DIR;
const TSongSettings kSettings{kData + "/PRG", kData + "/WAV", {{"-1", "10"}}, true, false, {}};

struct Device {
    std::unique_ptr<TOutputBuffers> buffers = std::make_unique<TOutputBuffers>();
    NullAudioOutput output;
    TLoadError open(TLoadedSong& song) {
        return song.openEngine(
            output, [](int) {}, -1, *buffers);
    }
};

// The first buffer of the bundled song, loaded with the engine opened before or after compiling.
std::array<std::uint8_t, kBufferBytes> firstBuffer(bool openFirst) {
    Device device;
    TLoadedSong song;
    const std::string file = kData + "/songs/little-tune.mid";
    EXPECT_TRUE((openFirst ? device.open(song) : song.compile(file, kSettings)).ok());
    EXPECT_TRUE((openFirst ? song.compile(file, kSettings) : device.open(song)).ok());
    EXPECT_TRUE(song.loadSamples(kSettings, nullptr).ok());
    EXPECT_GT(song.length(), 0);
    EXPECT_FALSE(song.engine()->voices.empty());
    song.rewind();
    song.engine()->start();
    return (*device.buffers)[0];
}

TEST(LoadedSong, EitherOrderOfTheStepsLoadsTheSameSong) {
    const auto openedFirst = firstBuffer(true);
    EXPECT_NE(std::count(openedFirst.begin(), openedFirst.end(), 0), kBufferBytes);
    EXPECT_EQ(openedFirst, firstBuffer(false));
}

TEST(LoadedSong, EachStepReturnsItsFailure) {
    test::TTempDir dir;
    TLoadedSong song;
    auto error = song.compile(dir.str() + "/missing.mid", kSettings);
    EXPECT_EQ(error.failure, TLoadFailure::compile);
    EXPECT_EQ(error.message, "Can not open MIDI file.");

    const auto silent = dir.write(
        "silent.mid", test::TMidiWriter().header(0, 1, 96).track({0x00, 0xFF, 0x2F, 0x00}).str());
    EXPECT_EQ(song.compile(silent, kSettings).failure, TLoadFailure::noNotes);

    Device broken;
    broken.output.failOpen = true;
    error = broken.open(song);
    EXPECT_EQ(error.failure, TLoadFailure::device);
    EXPECT_EQ(error.message, "waveOut device error!");
    EXPECT_EQ(song.engine(), nullptr);

    Device device;
    ASSERT_TRUE(device.open(song).ok());
    ASSERT_TRUE(song.compile(kData + "/songs/little-tune.mid", kSettings).ok());
    auto noSamples = kSettings;
    noSamples.wavDir = dir.str();
    noSamples.prgDir = dir.str();
    error = song.loadSamples(noSamples, nullptr);
    EXPECT_EQ(error.failure, TLoadFailure::samples);
    EXPECT_EQ(error.message.rfind("Can't open WAV file ", 0), 0U) << error.message;

    song.unload();
    EXPECT_EQ(song.engine(), nullptr);
    EXPECT_TRUE(song.samples().empty());
}

// Plays the bundled song to its end through the null device, which wants lead bytes ready and
// plays step bytes at a time; atStep runs before each step. Returns the record file.
std::string playThrough(std::int64_t lead, std::int64_t step,
                        const std::function<void(TLoadedSong&, NullAudioOutput&, int)>& atStep = {},
                        const TSongSettings& settings = kSettings) {
    test::TTempDir dir;
    Device device;
    device.output.deviceLead = lead;
    TLoadedSong song;
    bool ended = false;
    EXPECT_TRUE(
        song.openEngine(
                device.output,
                [&](int) { ended = bufferReturned(*song.engine(), true) == TStreamStep::ended; },
                -1, *device.buffers)
            .ok());
    EXPECT_TRUE(song.compile(kData + "/songs/little-tune.mid", settings).ok());
    EXPECT_TRUE(song.loadSamples(settings, nullptr).ok());
    song.rewind();
    auto& engine = *song.engine();
    engine.recording = true;
    engine.recordFileName = dir.str() + "/out.wav";
    engine.start();
    for (int i = 0; !ended && i < 100000; ++i) {
        if (atStep)
            atStep(song, device.output, i);
        device.output.playBytes(step);
    }
    EXPECT_TRUE(ended);
    engine.stop();
    std::ifstream in(engine.recordFileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(LoadedSong, RenderingJustAheadOfTheDeviceGivesTheBytesOfWholeBuffers) {
    const std::string whole = playThrough(3 * kBufferBytes, kBufferBytes);
    ASSERT_GT(whole.size(), 44u + 3 * kBufferBytes);
    // Steps that are no whole number of blocks, and a pause on the way that holds everything.
    std::int64_t heardAtPause = 0;
    EXPECT_EQ(playThrough(8192, 2940,
                          [&](TLoadedSong& song, NullAudioOutput& device, int i) {
                              TSynth& engine = *song.engine();
                              if (i == 200) {
                                  engine.pause();
                                  heardAtPause = engine.heardPos();
                              } else if (i > 200 && i < 210) {
                                  EXPECT_TRUE(device.paused);
                                  EXPECT_EQ(engine.heardPos(), heardAtPause);
                              } else if (i == 210) {
                                  engine.resume();
                              }
                          }),
              whole);
    EXPECT_EQ(heardAtPause, 200 * 2940);
}

TEST(LoadedSong, AVolumeChangeIsHeardFromTheNextPiece) {
    const std::string whole = playThrough(3 * kBufferBytes, kBufferBytes);
    constexpr std::int64_t kLead = 8192;
    std::int64_t heard = 0;
    const std::string changed = playThrough(kLead, 2940, [&](TLoadedSong& song, auto&, int i) {
        if (i == 300) {
            heard = song.engine()->heardPos();
            song.engine()->changeVolume(0, 1);
        }
    });
    ASSERT_EQ(changed.size(), whole.size());
    const auto at = static_cast<std::size_t>(44 + heard);
    EXPECT_EQ(changed.substr(0, at), whole.substr(0, at));
    // What was rendered before the change plays out: at most the lead and a block more.
    const std::size_t silentFrom = at + kLead + kBlockBytes;
    EXPECT_NE(changed.substr(at, silentFrom - at), std::string(silentFrom - at, '\0'));
    EXPECT_EQ(changed.substr(silentFrom), std::string(changed.size() - silentFrom, '\0'));
}

TEST(LoadedSong, AHandOverPlaysTheNewCompilationFromTheSameBeat) {
    constexpr std::int64_t kLead = 8192;
    const std::string file = kData + "/songs/little-tune.mid";
    for (const int percent : {100, 50, 200, 30}) { // 30: positions that need rounding to frames
        auto changed = kSettings;
        changed.controls.soloed[9] = true;
        changed.controls.tempoPercent = percent;
        const std::string whole = playThrough(3 * kBufferBytes, kBufferBytes);
        const std::string alone = playThrough(3 * kBufferBytes, kBufferBytes, {}, changed);
        std::int64_t heard = 0;
        std::int64_t shift = 0;
        const std::string handed = playThrough(kLead, 2940, [&](TLoadedSong& song, auto&, int i) {
            if (i != 300)
                return;
            heard = song.engine()->heardPos();
            auto built = buildSong(file, changed);
            ASSERT_TRUE(built.error.ok());
            song.replace(std::move(built),
                         [&](std::int64_t position) { return position * 100 / percent; });
            shift = song.engine()->heardPos() - heard;
        });
        SCOPED_TRACE(percent);
        // What was heard is the old song; what plays after is the new one at the same beat
        // (the bytes rendered ahead of the device when it changed count as the new song's).
        const auto at = static_cast<std::size_t>(44 + heard);
        EXPECT_TRUE(handed.compare(44, at - 44, whole, 44, at - 44) == 0); // the sizes differ
        // Off by what was rendered ahead, counted at the new speed, until that has played.
        EXPECT_LE(std::abs(heard + shift - heard * 100 / percent),
                  (kLead + kBlockBytes) * 100 / percent);
        // Once the notes sounding at the change have gone, it is the new compilation's sound.
        const std::size_t settled = at + 2 * 88200;
        ASSERT_LT(settled, handed.size());
        const std::string after = handed.substr(settled);
        const std::string expected =
            alone.substr(static_cast<std::size_t>(static_cast<std::int64_t>(settled) + shift));
        // Each ends in the silence that fills its last buffer.
        const std::size_t common = std::min(after.size(), expected.size());
        const auto diff = std::mismatch(after.begin(), after.begin() + common, expected.begin());
        EXPECT_EQ(diff.first - after.begin(), static_cast<std::ptrdiff_t>(common));
        const std::string& longer = after.size() > common ? after : expected;
        EXPECT_EQ(longer.find_first_not_of('\0', common), std::string::npos);
    }
}

TEST(LoadedSong, TheNotesAHandOverCutsFadeOut) {
    // Handed over to the same compilation where a note sounds, the notes that sound go silent
    // until their next start, and the old song's sound fades out under the new one. Each
    // hand-over is checked against the song played with the ones before it only.
    const auto sample = [](const std::string& wav, std::int64_t n) {
        const auto at = static_cast<std::size_t>(44 + 2 * n);
        return static_cast<std::int16_t>(static_cast<std::uint8_t>(wav[at]) |
                                         static_cast<std::uint8_t>(wav[at + 1]) << 8);
    };
    std::string before = playThrough(3 * kBufferBytes, kBufferBytes);
    std::vector<int> steps; // of the hand-overs so far
    for (int handOver = 0; handOver < 2; ++handOver) {
        std::int64_t cut = -1;
        std::size_t done = 0;
        const std::string after = playThrough(8192, 2940, [&](TLoadedSong& song, auto&, int i) {
            const std::int64_t next = song.engine()->renderedTo();
            const bool again = done < steps.size() && i == steps[done];
            if (!again) {
                if (cut >= 0 || done < steps.size() ||
                    i < (steps.empty() ? 300 : steps.back() + 20) ||
                    std::abs(sample(before, next / 2 + 8)) < 100)
                    return;
                cut = next;
                steps.push_back(i);
            }
            ++done;
            song.replace(buildSong(kData + "/songs/little-tune.mid", kSettings),
                         [](std::int64_t position) { return position; });
        });
        SCOPED_TRACE(handOver);
        ASSERT_GE(cut, 0);
        EXPECT_TRUE(after.compare(44, static_cast<std::size_t>(cut), before, 44,
                                  static_cast<std::size_t>(cut)) == 0);
        // The cut notes fade out: nearly every sample is the old one's share (within 1 %: a note
        // that starts at the hand-over sounds in both at the start of its attack), and the old
        // sound is loud enough there for a missing fade to show.
        const std::int64_t first = cut / 2;
        int fading = 0;
        int audible = 0;
        for (std::int64_t k = 0; k < static_cast<std::int64_t>(kFadeFrames); ++k)
            for (std::int64_t c = 0; c < 2; ++c) {
                const auto left = static_cast<std::int64_t>(kFadeFrames) - k;
                const std::int64_t old = sample(before, first + 2 * k + c);
                const std::int64_t share = old * left / static_cast<std::int64_t>(kFadeFrames);
                fading +=
                    std::abs(sample(after, first + 2 * k + c) - share) <= 16 + std::abs(old) / 100;
                audible += std::abs(share) > 32;
            }
        EXPECT_GE(fading, static_cast<int>(kFadeFrames * 2 * 9 / 10));
        EXPECT_GE(audible, static_cast<int>(kFadeFrames));
        before = after;
    }
}

} // namespace
} // namespace zb::synth
