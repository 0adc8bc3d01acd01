#include "compiler/voice_builder.h"
#include "synth/null_audio_output.h"
#include "synth/stream_protocol.h"

#include <gtest/gtest.h>

#include <memory>

namespace zb::synth {
namespace {

// A song of one short note at a given frame, streamed through the null device.
class Streaming : public ::testing::Test {
protected:
    void SetUp() override {
        rec.sampleRate = 22050;
        rec.baseKey = 60;
        rec.attackFactor = 1;
        rec.releaseSlope = -1000;
        rec.endPosition = 1000;
        rec.wavData.assign(1002, 100);
    }
    std::unique_ptr<TSynth> makeSynth(std::int64_t noteFrame) {
        auto synth = std::make_unique<TSynth>(
            device,
            [this](int buffer) {
                returned.push_back(buffer);
                if (engine != nullptr)
                    last = bufferReturned(*engine, running);
            },
            -1, *buffers);
        auto v = std::make_unique<compiler::TSongBlock>();
        compiler::setVoiceParameters(*v, rec, 60, false);
        const auto t = static_cast<std::int32_t>(noteFrame * 4);
        v->events = {{compiler::noteStart, t, 0, 1, 1},
                     {compiler::noteEnd, t + 400, 0, 1, 1},
                     {compiler::endMark, t + 400, 0, 0, 0}};
        v->sampleData = rec.wavData.data();
        v->sampleSize = rec.wavData.size();
        synth->voices.push_back(std::move(v));
        engine = synth.get();
        return synth;
    }

    compiler::TSampleRec rec;
    std::unique_ptr<TOutputBuffers> buffers = std::make_unique<TOutputBuffers>();
    NullAudioOutput device;
    TSynth* engine = nullptr;
    bool running = true;
    TStreamStep last = TStreamStep::playing;
    std::vector<int> returned;
};

TEST_F(Streaming, OneBufferPerReturnedBufferUntilTheSongEnds) {
    auto synth = makeSynth(4 * 88200); // the note sounds in the fifth buffer
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

TEST_F(Streaming, TheEndWaitsForEveryRenderedBuffer) {
    auto synth = makeSynth(10);
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

TEST_F(Streaming, StopTakesThePositionHeardAndStartContinuesAtRenderPos) {
    auto synth = makeSynth(20 * 88200);
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

TEST_F(Streaming, OpenAndPrepareFailuresLeaveTheDeviceClosed) {
    device.failOpen = true;
    auto a = makeSynth(0);
    EXPECT_TRUE(a->deviceError);
    EXPECT_FALSE(a->deviceOpen);
    a.reset();
    device.failOpen = false;
    device.failPrepare = 3;
    auto b = makeSynth(0);
    EXPECT_TRUE(b->deviceError);
    EXPECT_FALSE(b->deviceOpen);
    EXPECT_FALSE(device.isOpen);
    EXPECT_TRUE(device.data(1).empty()); // the prepared ones were unprepared again
}

TEST_F(Streaming, WriteFailureIsReportedByTheProtocol) {
    auto synth = makeSynth(10 * 88200);
    synth->sync();
    synth->start();
    device.failWrites = true;
    device.returnOldest();
    EXPECT_EQ(last, TStreamStep::deviceFailed);
}

} // namespace
} // namespace zb::synth
