#pragma once

#include "synth/audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <memory>

class QAudioSink;
class QIODevice;

namespace zb::ui {

// The audio output over Qt Multimedia: device number n is entry n of
// QMediaDevices::audioOutputs(), a negative number the default output.
//
// The ready bytes of the buffers are pushed into the sink in the order written, topped up from a
// short timer that also ticks the owner, so that they play without gaps while only a little
// audio waits in the sink. A buffer counts as consumed once the sink has played past its last
// byte (from the sink's processed time); its notification is then posted to the owner's thread,
// which must run a Qt event loop. reset stops at once and posts every queued buffer back.
class QtAudioOutput final : public QObject, public synth::AudioOutput {
public:
    QtAudioOutput();
    ~QtAudioOutput() override;

    bool open(int device, TBufferDone onBufferDone, TTick onTick) override;
    bool prepare(int buffer, std::span<const std::uint8_t> data) override;
    void unprepare(int buffer) override;
    bool write(int buffer, std::size_t ready) override;
    std::int64_t played() override;
    std::int64_t lead() const override;
    void pause() override;
    void resume() override;
    void reset() override;
    void close() override;
    std::optional<std::uint32_t> volume() override;
    void setVolume(std::uint32_t volume) override;
    std::vector<synth::TAudioDevice> devices() override;

    // The format the engine plays: 22,050 Hz, 16-bit, stereo.
    static QAudioFormat engineFormat(int channels = 2);

private:
    struct TQueued {
        int buffer;
        qint64 ready;   // bytes of it the owner has made ready
        qint64 written; // bytes of it handed to the sink so far
        qint64 end;     // stream offset just past its last byte, once all of it is written
    };

    bool startSink();
    // The sink's processed time, in bytes of the stream.
    qint64 processedBytes() const;
    void unstall();
    void feed();
    void notifyPlayed();
    void post(int buffer);

    TBufferDone onDone;
    TTick onTick;
    QAudioDevice device;
    std::unique_ptr<QAudioSink> sink;
    QIODevice* io = nullptr;
    QTimer pump;
    std::span<const std::uint8_t> buffers[3];
    std::deque<TQueued> queue;
    qint64 streamBytes = 0; // bytes handed to the sink since it started
    qint64 heard = 0;       // bytes of them played, as played() last saw it
    QElapsedTimer clock;
    qint64 heardAt = 0; // when, on clock (ns)
    bool suspended = false;
    int stalledTicks = 0;
    bool kickPending = false;
    // Posted notifications of an earlier open belong to an owner that may be gone: they carry
    // the generation they were posted in and are dropped when it has passed.
    unsigned generation = 0;
};

// Ends a program that used sound once its own objects are torn down, without the exit handlers:
// Qt Multimedia's PulseAudio engine, a global of the library, disconnects from the server at
// exit while its mainloop thread may still be reading from that connection, which now and then
// crashed a program that had finished its work. The C and C++ streams are flushed first.
[[noreturn]] void exitSkippingAudioTeardown(int status);

} // namespace zb::ui
