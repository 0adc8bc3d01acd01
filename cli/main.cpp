#include "cli/check_prg.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    CLI::App app{"zorbel-cli: the command-line tool of the Zorbel II MIDI player"};
    app.require_subcommand(1);

    std::string prgDir;
    auto* checkPrg = app.add_subcommand(
        "check-prg", "Parse every PRG patch file of a directory and report each failing line");
    checkPrg->add_option("DIR", prgDir, "Directory of the PRG files")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }

    try {
        if (*checkPrg)
            return zb::cli::checkPrg(prgDir, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "zorbel-cli: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
