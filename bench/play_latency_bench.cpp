// From the Play command to the first buffers queued on the device: compiling the song, loading
// its samples and rendering three buffers, as the desktop player does it. Uses the default
// instrument set of the build (bin/PRG, bin/WAV; scripts/run-main imports it) and a demo song.
#include "app/main_form.h"
#include "app/unattended.h"
#include "synth/null_audio_output.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace zb;

class TQuietView final : public app::MainView {
public:
    int textWidth(const std::string& text) override { return static_cast<int>(text.size()); }
    void repaint() override {}
    void runPlaylistDialog(app::TmainForm&) override {}
    void runOptionsDialog(app::TmainForm&) override {}
    void showChannels(app::TmainForm&) override {}
    void showLyrics(app::TmainForm&) override {}
};

void BM_PlayToFirstBuffers(benchmark::State& state) {
    const fs::path bin = ZB_BUILD_BIN_DIR;
    const fs::path song = fs::path(ZB_DEMO_DIR) / "chorale.mid";
    if (!fs::exists(bin / "PRG" / "0.PRG") || !fs::exists(song)) {
        state.SkipWithError("no default instrument set: run scripts/run-main or build the "
                            "default-instruments target first");
        return;
    }
    const fs::path home = fs::temp_directory_path() / "zb-play-latency";
    fs::remove_all(home);
    fs::create_directories(home / "MID");
    fs::create_directory_symlink(bin / "PRG", home / "PRG");
    fs::create_directory_symlink(bin / "WAV", home / "WAV");
    fs::copy_file(song, home / "MID" / "chorale.mid");
    {
        std::ofstream ini(home / "ZB.INI");
        ini << "[PlayControl]\n";
    }
    ::setenv("ZORBEL_HOME", home.c_str(), 1);

    app::TUnattendedShell shell;
    TQuietView view;
    app::TNoMediaPlayer media;
    synth::NullAudioOutput device;
    app::TmainForm form(shell, view, device, media);
    form.FormCreate({(home / "MID" / "chorale.mid").string()});
    form.filesPassed = false; // no play at activation: the benchmark presses Play itself
    form.FormActivate();
    for (auto _ : state) {
        form.playBtnClick();
        if (device.queued() != 3)
            state.SkipWithError("the song did not start");
        state.PauseTiming();
        form.stopBtnClick();
        form.ejectBtnClick();
        while (device.returnOldest()) {
        }
        state.ResumeTiming();
    }
    form.FormClose();
    ::unsetenv("ZORBEL_HOME");
    fs::remove_all(home);
}
BENCHMARK(BM_PlayToFirstBuffers)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
