// Mixer throughput in voice-frames per second for the kinds of voices songs are made of, and the
// render speed of a whole song in seconds of audio per CPU second.
#include "compiler/compile_song.h"
#include "compiler/voice_builder.h"
#include "synth/lfo.h"
#include "synth/loaded_song.h"
#include "synth/mix_kernel.h"
#include "synth/mixer.h"
#include "synth/null_audio_output.h"
#include "synth/stream_protocol.h"
#include "synth/synth.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using namespace zb;

constexpr int kVoices = 32;
constexpr std::int64_t kBuffer = 352800;

struct TVoiceSet {
    std::vector<std::int16_t> data;
    compiler::TSampleRec rec;
    std::vector<std::unique_ptr<compiler::TSongBlock>> voices;
};

// kVoices voices over one looping sample, each sounding through the whole buffer.
std::unique_ptr<TVoiceSet> makeVoices(bool loop, bool vibrato, bool envelope) {
    auto set = std::make_unique<TVoiceSet>();
    set->data.resize(400000);
    for (std::size_t i = 0; i < set->data.size(); ++i)
        set->data[i] = static_cast<std::int16_t>(8000 * std::sin(static_cast<double>(i) / 7));
    auto& r = set->rec;
    r.sampleRate = 22050;
    r.baseKey = 60;
    r.attackFactor = 1;
    r.decayFactor = 0.5L;
    r.sustainSlope = 0;
    r.releaseSlope = -1;
    r.endPosition = loop ? 20000 : 399000;
    r.loopStart = loop ? 1000 : -1;
    r.loopEnd = loop ? 19000 : -1;
    r.modulationRate = vibrato ? 5 : 0;
    r.attackLength = envelope ? 3000 : 0;
    r.decayLength = envelope ? 3000 : 0;
    for (int n = 0; n < kVoices; ++n) {
        auto v = std::make_unique<compiler::TSongBlock>();
        compiler::setVoiceParameters(*v, r, 60 + n % 5, false);
        v->sampleData = set->data.data();
        v->sampleSize = set->data.size();
        synth::prepareLfoCosines(v->savedState.lfoPeriod); // as loading a song's samples does
        v->events = {{compiler::noteStart, 0, 0, 1, 1},
                     {compiler::modulation, 0, vibrato ? 128 : 0, 1, 1},
                     {compiler::noteEnd, 40000000, 0, 1, 1},
                     {compiler::endMark, 40000000, 0, 0, 0}};
        set->voices.push_back(std::move(v));
    }
    return set;
}

// wide: the vector kernels where the processor has them; else the frame loop, the reference.
void mixVoices(benchmark::State& state, bool loop, bool vibrato, bool envelope, bool wide = true) {
    synth::useWideKernels(wide);
    const auto set = makeVoices(loop, vibrato, envelope);
    std::vector<std::int64_t> mix(2 * 88200);
    for (auto _ : state) {
        state.PauseTiming();
        for (auto& v : set->voices) {
            v->curEvent = 0;
            v->live = v->savedState;
        }
        std::fill(mix.begin(), mix.end(), 0);
        state.ResumeTiming();
        for (auto& v : set->voices)
            synth::renderVoice(*v, 0, kBuffer, mix);
        benchmark::DoNotOptimize(mix.data());
    }
    state.counters["voice_frames_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kVoices * 88200, benchmark::Counter::kIsRate);
    synth::useWideKernels(true);
}

void BM_MixPlain(benchmark::State& s) {
    mixVoices(s, false, false, false);
}
void BM_MixPlainGeneric(benchmark::State& s) {
    mixVoices(s, false, false, false, false);
}
void BM_MixLooping(benchmark::State& s) {
    mixVoices(s, true, false, false);
}
void BM_MixLoopingGeneric(benchmark::State& s) {
    mixVoices(s, true, false, false, false);
}
void BM_MixVibrato(benchmark::State& s) {
    mixVoices(s, true, true, false);
}
void BM_MixVibratoGeneric(benchmark::State& s) {
    mixVoices(s, true, true, false, false);
}
void BM_MixEnvelope(benchmark::State& s) {
    mixVoices(s, false, false, true);
}
BENCHMARK(BM_MixPlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixPlainGeneric)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixLooping)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixLoopingGeneric)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixVibrato)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixVibratoGeneric)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixEnvelope)->Unit(benchmark::kMillisecond);

void outputConversion(benchmark::State& state, bool wide) {
    synth::useWideKernels(wide);
    std::vector<std::int64_t> mix(2 * 88200);
    for (std::size_t i = 0; i < mix.size(); ++i)
        mix[i] = static_cast<std::int64_t>((i * 7919) % 9000000) - 4500000;
    std::vector<std::uint8_t> out(kBuffer);
    for (auto _ : state) {
        synth::convertOutput(mix, out, 32, 45, true);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["frames_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 88200, benchmark::Counter::kIsRate);
    synth::useWideKernels(true);
}
void BM_OutputConversion(benchmark::State& s) {
    outputConversion(s, true);
}
void BM_OutputConversionGeneric(benchmark::State& s) {
    outputConversion(s, false);
}
BENCHMARK(BM_OutputConversion)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OutputConversionGeneric)->Unit(benchmark::kMicrosecond);

// The bundled test song, compiled, loaded and rendered to its end.
void BM_RenderSong(benchmark::State& state) {
    const std::string data = ZB_TEST_DATA_DIR;
    double seconds = 0;
    for (auto _ : state) {
        auto buffers = std::make_unique<synth::TOutputBuffers>();
        synth::NullAudioOutput device;
        const synth::TSongSettings settings{data + "/PRG", data + "/WAV", {{"-1", "10"}},
                                            true,          false,         {}};
        synth::TLoadedSong loaded;
        const bool ready =
            loaded.compile(data + "/songs/little-tune.mid", settings).ok() &&
            loaded
                .openEngine(
                    device, [&loaded](int) { synth::bufferReturned(*loaded.engine(), true); }, -1,
                    *buffers)
                .ok() &&
            loaded.loadSamples(settings, nullptr).ok();
        if (!ready) {
            state.SkipWithError("the test song does not load");
            return;
        }
        auto& synth = *loaded.engine();
        loaded.rewind();
        synth.start();
        while (device.returnOldest()) {
        }
        seconds += static_cast<double>(synth.renderPos) / 88200;
    }
    state.counters["audio_s_per_s"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderSong)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
