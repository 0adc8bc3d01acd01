// zorbel-cli info: what a song holds, per channel, in time and in words, without rendering it.
#include "cli/command.h"
#include "cli/json_writer.h"
#include "cli/song_options.h"
#include "compiler/lyrics.h"
#include "compiler/timing.h"
#include "instruments/gm_names.h"

#include <cstdio>
#include <iostream>
#include <memory>

namespace zb::cli {

namespace {

struct TInfoOptions {
    std::string songFile;
    TSongOptions song;
    bool json = false;
};

std::string clockText(std::int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
}

int printInfo(const TInfoOptions& o, const compiler::TDrumGrid& grid, const std::string& prg,
              bool defaultTo0, bool legacyMode, const compiler::TCompileOptions& controls) {
    const compiler::TSongScan scan =
        compiler::scanSong(o.songFile, grid, compiler::isKaraokeName(o.songFile));
    if (scan.errorCode != compiler::errNone) {
        compiler::TCompileState failed;
        failed.errorCode = scan.errorCode;
        std::cerr << "zorbel-cli: " << o.songFile << ": " << compiler::errorMessage(failed) << "\n";
        return 1;
    }
    // The length is the compiled song's: its notes' releases and the controls count.
    compiler::TSampleList samples;
    compiler::TSong song;
    std::int32_t length = 0;
    std::string problem;
    try {
        compiler::compileSong(
            o.songFile, prg, grid, defaultTo0, legacyMode, samples, song, length,
            [&](std::int32_t, const std::string& text) { problem = text; }, controls);
    } catch (const std::exception&) {
        problem = "Error reading file " + o.songFile;
    }
    const compiler::TTickClock clock(scan.tempoMap, scan.division, controls.tempoPercent);
    const auto lines = compiler::lyricLines(scan, controls.tempoPercent);
    const std::int64_t lengthMs = compiler::divRoundHalfEven(length * std::int64_t{10}, 882);

    if (o.json) {
        TJsonWriter w;
        w.raw("{ ").key("song").string(o.songFile).raw(",\n  ");
        if (problem.empty())
            w.key("length")
                .raw("{ ")
                .key("bytes")
                .integer(length)
                .raw(", ")
                .key("ms")
                .integer(lengthMs)
                .raw(" }");
        else
            w.key("lengthError").string(problem);
        w.raw(",\n  ").key("channels").raw("[");
        const char* separator = "";
        for (int slot = 1; slot <= compiler::kSlotCount; ++slot) {
            const auto& use = scan.channels[static_cast<std::size_t>(slot - 1)];
            if (use.notes() == 0)
                continue;
            w.raw(separator).raw("\n    { ").key("channel").integer(slot).raw(", ");
            w.key("notes").integer(use.notes()).raw(", ").key("programs").raw("[");
            const char* comma = "";
            for (const auto& p : use.programs) {
                w.raw(comma).raw(" { ").key("program").integer(p.program).raw(", ");
                w.key("drums").boolean(p.isDrum).raw(", ").key("name").string(
                    instruments::gmPlayedName(p.program, p.isDrum));
                w.raw(" }");
                comma = ",";
            }
            w.raw(" ] }");
            separator = ",";
        }
        w.raw(" ],\n  ").key("tempos").raw("[");
        separator = "";
        for (const auto& t : scan.tempoMap) {
            w.raw(separator).raw(" { ").key("tick").integer(t.tick).raw(", ");
            w.key("ms").integer(clock.ms(t.tick)).raw(", ").key("usPerQuarter").integer(t.tempo);
            w.raw(" }");
            separator = ",";
        }
        w.raw(" ],\n  ").key("lyrics").raw("[");
        separator = "";
        for (const auto& line : lines) {
            const std::int64_t ms = line.syllables.empty() ? 0 : line.syllables.front().ms;
            w.raw(separator).raw("\n    { ").key("ms").integer(ms).raw(", ");
            w.key("text").string(line.text()).raw(" }");
            separator = ",";
        }
        w.raw(" ] }\n");
        std::cout << w.text;
        return 0;
    }
    std::cout << "Song: " << o.songFile << "\n";
    if (problem.empty())
        std::cout << "Length: " << clockText(lengthMs) << " (" << length << " bytes)\n";
    else
        std::cout << "Length: unknown: " << problem << "\n";
    for (int slot = 1; slot <= compiler::kSlotCount; ++slot) {
        const auto& use = scan.channels[static_cast<std::size_t>(slot - 1)];
        if (use.notes() == 0)
            continue;
        std::cout << "Channel " << slot << ": " << use.notes() << " notes;";
        const char* separator = " ";
        for (const auto& p : use.programs) {
            std::cout << separator << (p.isDrum ? "drums " : "program ") << int{p.program} << " "
                      << instruments::gmPlayedName(p.program, p.isDrum);
            separator = ", ";
        }
        std::cout << "\n";
    }
    for (const auto& t : scan.tempoMap) {
        std::cout << "Tempo at " << clockText(clock.ms(t.tick)) << ": " << t.tempo
                  << " us a quarter";
        if (t.tempo > 0) {
            char bpm[32];
            std::snprintf(bpm, sizeof bpm, " (%.2f bpm)", 60000000.0 / t.tempo);
            std::cout << bpm;
        }
        std::cout << "\n";
    }
    if (lines.empty())
        std::cout << "No lyrics.\n";
    for (const auto& line : lines) {
        if (line.syllables.empty())
            std::cout << "\n"; // between paragraphs
        else
            std::cout << clockText(line.syllables.front().ms) << "  " << line.text() << "\n";
    }
    return 0;
}

} // namespace

void addInfoCommand(CLI::App& app, TCommands& commands) {
    auto o = std::make_shared<TInfoOptions>();
    auto* cmd = app.add_subcommand(
        "info",
        "Print what a song holds: its channels' programs and notes, length, tempos, lyrics");
    cmd->add_option("SONG", o->songFile, "The MIDI file (.mid or .kar)")->required();
    o->song.add(*cmd);
    cmd->add_flag("--json", o->json, "Print it as JSON");
    commands.push_back({cmd, [o] {
                            compiler::TDrumGrid grid;
                            std::string prg;
                            bool defaultTo0 = true;
                            bool legacyMode = false;
                            compiler::TCompileOptions controls;
                            if (!o->song.apply(grid, prg, defaultTo0, legacyMode, controls))
                                return 2;
                            return printInfo(*o, grid, prg, defaultTo0, legacyMode, controls);
                        }});
}

} // namespace zb::cli
