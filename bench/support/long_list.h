// A long list file written straight to disk, without holding its rows: paths of about 90
// characters spread over 1,000 folders, Japanese artists and titles, as a large collection has
// them. Shared by the list and window benchmarks, which measure the memory of loading it.
#pragma once
#include "playlists/track_format.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <cstdio>
#include <fstream>
#include <string>

namespace kvbench {

inline constexpr int kListFolders = 1000;

inline QString LongListFolder(const QString& root, int i) {
    return QStringLiteral("%1/music/artist %2/album with a fairly long name %3")
        .arg(root)
        .arg(i % kListFolders % 97, 3, 10, QChar(u'0'))
        .arg(i % kListFolders, 4, 10, QChar(u'0'));
}

inline QString LongListName(int i) {
    return QStringLiteral("%1 曲のタイトル %2.mp3").arg(i % 20 + 1, 2, 10, QChar(u'0')).arg(i);
}

// Writes rows records to file; the folders are made, and every `existingEvery`th file too, so the
// checks of the files do real work.
inline void WriteLongList(const QString& file, const QString& root, int rows, int existingEvery = 100) {
    for (int f = 0; f < kListFolders; ++f)
        QDir().mkpath(LongListFolder(root, f));
    std::ofstream out(file.toStdString(), std::ios::binary);
    std::string block;
    auto put = [&](int column, const QString& text) {
        block += char('0' + column);
        block += ':';
        block += text.toStdString();
        block += "\r\n";
    };
    for (int i = 0; i < rows; ++i) {
        const QString name = LongListName(i);
        const QString path = LongListFolder(root, i) + u'/' + name;
        const qint64 bytes = 3000000 + qint64(i % 5000) * 1013;
        put(0, name);
        put(1, QStringLiteral("歌手の名前 %1").arg(i % 997));
        put(2, QStringLiteral("ある日の歌 第%1番").arg(i));
        put(3, kv::playlists::FormatSize(bytes));
        put(4, QStringLiteral("mp3"));
        put(5, kv::playlists::FormatPlayTime(120 + i % 300));
        put(6, path);
        put(7, kv::playlists::PadBytes(bytes));
        put(8, QString());
        put(9, QString());
        block += "@\r\n";
        if (existingEvery > 0 && i % existingEvery == 0)
            std::fclose(std::fopen(path.toUtf8().constData(), "w"));
        if (block.size() > (1 << 20)) {
            out << block;
            block.clear();
        }
    }
    out << block;
}

// Resident and peak resident memory of this process, in MB.
inline double StatusMb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size())) / 1024.0;
    return 0;
}
inline double ResidentMb() {
    return StatusMb("VmRSS:");
}
inline double PeakResidentMb() {
    return StatusMb("VmHWM:");
}

} // namespace kvbench
