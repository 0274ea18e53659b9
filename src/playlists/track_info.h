// Turning files into rows: which files are accepted, and the artist, title and play time read
// from MP3 tags, WAVE headers and MIDI files.
#pragma once
#include "playlists/track_entry.h"

#include <QString>
#include <optional>

namespace kv::playlists {

// The media pattern of the open box and of the folder view's file list. "*,m1v" (a comma, not a
// dot) is how the pattern has always been stored: the folder view therefore never lists .m1v
// files, while drops still accept them through the substring test below. Kept as it is.
inline const QString kSupportedPattern = QStringLiteral(
    "*.mp1;*.mp2;*.mp3;*.rmp;*.mid;*.midi;*.rmi;*.wav;*.asf;*.mpg;*.mpeg;*,m1v;*.mpa;*.mpe;*.mpv2;"
    "*.m3u;*.avi;*.wma;*.aif;*.aiff;*.aifc;*.cda;*.cdda;*.ivf;*.au;*.snd;*.wax;*.wmp;*.wvx;*.asx;"
    "*.wmx;*.wmv;*.rm;*.ra;*.ram;*.flac;*.oga;*.ogg;*.opus;*.m4a;*.mp4;*.aac;*.alac;*.wv;*.ape;*.tta");

// The kinds the engine decodes besides MPEG and WAVE (FLAC, Ogg, MP4/M4A, AAC, WavPack, APE,
// TTA, AIFF): their rows, labels and playing go as an MP3's do.
bool IsEngineAudioKind(const QString& ext);

// A file is accepted when its lower-case extension is not empty and occurs anywhere in the
// pattern: "mp3" and "m1v" pass, and so do fragments such as "mp"; "txt" does not.
bool IsSupportedExtension(const QString& ext);

// Play time in whole seconds from the byte rate of a WAVE header: the whole file length divided
// by the byte rate. -1 when the file is 20 bytes or shorter, unreadable, or the result is 0.
int ReadWaveDuration(const QString& path);

// The first text or track-name event of a Standard MIDI File's first track, or "".
QString ReadMidiTitle(const QString& path);
// The same from the start of the file (at least its first 35,793 bytes, or all of it) and its size.
QString ReadMidiTitle(const QByteArray& head, qint64 fileSize);

// The path absolute and clean ("." and ".." removed), symbolic links left as they are. Empty when
// nothing exists there.
QString LongPath(const QString& path);

struct TrackTag {
    QString artist;
    QString title;
    int playSeconds = -1;
};
// Artist, title and play time of an MPEG file or an engine kind through the engine; nothing
// when unreadable.
std::optional<TrackTag> ReadTrackTag(const QString& path);

// A row for an existing file: name, size texts, kind, path and icon. The length is read here;
// nothing when it cannot be (the file vanished or cannot be examined).
std::optional<TrackEntry> MakeFileRow(const QString& path);
TrackEntry MakeFileRow(const QString& path, qint64 length, std::optional<bool> hasLyrics = std::nullopt);

// Artist, title and play time of a row by its kind, then the "【name】" title when it has none.
void FillRowInfo(TrackEntry& row);

// The four texts of a file for the information labels: file name, artist, title, play time.
QStringList ReadTrackInformation(const QString& path);

} // namespace kv::playlists
