// The list repair's search: 1,000 broken rows whose files lie somewhere in a tree of 100,000
// files in 5,000 folders, against one `find` over the same tree in the same run (warm cache,
// medians of five interleaved runs). Goal: at most 1.5 times the `find`. Also shows what a
// walk per row (the old way) would cost, measured on a few rows.
#include "playlists/link_repair.h"
#include "playlists/track_list_model.h"
#include "support/audio_files.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kv::playlists;

namespace {

constexpr int kTop = 20, kMid = 10, kLeaf = 24; // 20 + 200 + 4,800 folders below the root
constexpr int kFiles = 100000;
constexpr int kBroken = 1000;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QStringList MakeTree(const QString& root) {
    QStringList folders;
    for (int t = 0; t < kTop; ++t) {
        const QString top = root + QString("/artist%1").arg(t);
        folders << top;
        for (int m = 0; m < kMid; ++m) {
            const QString mid = top + QString("/album%1").arg(m);
            folders << mid;
            for (int l = 0; l < kLeaf; ++l)
                folders << mid + QString("/disc%1").arg(l);
        }
    }
    for (const QString& folder : folders)
        QDir().mkpath(folder);
    for (int i = 0; i < kFiles; ++i) {
        QFile f(folders[i % folders.size()] + QString("/track%1.dat").arg(i));
        f.open(QIODevice::WriteOnly);
    }
    return folders;
}

struct QuietHost : RepairHost {};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kvtest::TempDir dir;
    const QString root = QString::fromStdString(dir.path()) + "/library";
    std::fprintf(stderr, "making the tree...\n");
    const QStringList folders = MakeTree(root);

    // The moved files: small WAVE files, so each found row reads real information.
    const std::string wave = kvtest::MakeWave(dir.file("proto.wav"), 0.05, 8000, 1);
    QRandomGenerator random(11);
    QVector<TrackEntry> broken;
    for (int i = 0; i < kBroken; ++i) {
        const QString name = QString("moved%1.wav").arg(i);
        QFile::copy(QString::fromStdString(wave), folders[int(random.bounded(folders.size()))] + "/" + name);
        TrackEntry row;
        row[ColFile] = name;
        row[ColKind] = kKindNothing;
        row[ColPath] = "/old/place/" + name;
        row.icon = kIconNothing;
        broken.push_back(row);
    }
    std::printf("tree: %lld folders, %d files, %d broken rows\n", (long long)folders.size() + 1,
                kFiles + kBroken, kBroken);

    auto timeFind = [&] {
        QElapsedTimer t;
        t.start();
        QProcess find;
        find.setStandardOutputFile(QProcess::nullDevice());
        find.start("find", {root});
        find.waitForFinished(-1);
        return t.nsecsElapsed() / 1e6;
    };
    QuietHost host;
    int found = 0;
    auto timeRepair = [&] {
        TrackListModel rows;
        rows.AppendRows(broken);
        QElapsedTimer t;
        t.start();
        LinkSearch search(rows, host);
        search.Run(
            root, [](const QString&) {}, [] { return false; });
        const double ms = t.nsecsElapsed() / 1e6;
        found = search.Rewritten;
        return ms;
    };

    timeFind();
    timeRepair(); // warm the cache for both
    std::vector<double> finds, repairs;
    for (int run = 0; run < 5; ++run) {
        finds.push_back(timeFind());
        repairs.push_back(timeRepair());
    }
    const double f = Median(finds), r = Median(repairs);
    std::printf("find over the tree:      %8.1f ms (median of 5)\n", f);
    std::printf("repair of %d rows:     %8.1f ms (median of 5), %d rewritten\n", kBroken, r, found);
    std::printf("ratio repair / find:     %8.2f (goal <= 1.5)\n", r / f);

    // The old way: one walk of the whole tree per row, measured on a few rows.
    QElapsedTimer t;
    t.start();
    constexpr int kSample = 5;
    for (int i = 0; i < kSample; ++i) {
        QStringList results;
        FindFileUnder(root, broken[i][ColFile], results);
    }
    const double perRow = t.nsecsElapsed() / 1e6 / kSample;
    std::printf("a walk per row:          %8.1f ms per row, about %.0f s for %d rows\n", perRow,
                perRow * kBroken / 1000.0, kBroken);
    return found == kBroken && r / f <= 1.5 ? 0 : 1;
}
