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

// A player in a temporary home with the build's instruments and one demo song, on the null
// device; ok is false (and the benchmark skipped) without the instruments.
struct TBenchPlayer {
    explicit TBenchPlayer(benchmark::State& state, const char* songName) {
        const fs::path bin = ZB_BUILD_BIN_DIR;
        const fs::path song = fs::path(ZB_DEMO_DIR) / songName;
        if (!fs::exists(bin / "PRG" / "0.PRG") || !fs::exists(song)) {
            state.SkipWithError("no default instrument set: run scripts/run-main or build the "
                                "default-instruments target first");
            return;
        }
        fs::remove_all(home);
        fs::create_directories(home / "MID");
        fs::create_directory_symlink(bin / "PRG", home / "PRG");
        fs::create_directory_symlink(bin / "WAV", home / "WAV");
        fs::copy_file(song, home / "MID" / songName);
        std::ofstream(home / "ZB.INI") << "[PlayControl]\n";
        ::setenv("ZORBEL_HOME", home.c_str(), 1);
        form.FormCreate({(home / "MID" / songName).string()});
        form.filesPassed = false; // no play at activation: the benchmark presses Play itself
        form.FormActivate();
        ok = true;
    }
    TBenchPlayer(const TBenchPlayer&) = delete;
    TBenchPlayer& operator=(const TBenchPlayer&) = delete;
    ~TBenchPlayer() {
        form.FormClose();
        ::unsetenv("ZORBEL_HOME");
        fs::remove_all(home);
    }

    const fs::path home = fs::temp_directory_path() / "zb-play-latency";
    app::TUnattendedShell shell;
    TQuietView view;
    app::TNoMediaPlayer media;
    synth::NullAudioOutput device;
    app::TmainForm form{shell, view, device, media};
    bool ok = false;
};

void BM_PlayToFirstBuffers(benchmark::State& state) {
    TBenchPlayer player(state, "chorale.mid");
    if (!player.ok)
        return;
    auto& form = player.form;
    for (auto _ : state) {
        form.playBtnClick();
        if (player.device.queued() != 3)
            state.SkipWithError("the song did not start");
        state.PauseTiming();
        form.stopBtnClick();
        form.ejectBtnClick();
        while (player.device.returnOldest()) {
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PlayToFirstBuffers)->Unit(benchmark::kMillisecond);

// From a change of the musician's controls while a song plays to the new compilation taking
// over: the recompilation on its worker thread and the hand-over on the player's thread. The
// change is heard once the device has played what was rendered ahead of it, at most the
// device's lead and a block later ("aheadMs", for the desktop player's lead of 8,192 bytes).
void BM_ControlChangeToHandOver(benchmark::State& state) {
    TBenchPlayer player(state, "chorale.mid");
    if (!player.ok)
        return;
    auto& form = player.form;
    player.device.deviceLead = 8192;
    form.playBtnClick();
    player.device.playBytes(88200);
    compiler::TCompileOptions controls;
    double ahead = 0;
    for (auto _ : state) {
        controls.tempoPercent = controls.tempoPercent == 100 ? 80 : 100;
        form.setSongControls(controls);
        form.finishSongRebuild();
        ahead = static_cast<double>(form.synth()->renderedTo() - form.heardBytes()) / 88.2;
    }
    state.counters["aheadMs"] = ahead;
}
BENCHMARK(BM_ControlChangeToHandOver)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
