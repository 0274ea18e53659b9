// The window's display surfaces never keep the keyboard focus: the playback keys belong to the
// active list view, so a click on the panel or a bar, or focus arriving there other than by the
// keyboard, goes on to it.
#include "shell/focus_to_list.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QPushButton>

namespace kv::shell {
namespace {
class FocusToActiveList final : public QObject {
  public:
    FocusToActiveList(QObject* parent, std::function<QWidget*()> list)
        : QObject(parent), list_(std::move(list)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // After the release, so a drag on a bar is not disturbed. The bars keep a focus the
        // keyboard brought them (Tab, or the window coming back to the front).
        if (event->type() == QEvent::FocusIn) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason &&
                reason != Qt::ActiveWindowFocusReason)
                Give();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            Give();
        } else if (event->type() == QEvent::KeyPress &&
                   (static_cast<QKeyEvent*>(event)->modifiers() & (Qt::AltModifier | Qt::ControlModifier))) {
            // What the bars leave of the keys (Alt+arrows and the like) is the lists' to handle.
            if (QWidget* list = list_()) return QCoreApplication::sendEvent(list, event);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    void Give() {
        if (QWidget* list = list_()) list->setFocus(Qt::OtherFocusReason);
    }
    std::function<QWidget*()> list_;
};
} // namespace

void KeepFocusOnList(QObject* owner, std::function<QWidget*()> list,
                     std::initializer_list<QWidget*> surfaces) {
    auto* filter = new FocusToActiveList(owner, std::move(list));
    for (QWidget* w : surfaces)
        w->installEventFilter(filter);
}

} // namespace kv::shell
