// The toolbar's pictures, drawn by code so they stay sharp at any scale.
#pragma once
#include <QIcon>
#include <QString>

namespace kv::shell {
// Keys: "play", "pause", "stop", "before", "next", "panel", "explorer", "stels", "newlist",
// "save" (a list was changed), "notsave" (nothing to save). Unknown keys give an empty icon.
QIcon ToolbarIcon(const QString& key);
} // namespace kv::shell
