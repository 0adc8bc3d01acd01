#pragma once

#include <array>
#include <cstddef>
#include <string>

// What the main window shows, as one plain value: the front end draws it and nothing else. The
// player logic changes it and then asks the view to repaint.
namespace zb::app {

enum class TControl : std::size_t {
    optionsBtn,
    minimizeButton,
    helpBtn,
    playBtn,
    pauseBtn,
    stopBtn,
    backwardBtn,
    forwardBtn,
    ejectBtn,
    skipBackBtn,
    skipForwardBtn,
    playListBtn,
    track1Btn,
    track2Btn,
    track3Btn,
    track4Btn,
    track5Btn,
    track6Btn,
    track7Btn,
    track8Btn,
    track9Btn,
    track0Btn, // the tenth entry
    repeatBtn,
    shuffleBtn,
    introBtn,
    muteBtn,
    volumeBtn,
    balanceBtn,
    recordBtn,
    volumeUpDown,
    balanceUpDown,
    volumePanel,
    balanceGauge,
    wavLbl,
    count
};

inline constexpr std::size_t kControlCount = static_cast<std::size_t>(TControl::count);

// The track button of playlist entry 1..10.
constexpr TControl trackButton(int entry) {
    return static_cast<TControl>(static_cast<std::size_t>(TControl::track1Btn) +
                                 static_cast<std::size_t>(entry - 1));
}

// Toggle groups: the transport (exactly one down), the tracks and the sequence modes (at most one
// down each); intro, mute and record toggle on their own.
enum class TGroup { none, transport, tracks, sequence, single };
TGroup groupOf(TControl control);

struct TControlState {
    bool down = false;
    bool enabled = true;
    std::string caption;
    std::string hint;
};

inline constexpr const char* kTitle = "Zorbel II";

struct TMainDisplay {
    TMainDisplay();

    TControlState& operator[](TControl control) {
        return controls[static_cast<std::size_t>(control)];
    }
    const TControlState& operator[](TControl control) const {
        return controls[static_cast<std::size_t>(control)];
    }
    // Puts a toggle down, releasing the others of its group.
    void putDown(TControl control);
    void release(TControl control) { (*this)[control].down = false; }
    bool isDown(TControl control) const { return (*this)[control].down; }
    bool isEnabled(TControl control) const { return (*this)[control].enabled; }
    void enable(TControl control, bool on = true) { (*this)[control].enabled = on; }
    void disable(TControl control) { enable(control, false); }

    std::array<TControlState, kControlCount> controls;
    std::string caption = kTitle; // the window caption, with the banner while one scrolls
    std::string status = "Initializing,,,";
    std::array<int, 4> digits{}; // tens and units of the minutes, then of the seconds
    int positionGauge = 0;       // 0..100
    int volumePosition = 10;     // the volume up-down counter, 0..99
    int balancePosition = 50;    // the balance up-down counter, 0..100
    std::string volumeText = "1.0";
    int balanceGaugeValue = 50;
    std::string trackLbl = "Track";
    std::string trackNr;
    std::string fileKindLabel;
};

} // namespace zb::app
