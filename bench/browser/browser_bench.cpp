// Opening a folder of 10,000 subfolders in the folder tree, shown in a real (offscreen) tree
// view, against `ls -f` of the same folder (a process start and one pass of readdir). Prints
// the medians and their ratio; the goal is a ratio of at most 5.
//
// Usage: browser_bench [subfolders] [runs]
#include "browser/ctree_view.h"
#include "support/audio_files.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct DriveLister : kv::browser::FolderLister {
    QByteArray drive;
    std::vector<kv::browser::DriveInfo> Drives() override {
        return {{drive, kv::browser::DriveDisplayName(QString(), drive, kv::browser::IconId::DriveFixed),
                 kv::browser::IconId::DriveFixed}};
    }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double TimeLs(const std::string& folder) {
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::execlp("ls", "ls", "-f", folder.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "ls -f failed\n");
        std::exit(1);
    }
    return timer.nsecsElapsed() / 1e6;
}

double TimeTree(const QByteArray& drive, const QByteArray& folder, int expectedRows) {
    struct Host : kv::browser::TreeHost {
    } host;
    DriveLister lister;
    lister.drive = drive;
    kv::browser::TreeImageList images;
    QTreeView view;
    view.resize(300, 600);
    view.show();
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    kv::browser::CTreeView tree(host);
    tree.SetLister(&lister);
    tree.SetTreeView(&view);
    tree.SetImageList(&images);
    tree.SetNativePath(folder);
    QCoreApplication::processEvents(); // layout, painting and settling the rows in view
    const double ms = timer.nsecsElapsed() / 1e6;
    if (tree.Model().rowCount(tree.SelectedNode()) != expectedRows) {
        std::fprintf(stderr, "the tree shows %d subfolders, not %d\n",
                     tree.Model().rowCount(tree.SelectedNode()), expectedRows);
        std::exit(1);
    }
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 15;

    kvtest::TempDir tmp;
    const std::string folder = tmp.file("many");
    ::mkdir(folder.c_str(), 0755);
    for (int i = 0; i < count; ++i)
        ::mkdir((folder + "/folder " + std::to_string(i)).c_str(), 0755);
    ::sync();

    const QByteArray drive = kv::browser::CTreeView::GetLongPathName(QByteArray::fromStdString(tmp.path()));
    const QByteArray target = drive + "many/";
    std::vector<double> ls, tree;
    TimeLs(folder); // warm the directory cache for both
    TimeTree(drive, target, count);
    for (int i = 0; i < runs; ++i) {
        ls.push_back(TimeLs(folder));
        tree.push_back(TimeTree(drive, target, count));
    }
    const double lsMs = Median(ls), treeMs = Median(tree);
    std::printf(
        "folder tree: open a folder of %d subfolders: %.2f ms; ls -f: %.2f ms; ratio %.2f (goal <= 5)\n",
        count, treeMs, lsMs, treeMs / lsMs);
    return 0;
}
