// The file information and decoding of the containers FFmpeg reads (FLAC, Ogg, MP4, WavPack,
// APE, TTA, AIFF, ADTS) on arbitrary bytes: the header probe, the tag readers, and a bounded
// stretch of decoding with a seek, as playing a damaged file would do.
#include "engine/decoder.h"
#include "engine/media_probe.h"
#include "engine/vbmp3.h"
#include "fuzz_input_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The MP4 atom reader straight on the bytes.
    kv::engine::Mp4Audio mp4;
    const auto read = [&](int64_t pos, uint8_t* dst, size_t n) -> size_t {
        if (pos < 0 || uint64_t(pos) >= size) return 0;
        n = std::min(n, size - size_t(pos));
        std::memcpy(dst, data + pos, n);
        return n;
    };
    if (kv::engine::ReadMp4Audio(read, int64_t(size), &mp4))
        kvfuzz::Require(mp4.rate > 0 && mp4.channels > 0 && mp4.samples > 0 && mp4.bitRate >= 0,
                        "an MP4 read from its atoms has a rate, channels and a length");
    const std::string path = kvfuzz::WriteInput("audio", data, size);
    if (path.empty()) return 0;
    VBMP3_TAG_INFO tag;
    VBMP3_FILE_INFO info;
    if (!vbmp3_getFileInfo(path.c_str(), &tag, &info) || info.format != 3) return 0;
    kvfuzz::Require(info.sampleRate > 0 && info.channels > 0 && info.samples > 0 && info.playTime >= 0,
                    "a readable file has a rate, channels and a length");
    kvfuzz::Require(tag.title[127] == '\0' && tag.comment[127] == '\0', "text fields end in NUL");
    auto decoder = kv::engine::OpenDecoder(path, info.format);
    if (!decoder) return 0;
    kvfuzz::Require(decoder->Channels() >= 1 && decoder->Channels() <= 2, "at most stereo out");
    std::vector<float> block(4096 * 2);
    long total = 0;
    for (long n; total < 200000 && (n = decoder->ReadFloat(block.data(), 4096)) > 0;)
        total += n;
    // In seconds: the decoder may play at another rate than the container states.
    kvfuzz::Require(double(total) / decoder->Rate() <= double(info.samples) / info.sampleRate + 0.001,
                    "no more sound than the header gives");
    decoder->Seek(info.samples / 2);
    decoder->ReadFloat(block.data(), 4096);
    return 0;
}
