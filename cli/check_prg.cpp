#include "cli/check_prg.h"

#include "cli/command.h"

#include "compiler/compile_song.h"
#include "instruments/prg_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <vector>

namespace zb::cli {

namespace {

namespace fs = std::filesystem;

bool isPrgName(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return ext == ".PRG";
}

// Drum kits after the melodic programs, each in numeric order: 0, 1, 2, ..., 127, D0, D1, ...
auto sortKey(const std::string& name) {
    const bool drum = !name.empty() && (name[0] == 'D' || name[0] == 'd');
    std::size_t i = drum ? 1 : 0;
    std::size_t digits = 0;
    while (i + digits < name.size() && std::isdigit(static_cast<unsigned char>(name[i + digits])))
        ++digits;
    return std::make_tuple(drum, digits == 0, digits, name);
}

// The message a compilation would show for a failing line of file.
std::string lineMessage(const std::string& file, instruments::TPrgError code, std::int32_t line) {
    compiler::TCompileState state;
    state.errorCode = code;
    state.errorType.prgFileName = file;
    state.errorType.lineNumber = line;
    return compiler::errorMessage(state);
}

} // namespace

int checkPrg(const std::string& dir, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    const fs::path base = fs::absolute(dir, ec);
    std::vector<std::string> names;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (it->is_regular_file(typeError) && isPrgName(name))
            names.push_back(name);
    }
    if (ec) {
        err << "zorbel-cli: cannot read directory " << dir << ": " << ec.message() << "\n";
        return 1;
    }
    std::sort(names.begin(), names.end(),
              [](const auto& a, const auto& b) { return sortKey(a) < sortKey(b); });

    int failures = 0;
    for (const auto& name : names) {
        const std::string path = (base / name).lexically_normal().string();
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            out << "PRG file " << path << " can not be read.\n";
            ++failures;
            continue;
        }
        auto table = std::make_unique<instruments::prgEntryRec>();
        std::int32_t line = 0;
        instruments::forEachPrgLine(in, [&](std::string_view text) {
            ++line;
            const auto code = instruments::parsePrgLine(*table, text);
            if (code != instruments::prgOk) {
                out << lineMessage(path, code, line) << "\n";
                ++failures;
            }
            return true;
        });
    }
    out << names.size() << (names.size() == 1 ? " PRG file" : " PRG files") << " checked, "
        << failures << (failures == 1 ? " error" : " errors") << ".\n";
    return failures == 0 ? 0 : 1;
}

void addCheckPrgCommand(CLI::App& app, TCommands& commands) {
    auto dir = std::make_shared<std::string>();
    auto* cmd = app.add_subcommand(
        "check-prg", "Parse every PRG patch file of a directory and report each failing line");
    cmd->add_option("DIR", *dir, "Directory of the PRG files")->required();
    commands.push_back({cmd, [dir] { return checkPrg(*dir, std::cout, std::cerr); }});
}

} // namespace zb::cli
