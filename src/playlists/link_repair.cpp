#include "playlists/link_repair.h"

#include "platform/files.h"
#include "playlists/track_format.h"
#include "playlists/track_icons.h"
#include "playlists/track_info.h"
#include "playlists/track_list_model.h"

#include <cmath>

namespace kv::playlists {
namespace {

bool OneOf(const QString& kind, std::initializer_list<const char*> kinds) {
    for (const char* k : kinds)
        if (kind == QLatin1String(k)) return true;
    return false;
}

void StoreRow(TrackListModel& rows, int row, const TrackEntry& entry) {
    rows.StoreColumnsQuietly(row, entry);
    rows.RowsChanged(row, row);
    rows.SetIcon(row, entry.icon);
}

} // namespace

void RecheckRow(TrackEntry& row, RepairHost& host) {
    const QString path = row[ColPath];
    const QString kind = platform::ExtensionOf(path);
    const qint64 length = platform::FileSize(path).value_or(0);
    // A row marked "nothing" whose file is back gets its kind back too.
    row[ColKind] = kind;
    row.icon = IconKey(path, kind);
    row[ColSize] = FormatSize(length);
    row[ColDefaultSize] = PadBytes(length);
    if (OneOf(kind, {"mp3", "mp2", "mp1"}) || IsEngineAudioKind(kind)) {
        if (std::optional<TrackTag> tag = ReadTrackTag(path)) {
            row[ColArtist] = tag->artist;
            row[ColTitle] = tag->title;
            row[ColTime] = FormatPlayTime(tag->playSeconds);
        }
    } else if (OneOf(kind, {"wav", "wave"})) {
        row[ColTime] = FormatPlayTime(ReadWaveDuration(path));
    } else if (!OneOf(kind, {"rm", "ram", "ra"})) {
        if (std::optional<RepairHost::Clip> clip = host.ReadClip(path)) {
            row[ColTitle] = OneOf(kind, {"mid", "midi"}) ? ReadMidiTitle(path) : clip->title;
            row[ColArtist] = clip->author;
            row[ColTime] = FormatPlayTime(qint64(std::floor(clip->seconds)));
        }
    }
    if (row[ColTitle].isEmpty()) row[ColTitle] = QStringLiteral("【") + row[ColFile] + QStringLiteral("】");
}

int MarkBrokenRows(TrackListModel& rows) {
    int broken = 0;
    for (int i = 0; i < rows.Count(); ++i) {
        const QString path = rows.Path(i);
        if (!platform::FileExists(path)) {
            ++broken;
            rows.SetIcon(i, kIconNothing);
            rows.SetText(i, ColKind, kKindNothing);
        } else {
            rows.SetIcon(i, IconKey(path, rows.Text(i, ColKind)));
        }
    }
    return broken;
}

TrackEntry MovedRow(const TrackEntry& old, const QString& newPath) {
    TrackEntry row = MakeFileRow(newPath).value_or(MakeFileRow(newPath, 0));
    FillRowInfo(row);
    row[ColStart] = old[ColStart];
    row[ColEnd] = old[ColEnd];
    return row;
}

bool LinkSearch::Run(const QString& startFolder, const std::function<void(const QString&)>& log,
                     const std::function<bool()>& stopped) {
    const QString kEnd = QStringLiteral("検索を終了します。");
    log(QStringLiteral("検索を開始します。"));
    log(QStringLiteral("検索中…"));
    log(QString());
    LastFoundFolder.clear();
    Rewritten = 0;

    QSet<QString> names;
    for (int i = 0; i < rows_.Count(); ++i)
        if (rows_.Icon(i) == kIconNothing) names.insert(rows_.Text(i, ColFile));
    if (names.isEmpty()) {
        log(QString());
        log(QStringLiteral("検索を終了します"));
        return true;
    }
    // One walk for the whole search; every row below is answered from it.
    FolderIndex index;
    const int walked =
        index.Build(startFolder, names, WalkControl{stopped, [this] { host_.LetEventsRun(); }});
    if (index.Stopped()) {
        log(QString());
        log(kEnd);
        return false;
    }
    const QString root = walked < 0 ? QString() : index.Root();

    for (int i = 0; i < rows_.Count(); ++i) {
        if (rows_.Icon(i) != kIconNothing) continue;
        const QString name = rows_.Text(i, ColFile);
        QStringList found;
        if (!LastFoundFolder.isEmpty()) found = index.FoldersUnder(LastFoundFolder, name);
        int result = int(found.size());
        if (found.isEmpty()) {
            LastFoundFolder.clear();
            found = index.FoldersUnder(root, name);
            result = walked < 0 ? -1 : int(found.size());
        }
        QString outcome;
        if (result < 0) {
            outcome = QStringLiteral("パラメータエラーが起こりました。");
        } else if (result == 0) {
            outcome = QStringLiteral("見つかりませんでした。");
        } else {
            const QString newPath = platform::JoinPath(found.first(), name);
            const QString oldPath = rows_.Path(i);
            StoreRow(rows_, i, MovedRow(rows_.Row(i), newPath));
            host_.RenameVolumeEntry(oldPath, newPath);
            LastFoundFolder = found.first();
            outcome = newPath;
            ++Rewritten;
        }
        log(QStringLiteral("【") + name + QStringLiteral("】") + QStringLiteral("　→　") +
            QStringLiteral("【") + outcome + QStringLiteral("】"));
        host_.LetEventsRun();
        if (stopped && stopped()) {
            log(QString());
            log(kEnd);
            return false;
        }
    }
    log(QString());
    log(QStringLiteral("検索を終了します"));
    return true;
}

} // namespace kv::playlists
