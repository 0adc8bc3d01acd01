#pragma once

#include "app/main_form.h"
#include "app/qt/dialog_position.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <vector>

class QGridLayout;

namespace zb::ui {

// The "Channels" window: the loaded song's channels with their programs, notes and level, each
// with Mute and Solo, and the song's speed and transposition. Modeless: the player goes on
// while it is open, and it follows the song that plays (a poll a few times a second).
class TChannelsDialog final : public TPositionedDialog {
    Q_OBJECT

public:
    TChannelsDialog(QWidget* parent, app::TmainForm& form, app::Shell& shell,
                    const std::string& iniFile);

    // The rows of the song that is loaded, the toggles and counters from the form's controls,
    // the levels of what is heard now.
    void refresh();

    struct TRow {
        QLabel* slot;
        QLabel* programs;
        QLabel* notes;
        QProgressBar* level;
        QCheckBox* mute;
        QCheckBox* solo;
    };
    const std::vector<TRow>& rows() const { return rowWidgets; }
    QSpinBox* tempoBox = nullptr;
    QSpinBox* transposeBox = nullptr;
    QCheckBox* keepBox = nullptr;
    QLabel* songLabel = nullptr;

private:
    void rebuildRows();
    void apply(); // the widgets' values to the form

    app::TmainForm& form;
    QGridLayout* grid = nullptr;
    QWidget* rowArea = nullptr;
    std::vector<app::TChannelRow> shownChannels;
    std::vector<TRow> rowWidgets;
    bool updating = false;
    QTimer poll;
};

// The "Lyrics" window: the line being sung with the syllable sung now picked out, and the next
// line below it, in time with what is heard.
class TLyricsWindow final : public TPositionedDialog {
    Q_OBJECT

public:
    TLyricsWindow(QWidget* parent, app::TmainForm& form, app::Shell& shell,
                  const std::string& iniFile);
    void refresh();

    QLabel* lineLabel = nullptr;
    QLabel* nextLabel = nullptr;

private:
    app::TmainForm& form;
    QTimer poll;
};

} // namespace zb::ui
