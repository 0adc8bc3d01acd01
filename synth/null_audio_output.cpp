#include "synth/null_audio_output.h"

#include <algorithm>

namespace zb::synth {

bool NullAudioOutput::open(int, TBufferDone onBufferDone, TTick tick) {
    if (failOpen)
        return false;
    onDone = std::move(onBufferDone);
    onTick = std::move(tick);
    isOpen = true;
    playedBytes = 0;
    return true;
}

bool NullAudioOutput::prepare(int buffer, std::span<const std::uint8_t> data) {
    if (!isOpen || buffer < 1 || buffer > 3 || buffer == failPrepare)
        return false;
    buffers[buffer - 1] = data;
    return true;
}

void NullAudioOutput::unprepare(int buffer) {
    if (buffer >= 1 && buffer <= 3)
        buffers[buffer - 1] = {};
}

bool NullAudioOutput::write(int buffer, std::size_t ready) {
    if (!isOpen || failWrites || buffer < 1 || buffer > 3)
        return false;
    ready = std::min(ready, buffers[buffer - 1].size());
    if (!queue.empty() && queue.back().buffer == buffer &&
        queue.back().ready < buffers[buffer - 1].size())
        queue.back().ready = std::max(queue.back().ready, ready);
    else
        queue.push_back({buffer, ready});
    return true;
}

std::int64_t NullAudioOutput::playBytes(std::int64_t bytes) {
    std::int64_t done = 0;
    // What a reset handed back comes back one buffer a call, and nothing is played in that call.
    const bool unheard = !queue.empty() && queue.front().unheard;
    if (unheard)
        handBack();
    while (!unheard && !queue.empty() && !paused && !queue.front().unheard) {
        auto& head = queue.front();
        const auto n = std::min<std::int64_t>(bytes - done,
                                              static_cast<std::int64_t>(head.ready - head.played));
        head.played += static_cast<std::size_t>(n);
        done += n;
        playedBytes += n;
        if (head.played < buffers[head.buffer - 1].size())
            break; // out of bytes to play, or the rest of the buffer is not ready yet
        handBack();
    }
    if (onTick)
        onTick();
    return done;
}

void NullAudioOutput::handBack() {
    const int buffer = queue.front().buffer;
    queue.pop_front();
    ++returned;
    if (onDone)
        onDone(buffer);
}

bool NullAudioOutput::returnOldest() {
    if (queue.empty())
        return false;
    const auto& head = queue.front();
    const auto before = returned;
    playBytes(static_cast<std::int64_t>(buffers[head.buffer - 1].size() - head.played));
    return returned != before;
}

void NullAudioOutput::reset() {
    // A real device hands every queued buffer back at once, but its notifications reach the
    // owner later, through its event loop. Here they stay queued until the owner asks for them,
    // which keeps that order without calling back into the owner while it is resetting.
    for (auto& q : queue)
        q.unheard = true;
    playedBytes = 0;
    paused = false;
}

void NullAudioOutput::close() {
    queue.clear();
    isOpen = false;
}

} // namespace zb::synth
