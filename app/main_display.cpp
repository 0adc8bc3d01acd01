#include "app/main_display.h"

namespace zb::app {

TGroup groupOf(TControl control) {
    switch (control) {
    case TControl::playBtn:
    case TControl::pauseBtn:
    case TControl::stopBtn:
        return TGroup::transport;
    case TControl::repeatBtn:
    case TControl::shuffleBtn:
        return TGroup::sequence;
    case TControl::introBtn:
    case TControl::muteBtn:
    case TControl::recordBtn:
        return TGroup::single;
    default:
        break;
    }
    if (control >= TControl::track1Btn && control <= TControl::track0Btn)
        return TGroup::tracks;
    return TGroup::none;
}

TMainDisplay::TMainDisplay() {
    static constexpr std::pair<TControl, const char*> hints[] = {
        {TControl::optionsBtn, "[O]ptions"},
        {TControl::minimizeButton, "Minimize"},
        {TControl::helpBtn, "[H]elp"},
        {TControl::playBtn, "[P]lay"},
        {TControl::pauseBtn, "P[a]use"},
        {TControl::stopBtn, "[S]top"},
        {TControl::backwardBtn, "[B]ack 10%"},
        {TControl::forwardBtn, "[F]orward 10%"},
        {TControl::ejectBtn, "[E]ject"},
        {TControl::skipBackBtn, "Skip bac[k]"},
        {TControl::skipForwardBtn, "Skip for[w]ard"},
        {TControl::playListBtn, "Play[l]ist"},
        {TControl::repeatBtn, "Repeat mode"},
        {TControl::shuffleBtn, "Shuffle mode"},
        {TControl::introBtn, "Intro mode"},
        {TControl::muteBtn, "[M]ute"},
        {TControl::volumeBtn, "Default [v]olume"},
        {TControl::balanceBtn, "Default bala[n]ce"},
        {TControl::recordBtn, "[R]ecord to WAV"},
        {TControl::volumeUpDown, "Volume control [+, -]"},
        {TControl::balanceUpDown, "Balance control [<-, ->]"},
        {TControl::volumePanel, "Volume"},
        {TControl::balanceGauge, "Balance"},
        {TControl::wavLbl, "Destination WAV"},
    };
    for (const auto& [control, hint] : hints)
        (*this)[control].hint = hint;
    for (int entry = 1; entry <= 10; ++entry) {
        auto& track = (*this)[trackButton(entry)];
        track.caption = std::to_string(entry % 10);
        track.hint = entry < 10 ? "Track [" + std::to_string(entry) + "]: No file"
                                : std::string("Track 1[0]: No file");
    }
    (*this)[TControl::stopBtn].down = true;
}

void TMainDisplay::putDown(TControl control) {
    const TGroup group = groupOf(control);
    if (group != TGroup::none && group != TGroup::single) {
        for (std::size_t i = 0; i < kControlCount; ++i)
            if (groupOf(static_cast<TControl>(i)) == group)
                controls[i].down = false;
    }
    (*this)[control].down = true;
}

} // namespace zb::app
