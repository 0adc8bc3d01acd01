#include "compiler/fast_file.h"

#include <cerrno>
#include <system_error>

namespace zb::compiler {

namespace {

[[noreturn]] void throwIoError(const char* what) {
    throw std::system_error(errno ? errno : EIO, std::generic_category(), what);
}

} // namespace

TFastFile::TFastFile(const std::string& fileName, bool createNew, bool readOnly) {
    if (createNew) {
        file.reset(std::fopen(fileName.c_str(), "w+b"));
        if (!file)
            return;
        std::setvbuf(file.get(), nullptr, _IONBF, 0);
        // An empty block: the first written byte extends both the block data and the file.
        dataEnd = -1;
        fileEnd = -1;
        eof_ = true;
        return;
    }
    const char* mode = readOnly ? "rb" : "r+b";
    // A trial open first: a file that cannot be opened leaves the object unopened, no exception.
    file.reset(std::fopen(fileName.c_str(), mode));
    if (!file)
        return;
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    errno = 0;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        throwIoError("TFastFile: seek");
    const long end = std::ftell(file.get());
    if (end < 0)
        throwIoError("TFastFile: size");
    fileEnd = static_cast<std::int64_t>(end) - 1;
    position_ = 0;
    loadBlock();
    dirty = false;
    eof_ = dataEnd < 0;
}

TFastFile::~TFastFile() {
    try {
        close();
    } catch (...) { // NOLINT(bugprone-empty-catch): close reports nothing, by contract
    }
}

void TFastFile::seekFile(std::int64_t offset) {
    errno = 0;
    if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0)
        throwIoError("TFastFile: seek");
}

void TFastFile::writeBack() {
    if (!dirty)
        return;
    seekFile(blockStart);
    const auto count = static_cast<std::size_t>(dataEnd - blockStart + 1);
    errno = 0;
    if (std::fwrite(buffer.data(), 1, count, file.get()) != count)
        throwIoError("TFastFile: write");
    dirty = false;
}

void TFastFile::loadBlock() {
    writeBack();
    blockStart = position_ - position_ % blockSize;
    seekFile(blockStart);
    errno = 0;
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (n < buffer.size() && std::ferror(file.get()))
        throwIoError("TFastFile: read");
    blockEnd = blockStart + blockSize - 1;
    dataEnd = blockStart + static_cast<std::int64_t>(n) - 1;
}

std::uint8_t TFastFile::readByte() {
    if (position_ < blockStart || (position_ > blockEnd && !eof_)) {
        loadBlock();
        dirty = false;
        if (position_ > dataEnd)
            eof_ = true;
    }
    if (eof_)
        return 0;
    const std::uint8_t byte = buffer[static_cast<std::size_t>(position_ - blockStart)];
    ++position_;
    if (position_ > fileEnd)
        eof_ = true;
    return byte;
}

void TFastFile::writeByte(std::uint8_t byte) {
    if (position_ < blockStart || position_ > blockEnd)
        loadBlock();
    buffer[static_cast<std::size_t>(position_ - blockStart)] = byte;
    dirty = true;
    if (position_ > dataEnd) {
        dataEnd = position_;
        if (position_ > fileEnd)
            fileEnd = position_;
    }
    ++position_;
    if (position_ > fileEnd)
        eof_ = true;
}

void TFastFile::seek(std::int64_t newPosition) {
    position_ = newPosition;
    if (position_ > fileEnd) {
        eof_ = true;
        return;
    }
    eof_ = false;
    if (position_ >= blockStart && position_ <= blockEnd)
        return;
    loadBlock();
    dirty = false;
}

void TFastFile::close() {
    if (!file)
        return;
    try {
        writeBack();
    } catch (...) { // NOLINT(bugprone-empty-catch): the final write-back reports nothing
    }
    file.reset();
}

} // namespace zb::compiler
