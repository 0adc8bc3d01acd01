#pragma once

#include "synth/synth.h"

namespace zb::synth {

enum class TStreamStep {
    playing,      // more buffers are on their way
    ended,        // every rendered buffer has played: the song is over
    deviceFailed, // queueing the next buffer failed: "waveOut device error!"
};

// What the owner of a TSynth does with each buffer the device hands back: the buffer counts as
// played (also when a stop returned it early); while the song runs, the next buffer is rendered
// as long as voices remain, and once none remain the song ends when playPos reaches renderPos.
// When the song is stopped or paused (running false) returned buffers are only counted.
TStreamStep bufferReturned(TSynth& synth, bool running);

} // namespace zb::synth
