// The window's display surfaces never keep the keyboard focus: the playback keys belong to the
// active list view, so a click on the panel or a bar, or focus arriving there, goes on to it.
#include "playlists/track_view.h"
#include "shell/form_main.h"

#include <QEvent>
#include <QFrame>
#include <QPushButton>

namespace kv::shell {
namespace {
class FocusToActiveList final : public QObject {
public:
    FocusToActiveList(QObject* parent, std::function<void()> give) : QObject(parent), give_(std::move(give)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // After the release, so a drag on a bar is not disturbed.
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonRelease) give_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> give_;
};
} // namespace

void FormMain::KeepFocusOnActiveList() {
    auto* filter = new FocusToActiveList(this, [this] {
        if (playlists::TrackView* view = listViews_[ActiveView()]) view->setFocus(Qt::OtherFocusReason);
    });
    for (QWidget* w : std::initializer_list<QWidget*>{pPanelBack_, pPanel_, progBackPicture_, progPicture_, volume_})
        w->installEventFilter(filter);
    for (QPushButton* button : toolBarBack_)
        button->installEventFilter(filter);
}

void FormMain::BringToFront() {
    raise();
    activateWindow();
}

} // namespace kv::shell
