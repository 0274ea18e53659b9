// MPRIS2 (org.mpris.MediaPlayer2 and its .Player interface) on a D-Bus connection, so desktop
// media keys, panels and `playerctl` control the player. Calls and property reads go to an
// MprisHost; the main window's host runs them through the same operations as its menus.
// Threads: Qt D-Bus delivers calls to the UI thread, where everything here runs.
#pragma once
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QTimer;

namespace kv::shell {

class FormMain;

struct MprisTrack {
    QString path; // "" when nothing is loaded
    QString title;
    QString artist;
    QString album;
    qint64 lengthUs = 0;
    bool operator==(const MprisTrack&) const = default;
};

class MprisHost {
  public:
    virtual ~MprisHost() = default;
    virtual QString PlaybackStatus() = 0; // "Playing", "Paused" or "Stopped"
    virtual MprisTrack Track() = 0;
    virtual qint64 PositionUs() = 0;
    virtual double Volume() = 0; // 0..1
    virtual void SetVolume(double volume) = 0;
    virtual bool CanGoNext() = 0;
    virtual bool CanGoPrevious() = 0;
    virtual bool CanPlay() = 0;
    virtual bool CanPause() = 0;
    virtual bool CanSeek() = 0;
    // The play modes as the interface names them: continuous is "Playlist", random is Shuffle
    // (and loops the list too), single play is "None". There is no repeat of one track.
    virtual QString LoopStatus() = 0;
    virtual void SetLoopStatus(const QString& status) = 0;
    virtual bool Shuffle() = 0;
    virtual void SetShuffle(bool on) = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void PlayPause() = 0;
    virtual void Stop() = 0;
    virtual void Next() = 0;
    virtual void Previous() = 0;
    virtual void SetPositionUs(qint64 position) = 0;
    virtual void OpenFile(const QString& path) = 0;
    virtual void Raise() = 0;
    virtual void Quit() = 0;
};

inline constexpr char kMprisPath[] = "/org/mpris/MediaPlayer2";
inline constexpr char kMprisServiceName[] = "org.mpris.MediaPlayer2.kavetto";
inline constexpr char kMprisPlayerInterface[] = "org.mpris.MediaPlayer2.Player";
inline constexpr char kMprisRootInterface[] = "org.mpris.MediaPlayer2";

// The object at /org/mpris/MediaPlayer2 with both interfaces. It watches the host a few times a
// second and sends PropertiesChanged for what changed: the player changes state from many places
// (menus, track ends, the sleep timer) and none of them need to know about D-Bus.
class MprisService : public QObject {
    Q_OBJECT
  public:
    MprisService(MprisHost& host, QDBusConnection bus, QObject* parent = nullptr);
    ~MprisService() override;
    // The bus name was taken and the object registered.
    bool Registered() const { return registered_; }
    QString ServiceName() const { return serviceName_; }

    MprisHost& Host() { return host_; }
    QVariantMap Metadata();
    QString TrackId() const;
    // Relative and absolute seeks, by the rules of the interface: outside the track does nothing
    // (absolute) or ends it (relative, forward); a stale track id is ignored.
    void Seek(qint64 offsetUs);
    void SetPosition(const QString& trackId, qint64 positionUs);
    void OpenUri(const QString& uri);
    // Compares with what was last announced and sends PropertiesChanged for the differences.
    void Poll();

  signals:
    void Seeked(qlonglong positionUs);

  private:
    struct Snapshot {
        QString status;
        MprisTrack track;
        double volume = -1;
        QString loopStatus;
        bool shuffle = false;
        bool canGoNext = false, canGoPrevious = false, canPlay = false, canPause = false, canSeek = false;
    };
    Snapshot Take();
    void AnnounceSeek();
    void Announce(const QVariantMap& changed);

    MprisHost& host_;
    QDBusConnection bus_;
    QTimer* poll_ = nullptr;
    Snapshot last_;
    // Where play should be by now if nothing jumped: a position off by more than a second was a
    // seek made in the window (position bar, marks) and is announced as one.
    qint64 lastPositionUs_ = 0;
    QElapsedTimer sinceLastPosition_;
    int trackNumber_ = 0;
    bool registered_ = false;
    QString serviceName_;
};

// MPRIS for the main window on the session bus. Without a session bus nothing happens and the
// program runs on. The service lives as long as the window.
MprisService* StartMpris(FormMain& window, QDBusConnection bus = QDBusConnection::sessionBus());

} // namespace kv::shell
