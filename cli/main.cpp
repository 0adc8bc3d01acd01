#include "cli/check_prg.h"
#include "cli/dump.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <filesystem>
#include <iostream>

namespace {

// The directory of the running executable, where the build places PRG/, WAV/ and the rest.
std::filesystem::path programDir(const char* argv0) {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        exe = std::filesystem::absolute(argv0, ec);
    return exe.parent_path();
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"zorbel-cli: the command-line tool of the Zorbel II MIDI player"};
    app.require_subcommand(1);

    std::string prgDir;
    auto* checkPrg = app.add_subcommand(
        "check-prg", "Parse every PRG patch file of a directory and report each failing line");
    checkPrg->add_option("DIR", prgDir, "Directory of the PRG files")->required();

    zb::cli::TDumpOptions dump;
    std::string drums = "ALL:10";
    bool noDefaultTo0 = false;
    auto* dumpCmd = app.add_subcommand("dump", "Compile a MIDI file and print the song as JSON");
    dumpCmd->add_option("SONG", dump.songFile, "The MIDI file")->required();
    dumpCmd->add_option("--prg", dump.prgDir, "Directory of the PRG patch files");
    dumpCmd->add_option("--drums", drums,
                        "Drum channels as TRACK:CHANNEL cells, ALL for every one (default ALL:10)");
    dumpCmd->add_flag("--no-default-to-0", noDefaultTo0,
                      "Do not fall back to program 0 when a patch file is missing");
    dumpCmd->add_flag("--legacy", dump.legacyMode, "Use the legacy level formulas");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }

    try {
        if (*checkPrg)
            return zb::cli::checkPrg(prgDir, std::cout, std::cerr);
        if (*dumpCmd) {
            std::string problem;
            if (!zb::cli::parseDrumList(drums, dump.drums, problem)) {
                std::cerr << "zorbel-cli: --drums: " << problem << "\n";
                return 2;
            }
            if (dump.prgDir.empty())
                dump.prgDir = (programDir(argv[0]) / "PRG").string();
            dump.defaultTo0 = !noDefaultTo0;
            return zb::cli::dumpSong(dump, std::cout);
        }
    } catch (const std::exception& e) {
        std::cerr << "zorbel-cli: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
