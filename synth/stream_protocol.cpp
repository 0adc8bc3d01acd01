#include "synth/stream_protocol.h"

namespace zb::synth {

bool bufferPlayed(TSynth& synth) {
    return synth.bufferPlayed();
}

TStreamStep streamOn(TSynth& synth) {
    if (!synth.rendered()) {
        synth.play();
        return synth.deviceError ? TStreamStep::deviceFailed : TStreamStep::playing;
    }
    return synth.playPos >= synth.renderPos ? TStreamStep::ended : TStreamStep::playing;
}

TStreamStep bufferReturned(TSynth& synth, bool running) {
    const bool heard = bufferPlayed(synth);
    return running && heard ? streamOn(synth) : TStreamStep::playing;
}

} // namespace zb::synth
