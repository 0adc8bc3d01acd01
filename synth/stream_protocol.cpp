#include "synth/stream_protocol.h"

namespace zb::synth {

TStreamStep bufferReturned(TSynth& synth, bool running) {
    synth.playPos += kBufferBytes;
    if (!running)
        return TStreamStep::playing;
    if (synth.activeCount >= 1) {
        synth.play();
        return synth.deviceError ? TStreamStep::deviceFailed : TStreamStep::playing;
    }
    return synth.playPos >= synth.renderPos ? TStreamStep::ended : TStreamStep::playing;
}

} // namespace zb::synth
