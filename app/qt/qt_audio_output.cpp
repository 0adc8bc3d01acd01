#include "app/qt/qt_audio_output.h"

#include "synth/config.h"

#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace zb::ui {

namespace {

constexpr int kPumpMs = 10;
// The sink's own buffer is half a second, but it is kept only a little full: what waits in it
// is audio rendered before the listener's last change, and a sink whose buffer ran full stalled
// now and then at the start of a stream (its free space stayed 0 after it had played all).
constexpr qsizetype kSinkBufferBytes = synth::kOutputRate * synth::kBytesPerFrame / 2;
// About 140 ms in the sink (with 70 ms the sound server ran dry now and then on a busy 2-core
// machine: short silent gaps), and the owner keeps a little more ready beyond that. A change is
// still heard within about 90 ms: the sink's processed time, which this counts from, runs ahead
// of what the server has played.
constexpr qint64 kInSinkBytes = 12288;
constexpr qint64 kLeadBytes = 8192;
} // namespace

QtAudioOutput::QtAudioOutput() {
    pump.setInterval(kPumpMs);
    QObject::connect(&pump, &QTimer::timeout, this, [this] {
        unstall();
        feed();
        notifyPlayed();
        if (onTick)
            onTick();
        feed();
    });
}

QtAudioOutput::~QtAudioOutput() {
    close();
}

QAudioFormat QtAudioOutput::engineFormat(int channels) {
    QAudioFormat format;
    format.setSampleRate(synth::kOutputRate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

std::vector<synth::TAudioDevice> QtAudioOutput::devices() {
    std::vector<synth::TAudioDevice> list;
    const QAudioDevice preferred = QMediaDevices::defaultAudioOutput();
    for (const QAudioDevice& d : QMediaDevices::audioOutputs()) {
        const bool qualifies =
            d.isFormatSupported(engineFormat(2)) || d.isFormatSupported(engineFormat(1));
        list.push_back({d.description().toStdString(), qualifies, d.id() == preferred.id()});
    }
    return list;
}

bool QtAudioOutput::open(int number, TBufferDone onBufferDone, TTick tick) {
    close();
    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    if (number < 0)
        device = QMediaDevices::defaultAudioOutput();
    else if (number < outputs.size())
        device = outputs[number];
    else
        device = QAudioDevice();
    if (device.isNull())
        return false;
    onDone = std::move(onBufferDone);
    onTick = std::move(tick);
    ++generation;
    sink = std::make_unique<QAudioSink>(device, engineFormat(2));
    sink->setBufferSize(kSinkBufferBytes);
    if (!startSink()) {
        sink.reset();
        return false;
    }
    return true;
}

bool QtAudioOutput::startSink() {
    io = sink->start();
    streamBytes = heard = 0;
    clock.start();
    heardAt = 0;
    suspended = false;
    stalledTicks = 0;
    kickPending = true;
    if (io == nullptr || sink->error() != QAudio::NoError)
        return false;
    pump.start();
    return true;
}

bool QtAudioOutput::prepare(int buffer, std::span<const std::uint8_t> data) {
    if (!sink || buffer < 1 || buffer > 3)
        return false;
    buffers[buffer - 1] = data;
    return true;
}

void QtAudioOutput::unprepare(int buffer) {
    if (buffer >= 1 && buffer <= 3)
        buffers[buffer - 1] = {};
}

bool QtAudioOutput::write(int buffer, std::size_t ready) {
    if (!sink || buffer < 1 || buffer > 3 || buffers[buffer - 1].empty())
        return false;
    if (io == nullptr && !startSink())
        return false;
    const auto size = static_cast<qint64>(buffers[buffer - 1].size());
    const qint64 bytes = std::min(static_cast<qint64>(ready), size);
    if (!queue.empty() && queue.back().buffer == buffer && queue.back().ready < size)
        queue.back().ready = std::max(queue.back().ready, bytes);
    else
        queue.push_back({buffer, bytes, 0, -1});
    feed();
    return sink->error() == QAudio::NoError || sink->error() == QAudio::UnderrunError;
}

void QtAudioOutput::feed() {
    if (io == nullptr)
        return;
    for (auto& q : queue) {
        if (q.end >= 0)
            continue;
        const auto data = buffers[q.buffer - 1];
        const qint64 room =
            std::min<qint64>(sink->bytesFree(), kInSinkBytes - (streamBytes - played()));
        if (room <= 0)
            return;
        qint64 chunk = std::min(room, q.ready - q.written);
        chunk -= chunk % synth::kBytesPerFrame;
        if (chunk > 0) {
            const qint64 n =
                io->write(reinterpret_cast<const char*>(data.data()) + q.written, chunk);
            if (n <= 0)
                return;
            q.written += n;
            streamBytes += n;
        }
        if (q.written < static_cast<qint64>(data.size()))
            return;
        q.end = streamBytes;
    }
}

qint64 QtAudioOutput::processedBytes() const {
    return sink->processedUSecs() * synth::kOutputRate / 1000000 * synth::kBytesPerFrame;
}

std::int64_t QtAudioOutput::played() {
    if (!sink || io == nullptr)
        return 0;
    // The sink's processed time runs ahead of the speaker in bursts (the server takes data
    // before it plays it), so what is heard grows no faster than the wall clock while it
    // follows that time; it stands still while the sink stands still.
    const qint64 processed = std::min(processedBytes(), streamBytes);
    const qint64 now = clock.nsecsElapsed();
    if (!suspended) {
        const qint64 elapsed =
            (now - heardAt) * synth::kOutputRate / 1000000000 * synth::kBytesPerFrame;
        heard = std::max(heard, std::min(processed, heard + elapsed));
    }
    heardAt = now;
    return heard;
}

void QtAudioOutput::unstall() {
    // The first bytes of a stream sat in the server for up to a second before it began to play
    // them; suspending and resuming at once starts it.
    if (io != nullptr && !suspended && kickPending && streamBytes > 0) {
        kickPending = false;
        sink->suspend();
        sink->resume();
        return;
    }
    // Later, the sink now and then stopped with all it was given played and no free space
    // reported, and stayed so until it was suspended and resumed.
    const bool waiting = std::any_of(queue.begin(), queue.end(), [](const TQueued& q) {
        return q.end < 0 && q.written < q.ready;
    });
    if (io == nullptr || suspended || !waiting || sink->bytesFree() > 0 ||
        processedBytes() + 256 < streamBytes) {
        stalledTicks = 0;
        return;
    }
    if (++stalledTicks >= 3) {
        sink->suspend();
        sink->resume();
        stalledTicks = 0;
    }
}

std::int64_t QtAudioOutput::lead() const {
    return kLeadBytes;
}

void QtAudioOutput::pause() {
    if (sink && io != nullptr) {
        played();
        sink->suspend();
        suspended = true;
    }
}

void QtAudioOutput::resume() {
    if (sink && io != nullptr) {
        sink->resume();
        suspended = false;
        heardAt = clock.nsecsElapsed();
    }
}

void QtAudioOutput::notifyPlayed() {
    if (!sink)
        return;
    const qint64 heard = played();
    std::vector<int> done;
    while (!queue.empty() && queue.front().end >= 0 && queue.front().end <= heard) {
        done.push_back(queue.front().buffer);
        queue.pop_front();
    }
    // The owner may write the next buffer from the notification: the queue is settled first.
    for (const int buffer : done)
        if (onDone)
            onDone(buffer);
}

void QtAudioOutput::post(int buffer) {
    QMetaObject::invokeMethod(
        this,
        [this, buffer, posted = generation] {
            if (posted == generation && onDone)
                onDone(buffer);
        },
        Qt::QueuedConnection);
}

void QtAudioOutput::reset() {
    if (!sink)
        return;
    pump.stop();
    sink->reset();
    io = nullptr; // started again by the next write
    for (const auto& q : queue)
        post(q.buffer);
    queue.clear();
}

void QtAudioOutput::close() {
    ++generation;
    pump.stop();
    if (sink) {
        sink->stop();
        sink.reset();
    }
    io = nullptr;
    queue.clear();
}

std::optional<std::uint32_t> QtAudioOutput::volume() {
    if (!sink)
        return std::nullopt;
    const auto level = static_cast<std::uint32_t>(std::lround(sink->volume() * 0xFFFF));
    return level | level << 16;
}

void QtAudioOutput::setVolume(std::uint32_t volume) {
    if (!sink)
        return;
    const double left = (volume & 0xFFFF) / 65535.0;
    const double right = (volume >> 16) / 65535.0;
    sink->setVolume((left + right) / 2);
}

void exitSkippingAudioTeardown(int status) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace zb::ui
