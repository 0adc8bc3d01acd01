#pragma once

#include "synth/synth.h"

namespace zb::synth {

enum class TStreamStep {
    playing,      // more buffers are on their way
    ended,        // every rendered buffer has played: the song is over
    deviceFailed, // queueing the next buffer failed: "waveOut device error!"
};

// What the owner of a TSynth does with each buffer the device hands back, in two steps so that
// the player can show the clock and handle its messages between them. First the buffer counts
// as played (one that a stop handed back unheard leaves playPos where the stop put it).
// False for a buffer handed back unheard: it belongs to no stream and asks for no new one.
bool bufferPlayed(TSynth& synth);
// Then, while the song runs, the next buffer is queued as long as voices remain (it is rendered
// when the device gets to it), and once nothing is left to render the song ends when playPos
// reaches renderPos.
TStreamStep streamOn(TSynth& synth);
// Both steps; when the song is stopped or paused (running false) returned buffers are only
// counted.
TStreamStep bufferReturned(TSynth& synth, bool running);

} // namespace zb::synth
