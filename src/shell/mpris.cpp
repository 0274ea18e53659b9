#include "shell/mpris.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdlib>

namespace kv::shell {
namespace {

constexpr char kNoTrack[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
  public:
    explicit RootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), s_(service) {}
    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("Kavetto"); }
    QString DesktopEntry() const { return QStringLiteral("kavetto"); }
    QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList SupportedMimeTypes() const {
        // The kinds the desktop file announces that the player decodes itself or through libmpv.
        return {QStringLiteral("audio/mpeg"),
                QStringLiteral("audio/mp2"),
                QStringLiteral("audio/x-wav"),
                QStringLiteral("audio/midi"),
                QStringLiteral("audio/x-ms-wma"),
                QStringLiteral("audio/x-aiff"),
                QStringLiteral("audio/basic"),
                QStringLiteral("video/mpeg"),
                QStringLiteral("video/x-msvideo"),
                QStringLiteral("video/x-ms-wmv"),
                QStringLiteral("video/x-ms-asf"),
                QStringLiteral("application/vnd.rn-realmedia"),
                QStringLiteral("audio/vnd.rn-realaudio"),
                QStringLiteral("audio/flac"),
                QStringLiteral("audio/x-flac"),
                QStringLiteral("audio/ogg"),
                QStringLiteral("audio/x-vorbis+ogg"),
                QStringLiteral("audio/opus"),
                QStringLiteral("audio/x-opus+ogg"),
                QStringLiteral("audio/mp4"),
                QStringLiteral("audio/x-m4a"),
                QStringLiteral("audio/aac"),
                QStringLiteral("audio/x-wavpack"),
                QStringLiteral("audio/x-ape"),
                QStringLiteral("audio/x-tta"),
                QStringLiteral("audio/aiff")};
    }
  public slots:
    void Raise() { s_->Host().Raise(); }
    void Quit() { s_->Host().Quit(); }

  private:
    MprisService* s_;
};

class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
    Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
    Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
  public:
    explicit PlayerAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), s_(service) {
        connect(service, &MprisService::Seeked, this, &PlayerAdaptor::Seeked);
    }
    QString PlaybackStatus() const { return s_->Host().PlaybackStatus(); }
    double Rate() const { return 1.0; } // the player has one speed
    void SetRate(double) {}
    QVariantMap Metadata() const { return s_->Metadata(); }
    double Volume() const { return s_->Host().Volume(); }
    void SetVolume(double v) { s_->Host().SetVolume(std::clamp(v, 0.0, 1.0)); }
    qlonglong Position() const { return s_->Host().PositionUs(); }
    bool CanGoNext() const { return s_->Host().CanGoNext(); }
    bool CanGoPrevious() const { return s_->Host().CanGoPrevious(); }
    bool CanPlay() const { return s_->Host().CanPlay(); }
    bool CanPause() const { return s_->Host().CanPause(); }
    bool CanSeek() const { return s_->Host().CanSeek(); }
    bool CanControl() const { return true; }
    QString LoopStatus() const { return s_->Host().LoopStatus(); }
    void SetLoopStatus(const QString& status) { s_->Host().SetLoopStatus(status); }
    bool Shuffle() const { return s_->Host().Shuffle(); }
    void SetShuffle(bool on) { s_->Host().SetShuffle(on); }
  public slots:
    void Next() { s_->Host().Next(); }
    void Previous() { s_->Host().Previous(); }
    void Pause() { s_->Host().Pause(); }
    void PlayPause() { s_->Host().PlayPause(); }
    void Stop() { s_->Host().Stop(); }
    void Play() { s_->Host().Play(); }
    void Seek(qlonglong offset) { s_->Seek(offset); }
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
        s_->SetPosition(trackId.path(), position);
    }
    void OpenUri(const QString& uri) { s_->OpenUri(uri); }
  signals:
    void Seeked(qlonglong Position);

  private:
    MprisService* s_;
};

} // namespace

MprisService::MprisService(MprisHost& host, QDBusConnection bus, QObject* parent)
    : QObject(parent), host_(host), bus_(std::move(bus)) {
    new RootAdaptor(this);
    new PlayerAdaptor(this);
    if (!bus_.isConnected()) return;
    // A second player on the same bus (another user session sharing it, a test) takes a name
    // of its own, as the interface allows.
    serviceName_ = QString::fromLatin1(kMprisServiceName);
    if (!bus_.registerService(serviceName_)) {
        serviceName_ += QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (!bus_.registerService(serviceName_)) return;
    }
    if (!bus_.registerObject(QString::fromLatin1(kMprisPath), this, QDBusConnection::ExportAdaptors)) {
        bus_.unregisterService(serviceName_);
        return;
    }
    registered_ = true;
    last_ = Take();
    poll_ = new QTimer(this);
    poll_->setInterval(250);
    connect(poll_, &QTimer::timeout, this, &MprisService::Poll);
    poll_->start();
}

MprisService::~MprisService() {
    if (!registered_) return;
    bus_.unregisterObject(QString::fromLatin1(kMprisPath));
    bus_.unregisterService(serviceName_);
}

QString MprisService::TrackId() const {
    if (last_.track.path.isEmpty()) return QString::fromLatin1(kNoTrack);
    return QStringLiteral("/org/kavetto/track/%1").arg(trackNumber_);
}

QVariantMap MprisService::Metadata() {
    const MprisTrack t = host_.Track();
    if (t != last_.track) Poll(); // a new track gets its id before anyone reads it
    QVariantMap m;
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TrackId())));
    if (t.path.isEmpty()) return m;
    if (t.lengthUs > 0) m.insert(QStringLiteral("mpris:length"), qlonglong(t.lengthUs));
    m.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(t.path).toString(QUrl::FullyEncoded));
    if (!t.title.isEmpty()) m.insert(QStringLiteral("xesam:title"), t.title);
    if (!t.artist.isEmpty()) m.insert(QStringLiteral("xesam:artist"), QStringList{t.artist});
    if (!t.album.isEmpty()) m.insert(QStringLiteral("xesam:album"), t.album);
    return m;
}

void MprisService::Seek(qint64 offsetUs) {
    if (!host_.CanSeek()) return;
    const qint64 target = std::max<qint64>(0, host_.PositionUs() + offsetUs);
    const qint64 length = host_.Track().lengthUs;
    if (length > 0 && target > length) {
        host_.Next();
        return;
    }
    host_.SetPositionUs(target);
    AnnounceSeek();
}

void MprisService::SetPosition(const QString& trackId, qint64 positionUs) {
    if (!host_.CanSeek() || trackId != TrackId() || positionUs < 0) return;
    const qint64 length = host_.Track().lengthUs;
    if (length > 0 && positionUs > length) return;
    host_.SetPositionUs(positionUs);
    AnnounceSeek();
}

void MprisService::AnnounceSeek() {
    lastPositionUs_ = host_.PositionUs();
    sinceLastPosition_.start();
    emit Seeked(lastPositionUs_);
}

void MprisService::OpenUri(const QString& uri) {
    const QUrl url(uri);
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.scheme().isEmpty() ? uri : QString();
    if (!path.isEmpty()) host_.OpenFile(path);
}

MprisService::Snapshot MprisService::Take() {
    Snapshot s;
    s.status = host_.PlaybackStatus();
    s.track = host_.Track();
    s.volume = host_.Volume();
    s.canGoNext = host_.CanGoNext();
    s.canGoPrevious = host_.CanGoPrevious();
    s.canPlay = host_.CanPlay();
    s.canPause = host_.CanPause();
    s.canSeek = host_.CanSeek();
    s.loopStatus = host_.LoopStatus();
    s.shuffle = host_.Shuffle();
    return s;
}

void MprisService::Poll() {
    const Snapshot now = Take();
    const Snapshot before = last_;
    if (now.track != before.track && !now.track.path.isEmpty()) ++trackNumber_;
    last_ = now;
    const qint64 position = host_.PositionUs();
    if (now.track == before.track && now.status == u"Playing" && before.status == u"Playing" &&
        sinceLastPosition_.isValid()) {
        const qint64 expected = lastPositionUs_ + sinceLastPosition_.elapsed() * 1000;
        if (std::abs(position - expected) > 1'000'000) emit Seeked(position);
    }
    lastPositionUs_ = position;
    sinceLastPosition_.start();
    QVariantMap changed;
    if (now.status != before.status) changed.insert(QStringLiteral("PlaybackStatus"), now.status);
    if (now.track != before.track) changed.insert(QStringLiteral("Metadata"), Metadata());
    if (now.volume != before.volume) changed.insert(QStringLiteral("Volume"), now.volume);
    auto flag = [&changed](const char* name, bool value, bool was) {
        if (value != was) changed.insert(QString::fromLatin1(name), value);
    };
    flag("CanGoNext", now.canGoNext, before.canGoNext);
    flag("CanGoPrevious", now.canGoPrevious, before.canGoPrevious);
    flag("CanPlay", now.canPlay, before.canPlay);
    flag("CanPause", now.canPause, before.canPause);
    flag("CanSeek", now.canSeek, before.canSeek);
    flag("Shuffle", now.shuffle, before.shuffle);
    if (now.loopStatus != before.loopStatus) changed.insert(QStringLiteral("LoopStatus"), now.loopStatus);
    if (!changed.isEmpty()) Announce(changed);
}

void MprisService::Announce(const QVariantMap& changed) {
    if (!registered_) return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kMprisPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kMprisPlayerInterface) << changed << QStringList();
    bus_.send(signal);
}

} // namespace kv::shell

#include "mpris.moc"
