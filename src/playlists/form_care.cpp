#include "playlists/form_care.h"

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "playlists/track_list_model.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace kv::playlists {
namespace {

const QString kStart = QStringLiteral("検索開始");
const QString kStop = QStringLiteral("中止");
const QString kOther = QStringLiteral("other");
const QString kInitialFindDir = QStringLiteral("InitialFindDir");

void CentreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

QString DefaultFindDir() {
    return QDir::homePath();
}

} // namespace

QString InitialFindDir() {
    const QString stored = platform::ReadSetting(kOther, kInitialFindDir, platform::SettingsFile());
    return stored.isEmpty() ? DefaultFindDir() : stored;
}

FormCare::FormCare(TrackListModel& rows, RepairHost& host, QWidget* parent)
    : QDialog(parent), rows_(rows), host_(host) {
    setObjectName(QStringLiteral("FormCare"));
    setWindowTitle(QStringLiteral("修復中"));
    if (parent) setWindowIcon(parent->windowIcon());
    auto* layout = new QVBoxLayout(this);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ProgressBar1"));
    progress_->setRange(0, rows_.Count());
    progress_->setValue(0);
    layout->addWidget(progress_);
    com_ = new QPushButton(kStop, this);
    com_->setObjectName(QStringLiteral("Com"));
    layout->addWidget(com_, 0, Qt::AlignHCenter);
    connect(com_, &QPushButton::clicked, this, [this] {
        running_ = false;
        aborted_ = true;
    });
    resize(360, 90);
    CentreOnScreen(this);
    host_.SetNoAutoStart(true);
    running_ = true;
    timer1_ = new QTimer(this);
    timer1_->setSingleShot(true);
    timer1_->setInterval(50);
    connect(timer1_, &QTimer::timeout, this, [this] { Timer1(); });
    timer1_->start();
}

FormCare::~FormCare() = default;

void FormCare::Timer1() {
    timer1_->stop();
    host_.StopForCheck();
    broken_ = 0;
    for (int i = 0; i < rows_.Count(); ++i) {
        if (!running_) break;
        rows_.SetCurrentRow(i);
        rows_.RequestScrollTo(i);
        host_.LetEventsRun();
        if (!running_ || i >= rows_.Count()) break;
        progress_->setValue(i + 1);
        TrackEntry row = rows_.Row(i);
        if (!platform::FileExists(row.Path())) {
            ++broken_;
            rows_.SetIcon(i, kIconNothing);
            continue;
        }
        RecheckRow(row, host_);
        rows_.StoreColumnsQuietly(i, row);
        rows_.RowsChanged(i, i);
        rows_.SetIcon(i, row.icon);
    }
    host_.RestorePlayer();
    accept();
    // A full check with nothing broken says so too, rather than closing without a word.
    if (broken_ != 0 || !aborted_) FileSearch();
}

void FormCare::done(int result) {
    if (!closed_) {
        closed_ = true;
        running_ = false;
        timer1_->stop();
        host_.SetNoAutoStart(false);
        host_.SaveWorkingCopy();
    }
    QDialog::done(result);
}

void FormCare::FileSearch() {
    const int broken = MarkBrokenRows(rows_);
    if (broken == 0) {
        platform::ShowMessage(QStringLiteral("リンクが切れたデータはありませんでした。"));
        return;
    }
    const QString question =
        QStringLiteral("リンクが切れたデータが") + QString::number(broken) +
        QStringLiteral("個ありました。") + QStringLiteral("\r\n\r\n") +
        QStringLiteral("これらのデータのリンク切れを回復しますか？（場合によっては数十分かかります。）");
    if (platform::ShowMessage(question, platform::MsgButtons::YesNo, platform::MsgIcon::Information) !=
        platform::MsgAnswer::Yes)
        return;
    FormCare2 search(rows_, host_, parentWidget());
    search_ = &search;
    search.exec();
    search_ = nullptr;
}

FormCare2::FormCare2(TrackListModel& rows, RepairHost& host, QWidget* parent)
    : QDialog(parent), rows_(rows), host_(host), search_(rows, host) {
    setObjectName(QStringLiteral("FormCare2"));
    setWindowTitle(QStringLiteral("リンク切れデータの検索"));
    if (parent) setWindowIcon(parent->windowIcon());
    auto* layout = new QGridLayout(this);
    text1_ = new QLineEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setAccessibleName(QStringLiteral("検索するフォルダ"));
    command1_ = new QPushButton(QStringLiteral(" ..."), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setAccessibleName(QStringLiteral("フォルダを選択"));
    command2_ = new QPushButton(kStart, this);
    command2_->setObjectName(QStringLiteral("Command2"));
    command3_ = new QPushButton(QStringLiteral("閉じる"), this);
    command3_->setObjectName(QStringLiteral("Command3"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ListHS"));
    list_->setAccessibleName(QStringLiteral("検索の経過"));
    layout->addWidget(text1_, 0, 0);
    layout->addWidget(command1_, 0, 1);
    layout->addWidget(list_, 1, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(command2_);
    buttons->addWidget(command3_);
    layout->addLayout(buttons, 2, 0, 1, 2);
    resize(520, 360);

    listHS_ = std::make_unique<ListBoxHS>(list_);
    text1_->setText(InitialFindDir());
    CentreOnScreen(this);

    connect(command1_, &QPushButton::clicked, this, [this] {
        const QString folder =
            platform::PickFolder(this, QStringLiteral("フォルダを選択して下さい。"), text1_->text());
        if (!folder.isEmpty()) text1_->setText(folder);
    });
    connect(command2_, &QPushButton::clicked, this, [this] { Command2Click(); });
    connect(command3_, &QPushButton::clicked, this, [this] { reject(); });
}

FormCare2::~FormCare2() = default;

void FormCare2::done(int result) {
    platform::WriteSetting(kOther, kInitialFindDir, text1_->text(), platform::SettingsFile());
    QDialog::done(result);
}

void FormCare2::Command2Click() {
    if (command2_->text() == kStart) {
        command2_->setText(kStop);
        listHS_->Clear();
        SearchBrokenLinks();
    } else {
        command2_->setText(kStart);
        searchStopped_ = true;
    }
}

void FormCare2::SearchBrokenLinks() {
    searchStopped_ = false;
    if (text1_->text().isEmpty()) {
        platform::ShowMessage(QStringLiteral("検索するフォルダを指定してください。"),
                              platform::MsgButtons::Ok, platform::MsgIcon::Critical);
        command2_->setText(kStart);
        text1_->setText(DefaultFindDir());
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool completed = search_.Run(
        text1_->text(), [this](const QString& line) { listHS_->AddItem(line); },
        [this] { return searchStopped_ || command2_->text() == kStart || !isVisible(); });
    command2_->setText(kStart);
    QApplication::restoreOverrideCursor();
    if (completed) host_.Beep();
    // Rows rewritten before a stop are kept in the working copy too, not only after a full run.
    if (completed || search_.Rewritten > 0) host_.SaveWorkingCopy();
}

} // namespace kv::playlists
