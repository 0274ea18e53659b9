// What every tool window does on load: sits centred on the screen and shows the main window's
// icon.
#pragma once

class QWidget;

namespace kv::tools {

void CentreOnScreen(QWidget* window);
void TakeOwnersIcon(QWidget* window, QWidget* owner);
// Escape closes the window as its close button does, so the keyboard alone can leave it.
void CloseWithEscape(QWidget* window);

} // namespace kv::tools
