// The conversion window FormEncode ("ファイル変換") and its modal progress window FormEncode2.
// The window holds the list and the choices; the run itself is EncodeRun. UI thread only.
#pragma once
#include "tools/encode_run.h"

#include <QTreeWidget>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace kv::tools {

// FileList: takes files dropped from the desktop and hands their paths on.
class EncodeFileList : public QTreeWidget {
    Q_OBJECT
  public:
    explicit EncodeFileList(QWidget* parent);
    // Public so that a test can drop as the desktop does.
    void dropEvent(QDropEvent* event) override;
  signals:
    void FilesDropped(const QStringList& paths);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
};

// The modal progress window: LabelEncode, EncodeBar and "中止".
class FormEncode2 : public QWidget {
    Q_OBJECT
  public:
    explicit FormEncode2(QWidget* owner);
    QLabel* LabelEncode() const { return labelEncode_; }
    QProgressBar* EncodeBar() const { return encodeBar_; }
    QPushButton* Command1() const { return command1_; }
  signals:
    // "中止" or any other close by the user or the desktop.
    void CloseRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QLabel* labelEncode_;
    QProgressBar* encodeBar_;
    QPushButton* command1_;
};

class FormEncode : public QWidget, private EncodeRunHost {
    Q_OBJECT
  public:
    // The kinds of OptionType, in the order of its buttons.
    enum Kind { kWaveToMp3 = 0, kMp3ToWave = 1 };

    explicit FormEncode(QWidget* owner, std::unique_ptr<ConversionEngine> engine = MakeEngineConversion());
    ~FormEncode() override;

    // The shell's property sheet for a file; set by the main window.
    std::function<void(const QString& path, QWidget* owner)> showProperties;

    // An OLE drop on FileList: files of the chosen kind that the list does not hold yet.
    void AddDroppedFiles(const QStringList& paths);
    void DeleteSelectedFiles(); // IDMDeleteFile
    void ChooseSaveFolder();    // CommandSave
    Kind ChosenKind() const;

    EncodeRun& Run() { return run_; }
    EncodeFileList* FileList() const { return fileList_; }
    QRadioButton* OptionType(int index) const { return optionType_.at(index); }
    QLineEdit* TextSave() const { return textSave_; }
    QPushButton* CommandEncode() const { return commandEncode_; }
    QPushButton* CommandEnd() const { return commandEnd_; }
    QTimer* TimerEnc() const { return timerEnc_; }
    FormEncode2* Progress() const { return progress_; }
    QMenu* FileListMenu() const { return fileListMenu_; }

  signals:
    // The destination folder as written to the settings file when the window closes.
    void SaveFolderWritten(const QString& folder);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // EncodeRunHost
    QStringList SourcePaths() const override;
    QString DestinationText() const override;
    void SetTimerEnabled(bool on) override;
    void ShowProgress() override;
    void ShowPercent(int percent) override;
    void CloseProgress() override;

    void SetColumnWidths();
    QString InitialSaveFolder() const;

    EncodeFileList* fileList_;
    std::array<QRadioButton*, 2> optionType_{};
    QLineEdit* textSave_;
    QPushButton* commandSave_;
    QPushButton* commandEncode_;
    QPushButton* commandEnd_;
    QMenu* fileListMenu_;
    QTimer* timerEnc_;
    // Looks at the engine ten times a second so that the end of a file is taken up at once
    // rather than at the next TimerEnc tick.
    QTimer* endWatch_;
    FormEncode2* progress_;
    EncodeRun run_;
};

} // namespace kv::tools
