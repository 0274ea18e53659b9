#include "tools/form_encode.h"

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/program_folder.h"
#include "platform/twips.h"
#include "playlists/track_format.h"
#include "playlists/track_icons.h"
#include "tools/tool_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kv::tools {
namespace {

enum Column { kColFile = 0, kColPlayTime = 1, kColPath = 2 };
constexpr int kPlayTimeColumnTwips = 1000;

const QString kSection = QStringLiteral("Encode");
const QString kSaveDirKey = QStringLiteral("SaveDir");

bool HasLocalFiles(const QMimeData* mime) {
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) return true;
    return false;
}

} // namespace

EncodeFileList::EncodeFileList(QWidget* parent) : QTreeWidget(parent) {
    setDragDropMode(QAbstractItemView::DropOnly);
    setAcceptDrops(true);
}

void EncodeFileList::dragEnterEvent(QDragEnterEvent* event) {
    if (HasLocalFiles(event->mimeData())) event->acceptProposedAction();
}

void EncodeFileList::dragMoveEvent(QDragMoveEvent* event) {
    if (HasLocalFiles(event->mimeData())) event->acceptProposedAction();
}

void EncodeFileList::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    emit FilesDropped(paths);
}

FormEncode2::FormEncode2(QWidget* owner) : QWidget(owner, Qt::Dialog) {
    setObjectName(QStringLiteral("FormEncode2"));
    setWindowTitle(QStringLiteral("ファイル変換中"));
    setWindowModality(Qt::ApplicationModal);
    TakeOwnersIcon(this, owner);
    CloseWithEscape(this); // the same request as the close box: the run decides
    labelEncode_ = new QLabel(QStringLiteral("0%"), this);
    labelEncode_->setObjectName(QStringLiteral("LabelEncode"));
    labelEncode_->setAlignment(Qt::AlignCenter);
    encodeBar_ = new QProgressBar(this);
    encodeBar_->setObjectName(QStringLiteral("EncodeBar"));
    encodeBar_->setRange(0, 100);
    encodeBar_->setValue(0);
    encodeBar_->setTextVisible(false);
    command1_ = new QPushButton(QStringLiteral("中止"), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(labelEncode_);
    layout->addWidget(encodeBar_);
    layout->addWidget(command1_, 0, Qt::AlignHCenter);
    resize(platform::TwipsToPixels(4500), sizeHint().height());
    connect(command1_, &QPushButton::clicked, this, &FormEncode2::CloseRequested);
}

void FormEncode2::closeEvent(QCloseEvent* event) {
    // The run decides when the window goes: it hides it once the engine has stopped.
    event->ignore();
    emit CloseRequested();
}

FormEncode::FormEncode(QWidget* owner, std::unique_ptr<ConversionEngine> engine)
    : QWidget(owner, Qt::Window), run_(*this, std::move(engine)) {
    setObjectName(QStringLiteral("FormEncode"));
    setWindowTitle(QStringLiteral("ファイル変換"));
    TakeOwnersIcon(this, owner);
    CloseWithEscape(this);

    fileList_ = new EncodeFileList(this);
    fileList_->setObjectName(QStringLiteral("FileList"));
    fileList_->setAccessibleName(QStringLiteral("変換したいファイル"));
    fileList_->setColumnCount(3);
    fileList_->setHeaderLabels(
        {QStringLiteral("ファイル"), QStringLiteral("演奏時間"), QStringLiteral("場所")});
    fileList_->setRootIsDecorated(false);
    fileList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileList_->setContextMenuPolicy(Qt::CustomContextMenu);
    fileList_->setToolTip(QStringLiteral("ここに変換したいファイルをドラッグ＆ドロップしてください"));
    fileList_->header()->setStretchLastSection(false);

    fileListMenu_ = new QMenu(this);
    fileListMenu_->setObjectName(QStringLiteral("IDMFileList"));
    QAction* deleteFile = fileListMenu_->addAction(QStringLiteral("削除"));
    deleteFile->setObjectName(QStringLiteral("IDMDeleteFile"));

    auto* typeFrame = new QGroupBox(QStringLiteral("変換の種類"), this);
    auto* typeLayout = new QHBoxLayout(typeFrame);
    const char* kinds[2] = {"WAVE → MP3", "MP3 → WAVE"};
    for (int i = 0; i < 2; ++i) {
        optionType_[i] = new QRadioButton(QString::fromUtf8(kinds[i]), typeFrame);
        optionType_[i]->setObjectName(QStringLiteral("OptionType(%1)").arg(i));
        typeLayout->addWidget(optionType_[i]);
    }
    optionType_[kWaveToMp3]->setChecked(true);

    auto* saveFrame = new QGroupBox(QStringLiteral("変換したファイルを保存するフォルダ"), this);
    auto* saveLayout = new QHBoxLayout(saveFrame);
    textSave_ = new QLineEdit(saveFrame);
    textSave_->setObjectName(QStringLiteral("TextSave"));
    textSave_->setAccessibleName(QStringLiteral("変換したファイルを保存するフォルダ"));
    textSave_->setToolTip(QStringLiteral("ここに変換したファイルが保存されます"));
    commandSave_ = new QPushButton(QStringLiteral("..."), saveFrame);
    commandSave_->setObjectName(QStringLiteral("CommandSave"));
    commandSave_->setAccessibleName(QStringLiteral("フォルダを選択"));
    commandSave_->setFixedWidth(platform::TwipsToPixels(450));
    saveLayout->addWidget(textSave_);
    saveLayout->addWidget(commandSave_);

    commandEncode_ = new QPushButton(QStringLiteral("変換"), this);
    commandEncode_->setObjectName(QStringLiteral("CommandEncode"));
    commandEnd_ = new QPushButton(QStringLiteral("閉じる"), this);
    commandEnd_->setObjectName(QStringLiteral("CommandEnd"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(fileList_, 0, 0, 1, 3);
    layout->addWidget(typeFrame, 1, 0, 1, 3);
    layout->addWidget(saveFrame, 2, 0, 1, 3);
    layout->setColumnStretch(0, 1);
    layout->addWidget(commandEncode_, 3, 1);
    layout->addWidget(commandEnd_, 3, 2);

    timerEnc_ = new QTimer(this);
    timerEnc_->setObjectName(QStringLiteral("TimerEnc"));
    timerEnc_->setInterval(1000);
    endWatch_ = new QTimer(this);
    endWatch_->setInterval(100);
    progress_ = new FormEncode2(this);

    textSave_->setText(InitialSaveFolder());
    resize(platform::TwipsToPixels(7200), platform::TwipsToPixels(6000));
    CentreOnScreen(this);

    connect(fileList_, &EncodeFileList::FilesDropped, this, &FormEncode::AddDroppedFiles);
    connect(fileList_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (item && showProperties) showProperties(item->text(kColPath), this);
    });
    connect(fileList_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { fileListMenu_->popup(fileList_->viewport()->mapToGlobal(pos)); });
    connect(deleteFile, &QAction::triggered, this, &FormEncode::DeleteSelectedFiles);
    for (QRadioButton* option : optionType_)
        connect(option, &QRadioButton::toggled, this, [this](bool on) {
            if (on) fileList_->clear();
        });
    connect(commandSave_, &QPushButton::clicked, this, &FormEncode::ChooseSaveFolder);
    connect(commandEncode_, &QPushButton::clicked, this, [this] {
        run_.CommandEncode();
        // The first file starts now rather than a second later.
        run_.Tick();
    });
    connect(commandEnd_, &QPushButton::clicked, this, &QWidget::close);
    connect(timerEnc_, &QTimer::timeout, this, [this] { run_.Tick(); });
    connect(endWatch_, &QTimer::timeout, this, [this] { run_.WatchEnd(); });
    connect(progress_, &FormEncode2::CloseRequested, this, [this] { run_.Abort(); });
}

FormEncode::~FormEncode() = default;

QString FormEncode::InitialSaveFolder() const {
    QString folder = platform::ReadSetting(kSection, kSaveDirKey, platform::SettingsFile());
    // Nothing stored yet (a first run) means the program's folder, as a folder that is gone does.
    if (folder.isEmpty()) return platform::ProgramFolder() + u'/';
    if (!folder.endsWith(u'/')) folder += u'/';
    if (platform::FolderExists(folder) || folder.size() < 3) return folder;
    return platform::ProgramFolder() + u'/';
}

void FormEncode::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    SetColumnWidths();
}

void FormEncode::SetColumnWidths() {
    const int listTwips = platform::PixelsToTwips(fileList_->width());
    const int other = std::max(0, (listTwips - kPlayTimeColumnTwips - 100) / 2);
    fileList_->setColumnWidth(kColFile, platform::TwipsToPixels(other));
    fileList_->setColumnWidth(kColPlayTime, platform::TwipsToPixels(kPlayTimeColumnTwips));
    fileList_->setColumnWidth(kColPath, platform::TwipsToPixels(other));
}

FormEncode::Kind FormEncode::ChosenKind() const {
    return optionType_[kMp3ToWave]->isChecked() ? kMp3ToWave : kWaveToMp3;
}

void FormEncode::AddDroppedFiles(const QStringList& paths) {
    const Kind kind = ChosenKind();
    for (const QString& path : paths) {
        if (!fileList_->findItems(path, Qt::MatchExactly, kColPath).isEmpty()) continue;
        const QString ext = platform::ExtensionOf(path);
        const bool wanted = kind == kWaveToMp3 ? IsMp3Source(ext) : ext == u"mp3";
        if (!wanted || !platform::FileExists(path)) continue;
        auto* item = new QTreeWidgetItem(fileList_);
        item->setText(kColFile, platform::FileNameOf(path));
        item->setText(kColPlayTime, playlists::FormatPlayTime(SourcePlayLength(path)));
        item->setText(kColPath, path);
        item->setIcon(kColFile, playlists::ListViewImage().Icon(playlists::IconKey(path, ext)));
    }
}

void FormEncode::DeleteSelectedFiles() {
    for (int i = fileList_->topLevelItemCount() - 1; i >= 0; --i)
        if (fileList_->topLevelItem(i)->isSelected()) delete fileList_->takeTopLevelItem(i);
}

void FormEncode::ChooseSaveFolder() {
    const QString folder =
        platform::PickFolder(this, QStringLiteral("フォルダを選択して下さい。"), textSave_->text());
    if (!folder.isEmpty()) textSave_->setText(folder);
}

void FormEncode::closeEvent(QCloseEvent* event) {
    if (run_.CurrentState() != EncodeRun::kIdle) {
        event->ignore();
        return;
    }
    platform::WriteSetting(kSection, kSaveDirKey, textSave_->text(), platform::SettingsFile());
    emit SaveFolderWritten(textSave_->text());
    event->accept();
}

QStringList FormEncode::SourcePaths() const {
    QStringList paths;
    for (int i = 0; i < fileList_->topLevelItemCount(); ++i)
        paths << fileList_->topLevelItem(i)->text(kColPath);
    return paths;
}

QString FormEncode::DestinationText() const {
    return textSave_->text();
}

void FormEncode::SetTimerEnabled(bool on) {
    for (QTimer* timer : {timerEnc_, endWatch_})
        on ? timer->start() : timer->stop();
}

void FormEncode::ShowProgress() {
    CentreOnScreen(progress_);
    progress_->show();
    progress_->raise();
}

void FormEncode::ShowPercent(int percent) {
    progress_->LabelEncode()->setText(QStringLiteral("%1%").arg(percent));
    progress_->EncodeBar()->setValue(percent);
}

void FormEncode::CloseProgress() {
    progress_->hide();
}

} // namespace kv::tools
