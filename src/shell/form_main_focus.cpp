// The window's display surfaces never keep the keyboard focus: the playback keys belong to the
// active list view, so a click on the panel or a bar, or focus arriving there other than by the
// keyboard, goes on to it.
#include "playlists/track_view.h"
#include "shell/form_main.h"
#include "shell/main_lists.h"

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

void FormMain::KeepFocusOnActiveList() {
    auto* filter = new FocusToActiveList(
        this, [this]() -> QWidget* { return controls_.listViews[size_t(lists_->ActiveView())]; });
    for (QWidget* w :
         std::initializer_list<QWidget*>{controls_.pPanelBack, controls_.pPanel, controls_.progBackPicture,
                                         controls_.progPicture, controls_.volume})
        w->installEventFilter(filter);
    for (QPushButton* button : controls_.toolBarBack)
        button->installEventFilter(filter);
}

void FormMain::BringToFront() {
    raise();
    activateWindow();
}

} // namespace kv::shell
