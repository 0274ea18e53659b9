// Placing the tool windows on the screen.
#pragma once
class QWidget;

namespace kv::tools {

// Left = (screen width - window width) / 2, top likewise, in whole pixels.
void CentreOnScreen(QWidget& window);

} // namespace kv::tools
