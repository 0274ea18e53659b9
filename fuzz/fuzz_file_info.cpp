// vbmp3_getFileInfo on arbitrary bytes: the file-information probe and tag readers.
#include "engine/vbmp3.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        char tmpl[] = "/tmp/kv-fuzz-info-XXXXXX";
        const int fd = mkstemp(tmpl);
        if (fd >= 0) close(fd);
        return std::string(tmpl);
    }();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    VBMP3_TAG_INFO tag;
    VBMP3_FILE_INFO info;
    if (vbmp3_getFileInfo(path.c_str(), &tag, &info)) {
        if (info.playTime < 0 || info.sampleRate <= 0 || tag.title[127] != '\0') std::abort();
    }
    return 0;
}
