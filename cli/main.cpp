#include "cli/command.h"
#include "cli/import_options.h"
#include "cli/play_options.h"
#include "synth/mix_kernel.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

namespace zb::cli {

std::filesystem::path programDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path(ec) : exe.parent_path();
}

bool installed() {
    const auto dir = programDir();
    std::error_code ec;
    return dir.filename() == "bin" &&
           std::filesystem::is_directory(dir.parent_path() / "share" / "zorbel", ec);
}

std::filesystem::path dataDir() {
    return installed() ? programDir().parent_path() / "share" / "zorbel" : programDir();
}

std::filesystem::path moduleDir() {
    return installed() ? programDir().parent_path() / "lib" / "zorbel" : programDir();
}

namespace {

// The program, its version and which of its modules lie beside it.
std::string versionText() {
    std::string text = "zorbel-cli " ZB_VERSION;
    const auto module = [&text](const char* file, const char* what) {
        std::error_code ec;
        const bool found = std::filesystem::exists(moduleDir() / file, ec);
        text += std::string("\n") + what + ": " + (found ? "" : "not ") + "found (" + file + ")";
    };
#ifdef ZB_HAVE_AUDIO
    module(kAudioModule, "sound output");
#else
    text += "\nsound output: not built";
#endif
    module(kImportModule, "SoundFont import");
    return text;
}

} // namespace
} // namespace zb::cli

int main(int argc, char** argv) {
    // The vector kernels compute the same bytes as the mixer's frame loop; this switch runs the
    // frame loop alone, to compare the two on any machine or to rule the vector code out.
    if (const char* generic = std::getenv("ZORBEL_GENERIC_MIXER");
        generic != nullptr && *generic != '\0' && *generic != '0')
        zb::synth::useWideKernels(false);
    CLI::App app{"zorbel-cli: the command-line tool of the Zorbel II MIDI player"};
    app.require_subcommand(1);
    app.set_version_flag("--version", zb::cli::versionText);
    zb::cli::TCommands commands;
    zb::cli::addCheckPrgCommand(app, commands);
    zb::cli::addDumpCommand(app, commands);
    zb::cli::addImportSf2Command(app, commands);
    zb::cli::addInfoCommand(app, commands);
    zb::cli::addRenderCommand(app, commands);
#ifdef ZB_HAVE_AUDIO
    zb::cli::addPlayCommands(app, commands);
#endif

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    try {
        for (const auto& command : commands)
            if (command.app->parsed())
                return command.run();
    } catch (const std::exception& e) {
        std::cerr << "zorbel-cli: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
