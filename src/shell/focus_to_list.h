// The window's display surfaces never keep the keyboard focus: the playback keys belong to the
// active list view, so a click on the panel or a bar, or focus arriving there other than by the
// keyboard, goes on to it.
#pragma once
#include <QObject>
#include <functional>
#include <initializer_list>

class QWidget;

namespace kv::shell {

// `list` gives the active list view at the time of the event; the filter belongs to `owner`.
void KeepFocusOnList(QObject* owner, std::function<QWidget*()> list,
                     std::initializer_list<QWidget*> surfaces);

} // namespace kv::shell
