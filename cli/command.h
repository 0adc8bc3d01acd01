#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zb::cli {

// A subcommand of zorbel-cli: its CLI11 definition and what runs when it was chosen. Each
// command lives in its own file and adds itself with an add...Command function.
struct TCommand {
    CLI::App* app = nullptr;
    std::function<int()> run; // returns the exit status
};
using TCommands = std::vector<TCommand>;

// The directory of the running executable, where the build places PRG/, WAV/, MID/ and the rest.
std::filesystem::path programDir();
// Where the default PRG/ and WAV/ are: programDir() in the build tree; share/zorbel of an
// installed program (a bin/ folder with share/zorbel/ beside it), whose modules are then in
// lib/zorbel/ and whose recordings go to the current folder.
bool installed();
std::filesystem::path dataDir();
std::filesystem::path moduleDir();

void addCheckPrgCommand(CLI::App& app, TCommands& commands);
void addDumpCommand(CLI::App& app, TCommands& commands);
void addImportSf2Command(CLI::App& app, TCommands& commands);
void addInfoCommand(CLI::App& app, TCommands& commands);
void addRenderCommand(CLI::App& app, TCommands& commands);
// play and devices; only in builds with the Qt sound output.
void addPlayCommands(CLI::App& app, TCommands& commands);

} // namespace zb::cli
