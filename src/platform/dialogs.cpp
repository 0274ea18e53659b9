#include "platform/dialogs.h"

#include <QFileDialog>
#include <QInputDialog>

namespace kv::platform {
namespace {
DialogHandler g_handler;
}

void SetDialogHandler(DialogHandler handler) { g_handler = std::move(handler); }

QString PickFolder(QWidget* owner, const QString& title, const QString& startFolder) {
    if (g_handler) {
        QStringList answer = g_handler({DialogRequest::Kind::Folder, title, startFolder, QString(), QString(), QString()});
        return answer.isEmpty() ? QString() : answer.first();
    }
    return QFileDialog::getExistingDirectory(owner, title, startFolder, QFileDialog::ShowDirsOnly);
}

QStringList PickOpenFiles(QWidget* owner, const QString& title, const QString& startFolder, const QString& filter) {
    if (g_handler) return g_handler({DialogRequest::Kind::OpenFiles, title, startFolder, filter, QString(), QString()});
    return QFileDialog::getOpenFileNames(owner, title, startFolder, filter);
}

QString InputBox(QWidget* owner, const QString& prompt, const QString& title, const QString& defaultText) {
    if (g_handler) {
        DialogRequest request{DialogRequest::Kind::Text, title, QString(), QString(), prompt, defaultText};
        QStringList answer = g_handler(request);
        return answer.isEmpty() ? QString() : answer.first();
    }
    bool ok = false;
    QString text = QInputDialog::getText(owner, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

} // namespace kv::platform
