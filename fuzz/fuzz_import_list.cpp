// The imported-list reader (plain lists, M3U/M3U8, PLS) on arbitrary bytes; the first byte
// chooses the file's extension, which decides how relative entries are taken.
#include "fuzz_input_file.h"
#include "playlists/list_import.h"

#include <QDir>
#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const char* const kNames[] = {"in.m3u", "in.m3u8", "in.pls", "in.txt"};
    const std::string path = kvfuzz::WriteInput(kNames[data[0] % 4], data + 1, size - 1);
    if (path.empty()) return 0;
    const QStringList paths = kv::playlists::ReadImportPaths(QString::fromStdString(path));
    kvfuzz::Require(QSet<QString>(paths.begin(), paths.end()).size() == paths.size(), "a path listed twice");
    for (const QString& p : paths)
        kvfuzz::Require(!p.isEmpty() && QDir::isAbsolutePath(p), "an entry that is no absolute path");
    return 0;
}
