// The dialogs on the offscreen platform, driven as a user would through their controls; every
// message box goes to a fake shell.
#include "app/qt/device_dialog.h"
#include "app/qt/dialogs.h"
#include "app/qt/directory_dialog.h"
#include "app/qt/directory_list_box.h"
#include "app/qt/drum_dialog.h"
#include "app/qt/ext_file_list_box.h"
#include "app/qt/options_dialog.h"
#include "app/qt/playlist_dialog.h"
#include "app/settings.h"
#include "synth/null_audio_output.h"
#include "ui/dialog_test_support.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdlib>
#include <memory>

namespace zb::ui::test {

using TButton = TplayListDlg::TButton;
using app::TOptionsControl;

class TDialogsTest final : public QObject, private TDialogFixture {
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void drumGridChecksTypedCellsBeforeTheCursorMoves() {
        app::TDrumTable table = app::defaultDrumTable();
        app::TDrumDialogModel model(table, shell);
        TdrumDlg dialog(nullptr, model, form->iniFile);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTableWidget& grid = dialog.grid();
        QCOMPARE(grid.horizontalHeaderItem(0)->text(), QStringLiteral("Track (1-65535)"));
        grid.setFocus();
        QTRY_VERIFY(grid.hasFocus());
        QTest::keyClick(&grid, Qt::Key_F1);
        QCOMPARE(shell.helpContexts, std::vector<int>{app::helpDrumTracks});
        QTest::keyClick(&grid, Qt::Key_0); // starts editing the track cell
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor != nullptr);
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(shell.errors, std::vector<std::string>{"Illegal MIDI Track!"});
        QCOMPARE(grid.currentColumn(), 0);
        // The editor is open again on the cell to correct.
        editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor != nullptr && grid.isAncestorOf(editor));
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("a l l"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(grid.item(0, 0)->text(), QStringLiteral("ALL"));
        QVERIFY(dialog.isVisible()); // Enter is the cell check, not OK
        QVERIFY(dialog.okButton().isEnabled());
        QTRY_VERIFY(grid.hasFocus());
        QTest::keyClick(&grid, Qt::Key_Tab);
        QCOMPARE(grid.currentColumn(), 1);
        QTest::keyClick(&grid, Qt::Key_1);
        editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor != nullptr);
        QTest::keyClick(editor, Qt::Key_7);
        dialog.addButton().setFocus(); // leaving the grid commits and checks the cell
        QTRY_COMPARE(shell.errors.size(), 2U);
        QCOMPARE(shell.errors.back(), std::string("Illegal MIDI Channel!"));
        QVERIFY(!dialog.addButton().isEnabled());
        QVERIFY(!dialog.okButton().isEnabled());
        grid.item(0, 1)->setText(QStringLiteral("16")); // an edit goes through the same rules
        QTRY_VERIFY(dialog.addButton().isEnabled());
        // Add, Help and OK: nothing reaches the table before OK.
        QTest::mouseClick(&dialog.addButton(), Qt::LeftButton);
        QCOMPARE(grid.rowCount(), 2);
        QVERIFY(dialog.removeButton().isEnabled());
        QTest::mouseClick(&dialog.helpButton(), Qt::LeftButton);
        QCOMPARE(shell.helpContexts, std::vector<int>(2, app::helpDrumTracks));
        QCOMPARE(table.size(), 2U);
        QTest::mouseClick(&dialog.okButton(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(table.size(), 3U);
        QCOMPARE(table[1], (app::TDrumRow{"ALL", "16"}));
        QCOMPARE(table[2], (app::TDrumRow{"ALL", "10"}));
    }

    // The moves themselves are the dialog model's tests; here: the buttons reach them and the
    // list shows the result with the selection kept.
    void playlistUpAndDownMoveSelectedEntriesAsBlocks() {
        for (const bool up : {true, false}) {
            setEntries({QStringLiteral("a.mid"), QStringLiteral("b.mid"), QStringLiteral("C.MID"),
                        QStringLiteral("d.wav")});
            app::TPlayListDialogModel model(form->options.midiDirectory,
                                            form->options.playlistDirectory, form->playList);
            TplayListDlg dialog(nullptr, model, shell, form->iniFile);
            QListWidget& list = dialog.listBox();
            list.item(1)->setSelected(true);
            list.item(2)->setSelected(true);
            dialog.button(up ? TButton::up : TButton::down).click();
            QCOMPARE(shownNames(list).at(up ? 0 : 2), QStringLiteral("b.mid"));
            QCOMPARE(selectedRows(list), up ? (QList<int>{0, 1}) : (QList<int>{2, 3}));
            QVERIFY(!dialog.button(up ? TButton::up : TButton::down).isEnabled());
        }
    }

    void playlistAddsFilesOfTheFileList() {
        app::TPlayListDialogModel model(form->options.midiDirectory,
                                        form->options.playlistDirectory, form->playList);
        TplayListDlg dialog(nullptr, model, shell, form->iniFile);
        TExtFileListBox& files = dialog.fileList();
        // The mask "*.MID" takes every case of the extension.
        QCOMPARE(shownNames(files), (QStringList{QStringLiteral("a.mid"), QStringLiteral("b.mid"),
                                                 QStringLiteral("C.MID")}));
        QVERIFY(!dialog.button(TButton::add).isEnabled());
        QVERIFY(dialog.button(TButton::addAll).isEnabled());
        QVERIFY(!dialog.button(TButton::save).isEnabled());

        files.item(1)->setSelected(true);
        QVERIFY(dialog.button(TButton::add).isEnabled());
        dialog.button(TButton::add).click();
        QCOMPARE(shownNames(dialog.listBox()), QStringList{QStringLiteral("b.mid")});
        QCOMPARE(model.list().entries.at(0).fileName, path(QStringLiteral("MID/b.mid")));
        QVERIFY(dialog.button(TButton::removeAll).isEnabled());
        QVERIFY(dialog.button(TButton::save).isEnabled());

        dialog.filterBox().setCurrentIndex(1);
        QCOMPARE(dialog.filterBox().currentText(), QStringLiteral("WAV files (*.WAV)"));
        QCOMPARE(shownNames(files), QStringList{QStringLiteral("d.wav")});
        dialog.button(TButton::addAll).click();
        QCOMPARE(shownNames(dialog.listBox()),
                 (QStringList{QStringLiteral("b.mid"), QStringLiteral("d.wav")}));

        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(home->filePath(QStringLiteral("x.MID"))),
                         QUrl::fromLocalFile(home->filePath(QStringLiteral("notes.txt")))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &drop);
        QCOMPARE(dialog.listBox().count(), 3);
        QCOMPARE(dialog.playlistGroup().title(), QStringLiteral("Playlist"));
    }

    void playlistSavesLoadsAndDeletesListFiles() {
        setEntries({QStringLiteral("a.mid"), QStringLiteral("b.mid")});
        app::TPlayListDialogModel model(form->options.midiDirectory,
                                        form->options.playlistDirectory, form->playList);
        TplayListDlg dialog(nullptr, model, shell, form->iniFile);
        shell.dialogAnswer = path(QStringLiteral("ZbL/My & list.ZbL"));
        dialog.button(TButton::save).click();
        QCOMPARE(shell.dialogs.back().title, std::string("Save playlist file"));
        QCOMPARE(dialog.playlistGroup().title(), QStringLiteral("Playlist: My && list"));
        dialog.button(TButton::newList).click();
        QCOMPARE(dialog.listBox().count(), 0);
        QCOMPARE(dialog.playlistGroup().title(), QStringLiteral("Playlist"));
        dialog.button(TButton::load).click();
        QCOMPARE(shell.dialogs.back().title, std::string("Select playlist file to load"));
        QCOMPARE(shownNames(dialog.listBox()),
                 (QStringList{QStringLiteral("a.mid"), QStringLiteral("b.mid")}));
        dialog.button(TButton::trash).click();
        QVERIFY(!QFile::exists(QString::fromStdString(*shell.dialogAnswer)));
        QCOMPARE(dialog.listBox().count(), 2);
        QVERIFY(shell.errors.empty());
    }

    void fileListDrawsSizesAtTheComputedColumn() {
        TExtFileListBox files;
        app::TExtFileListColumns columns;
        columns.ShowDate = false;
        columns.ShowTime = false;
        files.setColumns(columns);
        files.setShowDirectories(true);
        files.setMask(QStringLiteral("*.MID"));
        files.setDirectory(QString::fromStdString(form->options.midiDirectory));
        QCOMPARE(shownNames(files),
                 (QStringList{QStringLiteral("[sub]"), QStringLiteral("a.mid"),
                              QStringLiteral("b.mid"), QStringLiteral("C.MID")}));
        QCOMPARE(files.fileCount(), 3U);
        const QFontMetrics metrics(files.font());
        const QRect rect(4, 20, 300, 16);
        const auto directory = files.itemColumns(0, rect, metrics);
        QVERIFY(directory.size.isEmpty());
        const auto big = files.itemColumns(3, rect, metrics);
        QCOMPARE(big.size, QStringLiteral("1,234,567"));
        app::TColumnWidths widths;
        widths.name = metrics.horizontalAdvance(QStringLiteral("XXXXXXXX.XXX"));
        widths.size = metrics.horizontalAdvance(QStringLiteral("888,888,888"));
        QCOMPARE(big.positions.size.value(), 4 + widths.name + 16 + app::kIconGap + widths.size);
        QVERIFY(!big.positions.date.has_value());
        QVERIFY(files.grab().width() > 0); // the delegate paints without trouble
    }

    void playlistOkReplacesTheListAndCancelKeepsIt() {
        setEntries({QStringLiteral("a.mid"), QStringLiteral("b.mid")});
        whenModal<TplayListDlg>(this, [&](TplayListDlg& dialog) {
            dialog.button(TButton::removeAll).click();
            QCOMPARE(dialog.listBox().count(), 0);
            TDirectoryListBox& dirs = dialog.directoryList();
            const auto sub = dirs.findItems(QStringLiteral("sub"), Qt::MatchExactly);
            QVERIFY(sub.size() == 1);
            dirs.setCurrentItem(sub.front());
            QTest::keyClick(&dirs, Qt::Key_Return); // opens it, and does not press OK
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.fileList().count(), 1);
            QTest::keyClick(&dirs, Qt::Key_F1);
            QCOMPARE(shell.helpContexts, std::vector<int>{app::helpPlaylists});
            dialog.button(TButton::cancel).click();
        });
        runPlaylistDialog(nullptr, *form, shell);
        QCOMPARE(form->playList.entries.size(), 2U);
        QCOMPARE(form->options.midiDirectory, path(QStringLiteral("MID/sub")));

        whenModal<TplayListDlg>(this, [&](TplayListDlg& dialog) {
            // The dialog opens where the last one was left.
            QCOMPARE(dialog.directoryList().directory(), home->filePath(QStringLiteral("MID/sub")));
            dialog.button(TButton::removeAll).click();
            dialog.button(TButton::addAll).click();
            dialog.button(TButton::ok).click();
        });
        runPlaylistDialog(nullptr, *form, shell);
        QCOMPARE(form->playList.entries.size(), 1U);
        QCOMPARE(form->playList.entries[0].fileName, path(QStringLiteral("MID/sub/e.mid")));
        QVERIFY(form->playList.modified);
        QCOMPARE(form->count, 1);
    }

    void dialogsOpenAtTheirSavedPositionAndStoreItOnClose() {
        QVERIFY(!QFile::exists(QString::fromStdString(form->iniFile)));
        const auto drumDialogOpensCentred = [this] {
            app::TDrumTable table = app::defaultDrumTable();
            app::TDrumDialogModel model(table, shell);
            TdrumDlg dialog(nullptr, model, form->iniFile);
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            QVERIFY((dialog.frameGeometry().center() - screen.center()).manhattanLength() <= 2);
            dialog.move(33, 44);
            dialog.reject();
        };
        drumDialogOpensCentred(); // without a settings file
        QCOMPARE(app::readDialogPosition(form->iniFile, "DrumsTop", "DrumsLeft")->top, 44);

        writePositions(QStringLiteral("listTop=120\nlistLeft=140\nOptionsTop=60\n"
                                      "OptionsLeft=70\n"));
        whenModal<TplayListDlg>(this, [](TplayListDlg& dialog) {
            QCOMPARE(dialog.pos(), QPoint(140, 120));
            dialog.move(150, 130);
            dialog.button(TButton::cancel).click();
        });
        runPlaylistDialog(nullptr, *form, shell);
        const auto list = app::readDialogPosition(form->iniFile, "listTop", "listLeft");
        QVERIFY(list.has_value());
        QCOMPARE(list->top, 130);
        QCOMPARE(list->left, 150);

        app::TOptionsDialogModel model(form->options, shell);
        ToptionsForm options(nullptr, model, device, form->iniFile);
        QCOMPARE(options.pos(), QPoint(70, 60));
        options.move(80, 90);
        options.reject();
        const auto stored = app::readDialogPosition(form->iniFile, "OptionsTop", "OptionsLeft");
        QCOMPARE(stored->top, 90);
        QCOMPARE(stored->left, 80);

        // A position on no screen (one that has been unplugged) would put the dialog out of reach.
        QVERIFY(app::writeDialogPosition(form->iniFile, "DrumsTop", "DrumsLeft", {-5000, -5000}));
        drumDialogOpensCentred();
    }

    void optionsCancelKeepsDirectoriesButConfirmedDrumChangesStay() {
        const std::string oldPatches = form->options.patchDirectory;
        const std::string newPatches = path(QStringLiteral("NewPRG"));
        whenModal<ToptionsForm>(this, [&](ToptionsForm& options) {
            QCOMPARE(options.windowTitle(), QStringLiteral("Options"));
            QCOMPARE(options.button(TOptionsControl::prgBtn).toolTip(),
                     QStringLiteral("PRG (instrument patch) directory"));
            whenModal<TdirectoryChooser>(this, [&](TdirectoryChooser& chooser) {
                QCOMPARE(chooser.windowTitle(), QStringLiteral("Patch (PRG) directory"));
                QCOMPARE(chooser.editLine().text(), QString::fromStdString(oldPatches));
                chooser.editLine().setText(QString::fromStdString(newPatches));
                chooser.editCheck();
                QCOMPARE(chooser.directoryList().directory(), QString::fromStdString(newPatches));
                chooser.okButton().click();
            });
            options.button(TOptionsControl::prgBtn).click();
            whenModal<TdrumDlg>(this, [](TdrumDlg& drums) {
                drums.addButton().click();
                drums.okButton().click();
            });
            options.button(TOptionsControl::drumBtn).click();
            options.button(TOptionsControl::legacyBtn).click();
            options.cancelButton().click();
        });
        runOptionsDialog(nullptr, *form, shell, device);
        QCOMPARE(form->options.patchDirectory, oldPatches);
        QVERIFY(!form->options.legacyMode);
        QCOMPARE(form->options.drumTable->size(), 3U);
        QVERIFY(shell.questions.empty());
        const auto chooser = app::readDialogPosition(form->iniFile, "PRGdirTop", "PRGdirLeft");
        QVERIFY(chooser.has_value());
        QVERIFY(app::readDialogPosition(form->iniFile, "DrumsTop", "DrumsLeft").has_value());
    }

    void optionsOkTakesDirectoriesDeviceAndToggles() {
        whenModal<ToptionsForm>(this, [&](ToptionsForm& options) {
            whenModal<TdirectoryChooser>(this, [&](TdirectoryChooser& chooser) {
                // A directory that does not exist, and the user declines to create it.
                chooser.editLine().setText(QString::fromStdString(path(QStringLiteral("none"))));
                chooser.okButton().click();
            });
            options.button(TOptionsControl::wavBtn).click();
            whenModal<TdeviceDlg>(this, [](TdeviceDlg& devices) {
                QCOMPARE(devices.windowTitle(), QStringLiteral("waveOut device"));
                QCOMPARE(devices.deviceList().count(), 1);
                QCOMPARE(devices.deviceList().item(0)->text(), QStringLiteral("Null output"));
                QTest::keyClick(&devices, Qt::Key_F1); // help of the options
                devices.okButton().click();
            });
            options.button(TOptionsControl::waveOutBtn).click();
            options.button(TOptionsControl::legacyBtn).click();
            options.button(TOptionsControl::helpBtn).click();
            options.activateWindow(); // the offscreen platform leaves it to the test
            QVERIFY(QTest::qWaitForWindowActive(&options));
            QTest::keyClick(&options, Qt::Key_F1);
            options.okButton().click();
        });
        const std::string oldSamples = form->options.sampleDirectory;
        runOptionsDialog(nullptr, *form, shell, device);
        QCOMPARE(shell.questions, std::vector<std::string>{"Directory doesn't exist. Create?"});
        QCOMPARE(form->options.sampleDirectory, oldSamples);
        QCOMPARE(form->options.waveOutDevice, 0);
        QVERIFY(form->options.legacyMode);
        QCOMPARE(shell.helpContexts, std::vector<int>(3, app::helpOptions));
    }

    // The chosen SoundFont is imported after OK, with a progress dialog that leaves the player
    // usable; its set becomes the patch and sample directories.
    void optionsInstrumentsImportTheChosenFont() {
        QTemporaryDir data;
        ::setenv("XDG_DATA_HOME", data.path().toUtf8().constData(), 1);
        const QString font = QStringLiteral(ZB_TEST_DATA_DIR "/soundfonts/basic.sf2");
        whenModal<ToptionsForm>(this, [&](ToptionsForm& options) {
            QComboBox& box = options.instrumentsBox();
            QCOMPARE(box.itemText(0), QStringLiteral("Keep the current instruments"));
            QCOMPARE(box.itemText(box.count() - 1), QStringLiteral("Other..."));
            box.insertItem(1, QStringLiteral("basic.sf2"), font);
            box.setCurrentIndex(1);
            emit box.activated(1);
            options.okButton().click();
        });
        runOptionsDialog(nullptr, *form, shell, device);
        QVERIFY(form->instrumentImport != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(form->instrumentImport == nullptr, 20000);
        QCOMPARE(form->options.patchDirectory,
                 data.path().toStdString() + "/zorbel/instruments/basic/PRG");
        QVERIFY(QFile::exists(data.path() + QStringLiteral("/zorbel/instruments/basic/PRG/0.PRG")));
        ::unsetenv("XDG_DATA_HOME");
    }
};

} // namespace zb::ui::test

QTEST_MAIN(zb::ui::test::TDialogsTest)
#include "dialogs_test.moc"
