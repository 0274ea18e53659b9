// File and folder pickers go through these functions, so tests can answer them.
#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace kv::platform {

struct DialogRequest {
    enum class Kind { Folder, OpenFiles, SaveFile, Text } kind = Kind::Folder;
    QString title;
    QString startFolder;
    QString filter;
    QString prompt;       // Text: the question
    QString defaultText;  // Text: the answer offered
};

// An empty result means the user cancelled.
QString PickFolder(QWidget* owner, const QString& title, const QString& startFolder = QString());
QStringList PickOpenFiles(QWidget* owner, const QString& title, const QString& startFolder, const QString& filter);

// An input box; an empty result means the user cancelled or left it empty.
QString InputBox(QWidget* owner, const QString& prompt, const QString& title, const QString& defaultText = QString());

using DialogHandler = std::function<QStringList(const DialogRequest&)>;
void SetDialogHandler(DialogHandler handler); // empty restores the real dialogs

} // namespace kv::platform
