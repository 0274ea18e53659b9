// The imported-list reader (plain lists, M3U/M3U8, PLS) on arbitrary bytes; the first byte
// chooses the file's extension, which decides how relative entries are taken. The contents are
// read from memory; the path entry only opens the file before the same reading.
#include "fuzz_input_file.h"
#include "playlists/list_import.h"

#include <QDir>
#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const char* const kNames[] = {"in.m3u", "in.m3u8", "in.pls", "in.txt"};
    const QString path = QStringLiteral("/lists/") + QLatin1String(kNames[data[0] % 4]);
    const QStringList paths = kv::playlists::ReadImportBytes(kvfuzz::Bytes(data + 1, size - 1), path);
    kvfuzz::Require(QSet<QString>(paths.begin(), paths.end()).size() == paths.size(), "a path listed twice");
    for (const QString& p : paths)
        kvfuzz::Require(!p.isEmpty() && QDir::isAbsolutePath(p), "an entry that is no absolute path");
    return 0;
}
