// The program's own picture (window icon, desktop menu, hicolor theme), drawn by code: the
// Qt packages here have no SVG reader, and a drawn picture is sharp at every theme size.
#pragma once
#include <QIcon>
#include <QImage>

namespace kv::shell {

// The picture at size × size pixels, transparent around its rounded square.
QImage DrawProgramIcon(int size);
// The picture at the sizes window managers and the theme ask for.
QIcon ProgramIcon();

} // namespace kv::shell
