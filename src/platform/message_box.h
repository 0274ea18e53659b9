// Every message box of the program goes through ShowMessage, so tests can answer them.
#pragma once
#include <QString>
#include <functional>

class QWidget;

namespace kv::platform {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

// The program's title, "Kavetto", used as the title of most message boxes.
QString AppTitle();

MsgAnswer ShowMessage(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                      const QString& title = AppTitle());

// Tests install a handler that answers instead of a person; pass an empty function to restore
// the real dialogs. The parent widget is used for real dialogs only.
using MessageHandler = std::function<MsgAnswer(const MessageRequest&)>;
void SetMessageHandler(MessageHandler handler);
void SetMessageParent(QWidget* parent);

} // namespace kv::platform
