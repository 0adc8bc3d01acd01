// The Qt shell: file dialog filters, the random generator, the wait cursor and the help window.
#include "app/qt/help_window.h"
#include "app/qt/qt_shell.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using zb::ui::QtShell;

class TQtShellTest final : public QObject {
    Q_OBJECT

private slots:
    void filtersTakeTheirPatternsInEveryCase() {
        QCOMPARE(QtShell::nameFilters("ZbL files (ZbL.*)|*.ZbL"),
                 QStringList{QStringLiteral("ZbL files (*.ZbL *.zbl *.ZBL)")});
        QCOMPARE(QtShell::nameFilters("WAV files (*.WAV)|*.WAV|All files (*.*)|*.*"),
                 (QStringList{QStringLiteral("WAV files (*.WAV *.wav)"),
                              QStringLiteral("All files (*)")}));
        QCOMPARE(QtShell::nameFilters("Songs|*.mid;*.wav"),
                 QStringList{QStringLiteral("Songs (*.mid *.MID *.wav *.WAV)")});
        QVERIFY(QtShell::nameFilters("").isEmpty());
    }

    void randomStaysInItsRange() {
        QtShell shell;
        shell.randomize();
        QCOMPARE(shell.random(0), 0);
        QCOMPARE(shell.random(1), 0);
        QSet<int> drawn;
        for (int i = 0; i < 200; ++i) {
            const int value = shell.random(3);
            QVERIFY(value >= 0 && value < 3);
            drawn << value;
        }
        QCOMPARE(drawn.size(), 3);
    }

    void hourglassIsSetOnceAndRestored() {
        QtShell shell;
        shell.setHourglass(true);
        shell.setHourglass(true);
        QVERIFY(QApplication::overrideCursor() != nullptr);
        shell.setHourglass(false);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void helpOpensAtItsContextAndQuits() {
        QtShell shell;
        shell.help(zb::app::helpMainWindow);
        QVERIFY(shell.helpWindow() != nullptr);
        QVERIFY(shell.helpWindow()->isVisible());
        QCOMPARE(shell.helpWindow()->source(), QUrl(QStringLiteral("qrc:/help/main_window.html")));
        QVERIFY(shell.helpWindow()->toPlainText().contains(QStringLiteral("Skip back")));
        shell.help(zb::app::helpDrumTracks);
        QCOMPARE(shell.helpWindow()->documentTitle(), QStringLiteral("Drum tracks"));
        shell.help(zb::app::helpOptions);
        QCOMPARE(shell.helpWindow()->documentTitle(), QStringLiteral("Options"));
        shell.help(zb::app::helpPlaylists);
        QCOMPARE(shell.helpWindow()->documentTitle(), QStringLiteral("Playlists"));
        shell.help(zb::app::helpContents);
        QVERIFY(shell.helpWindow()->toPlainText().contains(QStringLiteral("Contents")));
        shell.helpQuit();
        QVERIFY(shell.helpWindow() == nullptr);
    }

    void everyLinkOfTheHelpPagesLeadsToAPage() {
        zb::ui::THelpWindow help; // registers the pages
        const QStringList pages =
            QDir(QStringLiteral(":/help")).entryList({QStringLiteral("*.html")});
        QVERIFY(pages.size() >= 8);
        const QRegularExpression link(QStringLiteral("href=\"([^\"#:]+)"));
        for (const QString& page : pages) {
            QFile file(QStringLiteral(":/help/") + page);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            QVERIFY2(text.contains(QStringLiteral("<title>")), qPrintable(page));
            for (const auto& match : link.globalMatch(text))
                QVERIFY2(QFile::exists(QStringLiteral(":/help/") + match.captured(1)),
                         qPrintable(page + QStringLiteral(": ") + match.captured(1)));
        }
    }
};

QTEST_MAIN(TQtShellTest)
#include "qt_shell_test.moc"
