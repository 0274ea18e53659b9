// What the tag editor does to files: a rename that never replaces another file, the tag's five
// texts read and written, and the check that a file may be written at all.
#pragma once
#include "engine/vbmp3.h"

#include <QString>
#include <array>
#include <optional>

namespace kv::tools {

enum class RenameResult { Done, TargetExists, Failed };
struct RenameOutcome {
    RenameResult result = RenameResult::Failed;
    int error = 0; // errno of a failure
};

// Renames a file or folder, refusing when something already has the new name. Where the file
// system cannot refuse by itself, a file is moved by a hard link and an unlink, which cannot
// replace anything either. A change of letter case only (the same file) is an ordinary rename.
RenameOutcome RenameNoReplace(const QString& from, const QString& to);

// True when a tag write must not be tried: the file is gone or has no write permission for
// anyone (which root would otherwise ignore).
bool IsReadOnlyFile(const QString& path);

// Title, artist, album, year, comment.
using TagTexts = std::array<QString, 5>;
// What a box may hand to the tag, in characters.
inline constexpr std::array<int, 5> kTagWidths = {128, 128, 128, 5, 128};

// The five texts of an MPEG file's tag, whole, blanks around them removed; the comment is the
// one without a description. Nothing for a file the engine cannot read.
std::optional<TagTexts> ReadTag(const QString& path);

// Writes the texts flagged in `changed` (bit i for texts[i]), each cut to its width; every
// other field and frame of the tag stays as it is. False when the file was left as it was.
bool WriteTag(const QString& path, const TagTexts& texts, unsigned changed = 0x1f);

} // namespace kv::tools
