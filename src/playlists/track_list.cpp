#include "playlists/track_list.h"

#include "platform/files.h"
#include "platform/message_box.h"
#include "playlists/track_format.h"
#include "playlists/track_icons.h"

#include <QCollator>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSet>
#include <cmath>

namespace kv::playlists {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

TrackViews::TrackViews() {
    for (auto& m : models_)
        m = std::make_unique<TrackListModel>();
}

TrackList::TrackList(TrackListHost& host)
    : host_(host), random_([] { return QRandomGenerator::global()->generateDouble(); }) {}

int TrackList::FindRow(int view, const QString& path) const {
    if (!TrackViews::IsView(view)) return 0;
    return views_[view].LastRowWithPath(path) + 1;
}

int TrackList::SelectedItem(int view) const {
    if (!TrackViews::IsView(view)) return -1;
    const TrackListModel& model = views_[view];
    if (model.IsValidRow(model.CurrentRow())) return model.CurrentRow();
    QVector<int> selected = model.SelectedRows();
    return selected.isEmpty() ? -1 : selected.first();
}

void TrackList::SaveSelectedList(bool markModified) {
    host_.SaveWorkingCopy(host_.ListOfListText());
    if (markModified) host_.SetSaveButtonImage(QStringLiteral("save"));
}

void TrackList::MarkPlayingRow(int view) {
    if (view != state_.PlayingView || !TrackViews::IsView(view)) return;
    QString playing = host_.PlayingFileName();
    if (playing.isEmpty()) return;
    int row = FindRow(view, playing) - 1;
    if (row < 0) return;
    views_[view].SetIcon(row, kIconPlay);
    views_[view].RequestScrollTo(row);
}

void TrackList::ClearPlayMarkers() {
    for (int view : {TrackViews::kFolderView, TrackViews::kPlaylistView}) {
        TrackListModel& model = views_[view];
        model.SetAllSelected(false);
        for (int row = 0; row < model.Count(); ++row)
            if (model.Icon(row) == kIconPlay)
                model.SetIcon(row, RowIconKey(model.Path(row), model.Text(row, ColKind)));
    }
}

// ---- sort ----

// Which column a header sorts by. The size header sorts by the padded byte count; the hidden
// columns keep the previous sort column. Chosen by the header's position rather than its
// caption, because the size and play-time headers show the selection totals at times.
static int SortColumnOf(int header, int previous) {
    switch (header) {
    case ColFile:
    case ColArtist:
    case ColTitle:
    case ColKind:
    case ColTime:
    case ColPath:
        return header;
    case ColSize:
        return ColDefaultSize;
    default:
        return previous;
    }
}

void TrackList::SortByColumn(int view, int header) {
    if (!TrackViews::IsView(view)) return;
    TrackViews::SortState& sort = views_.Sort(view);
    sort.order = sort.order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    sort.column = SortColumnOf(header, sort.column);

    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const int column = sort.column;
    const bool ascending = sort.order == Qt::AscendingOrder;
    views_[view].SortRows(column, [&](QStringView a, QStringView b) {
        int c = collator.compare(a, b);
        return ascending ? c < 0 : c > 0;
    });
    MarkPlayingRow(view);
    SaveSelectedList(view == TrackViews::kPlaylistView);
}

// ---- shuffle ----

void TrackList::ShuffleRows(int view) {
    if (!TrackViews::IsView(view) || view == TrackViews::kScratchView) return;
    host_.SetBusyCursor(true);
    TrackListModel& model = views_[view];

    // The scratch rows are held here rather than in the scratch view: the result is the same and
    // the view is reset once instead of once per row.
    QVector<TrackEntry> scratch;
    scratch.reserve(model.Count());
    for (int row = 0; row < model.Count(); ++row)
        if (!model.Text(row, ColPath).isEmpty()) scratch.push_back(model.Row(row));

    // One generator, seeded once: seeding again from the clock before every draw, as the list
    // once did, repeats the same draw for every row handled within one clock tick.
    QVector<TrackEntry> shuffled;
    shuffled.reserve(scratch.size());
    int emptyDraws = 0;
    while (!scratch.isEmpty()) {
        const qsizetype n = scratch.size();
        double r = std::clamp(random_(), 0.0, std::nextafter(1.0, 0.0));
        // Rounded to the nearest, halves to even, as the list has always shuffled: the first row
        // is drawn half as often, and k = n + 1 draws no row this round. A source stuck near 1
        // (never a real generator) must not loop for ever: after many empty draws take row n.
        qsizetype k = qsizetype(std::nearbyint(r * double(n) + 1.0));
        if (k > n && ++emptyDraws < 64) {
            shuffled.push_back(TrackEntry()); // an empty row, dropped below
            continue;
        }
        k = std::min(k, n);
        emptyDraws = 0;
        TrackEntry row = std::move(scratch[k - 1]);
        scratch.removeAt(k - 1);
        row.icon = RowIconKey(row.Path(), row.Kind());
        shuffled.push_back(std::move(row));
    }
    shuffled.removeIf([](const TrackEntry& row) { return row.Path().isEmpty(); });

    model.Clear();
    model.AppendRows(std::move(shuffled));
    MarkPlayingRow(view);
    host_.SetBusyCursor(false);
    if (view == TrackViews::kPlaylistView) SaveSelectedList(true);
}

// ---- delete, select ----

void TrackList::DeleteSelectedRows(int view) {
    if (!TrackViews::IsView(view)) return;
    TrackListModel& model = views_[view];
    if (model.Count() == 0) return; // no row to ask about
    const int n = model.SelectedCount();
    QString question;
    if (n < 2) {
        int focused = SelectedItem(view);
        question = QStringLiteral("｢") + model.Text(focused, ColFile) +
                   QStringLiteral("｣をリストから削除してもよろしいですか？");
    } else {
        question = QString::number(n) + QStringLiteral("個のファイルをリストから削除してもよろしいですか？");
    }
    if (platform::ShowMessage(question, MsgButtons::YesNo, MsgIcon::Question,
                              QStringLiteral("ファイルの削除の確認")) != MsgAnswer::Yes)
        return;
    // The selection is read after the answer: the question's event loop may have changed it.
    model.RemoveRows(model.SelectedRows());
    SaveSelectedList(true);
}

void TrackList::SelectAllRows(int view) {
    if (TrackViews::IsView(view)) views_[view].SetAllSelected(true);
}

void TrackList::ShowLineBreakNamesRefused() {
    platform::ShowMessage(QStringLiteral("名前に改行を含むファイルは、リストに追加できません。"), MsgButtons::Ok,
                          platform::MsgIcon::Exclamation);
}

// ---- move ----

void TrackList::MoveDroppedRows(int source, int targetRow) {
    TrackListModel& playlist = views_[TrackViews::kPlaylistView];
    QVector<TrackEntry> moving;
    QVector<int> removed;
    if (source == TrackViews::kFolderView) {
        const TrackListModel& folder = views_[TrackViews::kFolderView];
        QSet<QString> paths;
        bool refused = false;
        for (int row : folder.SelectedRows()) {
            if (folder.IsDirectory(row)) continue;
            if (platform::HasLineBreak(folder.Path(row))) {
                refused = true;
                continue;
            }
            moving.push_back(folder.Row(row));
            paths.insert(folder.Path(row));
        }
        if (refused) ShowLineBreakNamesRefused();
        // Each file is listed once: a copy already in the playlist gives way to the dropped one.
        for (int row = 0; row < playlist.Count(); ++row)
            if (paths.contains(playlist.Path(row))) removed.push_back(row);
    } else if (source == TrackViews::kPlaylistView) {
        removed = playlist.SelectedRows();
        for (int row : removed)
            moving.push_back(playlist.Row(row));
    } else {
        return;
    }

    // The rows go before the target row. When the target is itself one of the rows that leave
    // (a selection dropped onto itself, a file dropped onto its own old row), they go before the
    // next row that stays, so they land where they were dropped rather than at the end.
    int position = -1;
    if (playlist.IsValidRow(targetRow)) {
        QSet<int> leaving(removed.begin(), removed.end());
        int kept = 0;
        for (int row = 0; row < playlist.Count(); ++row) {
            if (leaving.contains(row)) continue;
            if (row >= targetRow) {
                position = kept;
                break;
            }
            ++kept;
        }
    }
    playlist.RemoveRows(removed);
    if (position < 0) position = playlist.Count();

    for (TrackEntry& row : moving)
        row.icon = row.Kind();
    const int count = int(moving.size());
    playlist.InsertRows(position, std::move(moving));
    QVector<int> inserted;
    for (int i = 0; i < count; ++i)
        inserted.push_back(position + i);
    playlist.SelectOnly(inserted);
    if (count > 0) playlist.SetCurrentRow(position);
    MarkPlayingRow(TrackViews::kPlaylistView);
}

// ---- drops ----

void TrackList::DropOnView(int view, const QStringList& paths, bool hasFiles, int targetRow) {
    if (view == TrackViews::kPlaylistView) {
        if (host_.ListOfListCount() == 0 || host_.ListOfListText().isEmpty()) {
            // Written with CR LF where the program began; the message boxes here break lines at "\n".
            platform::ShowMessage(QStringLiteral("リストが作られていないので、曲を追加できません。\n\n"
                                                 "【ファイル】→【リスト】→【新規作成】で\n"
                                                 "リストを作ってから、曲を追加してください。"),
                                  MsgButtons::Ok);
            return;
        }
        if (hasFiles)
            InsertDroppedFiles(paths, targetRow);
        else
            MoveDroppedRows(state_.ActiveView, targetRow);
        SaveSelectedList(true);
    } else if (view == TrackViews::kFolderView) {
        if (hasFiles) {
            if (!paths.isEmpty()) host_.GoToFolderOf(paths.first());
        } else if (state_.ActiveView == TrackViews::kPlaylistView) {
            int row = SelectedItem(TrackViews::kPlaylistView);
            if (row >= 0) host_.GoToFolderOf(views_[TrackViews::kPlaylistView].Path(row));
        }
    }
}

// ---- selection totals and row information ----

void TrackList::UpdateSelectionTotals() {
    if (!TrackViews::IsView(state_.ActiveView)) return;
    TrackListModel& model = views_[state_.ActiveView];
    QVector<int> selected = model.SelectedRows();
    bool allTimed = true;
    qint64 seconds = 0, bytes = 0;
    for (int row : selected) {
        const QString time = model.Text(row, ColTime);
        if (time.isEmpty()) {
            allTimed = false;
            break;
        }
        seconds += ParsePlayTime(time);
        bytes += model.Text(row, ColDefaultSize).toLongLong();
    }
    if (selected.size() != 1 && allTimed) {
        model.SetHeaderCaption(ColTime, FormatPlayTime(seconds));
        model.SetHeaderCaption(ColSize, FormatSize(bytes));
    } else {
        model.SetHeaderCaption(ColTime, ColumnCaption(ColTime));
        model.SetHeaderCaption(ColSize, ColumnCaption(ColSize));
    }
}

void TrackList::ShowRowInfo(int view, int row) {
    if (TrackViews::IsView(view) && views_[view].IsValidRow(row)) {
        const TrackEntry& e = views_[view].Row(row);
        host_.ShowInfoLabels({e[ColFile], e[ColArtist], e[ColTitle], e[ColTime]});
    } else {
        host_.ShowInfoLabels({kNoInfo, kNoInfo, kNoInfo, kNoInfo});
    }
}

// ---- view events ----

void TrackList::MousePressed(int view, int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                             const QPoint& globalPos) {
    if (view != TrackViews::kFolderView && view != TrackViews::kPlaylistView) return;
    state_.ActiveView = view;
    TrackListModel& model = views_[view];
    if (button == Qt::LeftButton) {
        host_.ResetInfoLabelTick();
        ShowRowInfo(view, row);
        // A press on a selected row keeps the whole selection, so several rows drag together.
        if (!(modifiers & (Qt::ShiftModifier | Qt::ControlModifier)) && model.IsValidRow(row) &&
            !model.IsSelected(row)) {
            model.SelectOnly({row});
            model.SetCurrentRow(row);
        }
    } else if (button == Qt::RightButton) {
        if (model.IsValidRow(row)) {
            if (!model.IsSelected(row)) model.SelectOnly({row});
            model.SetCurrentRow(row);
        }
        host_.ShowPopupMenu(view, globalPos);
    }
}

void TrackList::MouseReleased(int view) {
    (void)view;
    UpdateSelectionTotals();
}

void TrackList::RowClicked(int view, int row) {
    host_.ResetInfoLabelTick();
    ShowRowInfo(view, row);
    UpdateSelectionTotals();
}

void TrackList::FocusEntered(int view) {
    if (view == TrackViews::kFolderView)
        views_[TrackViews::kPlaylistView].SetAllSelected(false);
    else if (view == TrackViews::kPlaylistView)
        views_[TrackViews::kFolderView].SetAllSelected(false);
}

void TrackList::RowActivated(int view) {
    (void)view;
    if (!OpenFolderRow()) host_.PlaySelected();
}

bool TrackList::KeyPressed(int view, int key, Qt::KeyboardModifiers modifiers) {
    const bool alt = modifiers & Qt::AltModifier;
    const bool ctrl = modifiers & Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Control:
        state_.CtrlHeld = true;
        host_.SetEncodeMenuVisible(true);
        return false;
    case Qt::Key_A:
        if (!ctrl || alt) return false;
        SelectAllRows(view);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (!alt) return false;
        host_.ClickToolBarBack(key == Qt::Key_Left ? 4 : 5);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!alt) return false;
        host_.ChangeVolumeBar(key == Qt::Key_Up ? 2 : -2);
        return true;
    case Qt::Key_Delete:
        if (view == TrackViews::kPlaylistView) {
            DeleteSelectedRows(view);
        } else if (view == TrackViews::kFolderView) {
            QStringList paths;
            for (int row : views_[view].SelectedRows())
                paths << views_[view].Path(row);
            if (!paths.isEmpty()) host_.MoveToRecycleBin(paths);
        }
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (alt) {
            int row = SelectedItem(view);
            if (row >= 0) host_.ShowProperties(views_[view].Path(row));
        } else {
            RowActivated(view);
        }
        return true;
    case Qt::Key_Backspace:
        host_.FolderTreeUp();
        return true;
    default:
        return false;
    }
}

void TrackList::KeyReleased(int view, int key) {
    (void)view;
    if (key != Qt::Key_Control) return;
    state_.CtrlHeld = false;
    host_.SetEncodeMenuVisible(false);
}

void TrackList::LetEventsRun(int rowNumber) {
    // After every fifth row beyond the fifth, so the window stays alive through long folders.
    if (rowNumber > 5 && rowNumber % 5 == 0) QCoreApplication::processEvents();
}

} // namespace kv::playlists
