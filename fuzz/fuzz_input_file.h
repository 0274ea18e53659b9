// Readers that take a path get the fuzz input as a file in a private folder, removed at exit;
// readers of memory get it as a QByteArray.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#ifdef QT_CORE_LIB
#include <QByteArray>
#endif

namespace kvfuzz {

inline const std::string& Folder() {
    // Never destroyed: the exit handler below still needs the name after static destructors ran.
    static const std::string* dir = [] {
        char tmpl[] = "/tmp/kv-fuzz-XXXXXX";
        auto* made = new std::string(mkdtemp(tmpl) ? tmpl : "/tmp");
        if (*made != "/tmp")
            std::atexit([] {
                std::error_code ec;
                std::filesystem::remove_all(Folder(), ec);
            });
        return made;
    }();
    return *dir;
}

inline std::string PathOf(const char* name) {
    return Folder() + "/" + name;
}

// The path of the written file, or "" when it could not be written.
inline std::string WriteInput(const char* name, const uint8_t* data, size_t size) {
    const std::string path = PathOf(name);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return {};
    const bool ok = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !ok) return {};
    return path;
}

#ifdef QT_CORE_LIB
// The input as a QByteArray without a copy; valid while the input is.
inline QByteArray Bytes(const uint8_t* data, size_t size) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}
inline QByteArray Bytes(const std::string& s) {
    return QByteArray::fromRawData(s.data(), qsizetype(s.size()));
}
#endif

// A broken invariant is a finding: abort so the fuzzer keeps the input.
inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace kvfuzz
