#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zb::synth {

struct TAudioDevice {
    std::string name;
    bool supports22k16bit = false; // plays 22,050 Hz 16-bit PCM, mono or stereo
    bool isDefault = false;
};

// An audio output device for 22,050 Hz 16-bit stereo PCM with a ring of three buffers.
//
// Contract: buffers are numbered 1..3 and prepared once after open. write(buffer, ready) queues
// a buffer behind the others with its first ready bytes ready to play; writing the last queued
// buffer again makes more of it ready (bytes once ready do not change). The device plays ready
// bytes in the order written, without gaps, and reports each buffer back through the buffer-done
// callback on the owner's thread once it has played its last byte. While open it calls the tick
// callback on the owner's thread every few milliseconds, so that the owner can make the next
// bytes ready before the device runs out: lead() is how far ahead of played() the device wants
// them. reset stops at once and reports every queued buffer back; pause holds playback with
// everything queued, resume goes on from there. The buffer memory belongs to the owner and must
// stay valid while the device holds it.
class AudioOutput {
public:
    using TBufferDone = std::function<void(int buffer)>;
    using TTick = std::function<void()>;

    AudioOutput() = default;
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;
    virtual ~AudioOutput() = default;

    // Opens device number device (negative: the default device). False when it cannot be opened.
    virtual bool open(int device, TBufferDone onBufferDone, TTick onTick) = 0;
    virtual bool prepare(int buffer, std::span<const std::uint8_t> data) = 0;
    virtual void unprepare(int buffer) = 0;
    virtual bool write(int buffer, std::size_t ready) = 0;
    // The bytes played since the device was opened or last reset.
    virtual std::int64_t played() = 0;
    // How many bytes past played() the device wants ready to play.
    virtual std::int64_t lead() const = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void reset() = 0;
    virtual void close() = 0;
    // The device volume (low word left, high word right, as 16-bit levels); nothing when the
    // device cannot tell.
    virtual std::optional<std::uint32_t> volume() = 0;
    virtual void setVolume(std::uint32_t volume) = 0;
    virtual std::vector<TAudioDevice> devices() = 0;
};

} // namespace zb::synth
