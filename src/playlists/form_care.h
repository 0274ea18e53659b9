// The repair windows: FormCare ("修復中") re-checks every row of the playlist view and then
// offers the search; FormCare2 ("リンク切れデータの検索") searches a folder tree for the
// broken rows' files, with its log in a ListBoxHS. Both are modal. UI thread only.
#pragma once
#include "playlists/link_repair.h"
#include "playlists/list_box_hs.h"

#include <QDialog>
#include <memory>

class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kv::playlists {

class TrackListModel;

class FormCare final : public QDialog {
    Q_OBJECT
  public:
    FormCare(TrackListModel& rows, RepairHost& host, QWidget* parent = nullptr);
    ~FormCare() override;

    // Counts the broken rows, asks, and opens FormCare2.
    void FileSearch();
    int BrokenCount() const { return broken_; }
    QProgressBar* ProgressBar1() const { return progress_; }
    QPushButton* Com() const { return com_; }
    // The search window while it is open (for tests).
    class FormCare2* Search() const {
        return search_;
    }

  protected:
    void done(int result) override;

  private:
    void Timer1();

    TrackListModel& rows_;
    RepairHost& host_;
    QProgressBar* progress_ = nullptr;
    QPushButton* com_ = nullptr;
    QTimer* timer1_ = nullptr;
    bool running_ = false;
    bool closed_ = false;
    bool aborted_ = false;
    int broken_ = 0;
    FormCare2* search_ = nullptr;
};

class FormCare2 final : public QDialog {
    Q_OBJECT
  public:
    FormCare2(TrackListModel& rows, RepairHost& host, QWidget* parent = nullptr);
    ~FormCare2() override;

    QLineEdit* Text1() const { return text1_; }
    QPushButton* Command1() const { return command1_; }
    QPushButton* Command2() const { return command2_; }
    QPushButton* Command3() const { return command3_; }
    ListBoxHS& ListHS() { return *listHS_; }
    const LinkSearch& Search() const { return search_; }

  protected:
    void done(int result) override;

  private:
    void Command2Click();
    void SearchBrokenLinks();

    TrackListModel& rows_;
    RepairHost& host_;
    LinkSearch search_;
    QLineEdit* text1_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
    QListWidget* list_ = nullptr;
    std::unique_ptr<ListBoxHS> listHS_;
    bool searchStopped_ = false;
};

// "InitialFindDir" of section "other", or the home folder when it is empty.
QString InitialFindDir();

} // namespace kv::playlists
