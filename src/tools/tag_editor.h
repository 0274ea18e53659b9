// What the tag editor does to files: a rename that never replaces another file, the tag record
// of the engine filled from the five boxes, and the check that a file may be written at all.
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
inline constexpr std::array<int, 5> kTagWidths = {128, 128, 128, 5, 128};

// The five fields of an MPEG file's tag, blanks around them removed, and the whole record (its
// two fields the editor does not show go back to the engine as they came). Nothing for a file
// the engine cannot read.
struct TagRead {
    TagTexts texts;
    VBMP3_TAG_INFO record{};
};
std::optional<TagRead> ReadTag(const QString& path);

// The record with the five fields set from `texts`: each cut to its width in characters, then
// to its width in bytes at a character boundary, and padded with blanks.
VBMP3_TAG_INFO TagRecord(const VBMP3_TAG_INFO& base, const TagTexts& texts);

// Writes the tag (ID3v2 in Unicode and ID3v1); false when the file was left as it was.
bool WriteTag(const QString& path, const VBMP3_TAG_INFO& record);

} // namespace kv::tools
