#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>

namespace zb::synth {

// Shows a message: the player puts it in a message box or the status line, the command line
// prints it.
using TMessageSink = std::function<void(const std::string&)>;

// The record file of one engine: the buffers it renders while recording, as one WAV file. The
// file is a valid WAV file at every moment: its size fields follow each appended buffer, so a
// recording cut short by a crash or a kill still holds everything written so far.
class TRecorder final {
public:
    TRecorder() = default;
    TRecorder(const TRecorder&) = delete;
    TRecorder& operator=(const TRecorder&) = delete;
    ~TRecorder();

    // Creates fileName for a new stream, making its folder when it has none yet.
    void begin(const std::string& fileName);
    // Appends one rendered buffer when the file is open.
    void append(std::span<const std::uint8_t> data);
    // Closes the file and writes the header of fileName once more from its final size.
    void finish(const std::string& fileName);

    // Whether the file could not be written since the last begin, and the system's error code
    // of that failure (0 when it gave none). Playback goes on without recording.
    bool failed() const { return failed_; }
    int error() const { return error_; }

    // Where the failure is reported ("Can't record to " + path).
    TMessageSink onError;

private:
    bool updateHeader();
    void close();
    void fail(int error);

    std::string fileName_;
    std::FILE* handle_ = nullptr;
    bool failed_ = false;
    int error_ = 0;
};

} // namespace zb::synth
