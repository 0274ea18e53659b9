// The lyrics beside a track: where the file lies, how its text is read, and the lyrics
// window's font in section "Words" of the settings file.
#pragma once
#include <QColor>
#include <QFont>
#include <QString>

namespace kv::tools {

// The track's path with as many trailing characters as its extension has replaced by "txt"
// (C:/m/song.mp3 with "mp3" gives C:/m/song.txt; song.wave with "wave" gives song.txt).
// Empty when there is no extension to replace.
QString LyricsFileOf(const QString& fileName, const QString& extension);

// More than this is not lyrics; only the first part of a larger file is shown.
inline constexpr qint64 kMaxLyricsBytes = 16 * 1024 * 1024;

// A line this long is no lyrics line, and laying it out whole would hold the window up for
// seconds: it is read as lines of this length.
inline constexpr qsizetype kLongestLyricsLine = 2000;

// The file's text, UTF-8 or CP932, each line followed by a line end. Control characters other
// than tabs (what a binary file is full of) show as U+FFFD. Whatever could be read is returned.
QString ReadLyricsText(const QString& path);

struct WordsFont {
    QFont font;
    QColor color;
};
// Keys that are missing or unreadable leave that part of `design` as it is.
WordsFont ReadWordsFont(const QString& settingsFile, WordsFont design);
void WriteWordsFont(const QString& settingsFile, const WordsFont& chosen);

// 0x00BBGGRR, as the settings store colours.
int ColorToSetting(const QColor& color);
QColor SettingToColor(int value);

} // namespace kv::tools
