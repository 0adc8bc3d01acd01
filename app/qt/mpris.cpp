#include "app/qt/mpris.h"

#include "app/main_display.h"
#include "app/main_form.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QUrl>

#include <utility>

namespace zb::ui {

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr int kPollMs = 200;

} // namespace

TMpris::TMpris(app::TmainForm& form, std::function<void()> raise, std::function<void()> quit)
    : controls(form), raise(std::move(raise)), quit(std::move(quit)), shown(controls.state()) {
    new TMprisRoot(this);
    new TMprisPlayer(this);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // A second player (--new-instance) takes a name of its own, as the interface allows.
    const QString base = QStringLiteral("org.mpris.MediaPlayer2.zorbel");
    const QString instance =
        base + QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
    if (!bus.registerObject(kObjectPath, this))
        return;
    for (const QString& name : {base, instance}) {
        if (bus.registerService(name)) {
            service = name;
            break;
        }
    }
    if (service.isEmpty()) {
        bus.unregisterObject(kObjectPath);
        return;
    }
    poll.setInterval(kPollMs);
    connect(&poll, &QTimer::timeout, this, &TMpris::publishChanges);
    poll.start();
}

TMpris::~TMpris() {
    if (service.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(service);
    bus.unregisterObject(kObjectPath);
}

QString TMpris::playbackStatus(const app::TMediaState& state) {
    switch (state.status) {
    case app::TPlaybackStatus::playing:
        return QStringLiteral("Playing");
    case app::TPlaybackStatus::paused:
        return QStringLiteral("Paused");
    case app::TPlaybackStatus::stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

QVariantMap TMpris::metadata(const app::TMediaState& now) {
    QVariantMap map;
    if (now.entry == 0) {
        map.insert(QStringLiteral("mpris:trackid"),
                   QVariant::fromValue(QDBusObjectPath(
                       QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"))));
        return map;
    }
    map.insert(QStringLiteral("mpris:trackid"),
               QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/example/zorbel/entry/") +
                                                   QString::number(now.entry))));
    map.insert(QStringLiteral("xesam:title"), QString::fromStdString(now.title));
    map.insert(QStringLiteral("xesam:url"),
               QUrl::fromLocalFile(QString::fromStdString(now.path)).toString(QUrl::FullyEncoded));
    if (now.lengthUs > 0)
        map.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(now.lengthUs));
    return map;
}

void TMpris::publishChanges() {
    const app::TMediaState now = controls.state();
    if (now == shown)
        return;
    QVariantMap changed;
    if (now.status != shown.status)
        changed.insert(QStringLiteral("PlaybackStatus"), playbackStatus(now));
    if (now.entry != shown.entry || now.path != shown.path || now.lengthUs != shown.lengthUs)
        changed.insert(QStringLiteral("Metadata"), metadata(now));
    if (now.canGoNext != shown.canGoNext)
        changed.insert(QStringLiteral("CanGoNext"), now.canGoNext);
    if (now.canGoPrevious != shown.canGoPrevious)
        changed.insert(QStringLiteral("CanGoPrevious"), now.canGoPrevious);
    if (now.canPlay() != shown.canPlay()) {
        changed.insert(QStringLiteral("CanPlay"), now.canPlay());
        changed.insert(QStringLiteral("CanPause"), now.canPlay());
    }
    shown = now;
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

TMprisRoot::TMprisRoot(TMpris* owner) : QDBusAbstractAdaptor(owner), owner(owner) {}

QString TMprisRoot::identity() const {
    return QString::fromUtf8(app::kTitle);
}

QStringList TMprisRoot::mimeTypes() const {
    return {QStringLiteral("audio/midi"), QStringLiteral("audio/x-midi"),
            QStringLiteral("audio/x-wav")};
}

void TMprisRoot::Raise() {
    if (owner->raise)
        owner->raise();
}

void TMprisRoot::Quit() {
    if (owner->quit)
        owner->quit();
}

TMprisPlayer::TMprisPlayer(TMpris* owner) : QDBusAbstractAdaptor(owner), owner(owner) {}

// A command's effect is signalled at once rather than at the next look.
void TMprisPlayer::done() {
    owner->publishChanges();
}

void TMprisPlayer::Play() {
    owner->controls.play();
    done();
}

void TMprisPlayer::Pause() {
    owner->controls.pause();
    done();
}

void TMprisPlayer::PlayPause() {
    owner->controls.playPause();
    done();
}

void TMprisPlayer::Stop() {
    owner->controls.stop();
    done();
}

void TMprisPlayer::Next() {
    owner->controls.next();
    done();
}

void TMprisPlayer::Previous() {
    owner->controls.previous();
    done();
}

void TMprisPlayer::OpenUri(const QString& uri) {
    const QUrl url(uri);
    if (!url.isLocalFile())
        return;
    owner->controls.open(QFile::encodeName(url.toLocalFile()).toStdString());
    done();
}

} // namespace zb::ui
