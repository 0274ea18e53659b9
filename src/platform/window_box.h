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

} // namespace kv::platform
