// The file-information probe and tag readers on arbitrary bytes held in memory (the path entry
// only adds the reads; the tag round trip through a file covers it).
#include "engine/media_probe.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VBMP3_TAG_INFO tag;
    VBMP3_FILE_INFO info;
    if (kv::engine::GetFileInfoFromBytes(data, size, &tag, &info)) {
        if (info.playTime < 0 || info.sampleRate <= 0 || tag.title[127] != '\0') std::abort();
        if (info.fileSize != int64_t(size)) std::abort();
    }
    return 0;
}
