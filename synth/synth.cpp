#include "synth/synth.h"

#include "compiler/levels.h"
#include "instruments/little_endian.h"
#include "instruments/wav_header.h"
#include "instruments/wav_sample.h"
#include "synth/lfo.h"
#include "synth/mixer.h"

#include <algorithm>
#include <limits>

namespace zb::synth {

TSynth::TSynth(AudioOutput& device, AudioOutput::TBufferDone onBufferDone, int deviceNumber,
               TOutputBuffers& buffers, AudioOutput::TTick onTick)
    : waveOut(device), ownerTick(std::move(onTick)), outputBuffers(buffers),
      mixBuffer(static_cast<std::size_t>(kBlockBytes / kBytesPerFrame) * 2) {
    for (auto& b : outputBuffers)
        b.fill(0);
    const auto tick = [this] {
        fill();
        if (ownerTick)
            ownerTick();
    };
    if (!waveOut.open(deviceNumber, std::move(onBufferDone), tick)) {
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
}

bool loadSampleData(compiler::TSampleList& samples, const std::string& prgDir,
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
    return true;
}

bool TSynth::loadWAVs(compiler::TSampleList& samples, const std::string& prgDir,
                      const std::string& wavDir, const TMessageSink& status,
                      const TMessageSink& showError) {
    if (!loadSampleData(samples, prgDir, wavDir, status, showError))
        return false;
    connectVoices();
    return true;
}

void TSynth::connectVoices() {
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
}

void TSynth::replaceSong(compiler::TSong song,
                         const std::function<std::int64_t(std::int64_t)>& newPosition) {
    // Stopped, the play position moves; streaming, the next byte to render does, and everything
    // counted in the old song's bytes moves with it.
    const std::int64_t next = streaming ? renderedTo() : playPos;
    std::int64_t from = std::max<std::int64_t>(newPosition(next), 0);
    from -= from % kBytesPerFrame;
    if (streaming) {
        // The old song's next frames, rendered aside (the ring's next slot may still be on the
        // device), fade out under the new song's.
        const std::size_t fadeBytes =
            std::min<std::size_t>(kFadeFrames * kBytesPerFrame, kBufferBytes - filled);
        std::vector<std::uint8_t> aside(kBufferBytes);
        render(std::span<std::uint8_t, kBufferBytes>(aside.data(), kBufferBytes), filled,
               filled + fadeBytes);
        fadeTail.resize(fadeBytes / 2);
        for (std::size_t i = 0; i < fadeTail.size(); ++i)
            fadeTail[i] = instruments::getSample16(aside.data() + filled + 2 * i);
        fadeAt = 0;
    }
    activeVoices.clear();
    voices = std::move(song);
    connectVoices();
    const std::int64_t shift = from - next;
    const std::int64_t played = playPos;
    playPos = from;
    sync(); // the active list at the new position
    if (streaming) {
        renderPos = from - static_cast<std::int64_t>(filled);
        playPos = played + shift;
        streamStart += shift;
    }
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
    if (recording)
        recorder.begin(recordFileName);
    streamStart = renderPos;
    playedAtStart = waveOut.played();
    written = 0;
    // Buffers of an earlier stream that the device has not handed back yet (a stop just before,
    // as a seek does) come back unheard and are not this stream's.
    queuedBuffers = unheardReturns;
    filled = 0;
    granted = mustRender = kBufferCount;
    streaming = true;
    fill();
}

void TSynth::play() {
    ++granted;
    fill();
}

void TSynth::fill() {
    if (!streaming)
        return;
    // Pieces are whole blocks from the buffer's start, so that a buffer rendered in pieces is
    // the buffer rendered whole.
    const std::int64_t wanted = playedSinceStart() + waveOut.lead();
    while (written < wanted && !deviceError) {
        if (filled == 0) {
            if (granted == 0 || (mustRender == 0 && activeCount == 0))
                return;
            if (nextBuffer > kBufferCount)
                nextBuffer = 1;
        }
        const std::int64_t blocks = (wanted - written + kBlockBytes - 1) / kBlockBytes;
        const auto to = static_cast<std::size_t>(std::min<std::int64_t>(
            kBufferBytes, static_cast<std::int64_t>(filled) + blocks * kBlockBytes));
        auto& out = outputBuffers[static_cast<std::size_t>(nextBuffer - 1)];
        render(out, filled, to);
        written += static_cast<std::int64_t>(to - filled);
        if (filled == 0)
            ++queuedBuffers;
        filled = to;
        const bool whole = filled == kBufferBytes;
        if (whole) {
            activeCount = static_cast<std::int32_t>(activeVoices.size());
            renderPos += kBufferBytes;
            filled = 0;
            --granted;
            mustRender = std::max(mustRender - 1, 0);
            if (recording)
                recorder.append(out);
        }
        if (!waveOut.write(nextBuffer, whole ? kBufferBytes : filled))
            deviceError = true;
        else if (whole)
            ++nextBuffer;
    }
}

void TSynth::render(std::span<std::uint8_t, kBufferBytes> out, std::size_t from,
                    std::size_t to) noexcept {
    // Every voice renders one block before the next block starts, so the block's accumulator
    // stays in the first-level cache while the voices add into it. The sums are wrapping 64-bit
    // additions and each voice's walk resumes exactly where it stopped, so the result is the
    // same as rendering each voice through the whole buffer.
    const std::int64_t bufferEnd = renderPos + static_cast<std::int64_t>(to);
    for (std::int64_t blockStart = renderPos + static_cast<std::int64_t>(from);
         blockStart < bufferEnd;) {
        const std::int64_t blockEnd = std::min(blockStart + kBlockBytes, bufferEnd);
        const auto frames = static_cast<std::size_t>((blockEnd - blockStart) / kBytesPerFrame);
        const auto mix = std::span(mixBuffer).first(2 * frames);
        std::fill(mix.begin(), mix.end(), 0);
        std::size_t kept = 0;
        for (auto* block : activeVoices)
            if (renderVoice(*block, blockStart, blockEnd, mix, blockStart != renderPos))
                activeVoices[kept++] = block;
        // Shrinking keeps the capacity: nothing is freed or allocated.
        activeVoices.erase(activeVoices.begin() + static_cast<std::ptrdiff_t>(kept),
                           activeVoices.end());
        const auto bytes =
            out.subspan(static_cast<std::size_t>(blockStart - renderPos), frames * kBytesPerFrame);
        convertOutput(mix, bytes, leftMul, rightMul, saturate);
        if (fadeAt < fadeTail.size())
            addFade(bytes);
        blockStart = blockEnd;
    }
}

void TSynth::addFade(std::span<std::uint8_t> bytes) noexcept {
    // The old song's samples, from full level down to nothing over the tail, added to the new
    // song's with the saturation of the output conversion.
    const std::size_t total = fadeTail.size();
    for (std::size_t at = 0; at + 1 < bytes.size() && fadeAt < total; at += 2, ++fadeAt) {
        const auto left = static_cast<std::int64_t>(total - fadeAt);
        const std::int64_t sum = instruments::getSample16(&bytes[at]) +
                                 fadeTail[fadeAt] * left / static_cast<std::int64_t>(total);
        instruments::putLE16(&bytes[at], static_cast<std::uint16_t>(static_cast<std::int16_t>(
                                             std::clamp<std::int64_t>(sum, -32768, 32767))));
    }
}

std::int64_t TSynth::heardPos() {
    if (!streaming)
        return playPos;
    const std::int64_t heard = std::clamp<std::int64_t>(playedSinceStart(), 0, written);
    // A song handed over to a faster one near its start may count its first bytes below 0.
    return std::max<std::int64_t>(streamStart + heard - heard % kBytesPerFrame, 0);
}

void TSynth::stop() {
    const std::int64_t heard = heardPos();
    waveOut.reset();
    if (streaming) {
        playPos = heard;
        unheardReturns = queuedBuffers;
    }
    streaming = false;
    fadeTail.clear();
    granted = mustRender = 0;
    filled = 0;
    if (recording)
        recorder.finish(recordFileName);
}

void TSynth::pause() {
    waveOut.pause();
}

void TSynth::resume() {
    waveOut.resume();
    fill();
}

bool TSynth::bufferPlayed() {
    if (queuedBuffers > 0)
        --queuedBuffers;
    if (unheardReturns > 0) {
        --unheardReturns;
        return false;
    }
    playPos += kBufferBytes;
    return true;
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

} // namespace zb::synth
