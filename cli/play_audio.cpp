// The sound module of zorbel-cli: play and devices through Qt Multimedia.
#include "app/qt/qt_audio_output.h"
#include "cli/play_options.h"
#include "synth/loaded_song.h"
#include "synth/stream_protocol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace zb::cli {

namespace {

namespace fs = std::filesystem;

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted = true;
}

// Qt's sound output runs in an application object; the command line's arguments are not for Qt.
struct TAudioApp {
    int argc = 1;
    char name[11] = "zorbel-cli";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

std::string clock(std::int64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

// The one-line display: song, elapsed and total time, a progress bar.
void showProgress(const std::string& song, std::int64_t elapsedMs, std::int64_t totalMs) {
    constexpr int width = 30;
    const int filled =
        totalMs > 0 ? static_cast<int>(std::min<std::int64_t>(width, elapsedMs * width / totalMs))
                    : 0;
    std::cerr << "\r\033[K" << fs::path(song).filename().string() << "  " << clock(elapsedMs / 1000)
              << " / " << clock(totalMs / 1000) << " ["
              << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(width - filled), '.') << "]" << std::flush;
}

// Plays one song to its end or until Ctrl-C. Returns the exit status so far (0 or 1).
int playSong(const TPlayOptions& o, const std::string& song, ui::QtAudioOutput& output,
             synth::TOutputBuffers& buffers) {
    std::string message;
    const auto report = [&](const std::string& text) {
        std::cerr << (isatty(STDERR_FILENO) ? "\r\033[K" : "") << text << "\n";
        message = text;
    };
    const synth::TSongSettings settings{o.prgDir,     o.wavDir,     o.drums,
                                        o.defaultTo0, o.legacyMode, o.controls};
    synth::TLoadedSong loaded;
    if (const auto compiled = loaded.compile(song, settings); !compiled.ok()) {
        report(compiled.message.empty() ? "Can't parse file " + song : compiled.message);
        return 1;
    }

    bool running = true;
    synth::TStreamStep step = synth::TStreamStep::playing;
    const auto bufferDone = [&](int) {
        if (loaded.engine() == nullptr)
            return;
        step = synth::bufferReturned(*loaded.engine(), running);
        if (step != synth::TStreamStep::playing)
            QCoreApplication::quit();
    };
    if (const auto opened = loaded.openEngine(output, bufferDone, o.device, buffers);
        !opened.ok()) {
        report(opened.message);
        return 1;
    }
    auto& synth = *loaded.engine();
    synth.saturate = o.saturate;
    synth.recording = o.record;
    synth.recordFileName =
        (fs::path(o.destDir) / (fs::path(song).stem().string() + ".WAV")).string();
    synth.recorder.onError = report;
    if (const auto samples = loaded.loadSamples(settings, nullptr); !samples.ok()) {
        report(samples.message);
        return 1;
    }
    loaded.rewind();
    synth.changeVolume(o.volume * 0.1L, o.balance * 0.02L);
    synth.start();

    const bool terminal = isatty(STDERR_FILENO) != 0;
    const std::int64_t totalMs = std::int64_t{loaded.length()} * 1000 / 88200;
    QElapsedTimer clockTimer;
    clockTimer.start();
    QTimer display;
    QObject::connect(&display, &QTimer::timeout, &display, [&] {
        if (interrupted)
            QCoreApplication::quit();
        else if (terminal)
            showProgress(song, std::min<std::int64_t>(clockTimer.elapsed(), totalMs), totalMs);
    });
    display.start(100);
    if (!synth.deviceError)
        QCoreApplication::exec();
    display.stop();
    running = false;
    synth.stop(); // the recording is finished properly, also after Ctrl-C
    if (terminal)
        std::cerr << "\r\033[K";
    if (synth.deviceError || step == synth::TStreamStep::deviceFailed) {
        report("waveOut device error!");
        return 1;
    }
    std::cout << (interrupted ? "Stopped " : "Played ") << song
              << (o.record ? " into " + synth.recordFileName : "") << "\n";
    return synth.recorder.failed() ? 1 : 0;
}

int playSongs(TPlayOptions& o) {
    TAudioApp app;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    ui::QtAudioOutput output;
    auto buffers = std::make_unique<synth::TOutputBuffers>();
    int status = 0;
    for (const auto& song : o.songs) {
        status |= playSong(o, song, output, *buffers);
        if (interrupted)
            return 130;
    }
    return status;
}

int listDevices() {
    TAudioApp app;
    ui::QtAudioOutput output;
    const auto list = output.devices();
    if (list.empty()) {
        std::cerr << "No sound output device.\n";
        return 1;
    }
    for (std::size_t i = 0; i < list.size(); ++i)
        std::cout << i << "  " << list[i].name << "  "
                  << (list[i].supports22k16bit ? "22050 Hz 16-bit" : "does not qualify")
                  << (list[i].isDefault ? "  (default)" : "") << "\n";
    return 0;
}

} // namespace

} // namespace zb::cli

// Both end the program here, once their sound objects are gone (see exitSkippingAudioTeardown):
// every recording is closed and every line written by then.
extern "C" __attribute__((visibility("default"))) int zbPlaySongs(zb::cli::TPlayOptions* options) {
    zb::ui::exitSkippingAudioTeardown(zb::cli::playSongs(*options));
}

extern "C" __attribute__((visibility("default"))) int zbListDevices() {
    zb::ui::exitSkippingAudioTeardown(zb::cli::listDevices());
}
