#pragma once

#include "app/device_list.h"
#include "app/qt/dialog_position.h"

#include <string>

class QListWidget;
class QPushButton;

namespace zb::ui {

// The output device dialog: the qualifying devices by name in an "Audio Device" group, "OK" and
// "Cancel". The model decides the lines, the selection and the result; the model must outlive
// the dialog.
class TdeviceDlg final : public TPositionedDialog {
    Q_OBJECT

public:
    TdeviceDlg(QWidget* parent, app::TDeviceDialogModel& model, const std::string& iniFile);

    QListWidget& deviceList() const { return *list; }
    QPushButton& okButton() const { return *okBtn; }

    void done(int result) override;

private:
    app::TDeviceDialogModel& model;
    QListWidget* list = nullptr;
    QPushButton* okBtn = nullptr;
};

// Runs the dialog on model: when no device qualifies the model's message is shown and the
// dialog does not open. The caller takes model.result() afterwards.
void runDeviceDialog(QWidget* parent, app::TDeviceDialogModel& model, const std::string& iniFile);

} // namespace zb::ui
