#include "compiler/voice_builder.h"
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

TEST_F(Engine, OpensTheDeviceAndKeepsItsVolume) {
    EXPECT_TRUE(synth->deviceOpen);
    EXPECT_FALSE(synth->deviceError);
    EXPECT_EQ(device.volume(), 0xFFFFFFFFu);
    synth->mute();
    EXPECT_EQ(device.volume(), 0u);
    synth.reset(); // the destructor gives the volume back
    EXPECT_EQ(device.volume(), 0xFFFFFFFFu);
}

TEST_F(Engine, StartQueuesThreeBuffersInOrder) {
    addNote(10, 20);
    synth->sync();
    synth->start();
    EXPECT_EQ(device.queued(), 3u);
    EXPECT_EQ(synth->nextBuffer, 4);
    EXPECT_EQ(synth->renderPos, 3 * kBufferBytes);
    EXPECT_EQ(synth->activeCount, 0); // the note ended in the first buffer
    EXPECT_EQ(leftAt(1, 11), kFullLevel);
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
    synth->changeVolume(1, 1);
    EXPECT_EQ(synth->leftMul, 32);
    EXPECT_EQ(synth->rightMul, 32);
    synth->changeVolume(1, 0);
    EXPECT_EQ(synth->leftMul, 64);
    EXPECT_EQ(synth->rightMul, 0);
    synth->changeVolume(10 * 0.1L, 75 * 0.02L);
    EXPECT_EQ(synth->leftMul, 16);
    EXPECT_EQ(synth->rightMul, 48);
}

// The header's sizes are right after every buffer, so a recording cut short (the process
// killed before a stop) is a valid WAV of what was written; the stop changes nothing then.
TEST_F(Engine, ARecordingHoldsTheHeaderAndEveryBufferAtAnyTime) {
    addNote(10, 20);
    synth->sync();
    record("song.WAV");
    synth->start();
    const std::string bytes = recorded();
    ASSERT_EQ(bytes.size(), 44u + 3 * 352800u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(bytes, 4), 1058436u);
    EXPECT_EQ(le32(bytes, 40), 1058400u);
    EXPECT_EQ(static_cast<std::int16_t>(static_cast<unsigned char>(bytes[44 + 4 * 11]) |
                                        static_cast<unsigned char>(bytes[45 + 4 * 11]) << 8),
              kFullLevel);
    synth->stop();
    EXPECT_EQ(recorded(), bytes);
}

TEST_F(Engine, RecordFileThatCannotBeCreatedIsReportedAndPlaybackGoesOn) {
    std::vector<std::string> messages;
    addNote(10, 20);
    synth->sync();
    synth->recordFileName = "/dev/null/song.WAV"; // a folder that cannot be made
    synth->recording = true;
    synth->recorder.onError = [&](const std::string& m) { messages.push_back(m); };
    synth->start();
    EXPECT_EQ(device.queued(), 3u);
    EXPECT_TRUE(synth->recorder.failed());
    EXPECT_EQ(messages, std::vector<std::string>{"Can't record to /dev/null/song.WAV"});
    EXPECT_NE(synth->recorder.error(), 0);
}

// A pause stops the engine ahead of what was heard; resuming continues the same file with the
// stream from renderPos, so the recording is the uninterrupted render. The missing record
// folder of a fresh installation is made.
TEST_F(Engine, RecordingMakesItsFolderAndHoldsEveryRenderedBuffer) {
    addNote(1000, 300000);
    synth->sync();
    record("Song/new/plain.WAV");
    synth->start();
    for (int i = 0; i < 3; ++i) {
        device.returnOldest();
        synth->play();
    }
    synth->stop();
    // The note ends in the fourth buffer: no fifth one is rendered.
    EXPECT_EQ(recorded().size(), 44u + 4 * kBufferBytes);
}

TEST_F(Engine, DeviceWriteFailureStopsQueueing) {
    addNote(10, 20);
    synth->sync();
    device.failWrites = true;
    synth->start();
    EXPECT_TRUE(synth->deviceError);
    EXPECT_EQ(synth->nextBuffer, 1);
    EXPECT_EQ(synth->renderPos, kBufferBytes); // rendered, but not queued
}

TEST_F(Engine, OneBufferPerReturnedBufferUntilTheSongEnds) {
    addNote(4 * 88200, 4 * 88200 + 100); // the note sounds in the fifth buffer
    synth->sync();
    synth->start();
    EXPECT_EQ(device.queued(), 3u);
    int returns = 0;
    while (device.returnOldest()) {
        ++returns;
        if (last == TStreamStep::ended)
            break;
    }
    // Buffers 4 and 5 were rendered on the first two returns, buffer 6 no more: the voice left
    // in buffer 5. The end comes with the return of buffer 5.
    EXPECT_EQ(synth->renderPos, 5 * kBufferBytes);
    EXPECT_EQ(returns, 5);
    EXPECT_EQ(last, TStreamStep::ended);
    EXPECT_EQ(returned, (std::vector<int>{1, 2, 3, 1, 2}));
}

TEST_F(Engine, TheEndWaitsForEveryRenderedBuffer) {
    addNote(10, 10 + 100);
    synth->sync();
    synth->start();
    ASSERT_EQ(synth->activeCount, 0);
    device.returnOldest();
    EXPECT_EQ(last, TStreamStep::playing);
    device.returnOldest();
    EXPECT_EQ(last, TStreamStep::playing);
    device.returnOldest();
    EXPECT_EQ(last, TStreamStep::ended);
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

TEST_F(Engine, OpenAndPrepareFailuresLeaveTheDeviceClosed) {
    synth.reset();
    const auto make = [this] {
        return std::make_unique<TSynth>(
            device, [](int) {}, -1, *buffers);
    };
    device.failOpen = true;
    auto a = make();
    EXPECT_TRUE(a->deviceError);
    EXPECT_FALSE(a->deviceOpen);
    a.reset();
    device.failOpen = false;
    device.failPrepare = 3;
    auto b = make();
    EXPECT_TRUE(b->deviceError);
    EXPECT_FALSE(b->deviceOpen);
    EXPECT_FALSE(device.isOpen);
    EXPECT_TRUE(device.data(1).empty()); // the prepared ones were unprepared again
}

TEST_F(Engine, WriteFailureWhileStreamingIsReportedByTheProtocol) {
    addNote(10 * 88200, 10 * 88200 + 100);
    synth->sync();
    synth->start();
    device.failWrites = true;
    device.returnOldest();
    EXPECT_EQ(last, TStreamStep::deviceFailed);
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
