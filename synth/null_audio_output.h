#pragma once

#include "synth/audio_output.h"
#include "synth/config.h"

#include <deque>

namespace zb::synth {

// A device that plays nothing: it keeps the written buffers queued until its owner asks it to
// play them. The renderer drives the engine through it exactly as the player does through a real
// device, so a rendered file is what the player records. By default it wants the whole ring
// ready, so that every buffer is rendered whole as soon as it is queued; a shorter lead and
// playBytes let tests play a song in the small steps of a real device.
class NullAudioOutput final : public AudioOutput {
public:
    bool open(int device, TBufferDone onBufferDone, TTick onTick) override;
    bool prepare(int buffer, std::span<const std::uint8_t> data) override;
    void unprepare(int buffer) override;
    bool write(int buffer, std::size_t ready) override;
    std::int64_t played() override { return playedBytes; }
    std::int64_t lead() const override { return deviceLead; }
    void pause() override { paused = true; }
    void resume() override { paused = false; }
    void reset() override;
    void close() override;
    std::optional<std::uint32_t> volume() override { return deviceVolume; }
    void setVolume(std::uint32_t volume) override { deviceVolume = volume; }
    std::vector<TAudioDevice> devices() override {
        if (noDevices)
            return {};
        return {{"Null output", true, true}};
    }

    // Plays what is ready of the oldest queued buffer and reports it back as played once all of
    // it is; false when no buffer came back (none queued, paused, or not all of it ready).
    bool returnOldest();
    // Plays up to bytes of what is ready, reporting every buffer whose last byte it plays, then
    // ticks. Returns the bytes played.
    std::int64_t playBytes(std::int64_t bytes);
    std::size_t queued() const { return queue.size(); }
    // The bytes of a queued or prepared buffer, for tests.
    std::span<const std::uint8_t> data(int buffer) const { return buffers[buffer - 1]; }

    std::int64_t deviceLead = std::int64_t{kBufferCount} * kBufferBytes;
    bool paused = false;
    // For tests: the operations fail as a missing or broken device's would.
    bool failOpen = false;
    int failPrepare = 0; // the number of the buffer whose preparation fails, 0 for none
    bool failWrites = false;
    bool noDevices = false; // as on a machine without any sound output
    bool isOpen = false;

private:
    struct TQueued {
        int buffer;
        std::size_t ready;
        std::size_t played = 0;
        bool unheard = false; // handed back by a reset
    };

    // Reports the oldest queued buffer back.
    void handBack();

    TBufferDone onDone;
    TTick onTick;
    std::span<const std::uint8_t> buffers[3];
    std::deque<TQueued> queue;
    std::int64_t playedBytes = 0;
    std::size_t returned = 0;
    std::uint32_t deviceVolume = 0xFFFFFFFF;
};

} // namespace zb::synth
