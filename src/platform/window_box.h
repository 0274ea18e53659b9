// Where a top-level window stands, as the settings keep it: the outer corner (with the frame the
// window manager draws) and the size of the client area. Placing by the client's corner would
// push the caption above the screen at top 0, where it can be neither seen nor dragged.
#pragma once
#include <QRect>

class QWidget;

namespace kv::platform {

void PlaceWindow(QWidget& window, const QRect& box);
QRect WindowBox(const QWidget& window);
// The box the window has, or had, in the normal state (while it is minimised or maximised).
QRect NormalWindowBox(const QWidget& window);
// Shows the window in a stored state: 1 minimised, 2 maximised, anything else normal.
void ShowInState(QWidget& window, int state);

// Where a secondary window of `size` first appears while it has no stored place of its own:
// beside the owner's frame (right, else left) on the screen's free area, else centred on it.
QPoint BesideBox(const QRect& ownerFrame, const QRect& screen, const QSize& size);
// The same for a real owner window (none, or hidden: centred on the primary screen).
QPoint BesideWindow(const QWidget* owner, const QSize& size);

} // namespace kv::platform
