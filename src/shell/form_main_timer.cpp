// The main window's side of the sleep timer.
#include "shell/form_main.h"

namespace kv::shell {

bool FormMain::SleepTimerRunning() const { return false; }

} // namespace kv::shell
