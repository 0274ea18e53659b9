#include "playlists/list_of_lists.h"

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "playlists/list_import.h"
#include "playlists/track_format.h"
#include "playlists/track_icons.h"
#include "playlists/track_info.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <cstdio>

namespace kv::playlists {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

namespace {
const QString kForbidden = QStringLiteral("\\/:,;*?\"<>|");
const QString kNewListTitle = QStringLiteral("新規リスト");

bool RenameFile(const QString& from, const QString& to) {
    return std::rename(from.toUtf8().constData(), to.toUtf8().constData()) == 0;
}

void ShowSaveFailed(const QString& name) {
    platform::ShowMessage(QStringLiteral("「") + name + QStringLiteral("」を保存できませんでした。"),
                          MsgButtons::Ok, MsgIcon::Critical);
}
} // namespace

bool ValidateListName(const QString& name) {
    for (QChar c : name) {
        if (kForbidden.contains(c)) {
            platform::ShowMessage(QStringLiteral("次の文字列は使えません。\r\n") +
                                      QStringLiteral("\u3000\u3000   \u3000\\/:,;*?\"<>|"),
                                  MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("不正な文字"));
            return false;
        }
    }
    return true;
}

int ListOfListWidthTwips(int textTwips, int space) {
    int width;
    if (textTwips > 6000) width = textTwips + 3000;
    else if (textTwips > 3000) width = textTwips + 1000;
    else if (textTwips > 1000) width = textTwips + 500;
    else width = 1500;
    if (space <= width) width = space;
    return width;
}

ListOfLists::ListOfLists(QComboBox& listOfList, TrackList& tracks, ListOfListHost& host, QString programFolder)
    : box_(listOfList), tracks_(tracks), host_(host), folder_(std::move(programFolder)) {}

void ListOfLists::StartUp() {
    const QStringList names = EnumerateLists(folder_);
    box_.addItems(names);
    MakeWorkingCopies(folder_, names);
    SetSaveButtonImage(kNotSaveImage);
}

void ListOfLists::ShutDown() { DeleteWorkingCopies(folder_); }

QString ListOfLists::SelectedName() const { return box_.currentIndex() < 0 ? QString() : box_.currentText(); }

QStringList ListOfLists::Names() const {
    QStringList names;
    for (int i = 0; i < box_.count(); ++i)
        names.append(box_.itemText(i));
    return names;
}

int ListOfLists::IndexOf(const QString& name) const {
    for (int i = 0; i < box_.count(); ++i)
        if (box_.itemText(i) == name) return i;
    return -1;
}

void ListOfLists::SetSaveButtonImage(const QString& key) {
    saveImage_ = key;
    if (key == kSaveImage && lossy_.remove(shown_) && deferred_ == shown_) {
        deferred_.clear();
        WriteListRows(WorkingPath(folder_, shown_), Rows().Rows(), false);
    }
    host_.SetSaveButtonImage(key);
}

void ListOfLists::SaveWorkingCopy(const QString& name) {
    if (name.isEmpty()) return;
    if (lossy_.contains(name)) {
        deferred_ = name; // written once the user has changed the list (SetSaveButtonImage)
        return;
    }
    WriteListRows(WorkingPath(folder_, name), Rows().Rows(), false);
}

void ListOfLists::SaveList(const QString& name) {
    if (name == kSaveAllLists) {
        SetSaveButtonImage(kNotSaveImage);
        // Each committed file is replaced by its working copy in one rename; a list without a
        // working copy keeps its committed file.
        for (const QString& list : Names())
            CommitWorkingCopy(folder_, list);
        return;
    }
    if (name.isEmpty()) return;
    if (WriteListRows(CommittedPath(folder_, name), Rows().Rows(), true))
        CopyListFile(CommittedPath(folder_, name), WorkingPath(folder_, name), false);
    else
        WriteListRows(WorkingPath(folder_, name), Rows().Rows(), false);
    lossy_.remove(name);
    if (deferred_ == name) deferred_.clear();
}

void ListOfLists::LoadList(const QString& name) {
    if (name.isEmpty()) return;
    const QString working = WorkingPath(folder_, name);
    // A working copy that went missing is made again from the committed file; a list with
    // neither file is empty. The rows of the list shown before are never left under this name:
    // the next change would write them into this list's files.
    if (!platform::FileExists(working) && platform::FileExists(CommittedPath(folder_, name)))
        CopyListFile(CommittedPath(folder_, name), working, false);
    // The rows shown before go first: a long list must not be held twice.
    host_.SetTrackListVisible(false);
    TrackListModel& rows = Rows();
    rows.Clear();
    ListRowsResult read = ReadListRows(working);
    rows.SetRows(std::move(read.rows));
    if (deferred_ != name) deferred_.clear();
    if (read.lossy) lossy_.insert(name);
    shown_ = name;
    host_.SetTrackListVisible(true);
}

int ListOfLists::AskSaveChanges() {
    if (saveImage_ != kSaveImage || SelectedName().isEmpty()) return 0;
    const MsgAnswer answer =
        platform::ShowMessage(QStringLiteral("リストの内容が変更されています。\r\n\r\n変更を保存しますか？"),
                              MsgButtons::YesNoCancel, MsgIcon::Question);
    if (answer == MsgAnswer::Cancel) return 1;
    if (answer != MsgAnswer::Yes) return 0;
    const QStringList failed = CommitAndDropWorkingCopies();
    // A list that could not be written keeps its working copy and the program stays open, so
    // the changes are not thrown away behind the user's back.
    if (!failed.isEmpty()) {
        ShowSaveFailed(failed.join(QStringLiteral("」「")));
        return 1;
    }
    return 0;
}

QStringList ListOfLists::CommitAndDropWorkingCopies() {
    QStringList failed;
    for (const QString& list : Names()) {
        const QString working = WorkingPath(folder_, list);
        if (!platform::FileExists(working)) continue; // nothing to bring over; the committed file stays
        if (CommitWorkingCopy(folder_, list)) QFile::remove(working);
        else failed.append(list);
    }
    return failed;
}

void ListOfLists::SaveChangesWithoutAsking() {
    if (saveImage_ != kSaveImage) return;
    CommitAndDropWorkingCopies();
    SetSaveButtonImage(kNotSaveImage);
}

bool ListOfLists::AskOverwrite() {
    // The question's default is its second button (Cancel) on Windows; the message seam has no
    // default-button setting, and the Qt box already defaults to the safe answer of OK/Cancel.
    return platform::ShowMessage(QStringLiteral("その名前のリストはすでにあります。\r\n\r\n上書しますか？"),
                                 MsgButtons::OkCancel, MsgIcon::Question, kNewListTitle) == MsgAnswer::Ok;
}

// A list added to ListOfList is written to both files at once. When its committed file cannot be
// written the entry goes again and the user is told, instead of a list that is gone next start.
void ListOfLists::CreatedList(const QString& name, bool select) {
    box_.addItem(name);
    SaveList(name);
    if (!platform::FileExists(CommittedPath(folder_, name))) {
        box_.removeItem(IndexOf(name));
        ShowSaveFailed(name);
        return;
    }
    if (select) SelectList(name);
}

// A name that ListOfList lacks may still have a committed file (one left by an older run, or a
// list that could not be listed): that file is an existing list and is entered now, so that the
// caller asks before anything replaces it.
bool ListOfLists::AdoptExistingList(const QString& name) {
    if (IndexOf(name) >= 0) return true;
    if (!platform::FileExists(CommittedPath(folder_, name))) return false;
    box_.addItem(name);
    CopyListFile(CommittedPath(folder_, name), WorkingPath(folder_, name), false);
    return true;
}

void ListOfLists::NewList() {
    for (;;) {
        const QString name = platform::InputBox(host_.DialogOwner(), QStringLiteral("新しく作るリストの名前を決めてください。"),
                                                kNewListTitle, QString());
        if (name.isEmpty()) return;
        if (!ValidateListName(name)) continue;
        if (!AdoptExistingList(name)) {
            Rows().Clear();
            shown_.clear();
            CreatedList(name, true);
            return;
        }
        if (!AskOverwrite()) return;
        SaveList(name);
        return;
    }
}

void ListOfLists::SaveListAs(const QString& current) {
    for (;;) {
        const QString name = platform::InputBox(host_.DialogOwner(), QStringLiteral("新しく保存するリストの名前を決めてください。"),
                                                QStringLiteral("別名で保存"), current);
        if (name.isEmpty()) return;
        if (!ValidateListName(name)) continue;
        if (!AdoptExistingList(name)) {
            CreatedList(name, true);
            return;
        }
        if (!AskOverwrite()) return;
        SaveList(name);
        SelectList(name);
        return;
    }
}

void ListOfLists::RemoveSelectedEntry() {
    const int index = box_.currentIndex();
    if (index >= 0) box_.removeItem(index);
}

void ListOfLists::RenameList(const QString& current) {
    if (current.isEmpty()) return;
    for (;;) {
        const QString name = platform::InputBox(host_.DialogOwner(), QStringLiteral("名前を決めてください。"),
                                                QStringLiteral("リスト名の変更"), current);
        if (name.isEmpty()) return;
        if (!ValidateListName(name)) continue;
        const QString fromKvt = CommittedPath(folder_, current), toKvt = CommittedPath(folder_, name);
        const QString fromWork = WorkingPath(folder_, current), toWork = WorkingPath(folder_, name);
        if (!AdoptExistingList(name)) {
            RenameFile(fromKvt, toKvt);
            RenameFile(fromWork, toWork);
            if (lossy_.remove(current)) lossy_.insert(name);
            if (deferred_ == current) deferred_ = name;
            RemoveSelectedEntry();
            box_.addItem(name);
            SelectList(name);
            return;
        }
        if (name == SelectedName()) return;
        if (!AskOverwrite()) return;
        // rename() replaces the other list's files in one step; there is no moment without them.
        // Only a file this list has replaces one; a missing working copy removes the other
        // list's, so the renamed committed file is what loads.
        if (platform::FileExists(fromKvt)) RenameFile(fromKvt, toKvt);
        if (platform::FileExists(fromWork)) RenameFile(fromWork, toWork);
        else QFile::remove(toWork);
        lossy_.remove(name);
        if (lossy_.remove(current)) lossy_.insert(name);
        if (deferred_ == current) deferred_ = name;
        RemoveSelectedEntry();
        SelectList(name);
        return;
    }
}

void ListOfLists::DeleteList(const QString& current) {
    if (current.isEmpty()) return;
    if (platform::ShowMessage(QStringLiteral("「") + current + QStringLiteral("」を削除してよろしいですか？"),
                              MsgButtons::YesNo, MsgIcon::Exclamation, QStringLiteral("リストの削除")) != MsgAnswer::Yes)
        return;
    Rows().Clear();
    shown_.clear();
    RemoveSelectedEntry();
    QFile::remove(CommittedPath(folder_, current));
    QFile::remove(WorkingPath(folder_, current));
    lossy_.remove(current);
    if (deferred_ == current) deferred_.clear();
    if (box_.count() > 0) {
        box_.setCurrentIndex(0);
        ListOfListClick();
    }
}

void ListOfLists::ImportList() {
    if (importing_) return;
    const QStringList picked = platform::PickOpenFiles(host_.DialogOwner(), QStringLiteral("音楽リストを開く"), QString(),
                                                       QStringLiteral("すべてのファイル (*)"));
    if (picked.isEmpty() || picked.first().isEmpty()) return;
    const QString file = picked.first();
    importing_ = true;
    host_.SetBusyCursor(true);
    QVector<TrackEntry> rows;
    for (const QString& path : ReadImportPaths(file)) {
        if (std::optional<TrackEntry> row = MakeFileRow(path)) {
            rows.append(std::move(*row));
        } else {
            // A track that is not there (yet) is kept as a broken link, for the repair search.
            TrackEntry missing;
            missing[ColFile] = platform::FileNameOf(path);
            missing[ColKind] = kKindNothing;
            missing[ColPath] = path;
            missing.icon = kIconNothing;
            rows.append(std::move(missing));
        }
    }
    if (rows.isEmpty()) {
        host_.SetBusyCursor(false);
        importing_ = false;
        return;
    }
    // Track information is read into these rows, not the shown ones: events run meanwhile, and
    // whatever the user does to the shown list must not mix with the import.
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i].Kind() != kKindNothing) FillRowInfo(rows[i]);
        else if (rows[i][ColTitle].isEmpty()) rows[i][ColTitle] = QStringLiteral("【") + rows[i][ColFile] + QStringLiteral("】");
        if (i >= 10 && i % 10 == 0) QCoreApplication::processEvents();
    }
    host_.SetBusyCursor(false);

    QString base = QFileInfo(file).completeBaseName();
    if (base.isEmpty()) base = QFileInfo(file).fileName();
    QString name = base;
    for (int n = 2; IndexOf(name) >= 0 || platform::FileExists(CommittedPath(folder_, name)); ++n)
        name = base + QStringLiteral(" ") + QString::number(n);

    Rows().Clear();
    Rows().AppendRows(std::move(rows));
    shown_.clear();
    CreatedList(name, true);
    importing_ = false;
}

void ListOfLists::OpenMusicFile() {
    QString filter = kSupportedPattern;
    filter.replace(u';', u' ');
    const QStringList picked = platform::PickOpenFiles(host_.DialogOwner(), QStringLiteral("音楽ファイルを開く"), QString(),
                                                       QStringLiteral("メディアファイル (") + filter + QStringLiteral(")"));
    if (!picked.isEmpty() && !picked.first().isEmpty()) tracks_.OpenTrack(picked.first());
}

void ListOfLists::SelectList(const QString& name) {
    const int index = IndexOf(name);
    if (index < 0) return; // a name that is not in the list leaves the selection as it was
    box_.setCurrentIndex(index);
    ListOfListClick();
}

void ListOfLists::ListOfListClick() {
    const int highest = box_.count() - 1;
    if (highest > highestIndex_) {
        // The drop-down shows every entry without a scroll bar.
        box_.setMaxVisibleItems(std::max(1, box_.count()));
        highestIndex_ = highest;
    }
    const QString name = SelectedName();
    host_.SetTrackListVisible(false);
    host_.SetBusyCursor(true);
    LoadList(name);
    if (!name.isEmpty() && name == host_.PlayingListName()) tracks_.MarkPlayingRow(TrackViews::kPlaylistView);
    host_.SetBusyCursor(false);
    host_.SetTrackListVisible(true);
    FitWidth();
}

void ListOfLists::FitWidth() {
    const QFontMetrics metrics(box_.font());
    const int textTwips = PixelsToTwips(metrics.horizontalAdvance(SelectedName()));
    const int width = TwipsToPixels(ListOfListWidthTwips(textTwips, host_.SpaceRightOfListOfList()));
    box_.resize(width, box_.height());
    // The open drop-down is at least as wide as its longest name, so long Japanese names show.
    int widest = 0;
    for (int i = 0; i < box_.count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(box_.itemText(i)));
    if (QAbstractItemView* view = box_.view()) view->setMinimumWidth(widest + 24);
}

} // namespace kv::playlists
