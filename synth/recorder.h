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

    // Opens fileName for a stream that starts at output position renderPos, making its folder
    // when it has none yet. continuing: the start resumes a pause, so the file this recorder
    // began is continued from renderPos instead of being created anew.
    void begin(const std::string& fileName, std::int64_t renderPos, bool continuing);
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
    bool reopen(std::int64_t renderPos);
    bool updateHeader();
    void close();
    void fail(int error);

    std::string fileName_;
    std::FILE* handle_ = nullptr;
    std::int64_t origin_ = -1; // renderPos at the start of the file, -1: none yet
    bool failed_ = false;
    int error_ = 0;
};

} // namespace zb::synth
