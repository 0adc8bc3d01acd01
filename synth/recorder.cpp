#include "synth/recorder.h"

#include "compiler/fast_file.h"
#include "instruments/wav_header.h"
#include "synth/config.h"
#include "synth/wav_writer.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace zb::synth {

namespace {
constexpr auto kHeader = static_cast<std::int64_t>(instruments::kWavHeaderLength);
} // namespace

TRecorder::~TRecorder() {
    close();
}

void TRecorder::begin(const std::string& fileName) {
    close();
    failed_ = false;
    fileName_ = fileName;
    // A fresh installation has no record folder yet; one that cannot be made shows as the
    // record file's own error below.
    std::error_code ec;
    if (const auto dir = std::filesystem::path(fileName_).parent_path(); !dir.empty())
        std::filesystem::create_directories(dir, ec);
    {
        compiler::TFastFile file(fileName_, true, false);
        if (!file.opened()) {
            fail(errno);
            return;
        }
        try {
            writeWavHeader(file, 16, 2, kOutputRate);
            file.close();
        } catch (const std::system_error& e) {
            fail(e.code().value());
            return;
        }
    }
    handle_ = std::fopen(fileName_.c_str(), "r+b");
    if (handle_ == nullptr || std::fseek(handle_, kHeader, SEEK_SET) != 0) {
        const int error = errno;
        close();
        fail(error);
    }
}

void TRecorder::append(std::span<const std::uint8_t> data) {
    if (handle_ == nullptr)
        return;
    errno = 0;
    if (std::fwrite(data.data(), 1, data.size(), handle_) != data.size() ||
        std::fflush(handle_) != 0 || !updateHeader()) {
        const int error = errno;
        close();
        fail(error);
    }
}

bool TRecorder::updateHeader() {
    const long end = std::ftell(handle_);
    if (end < kHeader)
        return false;
    const auto dataLength = static_cast<std::uint32_t>(static_cast<std::uint64_t>(end) - kHeader);
    const auto header = instruments::canonicalWavHeader(dataLength, 16, 2, kOutputRate);
    return ::pwrite(::fileno(handle_), header.data(), header.size(), 0) ==
           static_cast<ssize_t>(header.size());
}

void TRecorder::finish(const std::string& fileName) {
    close();
    compiler::TFastFile file(fileName, false, false);
    if (file.opened())
        writeWavHeader(file, 16, 2, kOutputRate);
}

void TRecorder::close() {
    if (handle_ != nullptr) {
        std::fclose(handle_);
        handle_ = nullptr;
    }
}

void TRecorder::fail(int error) {
    failed_ = true;
    error_ = error;
    if (onError)
        onError("Can't record to " + fileName_);
}

} // namespace zb::synth
