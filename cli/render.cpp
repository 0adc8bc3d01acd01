#include "cli/render.h"

#include "cli/command.h"
#include "cli/heap.h"
#include "cli/song_options.h"
#include "compiler/fast_file.h"
#include "synth/loaded_song.h"
#include "synth/null_audio_output.h"
#include "synth/stream_protocol.h"
#include "synth/wav_writer.h"

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace zb::cli {

namespace {

namespace fs = std::filesystem;

// Cuts the frames after the last one that is not silent and writes the header again.
std::string trimSilence(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec || size < 44)
        return "Can't record to " + path;
    std::ifstream in(path, std::ios::binary);
    std::uint64_t end = 44;
    std::vector<char> block(1 << 20);
    for (std::uint64_t at = 44; at < size;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - at));
        in.seekg(static_cast<std::streamoff>(at));
        if (!in.read(block.data(), static_cast<std::streamsize>(n)))
            return "Can't record to " + path;
        for (std::size_t i = 0; i + 4 <= n; i += 4)
            if (block[i] != 0 || block[i + 1] != 0 || block[i + 2] != 0 || block[i + 3] != 0)
                end = at + i + 4;
        at += n;
    }
    in.close();
    fs::resize_file(path, end, ec);
    compiler::TFastFile file(path, false, false);
    if (ec || !file.opened())
        return "Can't record to " + path;
    synth::writeWavHeader(file, 16, 2, synth::kOutputRate);
    return {};
}

} // namespace

namespace {

// Lexically clean absolute form, for comparing the paths of one command line.
fs::path comparable(const fs::path& path) {
    std::error_code ec;
    auto absolute = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec)
        absolute = fs::absolute(path, ec).lexically_normal();
    return absolute;
}

// The folder all songs lie in, for --keep-dirs.
fs::path commonFolder(const std::vector<std::string>& songs) {
    fs::path common;
    for (const auto& song : songs) {
        const fs::path dir = comparable(song).parent_path();
        if (common.empty()) {
            common = dir;
            continue;
        }
        fs::path shared;
        for (auto a = common.begin(), b = dir.begin();
             a != common.end() && b != dir.end() && *a == *b; ++a, ++b)
            shared /= *a;
        common = shared;
    }
    return common;
}

// The hidden file a render writes before it is complete: beside the destination, so that the
// final rename stays on one file system, and unique to this process and song.
fs::path partialName(const fs::path& target, std::size_t index) {
    return target.parent_path() /
           ("." + target.filename().string() + "." + std::to_string(getpid()) + "-" +
            std::to_string(index) + ".part");
}

std::string systemMessage(const std::string& path, int error) {
    return path + ": " + std::generic_category().message(error);
}

// Flushes a finished file to the disk, so that the rename publishes complete data.
int flushFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

} // namespace

std::string renderTarget(const TRenderOptions& options, const std::string& song) {
    const fs::path songPath(song);
    const std::string name = songPath.stem().string() + ".WAV";
    if (options.output.empty())
        return (songPath.parent_path() / name).string();
    std::error_code ec;
    const bool isDir = fs::is_directory(options.output, ec) || options.output.back() == '/' ||
                       options.songs.size() > 1 || options.keepDirs;
    if (!isDir)
        return options.output;
    if (options.keepDirs) {
        const fs::path relative =
            comparable(song).parent_path().lexically_relative(commonFolder(options.songs));
        return (fs::path(options.output) / relative / name).lexically_normal().string();
    }
    return (fs::path(options.output) / name).string();
}

std::string checkTargets(const TRenderOptions& options, std::vector<std::string>& targets) {
    targets.clear();
    std::map<fs::path, std::string> inputs, outputs;
    for (const auto& song : options.songs)
        inputs.emplace(comparable(song), song);
    for (const auto& song : options.songs) {
        targets.push_back(renderTarget(options, song));
        const fs::path target = comparable(targets.back());
        if (const auto it = inputs.find(target); it != inputs.end())
            return "The WAV file of " + song + " would overwrite the input " + it->second;
        const auto [it, added] = outputs.emplace(target, song);
        if (!added)
            return "Both " + it->second + " and " + song + " would be written to " +
                   targets.back() + " (--keep-dirs keeps their folders apart)";
    }
    return {};
}

std::string renderSong(const TRenderOptions& options, const std::string& song,
                       const std::string& target, std::size_t index) {
    const synth::TSongSettings settings{options.prgDir,     options.wavDir,     options.drums,
                                        options.defaultTo0, options.legacyMode, options.controls};
    // The device and the buffers outlive the engine that uses them.
    THugeOutputBuffers buffers;
    synth::NullAudioOutput device;
    synth::TLoadedSong loaded;
    if (const auto compiled = loaded.compile(song, settings); !compiled.ok())
        return compiled.message.empty() ? "Can't parse file " + song : compiled.message;

    std::error_code ec;
    if (const auto dir = fs::path(target).parent_path(); !dir.empty()) {
        fs::create_directories(dir, ec);
        if (ec)
            return systemMessage(dir.string(), ec.value());
    }
    const fs::path partial = partialName(target, index);
    // Whatever happens below, the partial file does not outlive this render.
    struct TRemover {
        const fs::path& path;
        bool keep = false;
        ~TRemover() {
            std::error_code ignored;
            if (!keep)
                fs::remove(path, ignored);
        }
    } remover{partial};

    const auto bufferDone = [&loaded](int) { synth::bufferReturned(*loaded.engine(), true); };
    if (const auto opened = loaded.openEngine(device, bufferDone, -1, buffers.buffers());
        !opened.ok())
        return opened.message;
    auto& synth = *loaded.engine();
    synth.saturate = options.saturate;
    synth.recordFileName = partial.string();
    synth.recording = true;
    if (const auto samples = loaded.loadSamples(settings, nullptr); !samples.ok())
        return samples.message;
    loaded.rewind();
    synth.changeVolume(options.volume * 0.1L, options.balance * 0.02L);
    synth.start();
    while (!synth.recorder.failed() && device.returnOldest()) {
    }
    synth.stop();
    if (synth.recorder.failed())
        return synth.recorder.error() != 0 ? systemMessage(target, synth.recorder.error())
                                           : "Can't record to " + target;
    if (options.trim) {
        if (const auto failure = trimSilence(partial.string()); !failure.empty())
            return "Can't record to " + target;
    }
    if (const int error = flushFile(partial); error != 0)
        return systemMessage(target, error);
    fs::rename(partial, target, ec);
    if (ec)
        return systemMessage(target, ec.value());
    remover.keep = true;
    return {};
}

int renderSongs(const TRenderOptions& options, std::ostream& out, std::ostream& err) {
    std::vector<std::string> targets;
    if (const auto clash = checkTargets(options, targets); !clash.empty()) {
        err << clash << "\nNothing was written.\n";
        return 2;
    }
    const std::size_t count = options.songs.size();
    std::mutex lock;
    std::atomic<std::size_t> next{0};
    std::size_t finished = 0, failed = 0;
    const bool progress = !options.quiet && isatty(STDERR_FILENO) != 0;

    const auto worker = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            const std::string& song = options.songs[i];
            const std::string& target = targets[i];
            std::string failure;
            try {
                failure = renderSong(options, song, target, i);
            } catch (const std::exception& e) {
                failure = e.what();
            }
            const std::lock_guard guard(lock);
            ++finished;
            if (progress)
                err << "\r\033[K";
            if (failure.empty()) {
                out << "Wrote " << target << "\n" << std::flush;
            } else {
                ++failed;
                err << (count > 1 ? song + ": " : std::string()) << failure << "\n";
            }
            if (progress && finished < count)
                err << "Rendered " << finished << " of " << count << " songs" << std::flush;
        }
    };
    const auto threads = static_cast<std::size_t>(std::max(1, options.jobs));
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < std::min(threads, count); ++t)
        pool.emplace_back(worker);
    worker();
    for (auto& t : pool)
        t.join();
    if (count > 1) {
        err << count - failed << " of " << count << " songs written";
        if (failed > 0)
            err << "; " << failed << " failed";
        err << "\n";
    }
    return failed == 0 ? 0 : 1;
}

void addRenderCommand(CLI::App& app, TCommands& commands) {
    struct TState {
        TRenderOptions render;
        TSongOptions song;
        bool noSaturate = false;
    };
    auto state = std::make_shared<TState>();
    auto& r = state->render;
    r.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    auto* cmd =
        app.add_subcommand("render", "Render MIDI files into WAV files as the player records them");
    cmd->add_option("SONG", r.songs, "The MIDI files")->required();
    cmd->add_option("-o,--output", r.output,
                    "The WAV file (one song) or a directory (default: beside each song). An "
                    "existing file of that name is replaced once the new one is complete");
    cmd->add_flag("--keep-dirs", r.keepDirs,
                  "Under the -o directory, keep each song's folder relative to the folder "
                  "all the songs have in common");
    state->song.add(*cmd);
    cmd->add_option("--wav", r.wavDir,
                    "Directory of the WAV samples (default: WAV beside the program)");
    cmd->add_flag("--no-saturate", state->noSaturate,
                  "Let out-of-range samples wrap instead of clipping them");
    cmd->add_option("--volume", r.volume, "Volume counter, 0-99 (default 10)")
        ->check(CLI::Range(0, 99));
    cmd->add_option("--balance", r.balance, "Balance counter, 0-100 (default 50)")
        ->check(CLI::Range(0, 100));
    cmd->add_flag("--trim", r.trim, "Cut the silence after the last sound");
    cmd->add_option("--jobs", r.jobs, "Songs rendered at once (default: the cores)")
        ->check(CLI::Range(1, 256));
    cmd->add_flag("-q,--quiet", r.quiet, "No progress line");
    commands.push_back(
        {cmd, [state] {
             auto& o = state->render;
             if (!state->song.apply(o.drums, o.prgDir, o.defaultTo0, o.legacyMode, o.controls))
                 return 2;
             o.wavDir =
                 o.wavDir.empty() ? (dataDir() / "WAV").string() : fs::absolute(o.wavDir).string();
             o.saturate = !state->noSaturate;
             prepareHeap();
             return renderSongs(o, std::cout, std::cerr);
         }});
}

} // namespace zb::cli
