#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace zb::compiler {

// Byte-at-a-time random access to a disk file through one buffered block of 16,384 bytes.
//
// The MIDI reader reads every byte singly and, for each note, scans ahead and seeks back; the
// recorder rewrites a 44-byte header. Reads and writes inside the held block touch no file, a
// block is loaded only when the position leaves it and written back only when it was changed.
//
// `eof` is set together with the delivery of the last byte of the file, so a caller that reads
// and then tests `eof` sees the end on the last byte itself. Reading at or past the end returns 0.
// Offsets are 64-bit so that no size field of a hostile file can overflow them.
//
// Failures of the file layer after opening (seek, read, write) throw std::system_error; the
// write-back in close() and in the destructor reports nothing. Not copyable.
class TFastFile final {
public:
    static constexpr std::int64_t blockSize = 16384;

    // Opens fileName. createNew: create or truncate it for reading and writing. Otherwise open an
    // existing file, read-only when readOnly is set, and read its first block. Test opened()
    // before using the object.
    TFastFile(const std::string& fileName, bool createNew, bool readOnly);
    TFastFile(const TFastFile&) = delete;
    TFastFile& operator=(const TFastFile&) = delete;
    ~TFastFile();

    std::uint8_t readByte();
    void writeByte(std::uint8_t byte);
    void seek(std::int64_t newPosition);
    std::int64_t size() const { return fileEnd + 1; }
    // Writes back a changed block and closes the file; the object is unusable afterwards.
    void close();

    std::int64_t position() const { return position_; }
    bool eof() const { return eof_; }
    bool opened() const { return file != nullptr; }

private:
    struct TFileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    void loadBlock();
    void writeBack();
    void seekFile(std::int64_t offset);

    std::unique_ptr<std::FILE, TFileCloser> file;
    std::int64_t blockStart = 0;
    std::int64_t blockEnd = blockSize - 1;
    std::int64_t position_ = 0;
    std::int64_t dataEnd = -1;
    std::int64_t fileEnd = -1;
    bool dirty = false;
    bool eof_ = true;
    std::array<std::uint8_t, blockSize> buffer{};
};

} // namespace zb::compiler
