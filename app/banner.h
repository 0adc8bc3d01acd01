#pragma once

#include <array>
#include <string>

namespace zb::app {

class Shell;

// The message that scrolls through the window caption: 60 s after an activation the caption
// starts to move one character every 200 ms; the message comes in after 72 spaces, from then on
// preceded by "...", and once it has scrolled out the plain caption stands for another 60 s.
class TBanner final {
public:
    static const std::array<const char*, 11> messages;

    // Draws a new message unless one is still pending.
    void prepareBanner(Shell& shell);
    // One tick of the banner timer: returns the new caption; interval() is then the next one.
    std::string bannerTimerTimer(Shell& shell);
    const std::string& pendingText() const { return pending; }
    // The timer's interval as the last tick left it: re-enabling the timer keeps it.
    int interval() const { return intervalMs; }

private:
    int intervalMs = 60000;
    std::string pending;
    std::string prefix;
};

} // namespace zb::app
