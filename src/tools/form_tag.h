// FormTag ("タグ編集"): the name of one file or folder and, for MPEG audio, its tag. Opened on
// the selected row of the active track view, or on the folder tree's selected folder when the
// tree has the focus; made for each use.
#pragma once
#include "tools/tag_editor.h"

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kv::display {
class VolumeMemory;
}
namespace kv::playlists {
class TrackList;
}

namespace kv::tools {

// What the tag editor reaches in the main window.
class TagEditorHost {
  public:
    virtual ~TagEditorHost() = default;
    virtual bool TreeHasFocus() const = 0;        // ExpTreeForcus
    virtual QString TreeSelectedPath() const = 0; // the tree's selected folder
    // The selected folder was renamed: its node, the tree's path and the folder view follow.
    virtual void TreeFolderRenamed(const QString& name, const QString& newPath) = 0;
    // A folder was renamed, from the tree or from a row: the player's file under it follows.
    virtual void FolderRenamed(const QString& from, const QString& to) = 0;
    virtual QString LoadedFileName() const = 0; // the player device's file
    virtual int PlayIndex() const = 0;          // 1-based row of the playing track in its view
    virtual void SaveWorkingCopy() = 0;         // the current list's, and the save button to "save"
    virtual display::VolumeMemory& ListVol() = 0;
};

class FormTag : public QDialog {
    Q_OBJECT
  public:
    FormTag(playlists::TrackList& tracks, TagEditorHost& host, QWidget* owner);

    bool HasTarget() const { return !target_.isEmpty(); }
    QString Target() const { return target_; }
    QLineEdit* Text2() const { return text2_; }
    QLineEdit* Text1(int index) const { return text1_.at(size_t(index)); }
    QPushButton* Command1() const { return ok_; }
    QPushButton* Command2() const { return cancel_; }

    // "OK": false when the window stays open (a name to correct).
    bool Save();

  private:
    void Open();
    void RenameRemembered(const QString& from, const QString& to);
    bool IsMpeg() const;
    int TargetRow() const;

    playlists::TrackList& tracks_;
    TagEditorHost& host_;
    QLineEdit* text2_ = nullptr;
    std::array<QLineEdit*, 5> text1_{};
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;

    QString target_;
    QString type_; // lower-case extension, or "Directory"
    QString baseName_;
    QString parent_;
    bool treeFocus_ = false;
    int view_ = 0; // the track view and row the editor was opened on
    int row_ = -1;
    bool edited_ = false;
    TagTexts shown_; // the tag's texts as the boxes showed them at opening
};

} // namespace kv::tools
