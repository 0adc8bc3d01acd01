#include "app/qt/options_dialog.h"

#include "app/qt/device_dialog.h"
#include "app/qt/dialogs.h"
#include "app/qt/directory_dialog.h"
#include "app/qt/drum_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace zb::ui {

namespace {

using app::TOptionsControl;

constexpr const char* kOptionsTopKey = "OptionsTop";
constexpr const char* kOptionsLeftKey = "OptionsLeft";

QString caption(TOptionsControl control) {
    return QString::fromUtf8(app::optionsControlText(control).caption);
}

QString hint(TOptionsControl control) {
    return QString::fromUtf8(app::optionsControlText(control).hint);
}

} // namespace

ToptionsForm::ToptionsForm(QWidget* parent, app::TOptionsDialogModel& model,
                           synth::AudioOutput& waveOut, const std::string& iniFile)
    : TPositionedDialog(parent, iniFile, kOptionsTopKey, kOptionsLeftKey), model(model),
      waveOut(waveOut), iniFile(iniFile) {
    setWindowTitle(QString::fromUtf8(app::kOptionsDialogCaption));

    const auto makeButton = [this](TOptionsControl control) {
        auto* button = new QPushButton(caption(control), this);
        button->setToolTip(hint(control));
        button->setAutoDefault(false);
        buttons[control] = button;
        return button;
    };
    const auto makeToggle = [this](TOptionsControl control, app::TOptionToggle toggle) {
        auto* box = new QCheckBox(caption(control), this);
        box->setToolTip(hint(control));
        box->setChecked(this->model.toggle(toggle));
        // The copy follows every change, so that any way of closing leaves it written.
        connect(box, &QCheckBox::toggled, this,
                [this, toggle](bool down) { this->model.setToggle(toggle, down); });
        buttons[control] = box;
        return box;
    };

    auto* grid = new QGridLayout;
    grid->addWidget(makeButton(TOptionsControl::dstBtn), 0, 0);
    grid->addWidget(makeButton(TOptionsControl::waveOutBtn), 0, 1);
    grid->addWidget(makeButton(TOptionsControl::drumBtn), 0, 2);
    grid->addWidget(makeButton(TOptionsControl::prgBtn), 1, 0);
    grid->addWidget(makeButton(TOptionsControl::wavBtn), 1, 1);
    grid->addWidget(makeButton(TOptionsControl::zblBtn), 1, 2);
    grid->addWidget(makeToggle(TOptionsControl::defaultBtn, app::TOptionToggle::defaultTo0), 2, 0);
    grid->addWidget(makeToggle(TOptionsControl::truncBtn, app::TOptionToggle::saturate), 2, 1);
    grid->addWidget(makeToggle(TOptionsControl::legacyBtn, app::TOptionToggle::legacyMode), 2, 2);

    // The SoundFonts of the system and the user, then any file.
    instruments = new QComboBox(this);
    instruments->setToolTip(QString::fromUtf8(app::kInstrumentsHint));
    instruments->addItem(QString::fromUtf8(app::kKeepInstruments), QString());
    for (const auto& font : app::findSoundFonts(app::soundFontFolders()))
        instruments->addItem(QString::fromStdString(font.name), QString::fromStdString(font.path));
    instruments->addItem(QString::fromUtf8(app::kOtherSoundFont), QStringLiteral("*"));
    connect(instruments, &QComboBox::activated, this, &ToptionsForm::instrumentChosen);
    auto* instrumentsRow = new QHBoxLayout;
    auto* instrumentsLabel = new QLabel(QString::fromUtf8(app::kInstrumentsCaption), this);
    instrumentsLabel->setBuddy(instruments);
    instrumentsRow->addWidget(instrumentsLabel);
    instrumentsRow->addWidget(instruments, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);
    okBtn = ok;
    cancelBtn = cancel;
    auto* help = makeButton(TOptionsControl::helpBtn);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(ok);
    bottom->addWidget(cancel);
    bottom->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(instrumentsRow);
    layout->addLayout(bottom);

    const auto onClick = [this](TOptionsControl control, auto handler) {
        connect(buttons.at(control), &QAbstractButton::clicked, this, handler);
    };
    onClick(TOptionsControl::dstBtn, [this] { chooseDirectory(app::TDirectoryKind::destination); });
    onClick(TOptionsControl::prgBtn, [this] { chooseDirectory(app::TDirectoryKind::patch); });
    onClick(TOptionsControl::wavBtn, [this] { chooseDirectory(app::TDirectoryKind::sample); });
    onClick(TOptionsControl::zblBtn, [this] { chooseDirectory(app::TDirectoryKind::playlist); });
    onClick(TOptionsControl::waveOutBtn, [this] { chooseDevice(); });
    onClick(TOptionsControl::drumBtn, [this] { editDrums(); });
    onClick(TOptionsControl::helpBtn, [this] { this->model.helpBtnClick(); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    setHelpKey([this] { this->model.helpBtnClick(); });
    restorePosition();
}

QAbstractButton& ToptionsForm::button(TOptionsControl control) const {
    return *buttons.at(control);
}

void ToptionsForm::instrumentChosen(int index) {
    QString path = instruments->itemData(index).toString();
    if (path == QStringLiteral("*")) {
        path = QFileDialog::getOpenFileName(this, QStringLiteral("Choose a SoundFont"), QString(),
                                            QStringLiteral("SoundFonts (*.sf2 *.sf3 *.SF2 *.SF3);;"
                                                           "All files (*)"));
        if (path.isEmpty()) {
            instruments->setCurrentIndex(instrumentIndex);
            return;
        }
        instruments->insertItem(index, QFileInfo(path).fileName(), path);
        instruments->setCurrentIndex(index);
    }
    instrumentIndex = instruments->currentIndex();
    model.chooseFont(path.toStdString());
}

void ToptionsForm::chooseDirectory(app::TDirectoryKind kind) {
    auto chooser = model.directoryChooser(kind);
    const std::string chosen =
        runDirectoryChooser(this, chooser, app::directoryChooserSetup(kind), iniFile);
    model.directoryChosen(kind, chosen);
}

void ToptionsForm::chooseDevice() {
    auto dialog = model.deviceDialog(app::buildDeviceList(waveOut));
    runDeviceDialog(this, dialog, iniFile);
    model.deviceDialogClosed(dialog);
}

void ToptionsForm::editDrums() {
    auto drums = model.drumDialog();
    TdrumDlg dialog(this, drums, iniFile);
    dialog.exec();
}

void runOptionsDialog(QWidget* parent, app::TmainForm& form, app::Shell& shell,
                      synth::AudioOutput& waveOut) {
    app::TOptionsDialogModel model(form.options, shell);
    ToptionsForm dialog(parent, model, waveOut, form.iniFile);
    if (dialog.exec() != QDialog::Accepted)
        return;
    form.optionsChanged(model.options());
    if (!model.chosenFont().empty())
        importInstruments(parent, form, model.chosenFont());
}

void importInstruments(QWidget* parent, app::TmainForm& form, const std::string& font) {
    form.chooseInstruments(font);
    auto* progress =
        new QProgressDialog(QStringLiteral("Importing instruments from %1")
                                .arg(QFileInfo(QString::fromStdString(font)).fileName()),
                            QStringLiteral("Cancel"), 0, 1, parent);
    progress->setWindowTitle(QString::fromUtf8(app::kInstrumentsCaption));
    progress->setWindowModality(Qt::NonModal); // the player stays usable meanwhile
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    progress->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(progress, &QProgressDialog::canceled, progress,
                     [&form] { form.cancelInstrumentImport(); });
    auto* poll = new QTimer(progress);
    const app::TInstrumentImport* job = form.instrumentImport.get();
    QObject::connect(poll, &QTimer::timeout, progress, [&form, progress, job] {
        if (form.instrumentImport.get() == job && job != nullptr) {
            progress->setMaximum(std::max(1, job->total()));
            progress->setValue(job->done());
        }
        form.instrumentImportTick();
        if (form.instrumentImport.get() != job) // handed over, failed, or replaced
            progress->close();
    });
    poll->start(100);
    progress->show();
}

} // namespace zb::ui
