// zorbel-cli play and devices: the options here, the sound in a module loaded on demand.
#include "cli/command.h"
#include "cli/module.h"
#include "cli/play_options.h"

#include <filesystem>
#include <iostream>
#include <memory>

namespace zb::cli {

namespace {

namespace fs = std::filesystem;

void* audioSymbol(const char* name) {
    return moduleSymbol(kAudioModule, name, "sound output");
}

int playSongs(TPlayOptions& o) {
    auto* play = reinterpret_cast<TPlaySongsFunction>(audioSymbol(kPlaySongsSymbol));
    return play ? play(&o) : 1;
}

int listDevices() {
    auto* list = reinterpret_cast<TListDevicesFunction>(audioSymbol(kListDevicesSymbol));
    return list ? list() : 1;
}

} // namespace

void addPlayCommands(CLI::App& app, TCommands& commands) {
    auto o = std::make_shared<TPlayOptions>();
    auto* cmd = app.add_subcommand("play", "Play MIDI files on a sound device");
    cmd->add_option("SONG", o->songs, "The MIDI files")->required();
    o->song.add(*cmd);
    cmd->add_option("--wav", o->wavDir,
                    "Directory of the WAV samples (default: WAV beside the program)");
    cmd->add_option("--device", o->device,
                    "Output device number from 'zorbel-cli devices' (default: the default output)");
    cmd->add_flag("--record", o->record, "Record each song into a WAV file as the player does");
    cmd->add_option("--dest", o->destDir,
                    "Directory of the recordings (default: Song beside the program)");
    cmd->add_option("--volume", o->volume, "Volume counter, 0-99 (default 10)")
        ->check(CLI::Range(0, 99));
    cmd->add_option("--balance", o->balance, "Balance counter, 0-100 (default 50)")
        ->check(CLI::Range(0, 100));
    cmd->add_flag("--no-saturate", o->noSaturate, "Let out-of-range samples wrap");
    commands.push_back(
        {cmd, [o] {
             if (!o->song.apply(o->drums, o->prgDir, o->defaultTo0, o->legacyMode, o->controls))
                 return 2;
             o->wavDir = o->wavDir.empty() ? (dataDir() / "WAV").string()
                                           : fs::absolute(o->wavDir).string();
             if (o->destDir.empty())
                 o->destDir =
                     installed() ? fs::current_path().string() : (programDir() / "Song").string();
             else
                 o->destDir = fs::absolute(o->destDir).string();
             o->saturate = !o->noSaturate;
             return playSongs(*o);
         }});

    auto* devices = app.add_subcommand("devices", "List the sound output devices");
    commands.push_back({devices, [] { return listDevices(); }});
}

} // namespace zb::cli
