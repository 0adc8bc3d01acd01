#pragma once

#include "app/main_form.h"
#include "app/media_player.h"
#include "app/shell.h"
#include "support/fake_media_player.h"
#include "support/fake_shell.h"
#include "support/fake_view.h"
#include "synth/null_audio_output.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zb::ui::test {

using TFakeShell = zb::test::TFakeShell;
using TFakeMediaPlayer = zb::test::TFakeMediaPlayer;
using TFakeView = zb::test::TFakeView;

// Acts on the modal dialog of type Dialog that exec() is about to run: the action runs from
// the dialog's own event loop once the dialog is the active modal window. A dialog that does not
// turn up within a second fails the test; a dialog the action leaves open after a failed check
// is rejected, so that a broken test ends instead of waiting for a user.
template <typename Dialog>
void whenModal(QObject* context, std::function<void(Dialog&)> action, int triesLeft = 100) {
    QTimer::singleShot(triesLeft == 100 ? 0 : 10, context, [context, action, triesLeft] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            if (triesLeft > 0) {
                whenModal<Dialog>(context, action, triesLeft - 1);
                return;
            }
            QTest::qFail("the expected dialog did not open", __FILE__, __LINE__);
            if (QWidget* other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        // Keys reach the dialog's shortcuts only once it is the active window.
        if (!QTest::qWaitForWindowActive(dialog))
            QTest::qFail("the dialog did not become active", __FILE__, __LINE__);
        action(*dialog);
        if (QTest::currentTestFailed() && dialog->isVisible())
            dialog->reject();
    });
}

// A player in a temporary home (ZORBEL_HOME) with a few MIDI and WAV files of known sizes:
// MID/a.mid (1,234 bytes), MID/b.mid, MID/C.MID (1,234,567 bytes), MID/d.wav, MID/sub/e.mid,
// and the folders PRG, WAV, Song, ZbL and NewPRG. No settings file exists at first.
class TDialogFixture {
protected:
    std::unique_ptr<QTemporaryDir> home;
    QString startDirectory;
    TFakeShell shell;
    TFakeView view;
    TFakeMediaPlayer media;
    synth::NullAudioOutput device;
    std::unique_ptr<app::TmainForm> form;

    std::string path(const QString& relative) const {
        return home->filePath(relative).toStdString();
    }
    void writeFile(const QString& relative, qint64 size) const {
        QFile file(home->filePath(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(QByteArray(size, 'x')) == size);
    }
    QStringList shownNames(const QListWidget& list) const {
        QStringList names;
        for (int row = 0; row < list.count(); ++row)
            names.append(list.item(row)->text());
        return names;
    }
    QList<int> selectedRows(const QListWidget& list) const {
        QList<int> rows;
        for (int row = 0; row < list.count(); ++row)
            if (list.item(row)->isSelected())
                rows.append(row);
        return rows;
    }
    void setEntries(const QStringList& names) {
        form->playList.entries.clear();
        for (const QString& name : names)
            form->playList.entries.push_back({path(QStringLiteral("MID/") + name), false});
    }
    void writePositions(const QString& keys) {
        QFile ini(QString::fromStdString(form->iniFile));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[Positions]\n%1").arg(keys).toUtf8());
    }

    void setUp() {
        startDirectory = QDir::currentPath();
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        ::setenv("ZORBEL_HOME", home->path().toUtf8().constData(), 1);
        for (const char* dir : {"MID/sub", "PRG", "WAV", "Song", "ZbL", "NewPRG"})
            QVERIFY(QDir(home->path()).mkpath(QString::fromLatin1(dir)));
        writeFile(QStringLiteral("MID/a.mid"), 1234);
        writeFile(QStringLiteral("MID/b.mid"), 10);
        writeFile(QStringLiteral("MID/C.MID"), 1234567);
        writeFile(QStringLiteral("MID/d.wav"), 0);
        writeFile(QStringLiteral("MID/sub/e.mid"), 0);
        shell.forget();
        form = std::make_unique<app::TmainForm>(shell, view, device, media);
        QVERIFY(form->FormCreate({}));
        QCOMPARE(form->options.midiDirectory, path(QStringLiteral("MID")));
    }
    void tearDown() {
        form.reset();
        QDir::setCurrent(startDirectory);
        ::unsetenv("ZORBEL_HOME");
        home.reset();
    }
};

} // namespace zb::ui::test
