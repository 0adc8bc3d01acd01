#include "cli/dump.h"

#include "cli/command.h"
#include "cli/heap.h"
#include "cli/json_writer.h"
#include "cli/song_options.h"

#include <iostream>
#include <map>
#include <memory>
#include <type_traits>

namespace zb::cli {

namespace {

using compiler::songEvent;
using compiler::TSampleRec;
using compiler::TSongBlock;
using compiler::TVoiceState;

void writeSample(TJsonWriter& w, const TSampleRec& s) {
    w.raw("{ ").key("program").integer(s.program);
    w.raw(", ").key("keyLow").integer(s.keyLow);
    w.raw(", ").key("keyHigh").integer(s.keyHigh);
    w.raw(", ").key("isDrum").boolean(s.isDrum != 0);
    w.raw(", ").key("wavName").string(s.wavName);
    w.raw(", ").key("sampleRate").integer(s.sampleRate);
    w.raw(", ").key("baseKey").integer(s.baseKey);
    s.forEachParameter([&w](const char* name, auto value) {
        w.raw(", ").key(name);
        if constexpr (std::is_floating_point_v<decltype(value)>)
            w.real(value);
        else
            w.integer(value);
    });
    w.raw(" }");
}

void writeState(TJsonWriter& w, const TVoiceState& s) {
    w.raw("{ ").key("phaseStep").integer(s.phaseStep);
    w.raw(", ").key("sampleIndex").integer(s.sampleIndex);
    w.raw(", ").key("phaseFrac").integer(s.phaseFrac);
    w.raw(", ").key("curSample").integer(s.curSample);
    w.raw(", ").key("sampleDelta").integer(s.sampleDelta);
    w.raw(", ").key("gainLeft").integer(s.gainLeft);
    w.raw(", ").key("gainRight").integer(s.gainRight);
    w.raw(", ").key("vibratoDepth").integer(s.vibratoDepth);
    w.raw(", ").key("lfoPhase").integer(s.lfoPhase);
    w.raw(", ").key("lfoPeriod").integer(s.lfoPeriod);
    w.raw(", ").key("updateInterval").integer(s.updateInterval);
    w.raw(", ").key("nextUpdatePos").integer(s.nextUpdatePos);
    w.raw(", ").key("slopeLeft").real(s.slopeLeft);
    w.raw(", ").key("slopeRight").real(s.slopeRight);
    w.raw(", ").key("stepFrames").real(s.stepFrames);
    w.raw(", ").key("levelLeft").real(s.levelLeft);
    w.raw(", ").key("levelRight").real(s.levelRight);
    w.raw(", ").key("leftActive").integer(s.leftActive);
    w.raw(", ").key("rightActive").integer(s.rightActive);
    w.raw(", ").key("envState").integer(s.envState);
    w.raw(", ").key("factorLeft").real(s.factorLeft);
    w.raw(", ").key("factorRight").real(s.factorRight);
    w.raw(", ").key("curPressure").integer(s.curPressure);
    w.raw(", ").key("curVolume").integer(s.curVolume);
    w.raw(", ").key("curPan").integer(s.curPan);
    w.raw(", ").key("curExpression").integer(s.curExpression);
    w.raw(", ").key("curModulation").integer(s.curModulation);
    w.raw(", ").key("curVelocity").integer(s.curVelocity);
    w.raw(", ").key("curBendStep").integer(s.curBendStep);
    w.raw(" }");
}

void writeVoice(TJsonWriter& w, const TSongBlock& v, std::size_t sampleIndex) {
    w.raw("{ ").key("sample").integer(static_cast<std::int64_t>(sampleIndex));
    w.raw(", ").key("startIndex").integer(v.startIndex);
    w.raw(", ").key("endIndex").integer(v.endIndex);
    w.raw(", ").key("loopStartIndex").integer(v.loopStartIndex);
    w.raw(", ").key("loopEndIndex").integer(v.loopEndIndex);
    w.raw(", ").key("loopLength").integer(v.loopLength);
    w.raw(", ").key("attackEnd").integer(v.attackEnd);
    w.raw(", ").key("decayEnd").integer(v.decayEnd);
    w.raw(", ").key("baseVolume").integer(v.baseVolume);
    w.raw(", ").key("baseStep").integer(v.baseStep);
    w.raw(", ").key("velocitySensitivity").integer(v.velocitySensitivity);
    w.raw(", ").key("pressureSensitivity").integer(v.pressureSensitivity);
    w.raw(", ").key("expressionSensitivity").integer(v.expressionSensitivity);
    w.raw(", ").key("releaseSensitivity").integer(v.releaseSensitivity);
    w.raw(", ").key("panpot").integer(v.panpot);
    w.raw(", ").key("pitchBendRange").integer(v.pitchBendRange);
    w.raw(", ").key("modulationRate").integer(v.modulationRate);
    w.raw(", ").key("modulationSensitivity").integer(v.modulationSensitivity);
    w.raw(", ").key("attackRate").real(v.attackRate);
    w.raw(", ").key("decayRate").real(v.decayRate);
    w.raw(", ").key("sustainRate").real(v.sustainRate);
    w.raw(", ").key("releaseRate").real(v.releaseRate);
    w.raw(",\n    ").key("saved");
    writeState(w, v.savedState);
    w.raw(",\n    ").key("events").raw("[");
    const char* separator = " ";
    for (const songEvent& e : v.events) {
        w.raw(separator).raw("[").integer(e.kind).raw(", ").integer(e.time).raw(", ");
        w.integer(e.value).raw(", ").real(e.factorLeft).raw(", ").real(e.factorRight).raw("]");
        separator = ", ";
    }
    w.raw(" ] }");
}

} // namespace

int dumpSong(const TDumpOptions& options, std::ostream& out) {
    compiler::TSampleList samples;
    compiler::TSong song;
    std::int32_t songLength = 0;
    std::int32_t errorCode = 0;
    std::string message;
    compiler::compileSong(
        options.songFile, options.prgDir, options.drums, options.defaultTo0, options.legacyMode,
        samples, song, songLength,
        [&](std::int32_t code, const std::string& text) {
            errorCode = code;
            message = text;
        },
        options.controls);

    TJsonWriter w;
    w.raw("{ ").key("format").string("zorbel-song/1");
    if (errorCode != 0) {
        w.raw(", ").key("error").raw("{ ").key("code").integer(errorCode);
        w.raw(", ").key("message").string(message).raw(" } }\n");
        out << w.text;
        return 1;
    }
    w.raw(", ").key("songLength").integer(songLength);
    if (options.summary) {
        std::size_t events = 0;
        for (const auto& voice : song)
            events += voice->events.size();
        w.raw(", ").key("sampleCount").integer(static_cast<std::int64_t>(samples.size()));
        w.raw(", ").key("voiceCount").integer(static_cast<std::int64_t>(song.size()));
        w.raw(", ").key("eventCount").integer(static_cast<std::int64_t>(events));
        w.raw(" }\n");
        out << w.text;
        return 0;
    }
    std::map<const TSampleRec*, std::size_t> index;
    w.raw(",\n  ").key("samples").raw("[");
    for (std::size_t i = 0; i < samples.size(); ++i) {
        index[samples[i].get()] = i;
        w.raw(i == 0 ? "\n    " : ",\n    ");
        writeSample(w, *samples[i]);
    }
    w.raw(" ],\n  ").key("voices").raw("[");
    for (std::size_t i = 0; i < song.size(); ++i) {
        w.raw(i == 0 ? "\n    " : ",\n    ");
        writeVoice(w, *song[i], index.at(song[i]->sampleRec));
    }
    w.raw(" ] }\n");
    out << w.text;
    return 0;
}

void addDumpCommand(CLI::App& app, TCommands& commands) {
    struct TState {
        TDumpOptions dump;
        TSongOptions song;
    };
    auto state = std::make_shared<TState>();
    auto* cmd = app.add_subcommand("dump", "Compile a MIDI file and print the song as JSON");
    cmd->add_option("SONG", state->dump.songFile, "The MIDI file")->required();
    state->song.add(*cmd);
    cmd->add_flag("--summary", state->dump.summary,
                  "Print only the song length and the numbers of samples, voices and events");
    commands.push_back(
        {cmd, [state] {
             auto& d = state->dump;
             if (!state->song.apply(d.drums, d.prgDir, d.defaultTo0, d.legacyMode, d.controls))
                 return 2;
             prepareHeap();
             return dumpSong(d, std::cout);
         }});
}

} // namespace zb::cli
