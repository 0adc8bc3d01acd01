#include "app/qt/qt_audio_output.h"
#include "compiler/voice_builder.h"
#include "synth/stream_protocol.h"
#include "synth/synth.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace zb::ui {
namespace {

// Through a real sound server (the test script starts one with a null sink): a one-note song
// plays its three buffers in order and ends within their duration plus a margin.
TEST(QtAudioOutput, PlaysEveryBufferInOrderAndEndsInTime) {
    if (QMediaDevices::audioOutputs().isEmpty())
        GTEST_SKIP() << "no sound server with an output device is running";

    compiler::TSampleRec rec;
    rec.sampleRate = 22050;
    rec.baseKey = 60;
    rec.attackFactor = 1;
    rec.releaseSlope = -1000;
    rec.endPosition = 1000;
    rec.wavData.assign(1002, 1000);

    auto buffers = std::make_unique<synth::TOutputBuffers>();
    QtAudioOutput output;
    std::vector<int> returned;
    synth::TSynth* engine = nullptr;
    bool ended = false;
    synth::TSynth synth(
        output,
        [&](int buffer) {
            returned.push_back(buffer);
            if (engine != nullptr &&
                synth::bufferReturned(*engine, true) != synth::TStreamStep::playing) {
                ended = true;
                QCoreApplication::quit();
            }
        },
        -1, *buffers);
    ASSERT_TRUE(synth.deviceOpen);
    auto v = std::make_unique<compiler::TSongBlock>();
    compiler::setVoiceParameters(*v, rec, 60, false);
    v->events = {{compiler::noteStart, 40, 0, 1, 1},
                 {compiler::noteEnd, 4000, 0, 1, 1},
                 {compiler::endMark, 4000, 0, 0, 0}};
    v->sampleData = rec.wavData.data();
    v->sampleSize = rec.wavData.size();
    synth.voices.push_back(std::move(v));
    synth.sync();
    engine = &synth;

    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(30000, [] { QCoreApplication::quit(); });
    synth.start();
    QCoreApplication::exec();
    const auto ms = clock.elapsed();
    engine = nullptr;

    EXPECT_TRUE(ended);
    EXPECT_EQ(returned, (std::vector<int>{1, 2, 3}));
    EXPECT_GE(ms, 11000); // three 4-second buffers cannot play faster than real time
    EXPECT_LE(ms, 12000 + 3000);
}

TEST(QtAudioOutput, TheHeardPositionFollowsTheClockAndAStopKeepsIt) {
    if (QMediaDevices::audioOutputs().isEmpty())
        GTEST_SKIP() << "no sound server with an output device is running";
    auto buffers = std::make_unique<synth::TOutputBuffers>();
    QtAudioOutput output;
    std::vector<int> returned;
    synth::TSynth synth(
        output, [&](int buffer) { returned.push_back(buffer); }, -1, *buffers);
    ASSERT_TRUE(synth.deviceOpen);
    synth.sync();
    synth.start();
    // Once the stream runs, the heard position moves with the clock, a second a second, never
    // ahead of it; the stop hands back the first buffer alone (the second is not rendered yet)
    // and playPos is where the stop was heard.
    const auto runFor = [](int ms) {
        QTimer::singleShot(ms, [] { QCoreApplication::quit(); });
        QCoreApplication::exec();
    };
    QElapsedTimer clock;
    clock.start();
    runFor(1000);
    const std::int64_t first = synth.heardPos();
    const std::int64_t firstAt = clock.elapsed();
    runFor(1000);
    const std::int64_t heard = synth.heardPos();
    const std::int64_t elapsed = (clock.elapsed() - firstAt) * synth::kBufferBytes / 4000;
    EXPECT_GT(first, 0);
    EXPECT_LE(first, firstAt * synth::kBufferBytes / 4000);
    EXPECT_NEAR(heard - first, elapsed, synth::kBufferBytes / 40) << elapsed;
    synth.stop();
    EXPECT_GE(synth.playPos, heard);
    EXPECT_LE(synth.playPos, heard + synth::kBufferBytes / 40);
    QTimer::singleShot(200, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    EXPECT_EQ(returned, (std::vector<int>{1}));
}

TEST(QtAudioOutput, OpeningAMissingDeviceFailsCleanly) {
    auto buffers = std::make_unique<synth::TOutputBuffers>();
    QtAudioOutput output;
    synth::TSynth synth(
        output, [](int) {}, 9999, *buffers);
    EXPECT_FALSE(synth.deviceOpen);
    EXPECT_TRUE(synth.deviceError);
}

} // namespace
} // namespace zb::ui

// The application lives on main's stack, as in the player, and the program ends as the player
// does (exitSkippingAudioTeardown): Qt Multimedia's own teardown at exit crashed now and then.
int main(int argc, char** argv) {
    int status = 0;
    {
        QCoreApplication app(argc, argv);
        testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    zb::ui::exitSkippingAudioTeardown(status);
}
