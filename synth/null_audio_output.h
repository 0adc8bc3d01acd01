#pragma once

#include "synth/audio_output.h"

#include <deque>

namespace zb::synth {

// A device that plays nothing: it keeps the written buffers queued until its owner asks it to
// return the oldest one. The renderer drives the engine through it exactly as the player does
// through a real device, so a rendered file is what the player records.
class NullAudioOutput final : public AudioOutput {
public:
    bool open(int device, TBufferDone onBufferDone) override;
    bool prepare(int buffer, std::span<const std::uint8_t> data) override;
    void unprepare(int buffer) override;
    bool write(int buffer) override;
    void reset() override;
    void close() override;
    std::optional<std::uint32_t> volume() override { return deviceVolume; }
    void setVolume(std::uint32_t volume) override { deviceVolume = volume; }
    std::vector<TAudioDevice> devices() override { return {{"Null output", true, true}}; }

    // Reports the oldest queued buffer back as played; false when none is queued.
    bool returnOldest();
    std::size_t queued() const { return queue.size(); }
    // The bytes of a queued or prepared buffer, for tests.
    std::span<const std::uint8_t> data(int buffer) const { return buffers[buffer - 1]; }

    // For tests: the operations fail as a missing or broken device's would.
    bool failOpen = false;
    int failPrepare = 0; // the number of the buffer whose preparation fails, 0 for none
    bool failWrites = false;
    bool isOpen = false;

private:
    TBufferDone onDone;
    std::span<const std::uint8_t> buffers[3];
    std::deque<int> queue;
    std::uint32_t deviceVolume = 0xFFFFFFFF;
};

} // namespace zb::synth
