#pragma once

#include "app/main_form.h"
#include "app/options_dialog_model.h"
#include "app/qt/dialog_position.h"
#include "synth/audio_output.h"

#include <map>
#include <string>

class QAbstractButton;
class QCheckBox;
class QComboBox;

namespace zb::ui {

// The options dialog: six buttons that open the directory choosers, the device dialog and the
// drum dialog, three check boxes for the play options, "OK", "Cancel" and "Help". It edits the
// model's copy of the settings; the caller hands the copy on when exec() reports Accepted, which
// only the OK button does. The model and the audio output must outlive the dialog.
class ToptionsForm final : public TPositionedDialog {
    Q_OBJECT

public:
    ToptionsForm(QWidget* parent, app::TOptionsDialogModel& model, synth::AudioOutput& waveOut,
                 const std::string& iniFile);

    QAbstractButton& button(app::TOptionsControl control) const;
    QAbstractButton& okButton() const { return *okBtn; }
    QAbstractButton& cancelButton() const { return *cancelBtn; }
    QComboBox& instrumentsBox() const { return *instruments; }

private:
    void instrumentChosen(int index);
    void chooseDirectory(app::TDirectoryKind kind);
    void chooseDevice();
    void editDrums();

    app::TOptionsDialogModel& model;
    synth::AudioOutput& waveOut;
    std::string iniFile;
    std::map<app::TOptionsControl, QAbstractButton*> buttons;
    QAbstractButton* okBtn = nullptr;
    QAbstractButton* cancelBtn = nullptr;
    QComboBox* instruments = nullptr;
    int instrumentIndex = 0; // the choice before "Other..." was picked
};

// Starts the import of the chosen font's instruments with a progress dialog that can be
// cancelled and leaves the player usable; the dialog closes when the import has finished.
void importInstruments(QWidget* parent, app::TmainForm& form, const std::string& font);

} // namespace zb::ui
