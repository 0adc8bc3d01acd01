#include "app/qt/song_windows.h"

#include "app/paths.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace zb::ui {

namespace {
constexpr int kPollMs = 50;
constexpr const char* kChannelsTopKey = "ChannelsTop";
constexpr const char* kChannelsLeftKey = "ChannelsLeft";
constexpr const char* kLyricsTopKey = "LyricsTop";
constexpr const char* kLyricsLeftKey = "LyricsLeft";

QString songName(const app::TmainForm& form) {
    if (form.synth() == nullptr || form.currentSong.empty())
        return {};
    return QString::fromStdString(app::extractFileName(form.currentSong));
}
} // namespace

TChannelsDialog::TChannelsDialog(QWidget* parent, app::TmainForm& form, app::Shell& shell,
                                 const std::string& iniFile)
    : TPositionedDialog(parent, iniFile, kChannelsTopKey, kChannelsLeftKey), form(form) {
    setWindowTitle(QStringLiteral("Channels"));
    setWindowModality(Qt::NonModal);
    setAttribute(Qt::WA_DeleteOnClose);

    songLabel = new QLabel(this);
    rowArea = new QWidget(this);
    grid = new QGridLayout(rowArea);
    grid->setContentsMargins(0, 0, 0, 0);
    int column = 0;
    for (const QString& heading : {QStringLiteral("Channel"), QStringLiteral("Programs"),
                                   QStringLiteral("Notes"), QStringLiteral("Level")})
        grid->addWidget(new QLabel(heading, rowArea), 0, column++);

    tempoBox = new QSpinBox(this);
    tempoBox->setRange(compiler::TCompileOptions::kMinTempoPercent,
                       compiler::TCompileOptions::kMaxTempoPercent);
    tempoBox->setSuffix(QStringLiteral(" %"));
    tempoBox->setAccessibleName(QStringLiteral("Tempo"));
    // Typing recompiles once, at Enter or when the counter is left, not at every digit.
    tempoBox->setKeyboardTracking(false);
    auto* tempoReset = new QPushButton(QStringLiteral("Reset"), this);
    tempoReset->setAccessibleName(QStringLiteral("Reset tempo"));
    transposeBox = new QSpinBox(this);
    transposeBox->setRange(-compiler::TCompileOptions::kMaxTranspose,
                           compiler::TCompileOptions::kMaxTranspose);
    transposeBox->setSuffix(QStringLiteral(" semitones"));
    transposeBox->setAccessibleName(QStringLiteral("Transpose"));
    transposeBox->setKeyboardTracking(false);
    auto* transposeReset = new QPushButton(QStringLiteral("Reset"), this);
    transposeReset->setAccessibleName(QStringLiteral("Reset transposition"));
    keepBox = new QCheckBox(QStringLiteral("Keep for the next songs"), this);
    auto* closeBtn = new QPushButton(QStringLiteral("Close"), this);

    auto* song = new QGridLayout;
    song->addWidget(new QLabel(QStringLiteral("Tempo:"), this), 0, 0);
    song->addWidget(tempoBox, 0, 1);
    song->addWidget(tempoReset, 0, 2);
    song->addWidget(new QLabel(QStringLiteral("Transpose:"), this), 1, 0);
    song->addWidget(transposeBox, 1, 1);
    song->addWidget(transposeReset, 1, 2);
    song->setColumnStretch(3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(keepBox);
    buttons->addStretch();
    buttons->addWidget(closeBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(songLabel);
    layout->addWidget(rowArea);
    layout->addLayout(song);
    layout->addLayout(buttons);

    const auto changed = [this] {
        if (!updating)
            apply();
    };
    connect(tempoBox, &QSpinBox::valueChanged, this, changed);
    connect(transposeBox, &QSpinBox::valueChanged, this, changed);
    connect(tempoReset, &QPushButton::clicked, this, [this] { tempoBox->setValue(100); });
    connect(transposeReset, &QPushButton::clicked, this, [this] { transposeBox->setValue(0); });
    connect(keepBox, &QCheckBox::toggled, this, [this](bool on) { this->form.keepControls = on; });
    connect(closeBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(&poll, &QTimer::timeout, this, &TChannelsDialog::refresh);
    setHelpKey([&shell] { shell.help(app::helpChannels); });
    rowArea->setVisible(false);
    refresh();
    poll.start(kPollMs);
    restorePosition();
}

void TChannelsDialog::rebuildRows() {
    for (auto& row : rowWidgets)
        for (QWidget* w : std::initializer_list<QWidget*>{row.slot, row.programs, row.notes,
                                                          row.level, row.mute, row.solo})
            delete w;
    rowWidgets.clear();
    shownChannels = form.facts.channels;
    for (const auto& channel : shownChannels) {
        const int r = static_cast<int>(rowWidgets.size()) + 1;
        TRow row{new QLabel(QString::number(channel.slot), rowArea),
                 new QLabel(QString::fromStdString(channel.programs), rowArea),
                 new QLabel(QString::number(channel.notes), rowArea),
                 new QProgressBar(rowArea),
                 new QCheckBox(QStringLiteral("Mute"), rowArea),
                 new QCheckBox(QStringLiteral("Solo"), rowArea)};
        row.level->setRange(0, 127);
        row.level->setTextVisible(false);
        row.level->setMaximumWidth(80);
        row.level->setAccessibleName(QStringLiteral("Level of channel %1").arg(channel.slot));
        row.mute->setAccessibleName(QStringLiteral("Mute channel %1").arg(channel.slot));
        row.solo->setAccessibleName(QStringLiteral("Solo channel %1").arg(channel.slot));
        grid->addWidget(row.slot, r, 0);
        grid->addWidget(row.programs, r, 1);
        grid->addWidget(row.notes, r, 2);
        grid->addWidget(row.level, r, 3);
        grid->addWidget(row.mute, r, 4);
        grid->addWidget(row.solo, r, 5);
        for (QCheckBox* box : {row.mute, row.solo})
            connect(box, &QCheckBox::toggled, this, [this] {
                if (!updating)
                    apply();
            });
        rowWidgets.push_back(row);
    }
    rowArea->setVisible(!shownChannels.empty());
    if (isVisible())
        adjustSize();
}

void TChannelsDialog::refresh() {
    updating = true;
    if (form.facts.channels != shownChannels)
        rebuildRows();
    const QString name = songName(form);
    songLabel->setText(name.isEmpty() ? QStringLiteral("No MIDI song is loaded: the settings apply "
                                                       "to the next one.")
                                      : name);
    const auto& controls = form.songControls;
    for (std::size_t i = 0; i < rowWidgets.size(); ++i) {
        const auto slot = static_cast<std::size_t>(shownChannels[i].slot - 1);
        rowWidgets[i].mute->setChecked(controls.muted[slot]);
        rowWidgets[i].solo->setChecked(controls.soloed[slot]);
        rowWidgets[i].level->setValue(form.channelLevel(shownChannels[i].slot));
    }
    // A counter being edited keeps what is typed into it.
    for (const auto& [box, value] :
         {std::pair{tempoBox, controls.tempoPercent}, std::pair{transposeBox, controls.transpose}})
        if (!box->hasFocus() && box->value() != value)
            box->setValue(value);
    keepBox->setChecked(form.keepControls);
    updating = false;
}

void TChannelsDialog::apply() {
    compiler::TCompileOptions controls = form.songControls;
    for (std::size_t i = 0; i < rowWidgets.size(); ++i) {
        const auto slot = static_cast<std::size_t>(shownChannels[i].slot - 1);
        controls.muted[slot] = rowWidgets[i].mute->isChecked();
        controls.soloed[slot] = rowWidgets[i].solo->isChecked();
    }
    controls.tempoPercent = tempoBox->value();
    controls.transpose = transposeBox->value();
    form.setSongControls(controls);
}

TLyricsWindow::TLyricsWindow(QWidget* parent, app::TmainForm& form, app::Shell& shell,
                             const std::string& iniFile)
    : TPositionedDialog(parent, iniFile, kLyricsTopKey, kLyricsLeftKey), form(form) {
    setWindowTitle(QStringLiteral("Lyrics"));
    setWindowModality(Qt::NonModal);
    setAttribute(Qt::WA_DeleteOnClose);
    lineLabel = new QLabel(this);
    lineLabel->setTextFormat(Qt::RichText);
    QFont big = lineLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    lineLabel->setFont(big);
    nextLabel = new QLabel(this);
    nextLabel->setTextFormat(Qt::PlainText);
    nextLabel->setEnabled(false); // drawn dimmed: it is still to come
    for (QLabel* label : {lineLabel, nextLabel}) {
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(420);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lineLabel);
    layout->addWidget(nextLabel);
    connect(&poll, &QTimer::timeout, this, &TLyricsWindow::refresh);
    setHelpKey([&shell] { shell.help(app::helpLyrics); });
    refresh();
    poll.start(kPollMs);
    restorePosition();
}

void TLyricsWindow::refresh() {
    QString line;
    QString next;
    if (songName(form).isEmpty()) {
        line = QStringLiteral("No MIDI song is loaded.");
    } else if (const app::TLyricsView view = form.lyricsNow(); view.none) {
        line = QStringLiteral("This song has no lyrics.");
    } else {
        const auto html = [](const std::string& text) {
            return QString::fromStdString(text).toHtmlEscaped();
        };
        line = html(view.sungBefore) + QStringLiteral("<b><u>") + html(view.sung) +
               QStringLiteral("</u></b>") + html(view.sungAfter);
        next = QString::fromStdString(view.next);
    }
    if (lineLabel->text() != line)
        lineLabel->setText(line);
    if (nextLabel->text() != next)
        nextLabel->setText(next);
}

} // namespace zb::ui
