// One player at a time: the hand-over of a second start's arguments over a local socket.
#include "app/qt/single_instance.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <vector>

using zb::ui::TSingleInstance;
using TArguments = std::vector<std::string>;

class TSingleInstanceTest final : public QObject {
    Q_OBJECT

private slots:
    void aSecondStartHandsItsArgumentsToTheFirst() {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("zorbel.socket"));
        QVERIFY(!TSingleInstance::handOver(name, {"/a.mid"})); // nobody listens yet
        TSingleInstance first;
        std::vector<TArguments> received;
        QVERIFY(first.listen(name, [&received](const TArguments& a) { received.push_back(a); }));
        QVERIFY(TSingleInstance::handOver(name, {"/songs/a b.mid", "/x/\xc3\xa9.wav"}));
        QVERIFY(TSingleInstance::handOver(name, {}));
        QTRY_COMPARE(received.size(), std::size_t{2});
        QCOMPARE(received[0], (TArguments{"/songs/a b.mid", "/x/\xc3\xa9.wav"}));
        QCOMPARE(received[1], TArguments{});
        // A third start does not take over while the first listens.
        TSingleInstance third;
        QVERIFY(!third.listen(name, [](const TArguments&) {}));
    }

    void aSocketLeftByACrashedPlayerIsReplaced() {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("zorbel.socket"));
        QFile stale(name);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        TSingleInstance player;
        TArguments received;
        QVERIFY(player.listen(name, [&received](const TArguments& a) { received = a; }));
        QVERIFY(TSingleInstance::handOver(name, {"/b.mid"}));
        QTRY_COMPARE(received, TArguments{"/b.mid"});
    }
};

QTEST_MAIN(TSingleInstanceTest)
#include "single_instance_test.moc"
