#include "platform/message_box.h"

#include <QMessageBox>

namespace kv::platform {
namespace {
MessageHandler g_handler;
QWidget* g_parent = nullptr;
} // namespace

QString AppTitle() { return QStringLiteral("Kavetto"); }

void SetMessageHandler(MessageHandler handler) { g_handler = std::move(handler); }
void SetMessageParent(QWidget* parent) { g_parent = parent; }

MsgAnswer ShowMessage(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) {
    MessageRequest request{text, title, icon, buttons};
    if (g_handler) return g_handler(request);

    QMessageBox box(g_parent);
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::None: break;
    }
    switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    default: return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
}

} // namespace kv::platform
