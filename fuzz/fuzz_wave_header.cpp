// The WAVE chunk reader on arbitrary bytes, with the file size both honest and lying.
#include "engine/media_probe.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kv::engine::WaveHeader w;
    for (int64_t fileSize : {int64_t(size), int64_t(size) * 3 + 7}) {
        if (kv::engine::ParseWaveHeader(data, size, fileSize, &w)) {
            if (w.dataOffset < 12 || w.dataBytes < 0 || w.dataOffset + w.dataBytes > int64_t(size))
                std::abort();
        }
    }
    return 0;
}
