// Filling the playlist view with 5,000 dropped MP3 files (rows, information, icons and a shown
// view included) against TagLib's fast read of the same files in the same process. Goal: at
// most twice TagLib's time. Also times the folder view filled from a folder of the same files.
#include "playlists/track_list.h"
#include "playlists/track_view.h"
#include "support/audio_files.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <vector>

using namespace kv::playlists;

namespace {

struct BenchHost : TrackListHost {
    QString folder;
    int ListOfListCount() const override { return 1; }
    QString ListOfListText() const override { return QStringLiteral("bench"); }
    QString FolderTreePath() const override { return folder; }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double TimeTagLib(const QStringList& paths) {
    QElapsedTimer timer;
    timer.start();
    long total = 0;
    for (const QString& path : paths) {
        TagLib::FileRef file(QFile::encodeName(path).constData(), true, TagLib::AudioProperties::Fast);
        if (file.isNull()) continue;
        if (TagLib::Tag* tag = file.tag()) total += tag->title().size() + tag->artist().size();
        if (TagLib::AudioProperties* props = file.audioProperties()) total += props->lengthInSeconds();
    }
    if (total < 0) std::puts("");
    return timer.nsecsElapsed() / 1e9;
}

double TimeDrop(TrackList& list, const QStringList& paths) {
    list.ListView(1).Clear();
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    list.InsertDroppedFiles(paths, -1);
    QApplication::processEvents(); // the view lays out and paints the new rows
    return timer.nsecsElapsed() / 1e9;
}

double TimeFolder(TrackList& list) {
    list.ListView(0).Clear();
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    list.FillFolderView();
    QApplication::processEvents();
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = 5000;

    kvtest::TempDir dir;
    std::string first = kvtest::MakeMp3(dir.file("source.mp3"), 2.0, 44100, 2, 440.0, 128, true);
    QByteArray bytes;
    {
        QFile f(QString::fromStdString(first));
        f.open(QIODevice::ReadOnly);
        bytes = f.readAll();
        QFile::remove(QString::fromStdString(first));
    }
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        QString path =
            QString::fromStdString(dir.file("")) + QString("track%1.mp3").arg(i, 4, 10, QChar('0'));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        paths << path;
    }

    BenchHost host;
    host.folder = QString::fromStdString(dir.path());
    TrackList list(host);
    TrackView playlistView(list, 1);
    TrackView folderView(list, 0);
    playlistView.resize(900, 600);
    folderView.resize(900, 600);
    playlistView.show();
    folderView.show();
    TimeTagLib(paths); // warm the page cache and both readers
    TimeDrop(list, paths);

    std::vector<double> taglib, drop, folder;
    for (int run = 0; run < 5; ++run) {
        taglib.push_back(TimeTagLib(paths));
        drop.push_back(TimeDrop(list, paths));
        folder.push_back(TimeFolder(list));
    }
    const double t = Median(taglib), d = Median(drop), f = Median(folder);
    std::printf("files: %d (rows in playlist view: %d, folder view: %d)\n", count,
                int(list.ListView(1).Count()), int(list.ListView(0).Count()));
    std::printf("TagLib fast read:          %8.3f s\n", t);
    std::printf("drop on playlist view:     %8.3f s  ratio %.2f (goal <= 2)\n", d, d / t);
    std::printf("folder view fill:          %8.3f s  ratio %.2f\n", f, f / t);
    return 0;
}
