// Texts shown for play times and sizes, and the padded byte count the size column sorts by.
// Every view, label and tool formats through these so the same number always reads the same.
#pragma once
#include "platform/twips.h"

#include <QString>

namespace kv::playlists {

// Minutes, the full-width colon and two-digit seconds: 65 gives "1：05", 600 gives "10：00".
// A negative time (a WAVE header that could not be read) gives an empty text: the row then shows
// no play time rather than a nonsense value.
QString FormatPlayTime(qint64 seconds);

// Powers of 1000 with two decimals cut, not rounded: 1234 gives "1.23KB", 999999 "999.99KB".
// Sizes are 32-bit in list files, but 64-bit here so a file over 2 GB and a selection total are
// still right; a negative count (a damaged list file) shows as "0B".
QString FormatSize(qint64 bytes);

// Ten digits with leading zeros (longer numbers as they are); negative counts as 0, so the text
// order of the column always matches the byte order.
QString PadBytes(qint64 bytes);

// The inverse of FormatPlayTime as the selection totals read it: the characters before the last
// three are minutes, the last two seconds. Text that is not a play time counts as 0.
qint64 ParsePlayTime(const QString& text);

// Screen units, shared with the rest of the program.
using platform::kTwipsPerPixel;
using platform::PixelsToTwips;
using platform::TwipsToPixels;

} // namespace kv::playlists
