#pragma once

#include "app/shell.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace zb::test {

using app::Shell;
using app::TFileDialog;

// Records what the player asked of the desktop and answers questions and dice as told.
class TFakeShell final : public Shell {
public:
    void showError(const std::string& text) override { errors.push_back(text); }
    bool ask(const std::string& text) override {
        questions.push_back(text);
        return answerYes;
    }
    void beep() override { ++beeps; }
    void setHourglass(bool on) override { hourglass = on; }
    void processMessages() override { ++messageRuns; }
    void setTimer(bool enabled) override { timer = enabled; }
    void setBannerTimer(bool enabled, int intervalMs) override {
        bannerTimer = enabled;
        bannerInterval = intervalMs;
    }
    std::optional<std::string> fileDialog(const TFileDialog& request) override {
        dialogs.push_back(request);
        return dialogAnswer;
    }
    void help(int context) override { helpContexts.push_back(context); }
    void helpQuit() override { helpQuitCalled = true; }
    void closeMainWindow() override { closeRequested = true; }
    void minimize() override { minimized = true; }
    void randomize() override { ++reseeds; }
    int random(int range) override {
        lastRange = range;
        if (dice.empty())
            return 0;
        const int value = dice.front();
        dice.pop_front();
        return value;
    }

    // Forgets what was asked so far and the answers given.
    void forget() {
        errors.clear();
        questions.clear();
        dialogs.clear();
        dialogAnswer.reset();
        helpContexts.clear();
        answerYes = false;
    }

    std::vector<std::string> errors, questions;
    std::vector<TFileDialog> dialogs;
    std::optional<std::string> dialogAnswer;
    std::vector<int> helpContexts;
    std::deque<int> dice;
    bool answerYes = false, hourglass = false, timer = false, bannerTimer = false;
    bool helpQuitCalled = false, closeRequested = false, minimized = false;
    int beeps = 0, messageRuns = 0, bannerInterval = 0, reseeds = 0, lastRange = 0;
};

} // namespace zb::test
