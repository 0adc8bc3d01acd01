#pragma once

#include "compiler/sample_rec.h"
#include "instruments/config.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace zb::compiler {

// Kinds of songEvent beyond the note event kinds 1..8.
inline constexpr std::uint8_t endMark = 9; // end of a voice's event list
inline constexpr std::uint8_t noOp = 10;   // superseded by a later record of the same time

// Envelope states of a voice.
enum TEnvState : std::uint8_t {
    envAttack = 0,
    envDecay = 1,
    envSustain = 2,
    envRelease = 3,
    envSilent = 4
};

// One record of a voice's event list: from output byte `time` on, the levels are the factors.
struct songEvent {
    std::uint8_t kind = 0;
    std::int32_t time = 0;  // output byte position
    std::int32_t value = 0; // vibrato depth (4), bent pitch step (8), 0 (9); unused otherwise
    Real factorLeft = 0;
    Real factorRight = 0;
};

// The playing state of a voice. The mixer plays from a live copy and restores it from the saved
// copy at every noteStart; the compiler uses the controller fields (curPressure on) as scratch.
struct TVoiceState {
    std::int32_t phaseStep = 0; // 1/1024 sample frame per output frame
    std::int32_t sampleIndex = 0;
    std::int32_t phaseFrac = 0;
    std::int32_t curSample = 0;
    std::int32_t sampleDelta = 0;
    std::int32_t gainLeft = 0;
    std::int32_t gainRight = 0;
    std::int32_t vibratoDepth = 0;
    std::uint32_t lfoPhase = 0;  // output frames
    std::uint32_t lfoPeriod = 0; // output frames; 0 without vibrato
    std::int32_t updateInterval = 110;
    std::int64_t nextUpdatePos = 4; // 64 bits: the last buffers of the longest songs pass 2^31
    Real slopeLeft = 0;
    Real slopeRight = 0;
    Real stepFrames = 110;
    Real levelLeft = 0;
    Real levelRight = 0;
    std::uint8_t leftActive = 1;
    std::uint8_t rightActive = 1;
    std::uint8_t envState = envAttack;
    Real factorLeft = 0;
    Real factorRight = 0;
    // The controller state of the note being computed.
    std::uint8_t curPressure = 64;
    std::uint8_t curVolume = 64;
    std::uint8_t curPan = 64;
    std::uint8_t curExpression = 127;
    std::uint8_t curModulation = 0;
    std::int16_t curVelocity = 0;
    std::int32_t curBendStep = 0;
};

// One voice of the compiled song: one sample record played monophonically at one key, with its
// record's voice controls, the sample positions at the output rate, the envelope rates, the
// pitch step, a saved start state and the event list that ends with an endMark.
struct TSongBlock : instruments::TVoiceControls {
    TVoiceState live;
    TVoiceState savedState;

    TSampleRec* sampleRec = nullptr; // owned by the sample list handed out with the song
    std::vector<songEvent> events;
    std::size_t curEvent = 0; // index into events
    std::uint8_t voiceFlag = 1;
    // Whether the sustain or release of the current stretch between two events (or a buffer start
    // and an event) loops is decided once, at its first frame. The mixer renders a buffer in
    // blocks and keeps the decision here across them.
    bool loopDecided = false;
    bool loopingDecision = false;
    // The loaded sample of sampleRec (set when the samples are loaded). The mixer reads it by
    // index; indices at or past sampleSize read as 0.
    const std::int16_t* sampleData = nullptr;
    std::size_t sampleSize = 0;
    std::int32_t startIndex = 0;
    std::int32_t endIndex = 0;
    std::int32_t loopStartIndex = -1;
    std::int32_t loopEndIndex = -1;
    std::int32_t loopLength = 1;
    std::int32_t attackEnd = 0;
    std::int32_t decayEnd = 0;
    std::int32_t baseStep = 0;
    Real attackRate = 0;
    Real decayRate = 0;
    Real sustainRate = 0;
    Real releaseRate = 0;
};

// The compiled song: its voices in song order.
using TSong = std::vector<std::unique_ptr<TSongBlock>>;

} // namespace zb::compiler
