// A host that records what the folder tree asks of the main window, a lister that counts reads
// and fails where told, and message boxes answered by the test.
#pragma once
#include "browser/ctree_view.h"
#include "platform/message_box.h"

#include <QStringList>
#include <map>
#include <vector>

namespace kvtest {

struct FakeTreeHost : kv::browser::TreeHost {
    int fills = 0;
    QStringList calls; // menu and command calls in order
    std::vector<int> toolbarClicks;
    std::vector<int> volumeSteps;
    QStringList properties;
    int busy = 0;
    int recycled = 0;
    int activeView = 0;
    QString playlistTrack;
    QString settingsFile;
    QString programFolder;

    void FillFolderView() override { ++fills; }
    void PopupMenu(const QString& menu, const QPoint&) override { calls << QStringLiteral("popup ") + menu; }
    void SetMenuItemVisible(const QString& item, bool visible) override {
        calls << (visible ? QStringLiteral("show ") : QStringLiteral("hide ")) + item;
    }
    void SetMenuItemEnabled(const QString& item, bool enabled) override {
        calls << (enabled ? QStringLiteral("enable ") : QStringLiteral("disable ")) + item;
    }
    void ClickToolBarBack(int button) override { toolbarClicks.push_back(button); }
    void ChangeVolumeBar(int delta) override { volumeSteps.push_back(delta); }
    void ShowProperties(const QString& path) override {
        properties << path;
        calls << QStringLiteral("properties busy=%1").arg(busy);
    }
    void SetBusyCursor(bool on) override { busy += on ? 1 : -1; }
    void SendSelectionToRecycleBin() override { ++recycled; }
    int ActiveView() const override { return activeView; }
    QString SelectedPlaylistTrackPath() const override { return playlistTrack; }
    QString SettingsFile() const override { return settingsFile; }
    QString ProgramFolder() const override { return programFolder; }
};

// The native lister with given drives, counting every read, failing reads of chosen folders.
struct CountingLister : kv::browser::FolderLister {
    std::vector<kv::browser::DriveInfo> drives;
    std::map<QByteArray, int> failures; // folder -> errno
    std::map<QByteArray, int> listed;   // folder -> Subfolders calls
    std::map<QByteArray, int> probed;   // folder -> HasSubfolder calls
    int driveCalls = 0;

    std::vector<kv::browser::DriveInfo> Drives() override {
        ++driveCalls;
        return drives;
    }
    kv::browser::FolderListing Subfolders(const QByteArray& folder) override {
        ++listed[folder];
        if (auto it = failures.find(folder); it != failures.end()) return {it->second, {}};
        return FolderLister::Subfolders(folder);
    }
    bool HasSubfolder(const QByteArray& folder) override {
        ++probed[folder];
        if (failures.count(folder)) return false;
        return FolderLister::HasSubfolder(folder);
    }
    int TotalListed() const {
        int n = 0;
        for (const auto& [k, v] : listed)
            n += v;
        return n;
    }
    int TotalProbed() const {
        int n = 0;
        for (const auto& [k, v] : probed)
            n += v;
        return n;
    }
};

class MessageRecorder {
  public:
    MessageRecorder() {
        kv::platform::SetMessageHandler([this](const kv::platform::MessageRequest& r) {
            asked.push_back(r);
            return kv::platform::MsgAnswer::Ok;
        });
    }
    ~MessageRecorder() { kv::platform::SetMessageHandler({}); }
    std::vector<kv::platform::MessageRequest> asked;
};

} // namespace kvtest
