#pragma once

#include "app/main_form.h"
#include "app/qt/song_windows.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <string>
#include <vector>

class QKeyEvent;

namespace zb::ui {

class TPaintedWidget;

// The player's main window: a fixed 457 × 122 dialog-style window laid out like a CD player.
//
// It owns the player (TmainForm) and holds no rules of its own: every paint reads the player's
// display state, clicks and up-down steps go to buttonClick and upDownClick, released keys go to
// FormKeyUp as the virtual key codes the player knows, dropped files to filesDropped, every
// activation to FormActivate and closing to FormCloseQuery and FormClose. The shell, the audio
// output and the media player are handed in and must outlive the window.
class TMainWindow final : public QWidget, public app::MainView {
public:
    static constexpr int kClientWidth = 457;
    static constexpr int kClientHeight = 122;

    TMainWindow(app::Shell& shell, synth::AudioOutput& audioOutput, app::MediaPlayer& mediaPlayer,
                QWidget* parent = nullptr);
    ~TMainWindow() override;

    // Start-up with the command line (files, or up to four directories); false when the
    // window must close at once.
    bool start(const std::vector<std::string>& args);

    app::TmainForm& form() { return *mainForm; }
    // The widget that shows a control.
    QWidget* control(app::TControl control) const;

    // The virtual key code the player expects for a released key, 0 for keys it does not know.
    static int virtualKey(const QKeyEvent& event);

    int textWidth(const std::string& text) override;
    void repaint() override;
    void runPlaylistDialog(app::TmainForm& form) override;
    void runOptionsDialog(app::TmainForm& form) override;
    void showChannels(app::TmainForm& form) override;
    void showLyrics(app::TmainForm& form) override;
    // The modeless windows while they are open, else nullptr.
    TChannelsDialog* channelsWindow() const { return channels; }
    TLyricsWindow* lyricsWindow() const { return lyrics; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createButtons();
    void createTimePanel();
    void createVolumeControls();
    void createRecordPanel();
    void placeWavLabel();
    void moveToSavedPosition();

    app::Shell& shell;
    synth::AudioOutput& audioOutput;
    std::unique_ptr<app::TmainForm> mainForm;
    std::array<QWidget*, app::kControlCount> controls{};
    TPaintedWidget* recordPanel = nullptr;
    TPaintedWidget* statusLine = nullptr;
    QString shownStatus;
    QPointer<TChannelsDialog> channels;
    QPointer<TLyricsWindow> lyrics;
    QTimer rebuildPoll; // hands a recompiled song over once it is ready
};

} // namespace zb::ui
