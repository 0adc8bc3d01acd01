#include "synth/synth.h"

#include "compiler/fast_file.h"
#include "compiler/levels.h"
#include "instruments/wav_header.h"
#include "instruments/wav_sample.h"
#include "synth/lfo.h"
#include "synth/mixer.h"
#include "synth/wav_writer.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <system_error>
#include <unistd.h>

namespace zb::synth {

TSynth::TSynth(AudioOutput& device, AudioOutput::TBufferDone onBufferDone, int deviceNumber,
               TOutputBuffers& buffers)
    : waveOut(device), outputBuffers(buffers),
      mixBuffer(static_cast<std::size_t>(kBlockBytes / kBytesPerFrame) * 2) {
    for (auto& b : outputBuffers)
        b.fill(0);
    if (!waveOut.open(deviceNumber, std::move(onBufferDone))) {
        deviceError = true;
        return;
    }
    for (int n = 1; n <= kBufferCount; ++n) {
        if (!waveOut.prepare(n, outputBuffers[static_cast<std::size_t>(n - 1)])) {
            for (int m = n - 1; m >= 1; --m)
                waveOut.unprepare(m);
            waveOut.close();
            deviceError = true;
            return;
        }
    }
    mute();
    unMute();
    deviceOpen = true;
}

TSynth::~TSynth() {
    if (muted)
        unMute();
    if (deviceOpen) {
        waveOut.reset();
        for (int n = kBufferCount; n >= 1; --n)
            waveOut.unprepare(n);
        waveOut.close();
    }
    closeRecordFile();
}

bool TSynth::loadWAVs(compiler::TSampleList& samples, const std::string& prgDir,
                      const std::string& wavDir, const TMessageSink& status,
                      const TMessageSink& showError) {
    const auto fail = [&](const std::string& message) {
        for (auto& rec : samples)
            rec->wavData = {};
        if (showError)
            showError(message);
        return false;
    };
    for (auto& rec : samples)
        rec->wavData = {};
    for (auto& rec : samples) {
        const std::string name = instruments::wavFileName(rec->wavName, wavDir);
        if (status)
            status("Loading WAV file " + name);
        const std::string path = instruments::findWavFile(name, prgDir);
        const instruments::TWAVheader header(path);
        if (path.empty() || !header.valid)
            return fail("Can't open WAV file " + name);
        auto loaded = instruments::loadWavSamples(path, header);
        if (loaded.error == instruments::TWavLoadError::memory)
            return fail("Memory allocation error!");
        if (loaded.error != instruments::TWavLoadError::none)
            return fail("Error reading WAV file!");
        rec->wavData = std::move(loaded.samples);
    }
    for (auto& voice : voices) {
        prepareLfoCosines(voice->savedState.lfoPeriod);
        if (voice->sampleData != nullptr)
            continue;
        const auto& data = voice->sampleRec->wavData;
        voice->sampleData = data.data();
        voice->sampleSize = data.size();
        // The first sample frame of every note ramps from 0 to the sample at the start index.
        const auto start = static_cast<std::size_t>(voice->startIndex);
        voice->savedState.sampleDelta = start < data.size() ? data[start] : 0;
    }
    return true;
}

void TSynth::sync() {
    playPos -= playPos % kBytesPerFrame;
    activeVoices.clear();
    activeCount = 0;
    for (auto& block : voices) {
        auto& events = block->events;
        std::size_t i = 0;
        while (events[i].kind != compiler::endMark && events[i].time < playPos)
            ++i;
        while (events[i].kind != compiler::endMark && events[i].kind != compiler::noteStart)
            ++i;
        block->curEvent = i;
        if (events[i].kind == compiler::noteStart) {
            activeVoices.push_back(block.get());
            block->live = block->savedState;
            block->live.envState = compiler::envSilent;
            ++activeCount;
        }
    }
    renderPos = playPos;
}

void TSynth::start() {
    nextBuffer = 1;
    recordFailed = false;
    if (recording)
        openRecordFile();
    while (nextBuffer <= kBufferCount && !deviceError)
        play();
}

void TSynth::play() {
    const std::int64_t bufferEnd = renderPos + kBufferBytes;
    if (nextBuffer > kBufferCount)
        nextBuffer = 1;
    auto& out = outputBuffers[static_cast<std::size_t>(nextBuffer - 1)];
    // Every voice renders one block before the next block starts, so the block's accumulator
    // stays in the first-level cache while the voices add into it. The sums are wrapping 64-bit
    // additions and each voice's walk resumes exactly where it stopped, so the result is the
    // same as rendering each voice through the whole buffer.
    std::size_t outOffset = 0;
    for (std::int64_t blockStart = renderPos; blockStart < bufferEnd;) {
        const std::int64_t blockEnd = std::min(blockStart + kBlockBytes, bufferEnd);
        const auto frames = static_cast<std::size_t>((blockEnd - blockStart) / kBytesPerFrame);
        const auto mix = std::span(mixBuffer).first(2 * frames);
        std::fill(mix.begin(), mix.end(), 0);
        std::size_t kept = 0;
        for (auto* block : activeVoices)
            if (renderVoice(*block, blockStart, blockEnd, mix, blockStart != renderPos))
                activeVoices[kept++] = block;
        activeVoices.resize(kept);
        convertOutput(mix, std::span(out).subspan(outOffset, frames * kBytesPerFrame), leftMul,
                      rightMul, saturate);
        outOffset += frames * kBytesPerFrame;
        blockStart = blockEnd;
    }
    activeCount = static_cast<std::int32_t>(activeVoices.size());
    renderPos = bufferEnd;
    if (recording && recordHandle != nullptr)
        writeRecord(out);
    if (waveOut.write(nextBuffer))
        ++nextBuffer;
    else
        deviceError = true;
}

void TSynth::stop() {
    waveOut.reset();
    if (recording) {
        closeRecordFile();
        compiler::TFastFile file(recordFileName, false, false);
        if (file.opened())
            writeWavHeader(file, 16, 2, kOutputRate);
    }
}

void TSynth::changeVolume(Real volume, Real balance) {
    rightFactor = volume * balance;
    leftFactor = (2 - balance) * volume;
    const auto toMul = [](Real factor) {
        const Real mul = roundHalfEven(factor * 32);
        return static_cast<std::int32_t>(std::clamp<Real>(mul, 0, 1 << 20));
    };
    leftMul = toMul(leftFactor);
    rightMul = toMul(rightFactor);
}

void TSynth::mute() {
    if (const auto v = waveOut.volume()) {
        savedVolume = *v;
        waveOut.setVolume(0);
    }
    muted = true;
}

void TSynth::unMute() {
    if (waveOut.volume())
        waveOut.setVolume(savedVolume);
    muted = false;
}

void TSynth::openRecordFile() {
    closeRecordFile();
    if (continueRecording && recordOrigin >= 0 && renderPos >= recordOrigin && reopenRecordFile())
        return;
    // A fresh installation has no record folder yet; one that cannot be made shows as the
    // record file's own error below.
    std::error_code ec;
    if (const auto dir = std::filesystem::path(recordFileName).parent_path(); !dir.empty())
        std::filesystem::create_directories(dir, ec);
    recordOrigin = renderPos;
    {
        compiler::TFastFile file(recordFileName, true, false);
        if (!file.opened()) {
            recordError(errno);
            return;
        }
        try {
            writeWavHeader(file, 16, 2, kOutputRate);
            file.close();
        } catch (const std::system_error& e) {
            recordError(e.code().value());
            return;
        }
    }
    recordHandle = std::fopen(recordFileName.c_str(), "r+b");
    if (recordHandle == nullptr || std::fseek(recordHandle, 44, SEEK_SET) != 0) {
        const int error = errno;
        closeRecordFile();
        recordError(error);
    }
}

bool TSynth::reopenRecordFile() {
    // The file holds the stream from recordOrigin on; whatever lies past renderPos (rendered
    // ahead of what was heard) is cut, so the resumed stream follows without a gap or a repeat.
    const std::int64_t keep = 44 + (renderPos - recordOrigin);
    recordHandle = std::fopen(recordFileName.c_str(), "r+b");
    if (recordHandle == nullptr)
        return false;
    const int fd = ::fileno(recordHandle);
    if (std::fseek(recordHandle, 0, SEEK_END) != 0 || std::ftell(recordHandle) < keep ||
        ::ftruncate(fd, static_cast<off_t>(keep)) != 0 ||
        std::fseek(recordHandle, static_cast<long>(keep), SEEK_SET) != 0 || !updateRecordHeader()) {
        closeRecordFile();
        return false;
    }
    return true;
}

void TSynth::writeRecord(std::span<const std::uint8_t> data) {
    errno = 0;
    if (std::fwrite(data.data(), 1, data.size(), recordHandle) != data.size() ||
        std::fflush(recordHandle) != 0 || !updateRecordHeader()) {
        const int error = errno;
        closeRecordFile();
        recordError(error);
    }
}

bool TSynth::updateRecordHeader() {
    // The two size fields follow every appended buffer, so a recording cut short by a crash or a
    // kill is still a valid WAV file of everything written so far. stop() writes the same
    // header once more.
    const long end = std::ftell(recordHandle);
    if (end < 44)
        return false;
    const auto dataLength = static_cast<std::uint32_t>(static_cast<std::uint64_t>(end) - 44U);
    const auto le32 = [](std::uint32_t value) {
        return std::array<std::uint8_t, 4>{
            static_cast<std::uint8_t>(value & 0xFFU), static_cast<std::uint8_t>(value >> 8 & 0xFFU),
            static_cast<std::uint8_t>(value >> 16 & 0xFFU), static_cast<std::uint8_t>(value >> 24)};
    };
    const int fd = ::fileno(recordHandle);
    const auto riff = le32(dataLength + 36U);
    const auto dataSize = le32(dataLength);
    return ::pwrite(fd, riff.data(), riff.size(), 4) == 4 &&
           ::pwrite(fd, dataSize.data(), dataSize.size(), 40) == 4;
}

void TSynth::closeRecordFile() {
    if (recordHandle != nullptr) {
        std::fclose(recordHandle);
        recordHandle = nullptr;
    }
}

void TSynth::recordError(int error) {
    recordFailed = true;
    recordErrno = error;
    if (recordStatus)
        recordStatus("Can't record to " + recordFileName);
}

} // namespace zb::synth
