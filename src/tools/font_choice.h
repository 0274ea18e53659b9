// The font dialog of the lyrics window goes through ChooseFont, so tests can answer it.
#pragma once
#include "tools/lyrics.h"

#include <functional>
#include <optional>

class QWidget;

namespace kv::tools {

// The platform's font dialog with the effects (strikethrough, underline, colour), preset to
// `preset`; nothing when the user cancels.
std::optional<WordsFont> ChooseFont(QWidget* owner, const WordsFont& preset, const QString& title);

using FontChooser = std::function<std::optional<WordsFont>(const WordsFont& preset, const QString& title)>;
void SetFontChooser(FontChooser chooser); // empty restores the real dialog

} // namespace kv::tools
