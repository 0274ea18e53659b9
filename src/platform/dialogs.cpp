#include "platform/dialogs.h"

#include <QFileDialog>

namespace kv::platform {
namespace {
DialogHandler g_handler;
}

void SetDialogHandler(DialogHandler handler) { g_handler = std::move(handler); }

QString PickFolder(QWidget* owner, const QString& title, const QString& startFolder) {
    if (g_handler) {
        QStringList answer = g_handler({DialogRequest::Kind::Folder, title, startFolder, QString()});
        return answer.isEmpty() ? QString() : answer.first();
    }
    return QFileDialog::getExistingDirectory(owner, title, startFolder, QFileDialog::ShowDirsOnly);
}

QStringList PickOpenFiles(QWidget* owner, const QString& title, const QString& startFolder, const QString& filter) {
    if (g_handler) return g_handler({DialogRequest::Kind::OpenFiles, title, startFolder, filter});
    return QFileDialog::getOpenFileNames(owner, title, startFolder, filter);
}

} // namespace kv::platform
