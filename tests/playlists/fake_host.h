// A host that records what the track list asks of the main window, and message boxes answered
// by the test.
#pragma once
#include "platform/message_box.h"
#include "playlists/track_list.h"

#include <QStringList>
#include <vector>

namespace kvtest {

struct FakeHost : kv::playlists::TrackListHost {
    QString playing;
    int lists = 1;
    QString listText = QStringLiteral("list");
    QString folder;
    bool mayFill = true;

    int playSelected = 0;
    QStringList deviceOpened;
    QStringList labels;
    QStringList trackInformation;
    QStringList savedLists;
    QStringList saveImages;
    std::vector<int> toolbarClicks;
    std::vector<int> volumeSteps;
    std::vector<bool> encodeVisible;
    QStringList folderTreePaths;
    QStringList goneToFolderOf;
    int folderUp = 0;
    QStringList recycled;
    QStringList properties;
    std::vector<int> popups;
    int busy = 0;

    void PlaySelected() override { ++playSelected; }
    QString PlayingFileName() const override { return playing; }
    void DeviceOpen(const QString& path) override { deviceOpened << path; }
    void SetTrackInformation(const QStringList& four) override { trackInformation = four; }
    void ShowInfoLabels(const QStringList& four) override { labels = four; }
    void ClickToolBarBack(int button) override { toolbarClicks.push_back(button); }
    void ChangeVolumeBar(int delta) override { volumeSteps.push_back(delta); }
    void SetEncodeMenuVisible(bool visible) override { encodeVisible.push_back(visible); }
    void ShowPopupMenu(int view, const QPoint&) override { popups.push_back(view); }
    void ShowProperties(const QString& path) override { properties << path; }
    void SetBusyCursor(bool on) override { busy += on ? 1 : -1; }
    bool MayFillFolderView() const override { return mayFill; }
    int ListOfListCount() const override { return lists; }
    QString ListOfListText() const override { return listText; }
    void SaveWorkingCopy(const QString& name) override { savedLists << name; }
    void SetSaveButtonImage(const QString& key) override { saveImages << key; }
    QString FolderTreePath() const override { return folder; }
    void SetFolderTreePath(const QString& path) override {
        folderTreePaths << path;
        folder = path;
    }
    void GoToFolderOf(const QString& path) override { goneToFolderOf << path; }
    void FolderTreeUp() override { ++folderUp; }
    void MoveToRecycleBin(const QStringList& paths) override { recycled << paths; }
};

// Answers every message box with `answer` and keeps what was asked.
class MessageRecorder {
  public:
    explicit MessageRecorder(kv::platform::MsgAnswer answer = kv::platform::MsgAnswer::Ok) : answer_(answer) {
        kv::platform::SetMessageHandler([this](const kv::platform::MessageRequest& r) {
            asked.push_back(r);
            return answer_;
        });
    }
    ~MessageRecorder() { kv::platform::SetMessageHandler({}); }
    void Answer(kv::platform::MsgAnswer answer) { answer_ = answer; }
    std::vector<kv::platform::MessageRequest> asked;

  private:
    kv::platform::MsgAnswer answer_;
};

} // namespace kvtest
