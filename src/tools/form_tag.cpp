#include "tools/form_tag.h"

#include "display/volume_memory.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "playlists/list_of_lists.h"
#include "playlists/track_icons.h"
#include "playlists/track_info.h"
#include "playlists/track_list.h"
#include "tools/window_placement.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

namespace kv::tools {
namespace {
using playlists::TrackViews;
const QString kNotWritable = QStringLiteral("記入できません");

void Lock(QLineEdit* box, const QString& text) {
    box->setText(text);
    box->setEnabled(false);
}
} // namespace

FormTag::FormTag(playlists::TrackList& tracks, TagEditorHost& host, QWidget* owner)
    : QDialog(owner), tracks_(tracks), host_(host) {
    setObjectName(QStringLiteral("FormTag"));
    setWindowTitle(QStringLiteral("タグ編集"));
    if (owner) setWindowIcon(owner->windowIcon());
    auto* grid = new QGridLayout;
    text2_ = new QLineEdit(this);
    text2_->setObjectName(QStringLiteral("Text2"));
    auto* fileLabel = new QLabel(QStringLiteral("ファイル名"), this);
    fileLabel->setBuddy(text2_); // a label's buddy is the box's name for a screen reader
    grid->addWidget(fileLabel, 0, 0);
    grid->addWidget(text2_, 0, 1);
    const char* labels[5] = {"曲名　", "アーティスト", "アルバム", "作成日", "コメント"};
    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(QString::fromUtf8(labels[i]), this);
        label->setObjectName(QStringLiteral("Label1(%1)").arg(i));
        text1_[size_t(i)] = new QLineEdit(this);
        text1_[size_t(i)]->setObjectName(QStringLiteral("Text1(%1)").arg(i));
        label->setBuddy(text1_[size_t(i)]);
        grid->addWidget(label, i + 1, 0);
        grid->addWidget(text1_[size_t(i)], i + 1, 1);
    }
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("Command1"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("Command2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    Open();
    // Filling the boxes is not an edit; only what the user types afterwards is.
    edited_ = false;
    connect(text2_, &QLineEdit::textChanged, this, [this] { edited_ = true; });
    for (QLineEdit* box : text1_)
        connect(box, &QLineEdit::textChanged, this, [this] { edited_ = true; });
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (Save()) accept();
    });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    adjustSize();
    CentreOnScreen(*this);
}

// The kinds whose tags the editor writes: MPEG, and the containers the engine reads through
// FFmpeg (their tags written through TagLib's property map).
bool FormTag::IsMpeg() const {
    return type_ == u"mp3" || type_ == u"mp2" || type_ == u"mp1" || playlists::IsEngineAudioKind(type_);
}

void FormTag::Open() {
    treeFocus_ = host_.TreeHasFocus();
    if (treeFocus_) {
        target_ = host_.TreeSelectedPath();
    } else {
        view_ = tracks_.State().ActiveView;
        const auto& model = tracks_.ListView(view_);
        row_ = tracks_.SelectedItem(view_);
        if (model.IsValidRow(row_)) target_ = model.Text(row_, playlists::ColPath);
    }
    // The tree's folders end in '/'.
    while (target_.size() > 1 && target_.endsWith(u'/'))
        target_.chop(1);
    if (target_.isEmpty()) return;
    const QString name = platform::FileNameOf(target_);
    parent_ = platform::ParentFolderOf(target_);
    if (platform::FolderExists(target_)) {
        type_ = playlists::kKindDirectory;
        baseName_ = name;
    } else {
        type_ = platform::ExtensionOf(target_);
        baseName_ = type_.isEmpty() ? name : name.left(name.size() - type_.size() - 1);
    }
    text2_->setText(baseName_);
    // A loaded file keeps its name.
    if (!host_.LoadedFileName().isEmpty() && host_.LoadedFileName() == target_) text2_->setReadOnly(true);

    if (IsMpeg()) {
        if (auto tag = ReadTag(target_)) shown_ = *tag;
        for (int i = 0; i < 5; ++i)
            text1_[size_t(i)]->setText(shown_[size_t(i)]);
        return;
    }
    const bool midi = type_ == u"mid" || type_ == u"midi";
    const QString title = midi ? playlists::ReadMidiTitle(target_) : QString();
    for (int i = 0; i < 5; ++i)
        Lock(text1_[size_t(i)], kNotWritable);
    if (!title.isEmpty()) text1_[0]->setText(title);
}

// The volume and the start and end marks the program remembers for a file, or for every file
// under a folder, go with it to its new name.
void FormTag::RenameRemembered(const QString& from, const QString& to) {
    display::VolumeMemory& memory = host_.ListVol();
    const QString folderPrefix = from + u'/';
    const int count = memory.Count();
    for (int i = 0; i < count; ++i) {
        const QString path = memory.Entry(i).path;
        QString moved;
        if (path.compare(from, Qt::CaseInsensitive) == 0)
            moved = to;
        else if (path.startsWith(folderPrefix, Qt::CaseInsensitive))
            moved = to + path.mid(from.size());
        else
            continue;
        if (memory.Find(path) != i) continue; // a later duplicate entry is never read
        const int target = memory.Find(moved);
        if (target < 0) {
            memory.Rename(i, moved); // keeps its place, leaves nothing behind under the old name
            continue;
        }
        for (int s = 1; s <= display::kVolumeSubItems; ++s) {
            memory.SetSubItem(target, s, memory.SubItem(i, s));
            memory.SetSubItem(i, s, QString());
        }
    }
}

// The row the editor was opened on, found again by its path: continuous play moves the
// selection while the window is open, and rows may have moved too.
int FormTag::TargetRow() const {
    const auto& model = tracks_.ListView(view_);
    if (model.IsValidRow(row_) && model.Text(row_, playlists::ColPath) == target_) return row_;
    for (int row = 0; row < model.Count(); ++row)
        if (model.Text(row, playlists::ColPath) == target_) return row;
    return -1;
}

bool FormTag::Save() {
    if (!edited_ || target_.isEmpty()) return true;
    const QString name = text2_->text();
    if (name.isEmpty()) {
        platform::ShowMessage(QStringLiteral("ファイル名を入力してください。"), platform::MsgButtons::Ok,
                              platform::MsgIcon::Exclamation);
        return false;
    }
    if (!playlists::ValidateListName(name)) return false;

    const bool folder = type_ == playlists::kKindDirectory;
    QString newPath = platform::JoinPath(parent_, name);
    if (!folder && !type_.isEmpty()) newPath += u'.' + type_;
    if (folder && name != baseName_) {
        // The settings and the lists are saved into the program's folder at the end: neither it
        // nor a folder above it may move away under them.
        const QString program = QFileInfo(platform::ProgramFolder()).canonicalFilePath();
        const QString self = QFileInfo(target_).canonicalFilePath();
        if (!self.isEmpty() && (program == self || program.startsWith(self + u'/'))) {
            platform::ShowMessage(
                (program == self
                     ? QStringLiteral("「%1」はこのプログラムのフォルダなので、名前を変更できません。")
                     : QStringLiteral("「%1」にはこのプログラムのフォルダがあるので、名前を変更できません。"))
                    .arg(platform::FileNameOf(target_)),
                platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
            return false;
        }
    }
    QString path = target_; // where the file is once the rename is over
    QStringList failures;
    if (name != baseName_) {
        const RenameOutcome renamed = RenameNoReplace(target_, newPath);
        if (renamed.result == RenameResult::TargetExists) {
            platform::ShowMessage(QStringLiteral("「%1」は既にあります。別の名前を入力してください。")
                                      .arg(platform::FileNameOf(newPath)),
                                  platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
            return false;
        }
        if (renamed.result == RenameResult::Done) {
            path = newPath;
            RenameRemembered(target_, newPath);
            if (folder) host_.FolderRenamed(target_, newPath);
        } else {
            failures << QStringLiteral("「%1」の名前を変更できませんでした（%2）。")
                            .arg(platform::FileNameOf(target_),
                                 QString::fromLocal8Bit(std::strerror(renamed.error)));
        }
    }

    if (treeFocus_) {
        if (path != target_) host_.TreeFolderRenamed(name, path);
    } else {
        auto& model = tracks_.ListView(view_);
        const int row = TargetRow();
        if (row >= 0) {
            if (IsMpeg()) {
                // Only what the user changed is written: a text he left alone keeps every byte.
                TagTexts texts;
                unsigned changed = 0;
                for (size_t i = 0; i < 5; ++i) {
                    texts[i] = text1_[i]->text();
                    if (texts[i] != shown_[i]) changed |= 1u << i;
                }
                if (WriteTag(path, texts, changed)) {
                    model.SetText(row, playlists::ColArtist, texts[1]);
                    model.SetText(row, playlists::ColTitle, texts[0]);
                } else {
                    failures << QStringLiteral(
                                    "「%1」にタグを書き込めませんでした。ファイルは変更されていません。")
                                    .arg(platform::FileNameOf(path));
                }
            }
            const bool playingRow = row == host_.PlayIndex() - 1 && view_ == tracks_.State().PlayingView;
            if (!playingRow && path != target_) {
                const QString kind = folder ? playlists::kKindDirectory : platform::ExtensionOf(path);
                model.SetText(row, playlists::ColFile, platform::FileNameOf(path));
                model.SetText(row, playlists::ColKind, kind);
                model.SetText(row, playlists::ColPath, path);
                model.SetIcon(row, playlists::IconKey(path, folder ? QString() : kind));
            }
        }
    }
    if ((treeFocus_ ? tracks_.State().ActiveView : view_) == TrackViews::kPlaylistView)
        host_.SaveWorkingCopy();
    if (!failures.isEmpty())
        platform::ShowMessage(failures.join(u'\n'), platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    return true;
}

} // namespace kv::tools
