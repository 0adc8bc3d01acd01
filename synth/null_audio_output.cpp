#include "synth/null_audio_output.h"

namespace zb::synth {

bool NullAudioOutput::open(int, TBufferDone onBufferDone) {
    if (failOpen)
        return false;
    onDone = std::move(onBufferDone);
    isOpen = true;
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

bool NullAudioOutput::write(int buffer) {
    if (!isOpen || failWrites || buffer < 1 || buffer > 3)
        return false;
    queue.push_back(buffer);
    return true;
}

bool NullAudioOutput::returnOldest() {
    if (queue.empty())
        return false;
    const int buffer = queue.front();
    queue.pop_front();
    if (onDone)
        onDone(buffer);
    return true;
}

void NullAudioOutput::reset() {
    // A real device hands every queued buffer back at once, but its notifications reach the
    // owner later, through its event loop. Here they stay queued until the owner asks for them,
    // which keeps that order without calling back into the owner while it is resetting.
}

void NullAudioOutput::close() {
    queue.clear();
    isOpen = false;
}

} // namespace zb::synth
