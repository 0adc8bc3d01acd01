#pragma once

#include "app/media_controls.h"

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <functional>

namespace zb::ui {

// The desktop's media controls and media keys: the player offers the MPRIS 2 interfaces on the
// session bus. Commands go to the player's own handlers (TMediaControls); what it shows is
// polled a few times a second and every change is signalled, since the player changes state by
// itself too (a song ends, the next one starts).
class TMpris final : public QObject {
    Q_OBJECT
public:
    TMpris(app::TmainForm& form, std::function<void()> raise, std::function<void()> quit);
    ~TMpris() override;
    TMpris(const TMpris&) = delete;
    TMpris& operator=(const TMpris&) = delete;

    // The bus name taken; empty without a session bus.
    QString serviceName() const { return service; }

    app::TMediaControls controls;
    std::function<void()> raise;
    std::function<void()> quit;

    // The properties of a state, as the interface spells them.
    static QVariantMap metadata(const app::TMediaState& state);
    static QString playbackStatus(const app::TMediaState& state);
    app::TMediaState state() const { return controls.state(); }

    // Signals what changed since the last look.
    void publishChanges();

private:
    QString service;
    app::TMediaState shown;
    QTimer poll;
};

// org.mpris.MediaPlayer2: the application.
class TMprisRoot final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ uriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ mimeTypes)
public:
    explicit TMprisRoot(TMpris* owner);
    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const;
    QString desktopEntry() const { return QStringLiteral("zorbel"); }
    QStringList uriSchemes() const { return {QStringLiteral("file")}; }
    QStringList mimeTypes() const;

public slots:
    void Raise();
    void Quit();

private:
    TMpris* owner;
};

// org.mpris.MediaPlayer2.Player: transport, status and the song.
class TMprisPlayer final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ one)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPlay)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)
public:
    explicit TMprisPlayer(TMpris* owner);
    QString playbackStatus() const { return TMpris::playbackStatus(owner->state()); }
    double one() const { return 1.0; }
    QVariantMap metadata() const { return TMpris::metadata(owner->state()); }
    double volume() const { return owner->controls.volume(); }
    qlonglong position() const { return owner->controls.positionUs(); }
    bool canGoNext() const { return owner->state().canGoNext; }
    bool canGoPrevious() const { return owner->state().canGoPrevious; }
    bool canPlay() const { return owner->state().canPlay(); }
    bool yes() const { return true; }
    bool no() const { return false; }

public slots:
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    // The player cannot seek to a position; a file opened by URL goes to the head of the
    // playlist and plays, as one handed over by a second start does.
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString& uri);

private:
    void done();
    TMpris* owner;
};

} // namespace zb::ui
