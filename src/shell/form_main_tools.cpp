// The main window's side of the tool windows: the equalizer, the tag editor and the lyrics window.
#include "browser/ctree_view.h"
#include "playback/play_control.h"
#include "playback/sound_play.h"
#include "playlists/list_of_lists.h"
#include "shell/form_main.h"
#include "tools/form_equalizer.h"
#include "tools/form_tag.h"
#include "tools/form_words.h"

#include <QComboBox>

#include <QAction>

namespace kv::shell {
namespace {

// The lyrics window's view of the main window; owned by the lyrics window.
class WordsHostAdapter : public QObject, public tools::WordsHost {
  public:
    explicit WordsHostAdapter(FormMain& main) : main_(main) {}
    tools::WordsPlacement WordsWindowGeometry() const override {
        const WindowBox& g = main_.State().WordsWindowGeometry;
        return {g.height, g.width, g.left, g.top, g.state, g.placed};
    }
    void SetWordsWindowGeometry(const tools::WordsPlacement& g) override {
        main_.State().WordsWindowGeometry = {g.height, g.width, g.left, g.top, g.state, g.placed};
    }
    bool Closing() const override { return main_.State().Closing; }
    void ClickToolBarBack(int button) override { main_.ClickToolBarBack(button); }
    void ChangeVolumeBar(int delta) override { main_.ChangeVolumeBar(delta); }
    QString ActiveViewSelectedPath() const override { return main_.ActiveViewSelectedPath(); }
    void OpenTrack(const QString& path) override { main_.OpenTrack(path); }

  private:
    FormMain& main_;
};

class TagHostAdapter : public tools::TagEditorHost {
  public:
    explicit TagHostAdapter(FormMain& main) : main_(main) {}
    bool TreeHasFocus() const override { return main_.ExplorTree().ExpTreeForcus(); }
    QString TreeSelectedPath() const override { return main_.ExplorTree().GetExpTreePath(); }
    void TreeFolderRenamed(const QString& name, const QString& newPath) override {
        main_.ExplorTree().SetSelectedNodeText(name);
        main_.ExplorTree().SetPath(newPath);
        main_.Tracks().FillFolderView();
    }
    void FolderRenamed(const QString& from, const QString& to) override {
        main_.FollowRenamedFolder(from, to);
    }
    QString LoadedFileName() const override { return main_.PlayingFileName(); }
    int PlayIndex() const override { return main_.Play() ? main_.Play()->PlayIndex : 0; }
    void SaveWorkingCopy() override {
        main_.Lists().SaveWorkingCopy(main_.ListOfList()->currentText());
        main_.Lists().SetSaveButtonImage(playlists::kSaveImage);
    }
    display::VolumeMemory& ListVol() override { return main_.ListVol(); }

  private:
    FormMain& main_;
};

} // namespace

void FormMain::ShowEqualizer() {
    if (!formEqualizer_)
        formEqualizer_ =
            new tools::FormEqualizer(this, [this] { return device_ ? device_->Kakutyosi : QString(); });
    formEqualizer_->show();
    formEqualizer_->raise();
    formEqualizer_->activateWindow();
}

void FormMain::ShowTagEditor() {
    TagHostAdapter host(*this);
    tools::FormTag form(tracks_, host, this);
    if (form.HasTarget()) form.exec();
}

void FormMain::FollowRenamedFolder(const QString& from, const QString& to) {
    if (!device_ || !play_) return;
    const QString playing = device_->FileName();
    if (!playing.startsWith(from + u'/')) return;
    const QString moved = to + playing.mid(from.size());
    // The device keeps the file it has open; only its name changes.
    device_->FileMoved(moved);
    const int view = tracks_.State().PlayingView;
    if (!playlists::TrackViews::IsView(view)) return;
    auto& model = tracks_.ListView(view);
    const int row = play_->PlayIndex - 1;
    if (!model.IsValidRow(row) || model.Text(row, playlists::ColPath) != playing) return;
    model.SetText(row, playlists::ColPath, moved);
    if (view == playlists::TrackViews::kPlaylistView) {
        SaveWorkingCopy(ListOfListText());
        SetSaveButtonImage(playlists::kSaveImage);
    }
}

void FormMain::LoadLyrics(const QString&) {
    const bool checked = Item(QStringLiteral("IDMwords"))->isChecked();
    if (!formWords_) {
        if (!checked) return; // nothing to hide
        auto* host = new WordsHostAdapter(*this);
        formWords_ = new tools::FormWords(*host, this);
        host->setParent(formWords_);
    }
    formWords_->LoadLyrics({checked, MediaWindowVisible(), device_ ? device_->FileName() : QString(),
                            device_ ? device_->Kakutyosi : QString()});
}

// At the end the lyrics window's place goes into WordsWindowGeometry before the settings are saved.
void FormMain::CloseToolWindows() {
    if (formWords_) formWords_->FormWords_Hide();
    if (formEqualizer_) formEqualizer_->hide();
}

void FormMain::ConnectToolCommands() {
    connect(Item(QStringLiteral("IDMEqualizer")), &QAction::triggered, this, [this] { ShowEqualizer(); });
    connect(Item(QStringLiteral("IDMwords")), &QAction::triggered, this, [this] { LoadLyrics(); });
    connect(Item(QStringLiteral("IDMEditFile")), &QAction::triggered, this, [this] { ShowTagEditor(); });
}

} // namespace kv::shell
