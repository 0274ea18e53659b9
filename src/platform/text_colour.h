// The colour of a label's text, set through its palette. A per-widget style sheet would do the
// same, but it puts the widget under the style-sheet style, whose parsing and polishing were a
// noticeable part of the program's start-up.
#pragma once
#include <QColor>
#include <QPalette>
#include <QWidget>

namespace kv::platform {

inline void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, colour);
    pal.setColor(QPalette::Text, colour);
    widget->setPalette(pal);
}

inline QColor TextColour(const QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
}

} // namespace kv::platform
