// The main window as the list of lists, the bars and the start/end marks see it. Each is a
// small adapter so that like-named calls of the different interfaces stay apart (the list of
// lists' "save" image is the toolbar's, the track list's goes through the list of lists).
#pragma once
#include "browser/tree_host.h"
#include "display/progress_bar.h"
#include "playback/positions.h"
#include "playlists/list_of_lists.h"

namespace kv::shell {

class FormMain;

class ListsHost final : public playlists::ListOfListHost {
public:
    explicit ListsHost(FormMain& window) : w_(window) {}
    void SetSaveButtonImage(const QString& key) override;
    void SetBusyCursor(bool busy) override;
    void SetTrackListVisible(bool visible) override;
    QString PlayingListName() const override;
    int SpaceRightOfListOfList() const override;
    QWidget* DialogOwner() const override;

private:
    FormMain& w_;
};

class BarsHost final : public display::ProgressBarHost {
public:
    explicit BarsHost(FormMain& window) : w_(window) {}
    QString DeviceFileName() const override;
    QString DeviceState() override;
    void DeviceSetVolume(int volume) override;
    void DeviceSetPosition(double seconds) override;
    void PlayOrResume() override;
    void PlaySelected() override;
    void OpenTrack(const QString& path) override;
    QString ActiveViewSelectedPath() const override;
    bool Initializing() const override;
    void SetTimeLabel(const QString& text) override;
    void ShowPlayPositionMenu(const QPoint& globalPos) override;
    display::CProgressBar* MainVolumeBar() override;
    QVector<display::CProgressBar*> MediaVolumeBars() override;

private:
    FormMain& w_;
};

class MarksHost final : public playback::MarkerHost {
public:
    explicit MarksHost(FormMain& window) : w_(window) {}
    playback::MarkerLayout Markers() const override;
    void SetMarkers(const playback::MarkerLayout& m) override;
    int BarWidth() const override;

private:
    FormMain& w_;
};

class TreeHostAdapter final : public browser::TreeHost {
public:
    explicit TreeHostAdapter(FormMain& window) : w_(window) {}
    void FillFolderView() override;
    void PopupMenu(const QString& menu, const QPoint& globalPos) override;
    void SetMenuItemVisible(const QString& item, bool visible) override;
    void SetMenuItemEnabled(const QString& item, bool enabled) override;
    void ClickToolBarBack(int button) override;
    void ChangeVolumeBar(int delta) override;
    void ShowProperties(const QString& path) override;
    void SetBusyCursor(bool busy) override;
    void SendSelectionToRecycleBin() override;
    int ActiveView() const override;
    QString SelectedPlaylistTrackPath() const override;

private:
    FormMain& w_;
};

} // namespace kv::shell
