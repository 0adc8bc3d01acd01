#include "synth/stream_protocol.h"

namespace zb::synth {

void bufferPlayed(TSynth& synth) {
    synth.bufferPlayed();
}

TStreamStep streamOn(TSynth& synth) {
    if (!synth.rendered()) {
        synth.play();
        return synth.deviceError ? TStreamStep::deviceFailed : TStreamStep::playing;
    }
    return synth.playPos >= synth.renderPos ? TStreamStep::ended : TStreamStep::playing;
}

TStreamStep bufferReturned(TSynth& synth, bool running) {
    bufferPlayed(synth);
    return running ? streamOn(synth) : TStreamStep::playing;
}

} // namespace zb::synth
