// MPRIS2 on a private session bus, called from a Qt D-Bus client as a desktop panel would.
#include "display/progress_bar.h"
#include "engine/vbmp3.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "playback/sound_play.h"
#include "playlists/track_list.h"
#include "shell/form_main.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tools.h"
#include "shell/main_tree.h"
#include "shell/mpris.h"
#include "support/audio_files.h"

#include <QAction>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/prctl.h>

using namespace kv::shell;
using kv::playlists::TrackEntry;

namespace {

// Collects the PropertiesChanged signals of the player interface.
class ChangeListener : public QObject {
    Q_OBJECT
  public:
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;
  public slots:
    void Seeked(qlonglong position) { seeks << position; }
    void Changed(const QString& interface, const QVariantMap& changed, const QStringList&) {
        if (interface == QLatin1String(kMprisPlayerInterface)) changes << changed;
    }
};

QVariantMap ToMap(const QVariant& v) {
    if (v.canConvert<QDBusArgument>()) return qdbus_cast<QVariantMap>(v.value<QDBusArgument>());
    return v.toMap();
}

class Mpris : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        daemon = new QProcess;
        // The bus goes with this test process even when the process is killed or aborts.
        daemon->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        daemon->start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                      QStringLiteral("--print-address=1")});
        if (daemon->waitForStarted(5000) && daemon->waitForReadyRead(5000))
            address = QString::fromUtf8(daemon->readLine()).trimmed();
    }
    static void TearDownTestSuite() {
        QDBusConnection::disconnectFromBus(QStringLiteral("kv-mpris-client"));
        daemon->kill();
        daemon->waitForFinished(5000);
        delete daemon;
        daemon = nullptr;
    }

    void SetUp() override {
        ASSERT_FALSE(address.isEmpty()) << "no dbus-daemon";
        kv::platform::SetProgramFolder(QString::fromStdString(folder.path()));
        kv::platform::SetMessageHandler(
            [](const kv::platform::MessageRequest&) { return kv::platform::MsgAnswer::Ok; });
        window = std::make_unique<FormMain>();
        window->InitializeMainWindow(QString(), {});
        QVector<TrackEntry> rows;
        for (const char* name : {"a.wav", "b.wav", "c.mp3"}) {
            TrackEntry row;
            row[kv::playlists::ColFile] = name;
            const std::string path = media.file(name);
            row[kv::playlists::ColPath] = QString::fromStdString(
                name[2] == 'w' ? kvtest::MakeWave(path, 3, 22050, 1) : kvtest::MakeMp3(path, 2, 22050, 1));
            row[kv::playlists::ColKind] = QString::fromLatin1(name + 2);
            rows.push_back(row);
        }
        VBMP3_TAG_INFO tag{};
        std::strcpy(tag.title, "Song C");
        std::strcpy(tag.artist, "Singer");
        std::strcpy(tag.album, "Album C");
        tag.genre = 255;
        ASSERT_TRUE(vbmp3_setTagInfo(media.file("c.mp3").c_str(), &tag, 1, 0));
        rows[2][kv::playlists::ColTitle] = "Song C";
        rows[2][kv::playlists::ColArtist] = "Singer";
        window->Lists().Tracks().ListView(1).AppendRows(rows);
        window->Lists().Tracks().State().ActiveView = 1;
        Select(1);

        const QString busName = QStringLiteral("kv-mpris-service-%1").arg(++serviceNumber);
        service = StartMpris(*window, QDBusConnection::connectToBus(address, busName));
        ASSERT_NE(service, nullptr);
        client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("kv-mpris-client")));
        ASSERT_TRUE(client->isConnected());
    }
    void TearDown() override {
        window->close();
        window.reset();
        kv::platform::SetMessageHandler({});
        kv::platform::SetProgramFolder(QString());
    }
    void Select(int row) {
        window->Lists().Tracks().ListView(1).SelectOnly({row - 1});
        window->Lists().Tracks().ListView(1).SetCurrentRow(row - 1);
    }

    // Calls wait in a local event loop: the service answers on this same thread.
    QDBusMessage Call(const QString& method, const QVariantList& args = {},
                      const char* interface = kMprisPlayerInterface) {
        QDBusMessage m = QDBusMessage::createMethodCall(
            service->ServiceName(), QString::fromLatin1(kMprisPath), QString::fromLatin1(interface), method);
        m.setArguments(args);
        return client->call(m, QDBus::BlockWithGui, 5000);
    }
    QVariant Get(const char* name, const char* interface = kMprisPlayerInterface) {
        const QDBusMessage reply =
            Call(QStringLiteral("Get"), {QString::fromLatin1(interface), QString::fromLatin1(name)},
                 "org.freedesktop.DBus.Properties");
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << name << " " << reply.errorMessage().toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QString Status() { return Get("PlaybackStatus").toString(); }
    QVariantMap Metadata() { return ToMap(Get("Metadata")); }

    static inline QProcess* daemon = nullptr;
    static inline QString address;
    static inline int serviceNumber = 0;
    kvtest::TempDir folder;
    kvtest::TempDir media;
    std::unique_ptr<FormMain> window;
    MprisService* service = nullptr;
    std::unique_ptr<QDBusConnection> client;
};

TEST_F(Mpris, PlayPauseTogglesThroughThePlayCommands) {
    EXPECT_EQ(Status(), "Stopped");
    Select(2);
    Call("PlayPause"); // nothing loaded: the selected row starts, as with the play button
    EXPECT_EQ(QFileInfo(window->Player().Device()->FileName()).fileName(), "b.wav");
    EXPECT_EQ(Status(), "Playing");
    Call("PlayPause");
    EXPECT_EQ(Status(), "Paused");
    EXPECT_EQ(window->Player().Device()->CurrentState(), "Paused");
    Call("PlayPause");
    EXPECT_EQ(Status(), "Playing");
    Call("Pause");
    Call("Pause"); // pausing twice stays paused
    EXPECT_EQ(Status(), "Paused");
    Call("Play");
    EXPECT_EQ(Status(), "Playing");
    Call("Stop");
    EXPECT_EQ(Status(), "Stopped");
}

TEST_F(Mpris, NextFollowsThePlayMode) {
    struct Case {
        const char* mode;
        int from;
        int expected;
    };
    for (const Case c :
         {Case{"IDMContinuePlay", 1, 2}, Case{"IDMContinuePlay", 3, 1}, Case{"IDMRandomPlay", 2, 1}}) {
        window->Item(c.mode)->trigger();
        window->Player().Play()->SetRandomSource([] { return 0.0; }); // a random pick lands on the first row
        Select(c.from);
        window->Player().PlaySelected(); // as a double click on the row
        ASSERT_EQ(window->Player().Play()->PlayIndex, c.from);
        Call("Next");
        EXPECT_EQ(window->Player().Play()->PlayIndex, c.expected) << c.mode << " from " << c.from;
    }
    Select(2);
    window->Player().PlaySelected();
    Call("Previous");
    EXPECT_EQ(window->Player().Play()->PlayIndex, 1);
}

TEST_F(Mpris, MetadataDescribesTheTrackAndChangesWithIt) {
    EXPECT_EQ(Metadata().value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/mpris/MediaPlayer2/TrackList/NoTrack");
    Select(1);
    Call("Play");
    const QVariantMap first = Metadata();
    EXPECT_EQ(first.value("xesam:title").toString(), "a.wav");
    EXPECT_EQ(first.value("xesam:url").toString(),
              QUrl::fromLocalFile(QString::fromStdString(media.file("a.wav"))).toString());
    EXPECT_EQ(first.value("mpris:length").toLongLong(), 3'000'000);
    Select(3);
    window->Player().PlaySelected();
    const QVariantMap third = Metadata();
    EXPECT_EQ(third.value("xesam:title").toString(), "Song C");
    EXPECT_EQ(third.value("xesam:artist").toStringList(), QStringList{"Singer"});
    EXPECT_EQ(third.value("xesam:album").toString(), "Album C");
    EXPECT_EQ(third.value("mpris:length").toLongLong(), 2'000'000);
    EXPECT_NE(third.value("mpris:trackid").value<QDBusObjectPath>().path(),
              first.value("mpris:trackid").value<QDBusObjectPath>().path());
}

TEST_F(Mpris, PropertiesChangedAndSeekedArrive) {
    ChangeListener listener;
    ASSERT_TRUE(client->connect(service->ServiceName(), QString::fromLatin1(kMprisPath),
                                "org.freedesktop.DBus.Properties", "PropertiesChanged", &listener,
                                SLOT(Changed(QString, QVariantMap, QStringList))));
    Call("Play");
    auto seen = [&listener](const char* key) {
        for (const QVariantMap& m : listener.changes)
            if (m.contains(QLatin1String(key))) return true;
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(seen("PlaybackStatus") && seen("Metadata"), 5000);
    EXPECT_EQ(listener.changes.last().value("PlaybackStatus", "Playing").toString(), "Playing");
    listener.changes.clear();
    window->Item("IDMVolDown")->trigger(); // a change made in the window is announced too
    QTRY_VERIFY_WITH_TIMEOUT(seen("Volume"), 5000);

    ASSERT_TRUE(client->connect(service->ServiceName(), QString::fromLatin1(kMprisPath),
                                QString::fromLatin1(kMprisPlayerInterface), "Seeked", &listener,
                                SLOT(Seeked(qlonglong))));
    QTest::qWait(300);
    window->Player().Device()->SetCurrentPosition(2.0); // a jump made in the window is a seek
    QTRY_VERIFY_WITH_TIMEOUT(!listener.seeks.isEmpty(), 5000);
    EXPECT_GE(listener.seeks.last(), 1'900'000);
}

TEST_F(Mpris, VolumeAndPositionGoThroughTheBars) {
    QDBusMessage set = QDBusMessage::createMethodCall(service->ServiceName(), QString::fromLatin1(kMprisPath),
                                                      "org.freedesktop.DBus.Properties", "Set");
    set << QString::fromLatin1(kMprisPlayerInterface) << QStringLiteral("Volume")
        << QVariant::fromValue(QDBusVariant(0.5));
    ASSERT_EQ(client->call(set, QDBus::BlockWithGui, 5000).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(window->Player().CVolume().Value(), window->Player().CVolume().Max() / 2);
    EXPECT_NEAR(Get("Volume").toDouble(), 0.5, 0.01);

    Call("Play");
    const QString id = Metadata().value("mpris:trackid").value<QDBusObjectPath>().path();
    Call("SetPosition",
         {QVariant::fromValue(QDBusObjectPath("/org/kavetto/track/999")), qlonglong(2'000'000)});
    EXPECT_LT(Get("Position").toLongLong(), 1'500'000); // a stale track id is ignored
    Call("SetPosition", {QVariant::fromValue(QDBusObjectPath(id)), qlonglong(2'000'000)});
    EXPECT_GE(Get("Position").toLongLong(), 2'000'000);
    EXPECT_EQ(window->Player().CProgBar().Value(), 2);
    Call("Seek", {qlonglong(-5'000'000)}); // before the start: the start
    EXPECT_LT(Get("Position").toLongLong(), 500'000);
}

TEST_F(Mpris, LoopStatusAndShuffleAreThePlayModes) {
    auto set = [&](const char* name, const QVariant& value) {
        QDBusMessage m =
            QDBusMessage::createMethodCall(service->ServiceName(), QString::fromLatin1(kMprisPath),
                                           "org.freedesktop.DBus.Properties", "Set");
        m << QString::fromLatin1(kMprisPlayerInterface) << QString::fromLatin1(name)
          << QVariant::fromValue(QDBusVariant(value));
        client->call(m, QDBus::BlockWithGui, 5000);
    };
    struct Case {
        const char* property;
        QVariant value;
        const char* mode; // the checked play-menu item afterwards
        const char* loop;
        bool shuffle;
    };
    for (const Case& c : {Case{"Shuffle", true, "IDMRandomPlay", "Playlist", true},
                          Case{"LoopStatus", "Playlist", "IDMRandomPlay", "Playlist", true},
                          Case{"Shuffle", false, "IDMContinuePlay", "Playlist", false},
                          Case{"LoopStatus", "None", "IDMGeneralPlay", "None", false},
                          Case{"LoopStatus", "Track", "IDMGeneralPlay", "None", false},
                          Case{"LoopStatus", "Playlist", "IDMContinuePlay", "Playlist", false}}) {
        set(c.property, c.value);
        EXPECT_TRUE(window->Item(c.mode)->isChecked())
            << c.property << "=" << c.value.toString().toStdString();
        EXPECT_EQ(Get("LoopStatus").toString(), c.loop);
        EXPECT_EQ(Get("Shuffle").toBool(), c.shuffle);
    }
}

TEST_F(Mpris, RootInterfaceNamesThePlayer) {
    EXPECT_EQ(Get("Identity", kMprisRootInterface).toString(), "Kavetto");
    EXPECT_EQ(Get("DesktopEntry", kMprisRootInterface).toString(), "kavetto");
    EXPECT_TRUE(Get("CanQuit", kMprisRootInterface).toBool());
    EXPECT_FALSE(Get("HasTrackList", kMprisRootInterface).toBool());
    for (const char* name : {"CanControl", "CanPlay", "CanGoNext", "CanGoPrevious"})
        EXPECT_TRUE(Get(name).toBool()) << name;
    EXPECT_EQ(Get("Rate").toDouble(), 1.0);
    Call("Quit", {}, kMprisRootInterface);
    EXPECT_FALSE(window->isVisible());
}

TEST(MprisWithoutBus, StartsNothingAndTheWindowRunsOn) {
    FormMain window;
    EXPECT_EQ(StartMpris(window, QDBusConnection(QStringLiteral("no such connection"))), nullptr);
}

} // namespace

#include "mpris_test.moc"
