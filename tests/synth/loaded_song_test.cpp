#include "support/midi_writer.h"
#include "support/temp_dir.h"
#include "synth/loaded_song.h"
#include "synth/null_audio_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>

namespace zb::synth {
namespace {

const std::string kData = ZB_TEST_DATA_DIR;
const TSongSettings kSettings{kData + "/PRG", kData + "/WAV", {{"-1", "10"}}, true, false};

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

} // namespace
} // namespace zb::synth
