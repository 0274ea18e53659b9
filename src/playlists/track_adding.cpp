// Files and folders into rows: drops on the playlist view, the folder view, refreshing, and
// opening one file for playing.
#include "playlists/track_list.h"

#include "platform/files.h"
#include "platform/message_box.h"
#include "playlists/track_icons.h"
#include "playlists/track_info.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <filesystem>

namespace kv::playlists {

namespace {
// Balanced busy pointer for a scope, whichever way the scope ends.
class BusyCursor {
  public:
    explicit BusyCursor(TrackListHost& host) : host_(host) { host_.SetBusyCursor(true); }
    ~BusyCursor() { host_.SetBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    TrackListHost& host_;
};

bool NeedsFileRead(const QString& kind) {
    return kind == u"mp3" || kind == u"wav" || kind == u"wave" || kind == u"mid" || kind == u"midi" ||
           IsEngineAudioKind(kind);
}

struct MediaFile {
    QString path;
    qint64 size = 0;
    bool hasLyrics = false;
    QString sortKey; // the name without regard to case
};

// Whether a name passes the media pattern as a file list applies it: "*.ext" entries, case-blind,
// and the pattern's one odd entry "*,m1v" as it stands.
bool MatchesMediaPattern(const QString& name) {
    static const auto patterns = [] {
        QSet<QString> extensions;
        QStringList others;
        for (const QString& entry : kSupportedPattern.split(u';', Qt::SkipEmptyParts)) {
            if (entry.startsWith(QStringLiteral("*."))) extensions.insert(entry.mid(2).toLower());
            else others.append(entry.mid(1).toLower()); // "*,m1v": the name must end so
        }
        return std::pair{extensions, others};
    }();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0 && patterns.first.contains(name.mid(dot + 1).toLower())) return true;
    for (const QString& ending : patterns.second)
        if (name.endsWith(ending, Qt::CaseInsensitive)) return true;
    return false;
}

// The folder's media files sorted by name without regard to case. Sizes come from one stat per
// media file; other files cost only their directory entry.
QVector<MediaFile> ListMediaFiles(const QString& base) {
    namespace fs = std::filesystem;
    QVector<MediaFile> files;
    QSet<QString> names;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(QFile::encodeName(base).toStdString()), ec), end; !ec && it != end;
         it.increment(ec)) {
        const QString name = QFile::decodeName(QByteArray::fromStdString(it->path().filename().native()));
        names.insert(name);
        if (!MatchesMediaPattern(name)) continue;
        std::error_code statError;
        if (!it->is_regular_file(statError)) continue;
        const auto size = it->file_size(statError);
        if (statError) continue; // gone since the listing
        files.push_back({base + name, qint64(size), false, name.toCaseFolded()});
    }
    for (MediaFile& file : files) {
        const QString lyrics = platform::FileNameOf(LyricsPathOf(file.path));
        file.hasLyrics = names.contains(lyrics);
    }
    std::sort(files.begin(), files.end(), [](const MediaFile& a, const MediaFile& b) { return a.sortKey < b.sortKey; });
    return files;
}

QString WithSlash(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}
} // namespace

void TrackList::InsertDroppedFiles(const QStringList& paths, int targetRow) {
    TrackListModel& playlist = views_[TrackViews::kPlaylistView];
    playlist.SetAllSelected(false);
    QString targetPath;
    if (playlist.IsValidRow(targetRow))
        targetPath = playlist.Path(targetRow);
    else if (playlist.Count() > 0)
        targetPath = playlist.Path(playlist.Count() - 1);
    const bool hadTarget = playlist.IsValidRow(targetRow) || playlist.Count() > 0;

    // The scratch rows live here, not in the scratch view: events run while they are filled, and
    // another drop or fill arriving then must not find them half made.
    QVector<TrackEntry> scratch;
    QSet<QString> dropped;
    bool refused = false;
    for (const QString& path : paths) {
        if (path.isEmpty() || dropped.contains(path)) continue; // a path twice in one drag: once
        if (!IsSupportedExtension(platform::ExtensionOf(path))) continue;
        QFileInfo info(path);
        if (!info.isFile()) continue; // folders, and files gone since the drag began
        if (platform::HasLineBreak(path)) {
            refused = true;
            continue;
        }
        scratch.push_back(MakeFileRow(path, info.size()));
        dropped.insert(path);
    }
    if (refused) ShowLineBreakNamesRefused();

    for (int i = 0; i < scratch.size(); ++i) {
        FillRowInfo(scratch[i]);
        LetEventsRun(i + 1);
    }

    // The rows go after the target; a copy of a dropped file already listed gives way to it.
    // When the target itself gives way, they go after the nearest row before it that stays.
    QVector<int> removed;
    int position = 0;
    const int target = hadTarget ? FindRow(TrackViews::kPlaylistView, targetPath) - 1 : -1;
    for (int row = 0; row < playlist.Count(); ++row) {
        if (dropped.contains(playlist.Path(row)))
            removed.push_back(row);
        else if (row <= target)
            ++position;
    }
    playlist.RemoveRows(removed);

    const QString playing = host_.PlayingFileName();
    int playingRow = -1;
    for (int i = 0; i < scratch.size(); ++i) {
        scratch[i].icon = scratch[i].Kind();
        if (!playing.isEmpty() && scratch[i].Path() == playing) playingRow = position + i;
    }
    const int count = int(scratch.size());
    playlist.InsertRows(position, std::move(scratch));
    playlist.RequestFocus();
    QVector<int> inserted;
    for (int i = 0; i < count; ++i)
        inserted.push_back(position + i);
    playlist.SelectOnly(inserted);
    if (count > 0) playlist.SetCurrentRow(position);
    if (playingRow >= 0) playlist.SetIcon(playingRow, kIconPlay);
}

void TrackList::AddFolderRows(const QString& folder) {
    const QString base = WithSlash(folder);
    QDir dir(base);
    const QFileInfoList entries = dir.entryInfoList(
        QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    QVector<TrackEntry> rows;
    rows.reserve(entries.size());
    for (const QFileInfo& entry : entries) {
        TrackEntry row;
        row[ColFile] = entry.fileName();
        row[ColKind] = kKindDirectory;
        row[ColPath] = base + entry.fileName();
        row.icon = IconKey(row.Path(), QString());
        rows.push_back(std::move(row));
    }
    views_[TrackViews::kFolderView].AppendRows(std::move(rows));
}

void TrackList::FillFolderView() {
    const int generation = ++folderFillGeneration_;
    BusyCursor busy(host_);
    TrackListModel& view = views_[TrackViews::kFolderView];
    view.Clear();
    const QString folder = host_.FolderTreePath();
    if (folder.isEmpty()) return;
    AddFolderRows(folder);

    // The media files of the folder, as a file list with the media pattern shows them: one pass
    // over the folder, which also answers the lyrics question for every file.
    QVector<MediaFile> files = ListMediaFiles(WithSlash(folder));
    bool tooSmall = false;
    QVector<TrackEntry> rows;
    rows.reserve(files.size());
    for (const MediaFile& file : files) {
        if (file.size < 11) {
            tooSmall = true;
            continue;
        }
        TrackEntry row = MakeFileRow(file.path, file.size, file.hasLyrics);
        // Kinds whose information is only their name are filled now; the loop below, which
        // lets events run between rows, is for the rows that read their file.
        if (!NeedsFileRead(row[ColKind])) FillRowInfo(row);
        rows.push_back(std::move(row));
    }
    const int firstFileRow = view.Count();
    view.AppendRows(std::move(rows));

    // Information row by row. Events run in between, so each row is looked up again by path, and
    // a newer fill (the user chose another folder meanwhile) ends this one.
    QElapsedTimer sinceAnnounced;
    sinceAnnounced.start();
    int pendingFirst = -1, pendingLast = -1;
    auto announce = [&] {
        if (pendingFirst >= 0 && generation == folderFillGeneration_)
            view.RowsChanged(pendingFirst, pendingLast);
        pendingFirst = pendingLast = -1;
        sinceAnnounced.restart();
    };
    const int lastFileRow = view.Count() - 1;
    for (int row = firstFileRow, number = 0; row <= lastFileRow; ++row) {
        if (!host_.MayFillFolderView()) {
            announce();
            return;
        }
        if (!view.IsValidRow(row)) break;
        if (!view.Text(row, ColTitle).isEmpty()) continue;
        ++number;
        {
            TrackEntry filled = view.Row(row);
            FillRowInfo(filled);
            view.StoreColumnsQuietly(row, filled);
            if (pendingFirst < 0) pendingFirst = row;
            pendingLast = row;
        }
        if (number > 5 && number % 5 == 0) {
            // The view learns of changed rows at most a few times a second: it reads the rows
            // whenever it paints anyway, and a repaint every fifth row would cost more than the
            // reading.
            if (sinceAnnounced.elapsed() >= 100) announce();
            QCoreApplication::processEvents();
            if (generation != folderFillGeneration_) return;
        }
    }
    announce();
    if (state_.PlayingView == TrackViews::kFolderView) MarkPlayingRow(TrackViews::kFolderView);
    if (tooSmall) {
        QString shown = WithSlash(folder);
        if (shown.size() > 1) shown.chop(1);
        // "\n" where the program began with CR LF: the message boxes here break lines at "\n".
        platform::ShowMessage(QStringLiteral("｢") + shown + QStringLiteral("｣の中に\n") +
                                  QStringLiteral("サイズが極端に小さなファイルがあります。\n") +
                                  QStringLiteral("これらのファイルの読込に失敗しました。"),
                              platform::MsgButtons::Ok, platform::MsgIcon::Critical);
    }
}

bool TrackList::OpenFolderRow() {
    const int view = state_.ActiveView;
    const int row = SelectedItem(view);
    if (row < 0 || !views_[view].IsDirectory(row)) return false;
    const QString path = views_[view].Path(row);
    host_.SetFolderTreePath(path);
    FillFolderView();
    return true;
}

void TrackList::RefreshLists() {
    host_.RefreshFolderTree();
    FillFolderView();
    TrackListModel& playlist = views_[TrackViews::kPlaylistView];
    QVector<int> empty;
    for (int row = playlist.Count() - 1; row >= 0; --row) {
        const QString path = playlist.Path(row);
        if (path.isEmpty()) {
            empty.push_back(row);
        } else if (!platform::FileExists(path)) {
            playlist.SetIcon(row, kIconNothing);
        } else {
            QString kind = platform::ExtensionOf(path);
            playlist.SetText(row, ColKind, kind);
            playlist.SetIcon(row, IconKey(path, kind));
        }
    }
    playlist.RemoveRows(empty);
    SaveSelectedList(false);
}

void TrackList::OpenTrack(const QString& path) {
    const QString longPath = LongPath(path);
    if (longPath.isEmpty()) return;
    if (!IsSupportedExtension(platform::ExtensionOf(longPath))) {
        // Given on the command line or by another program: say why nothing plays.
        platform::ShowMessage(
            QStringLiteral("「") + platform::FileNameOf(longPath) +
                QStringLiteral("」は再生できません。\nこの種類のファイルを再生できる機能がありません。"),
            platform::MsgButtons::Ok, platform::MsgIcon::Exclamation, QStringLiteral("再生の失敗"));
        return;
    }
    host_.DeviceOpen(longPath);
    const QStringList information = ReadTrackInformation(longPath);
    host_.SetTrackInformation(information);
    host_.ShowInfoLabels(information);
    ClearPlayMarkers();

    int view =
        state_.PlayingView == TrackViews::kFolderView ? TrackViews::kFolderView : TrackViews::kPlaylistView;
    int row = FindRow(view, longPath) - 1;
    if (row < 0) {
        int other = 1 - view;
        row = FindRow(other, longPath) - 1;
        if (row < 0) return;
        view = other;
        state_.PlayingView = other;
    }
    views_[view].SetIcon(row, kIconPlay);
    views_[view].RequestScrollTo(row);
}

} // namespace kv::playlists
