#include "compiler/voice_builder.h"
#include "instruments/wav_header.h"
#include "support/temp_dir.h"
#include "synth/null_audio_output.h"
#include "synth/stream_protocol.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace zb::synth {
namespace {

using compiler::songEvent;

std::uint32_t le32(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

// An engine on the null device with voices over a constant sample; every returned buffer goes
// through the streaming protocol, as the player's handler does.
class Engine : public ::testing::Test {
protected:
    Engine() {
        rec.sampleRate = 22050;
        rec.baseKey = 60;
        rec.attackFactor = 1;
        rec.decayFactor = 1;
        rec.releaseSlope = -1000; // a release that ends within a few frames
        rec.endPosition = 100000;
        rec.wavData.assign(100002, 100);
        makeEngine();
    }
    void makeEngine() {
        synth.reset();
        synth = std::make_unique<TSynth>(
            device,
            [this](int buffer) {
                returned.push_back(buffer);
                if (synth != nullptr)
                    last = bufferReturned(*synth, running);
            },
            -1, *buffers);
    }
    // Adds a voice playing from startFrame to endFrame.
    void addNote(std::int64_t startFrame, std::int64_t endFrame) {
        auto v = std::make_unique<compiler::TSongBlock>();
        compiler::setVoiceParameters(*v, rec, 60, false);
        v->events = {{compiler::noteStart, static_cast<std::int32_t>(startFrame * 4), 0, 1, 1},
                     {compiler::noteEnd, static_cast<std::int32_t>(endFrame * 4), 0, 1, 1},
                     {compiler::endMark, static_cast<std::int32_t>(endFrame * 4), 0, 0, 0}};
        v->sampleData = rec.wavData.data();
        v->sampleSize = rec.wavData.size();
        v->savedState.sampleDelta = 100;
        synth->voices.push_back(std::move(v));
    }
    std::int16_t leftAt(int buffer, std::size_t frame) const {
        const auto& b = (*buffers)[static_cast<std::size_t>(buffer - 1)];
        return static_cast<std::int16_t>(b[4 * frame] | b[4 * frame + 1] << 8);
    }
    // Starts recording into name, in a folder of its own.
    void record(const std::string& name) {
        synth->recordFileName = dir.str() + "/" + name;
        synth->recording = true;
    }
    std::string recorded() const {
        std::ifstream in(synth->recordFileName, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    test::TTempDir dir;
    compiler::TSampleRec rec;
    std::unique_ptr<TOutputBuffers> buffers = std::make_unique<TOutputBuffers>();
    NullAudioOutput device;
    std::vector<int> returned;
    bool running = true;
    TStreamStep last = TStreamStep::playing;
    std::unique_ptr<TSynth> synth;
};

static constexpr std::int16_t kFullLevel = 100 * 128 * 32 / 4096;

// The device opens at the engine's creation and gets its volume back at the end; a device that
// does not open or prepare is left closed, and a failed write stops the queueing, at the start
// as while streaming.
TEST_F(Engine, DeviceFailuresLeaveItClosedOrStopTheQueue) {
    EXPECT_TRUE(synth->deviceOpen);
    EXPECT_FALSE(synth->deviceError);
    synth->mute();
    EXPECT_EQ(device.volume(), 0u);
    synth.reset();
    EXPECT_EQ(device.volume(), 0xFFFFFFFFu);
    const auto make = [this] {
        return std::make_unique<TSynth>(
            device, [](int) {}, -1, *buffers);
    };
    device.failOpen = true;
    EXPECT_FALSE(make()->deviceOpen);
    device.failOpen = false;
    device.failPrepare = 3;
    auto unprepared = make();
    EXPECT_TRUE(unprepared->deviceError);
    EXPECT_FALSE(unprepared->deviceOpen || device.isOpen);
    EXPECT_TRUE(device.data(1).empty()); // the prepared ones were unprepared again
    unprepared.reset();
    device.failPrepare = 0;
    for (const bool atStart : {true, false}) {
        device.failWrites = false;
        makeEngine();
        addNote(10 * 88200, 10 * 88200 + 100);
        synth->sync();
        device.failWrites = atStart;
        synth->start();
        device.failWrites = true;
        if (!atStart)
            device.returnOldest();
        EXPECT_TRUE(synth->deviceError);
        EXPECT_EQ(synth->renderPos, (atStart ? 1 : 4) * kBufferBytes); // rendered, not queued
        EXPECT_EQ(last, atStart ? TStreamStep::playing : TStreamStep::deviceFailed);
    }
}

TEST_F(Engine, SyncSkipsNotesThatBeganBeforeThePlayPosition) {
    addNote(10, 20);
    addNote(100000, 100100);
    synth->playPos = 4 * 50 + 2; // not a whole frame: rounded down
    synth->sync();
    EXPECT_EQ(synth->playPos, 200);
    EXPECT_EQ(synth->renderPos, 200);
    EXPECT_EQ(synth->activeCount, 1);
    EXPECT_EQ(synth->voices[0]->curEvent, 2u); // at its endMark
    synth->playPos = 100000 * 4 + 4;
    synth->sync();
    EXPECT_EQ(synth->activeCount, 0);
}

TEST_F(Engine, VolumeAndBalanceSetTheMultipliers) {
    for (const auto& [volume, balance, left, right] :
         {std::tuple{1.0L, 1.0L, 32, 32}, {1.0L, 0.0L, 64, 0}, {10 * 0.1L, 75 * 0.02L, 16, 48}}) {
        synth->changeVolume(volume, balance);
        EXPECT_EQ(synth->leftMul, left);
        EXPECT_EQ(synth->rightMul, right);
    }
}

// Three buffers at the start, then one per returned buffer while voices sound; the end comes
// with the return of the last rendered buffer.
TEST_F(Engine, OneBufferPerReturnedBufferUntilTheSongEnds) {
    addNote(4 * 88200, 4 * 88200 + 100); // the note sounds in the fifth buffer
    addNote(10, 20);
    synth->sync();
    synth->start();
    EXPECT_EQ(device.queued(), 3u);
    EXPECT_EQ(synth->nextBuffer, 4);
    EXPECT_EQ(leftAt(1, 11), kFullLevel);
    int returns = 0;
    while (last != TStreamStep::ended && device.returnOldest())
        ++returns;
    // Buffers 4 and 5 were rendered on the first two returns, buffer 6 no more: the voice left
    // in buffer 5.
    EXPECT_EQ(synth->renderPos, 5 * kBufferBytes);
    EXPECT_EQ(returns, 5);
    EXPECT_EQ(returned, (std::vector<int>{1, 2, 3, 1, 2}));
}

TEST_F(Engine, StopTakesThePositionHeardAndStartContinuesAtRenderPos) {
    addNote(20 * 88200, 20 * 88200 + 100);
    synth->sync();
    synth->start();
    device.playBytes(kBufferBytes + 4002);
    EXPECT_EQ(synth->heardPos(), kBufferBytes + 4000); // whole frames
    running = false;
    synth->stop();
    while (device.returnOldest()) {
    }
    EXPECT_EQ(returned.size(), 4u);
    // The buffers handed back unheard do not count as played.
    EXPECT_EQ(synth->playPos, kBufferBytes + 4000);
    EXPECT_EQ(synth->renderPos, 4 * kBufferBytes); // nothing rendered while stopped
    running = true;
    synth->start(); // without sync: continues where rendering stopped
    EXPECT_EQ(synth->renderPos, 7 * kBufferBytes);
    EXPECT_EQ(synth->heardPos(), 4 * kBufferBytes);
}

// The header's sizes are right after every buffer, so a recording cut short (the process
// killed before a stop) is a valid WAV of what was written, and the stop changes nothing then.
// The missing record folder of a fresh installation is made; one that cannot be made is
// reported and playback goes on.
TEST_F(Engine, ARecordingHoldsTheHeaderAndEveryRenderedBuffer) {
    addNote(10, 20);
    addNote(1000, 300000);
    synth->sync();
    record("Song/new/song.WAV");
    synth->start();
    const std::string bytes = recorded();
    ASSERT_EQ(bytes.size(), 44u + 3 * 352800u);
    const auto header = instruments::canonicalWavHeader(3 * 352800, 16, 2, 22050);
    EXPECT_EQ(bytes.substr(0, 44), std::string(header.begin(), header.end()));
    EXPECT_EQ(static_cast<std::int16_t>(le32(bytes, 44 + 4 * 11)), kFullLevel);
    for (int i = 0; i < 3; ++i) {
        device.returnOldest();
        synth->play();
    }
    const std::string all = recorded();
    EXPECT_EQ(all.size(), 44u + 4 * kBufferBytes); // the note ends in the fourth buffer
    EXPECT_EQ(le32(all, 40), 4u * kBufferBytes);
    synth->stop();
    EXPECT_EQ(recorded(), all);

    std::vector<std::string> messages;
    makeEngine();
    addNote(10, 20);
    synth->sync();
    synth->recordFileName = "/dev/null/song.WAV";
    synth->recording = true;
    synth->recorder.onError = [&](const std::string& m) { messages.push_back(m); };
    synth->start();
    EXPECT_EQ(device.queued(), 3u);
    EXPECT_TRUE(synth->recorder.failed());
    EXPECT_EQ(messages, std::vector<std::string>{"Can't record to /dev/null/song.WAV"});
}

TEST_F(Engine, PositionsPastTwoToTheThirtyOneDoNotOverflow) {
    const std::int64_t lastFrame = 2147483632 / 4 - 10;
    addNote(lastFrame, lastFrame + 5);
    synth->playPos = (lastFrame - 1000) * 4;
    synth->sync();
    synth->start();
    EXPECT_GT(synth->renderPos, std::int64_t{1} << 31);
    EXPECT_EQ(synth->activeCount, 0);
    EXPECT_EQ(leftAt(1, 1001), kFullLevel);
}

} // namespace
} // namespace zb::synth
