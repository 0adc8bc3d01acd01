#include "app/qt/device_dialog.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace zb::ui {

namespace {
constexpr const char* kWaveOutTopKey = "waveOutTop";
constexpr const char* kWaveOutLeftKey = "waveOutLeft";
} // namespace

TdeviceDlg::TdeviceDlg(QWidget* parent, app::TDeviceDialogModel& model, const std::string& iniFile)
    : TPositionedDialog(parent, iniFile, kWaveOutTopKey, kWaveOutLeftKey), model(model) {
    setWindowTitle(QString::fromUtf8(app::kDeviceDialogCaption));

    auto* group = new QGroupBox(QString::fromUtf8(app::kDeviceGroupCaption), this);
    list = new QListWidget(group);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const auto& device : model.devices())
        list->addItem(QString::fromStdString(device.name));
    if (model.selectedLine() >= 0)
        list->setCurrentRow(model.selectedLine());
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(list);

    const TOkCancel buttons = addOkCancel();
    okBtn = buttons.ok;
    okBtn->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons.row);

    connect(list, &QListWidget::currentRowChanged, this,
            [this](int row) { this->model.selectLine(row); });
    // Enter reaches OK as the default button; a double click chooses as well.
    connect(list, &QListWidget::itemDoubleClicked, okBtn, &QPushButton::click);
    setHelpKey([this] { this->model.help(); });
    restorePosition();
}

void TdeviceDlg::done(int result) {
    // Only the OK button chooses; Escape and the close box are Cancel.
    if (okClicked)
        model.ok();
    else
        model.cancel();
    TPositionedDialog::done(result);
}

void runDeviceDialog(QWidget* parent, app::TDeviceDialogModel& model, const std::string& iniFile) {
    const bool anyDevice = model.activate();
    TdeviceDlg dialog(parent, model, iniFile);
    if (anyDevice)
        dialog.exec();
    else
        dialog.reject();
}

} // namespace zb::ui
