#include "shell/shell_services.h"

#include "engine/vbmp3.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "playlists/track_format.h"
#include "playlists/track_info.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

namespace kv::shell {

TrayIcon::TrayIcon(std::function<void(int)> onMessage, QObject* parent)
    : QObject(parent), onMessage_(std::move(onMessage)) {}

QString TrayIcon::CutTip(const QString& tip) {
    QByteArray utf8 = tip.toUtf8();
    if (utf8.size() <= 63) return tip;
    int cut = 63;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
        --cut;
    return QString::fromUtf8(utf8.left(cut));
}

bool TrayIcon::AddTrayIcon(const QIcon& icon, const QString& tip) {
    tip_ = CutTip(tip);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    if (!icon_) {
        icon_ = new QSystemTrayIcon(this);
        connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (!onMessage_) return;
            switch (reason) {
            case QSystemTrayIcon::Trigger:
                onMessage_(kTrayLeftDown);
                break;
            case QSystemTrayIcon::DoubleClick:
                onMessage_(kTrayDoubleClick);
                break;
            case QSystemTrayIcon::Context:
                onMessage_(kTrayRightDown);
                break;
            default:
                break;
            }
        });
    }
    icon_->setIcon(icon);
    icon_->setToolTip(tip_);
    icon_->show();
    return true;
}

void TrayIcon::RemoveTrayIcon() {
    if (icon_) icon_->hide();
}

bool TrayIcon::IsShown() const {
    return icon_ && icon_->isVisible();
}

QString BrowseForFolder(QWidget* owner, const QString& title) {
    return platform::PickFolder(owner, title);
}

bool CShell::ShellX(const QString& target, QWidget*, bool wait) {
    const QUrl url = QUrl::fromUserInput(target, QDir::currentPath(), QUrl::AssumeLocalFile);
    if (!wait) return QDesktopServices::openUrl(url);
    QProcess process;
    process.start(QStringLiteral("xdg-open"), {url.toString()});
    if (!process.waitForStarted(5000)) return QDesktopServices::openUrl(url);
    while (process.state() != QProcess::NotRunning && !destroying_) {
        QCoreApplication::processEvents();
        process.waitForFinished(100);
    }
    return true;
}

bool ShowProperties(const QString& path, QWidget* owner) {
    QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) return false;
    QDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("FormProperties"));
    dialog.setWindowTitle(QStringLiteral("%1のプロパティ").arg(info.fileName()));
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    auto add = [&](const QString& caption, const QString& value) {
        auto* label = new QLabel(value, &dialog);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(caption, label);
    };
    const QLocale locale(QLocale::Japanese);
    auto when = [&](const QDateTime& t) {
        return t.isValid() ? locale.toString(t, QStringLiteral("yyyy/MM/dd HH:mm:ss")) : QString();
    };
    add(QStringLiteral("名前:"), info.fileName());
    add(QStringLiteral("場所:"), info.absolutePath());
    if (info.isDir()) {
        add(QStringLiteral("種類:"), QStringLiteral("フォルダ"));
    } else {
        add(QStringLiteral("種類:"), QMimeDatabase().mimeTypeForFile(info).comment());
        add(QStringLiteral("サイズ:"),
            QStringLiteral("%1 (%2 バイト)")
                .arg(playlists::FormatSize(info.size()), locale.toString(info.size())));
    }
    add(QStringLiteral("作成日時:"), when(info.birthTime()));
    add(QStringLiteral("更新日時:"), when(info.lastModified()));
    add(QStringLiteral("アクセス日時:"), when(info.lastRead()));

    const QString ext = platform::ExtensionOf(path);
    static const QStringList kTrackKinds = {"mp1", "mp2", "mp3", "rmp", "wav", "wave"};
    VBMP3_TAG_INFO tag{};
    VBMP3_FILE_INFO fileInfo{};
    if ((kTrackKinds.contains(ext) || playlists::IsEngineAudioKind(ext)) &&
        vbmp3_getFileInfo(QFile::encodeName(path).constData(), &tag, &fileInfo)) {
        auto text = [](const char* field, int width) {
            return QString::fromUtf8(field, qstrnlen(field, width)).trimmed();
        };
        add(QStringLiteral("演奏時間:"), playlists::FormatPlayTime(fileInfo.playTime));
        add(QStringLiteral("ビットレート:"), QStringLiteral("%1 kbps").arg(fileInfo.bitRate));
        add(QStringLiteral("サンプリング周波数:"), QStringLiteral("%1 Hz").arg(fileInfo.sampleRate));
        add(QStringLiteral("チャンネル:"), fileInfo.channels == 1 ? QStringLiteral("モノラル")
                                           : fileInfo.channels == 2
                                               ? QStringLiteral("ステレオ")
                                               : QStringLiteral("%1 チャンネル").arg(fileInfo.channels));
        add(QStringLiteral("タイトル:"), text(tag.title, sizeof tag.title));
        add(QStringLiteral("アーティスト:"), text(tag.artist, sizeof tag.artist));
        add(QStringLiteral("アルバム:"), text(tag.album, sizeof tag.album));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.exec();
    return true;
}

QString GetSystemFolder() {
    return QLibraryInfo::path(QLibraryInfo::LibrariesPath);
}

int MoveToRecycleBin(const QString& path) {
    if (path.isEmpty() || !QFileInfo::exists(path)) return 2;
    // Qt puts the trash in the working directory when the data folder is missing; make sure it
    // exists first.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    return QFile::moveToTrash(path) ? 0 : 1;
}

void OpenHelpFile() {
    const QString help = platform::JoinPath(platform::ProgramFolder(), QStringLiteral("KAVETTO.HLP"));
    if (!platform::FileExists(help)) {
        platform::ShowMessage(QStringLiteral("ヘルプファイル「KAVETTO.HLP」が存在しません。"),
                              platform::MsgButtons::Ok, platform::MsgIcon::Critical);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(help));
}

void ShowAboutWindow(QWidget* owner) {
    QDialog about(owner);
    about.setObjectName(QStringLiteral("FormVersion"));
    about.setWindowTitle(QStringLiteral("バージョン情報"));
    auto* layout = new QVBoxLayout(&about);
    auto* title = new QLabel(QStringLiteral("<h2>Kavetto</h2>"), &about);
    layout->addWidget(title);
    layout->addWidget(
        new QLabel(QStringLiteral("バージョン %1").arg(QStringLiteral(KAVETTO_VERSION)), &about));
    layout->addWidget(
        new QLabel(QStringLiteral("メール: %1").arg(QString::fromLatin1(kMailAddress)), &about));
    layout->addWidget(
        new QLabel(QStringLiteral("ホームページ: %1").arg(QString::fromLatin1(kHomePage)), &about));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    layout->addWidget(buttons);
    about.exec();
}

} // namespace kv::shell
