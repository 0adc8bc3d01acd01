#include "cli/check_prg.h"
#include "cli/dump.h"
#include "cli/render.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <filesystem>
#include <iostream>
#include <thread>

namespace {

// The directory of the running executable, where the build places PRG/, WAV/ and the rest.
std::filesystem::path programDir(const char* argv0) {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        exe = std::filesystem::absolute(argv0, ec);
    return exe.parent_path();
}

// The options every compiling command shares.
struct TSongOptions {
    std::string prgDir;
    std::string drums = "ALL:10";
    bool noDefaultTo0 = false;
    bool legacy = false;

    void add(CLI::App& cmd) {
        cmd.add_option("--prg", prgDir,
                       "Directory of the PRG patch files (default: PRG beside "
                       "the program)");
        cmd.add_option("--drums", drums,
                       "Drum channels as TRACK:CHANNEL cells, ALL for every one (default ALL:10)");
        cmd.add_flag("--no-default-to-0", noDefaultTo0,
                     "Do not fall back to program 0 when a patch file is missing");
        cmd.add_flag("--legacy", legacy, "Use the legacy level formulas");
    }
    // Fills the shared fields; false with a message on stderr for a malformed drum list.
    bool apply(const char* argv0, zb::compiler::TDrumGrid& grid, std::string& prg, bool& defaultTo0,
               bool& legacyMode) const {
        std::string problem;
        if (!zb::cli::parseDrumList(drums, grid, problem)) {
            std::cerr << "zorbel-cli: --drums: " << problem << "\n";
            return false;
        }
        // Directories given on the command line are relative to where the user is, not to the
        // patch directory that relative names inside patches are resolved against.
        prg = prgDir.empty() ? (programDir(argv0) / "PRG").string()
                             : std::filesystem::absolute(prgDir).string();
        defaultTo0 = !noDefaultTo0;
        legacyMode = legacy;
        return true;
    }
};

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"zorbel-cli: the command-line tool of the Zorbel II MIDI player"};
    app.require_subcommand(1);

    std::string checkDir;
    auto* checkCmd = app.add_subcommand(
        "check-prg", "Parse every PRG patch file of a directory and report each failing line");
    checkCmd->add_option("DIR", checkDir, "Directory of the PRG files")->required();

    zb::cli::TDumpOptions dump;
    TSongOptions dumpSong;
    auto* dumpCmd = app.add_subcommand("dump", "Compile a MIDI file and print the song as JSON");
    dumpCmd->add_option("SONG", dump.songFile, "The MIDI file")->required();
    dumpSong.add(*dumpCmd);

    zb::cli::TRenderOptions render;
    TSongOptions renderSong;
    bool noSaturate = false;
    render.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    auto* renderCmd =
        app.add_subcommand("render", "Render MIDI files into WAV files as the player records them");
    renderCmd->add_option("SONG", render.songs, "The MIDI files")->required();
    renderCmd->add_option("-o,--output", render.output,
                          "The WAV file (one song) or a directory (default: beside each song)");
    renderSong.add(*renderCmd);
    renderCmd->add_option("--wav", render.wavDir,
                          "Directory of the WAV samples (default: WAV beside the program)");
    renderCmd->add_flag("--no-saturate", noSaturate,
                        "Let out-of-range samples wrap instead of clipping them");
    renderCmd->add_option("--volume", render.volume, "Volume counter, 0-99 (default 10)")
        ->check(CLI::Range(0, 99));
    renderCmd->add_option("--balance", render.balance, "Balance counter, 0-100 (default 50)")
        ->check(CLI::Range(0, 100));
    renderCmd->add_flag("--trim", render.trim, "Cut the silence after the last sound");
    renderCmd->add_option("--jobs", render.jobs, "Songs rendered at once (default: the cores)")
        ->check(CLI::Range(1, 256));
    renderCmd->add_flag("-q,--quiet", render.quiet, "No progress line");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }

    try {
        if (*checkCmd)
            return zb::cli::checkPrg(checkDir, std::cout, std::cerr);
        if (*dumpCmd) {
            if (!dumpSong.apply(argv[0], dump.drums, dump.prgDir, dump.defaultTo0, dump.legacyMode))
                return 2;
            return zb::cli::dumpSong(dump, std::cout);
        }
        if (*renderCmd) {
            if (!renderSong.apply(argv[0], render.drums, render.prgDir, render.defaultTo0,
                                  render.legacyMode))
                return 2;
            render.wavDir = render.wavDir.empty()
                                ? (programDir(argv[0]) / "WAV").string()
                                : std::filesystem::absolute(render.wavDir).string();
            render.saturate = !noSaturate;
            return zb::cli::renderSongs(render, std::cout, std::cerr);
        }
    } catch (const std::exception& e) {
        std::cerr << "zorbel-cli: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
