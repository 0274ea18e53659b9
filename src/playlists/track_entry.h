// One row of a track view and the names of its columns.
#pragma once
#include <QString>
#include <array>

namespace kv::playlists {

// Column indices, keys and order are written to list files and the settings file
// ("colwidth"/"colpos"): they must not change.
enum TrackColumn : int {
    ColFile = 0,
    ColArtist = 1,
    ColTitle = 2,
    ColSize = 3,
    ColKind = 4,
    ColTime = 5,
    ColPath = 6,
    ColDefaultSize = 7,
    ColStart = 8,
    ColEnd = 9,
};
inline constexpr int kTrackColumnCount = 10;

inline constexpr std::array<const char16_t*, kTrackColumnCount> kColumnKeys = {
    u"file", u"artist", u"title", u"size", u"kind", u"time", u"path", u"defaultsize", u"start", u"end"};
inline constexpr std::array<const char16_t*, kTrackColumnCount> kColumnCaptions = {
    u"ファイル", u"アーティスト", u"タイトル",      u"サイズ", u"種類",
    u"演奏時間", u"場所",         u"サイズ（Byte)", u"始め",   u"終わり"};

inline QString ColumnKey(int column) {
    return QString::fromUtf16(kColumnKeys.at(column));
}
inline QString ColumnCaption(int column) {
    return QString::fromUtf16(kColumnCaptions.at(column));
}
inline constexpr bool IsHiddenColumn(int column) {
    return column >= ColDefaultSize;
}
inline constexpr bool IsRightAligned(int column) {
    return column == ColSize || column == ColKind;
}
// Every visible column starts one inch wide.
inline constexpr int kInitialColumnTwips = 1440;

// Kind texts and small-icon keys with a meaning of their own.
inline const QString kKindDirectory = QStringLiteral("Directory");
inline const QString kKindNothing = QStringLiteral("nothing");
inline const QString kIconPlay = QStringLiteral("playIcon");
inline const QString kIconNothing = QStringLiteral("nothing");
inline const QString kNoInfo = QStringLiteral("-----");

struct TrackEntry {
    std::array<QString, kTrackColumnCount> columns;
    QString icon;          // key into the image list ListViewImage
    bool selected = false; // the view's selection flag

    QString& operator[](int column) { return columns[column]; }
    const QString& operator[](int column) const { return columns[column]; }
    const QString& Path() const { return columns[ColPath]; }
    const QString& Kind() const { return columns[ColKind]; }
    bool IsDirectory() const { return columns[ColKind] == kKindDirectory; }
    // Two rows are the same track when their columns match; icon and selection are view state.
    bool SameColumns(const TrackEntry& other) const { return columns == other.columns; }
};

} // namespace kv::playlists
