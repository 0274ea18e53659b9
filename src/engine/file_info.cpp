// File information without decoding: the length comes from a Xing/Info/VBRI header when there
// is one, from size and bitrate when sampled frames show a constant bitrate, and only for
// VBR without a header from a walk over the frame headers. Files being written by a
// conversion are read here too, so a partial last frame is ignored rather than trusted.
#include "engine/decoder_ffmpeg.h"
#include "engine/media_probe.h"
#include "engine/text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

namespace kv::engine {
namespace {

uint32_t Le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

using ReadAt = ByteReader;

bool ParseWave(const ReadAt& read, int64_t fileSize, WaveHeader* out) {
    uint8_t h[40];
    if (fileSize < 12 || read(0, h, 12) != 12 || std::memcmp(h, "RIFF", 4) != 0 ||
        std::memcmp(h + 8, "WAVE", 4) != 0)
        return false;
    WaveHeader w;
    bool haveFmt = false;
    int64_t pos = 12;
    for (int chunks = 0; chunks < 1000 && pos + 8 <= fileSize; ++chunks) {
        if (read(pos, h, 8) != 8) return false;
        const int64_t len = Le32(h + 4);
        const int64_t body = pos + 8;
        if (std::memcmp(h, "fmt ", 4) == 0) {
            if (len < 16 || read(body, h, std::min<int64_t>(len, 40)) != size_t(std::min<int64_t>(len, 40)))
                return false;
            w.formatTag = Le16(h);
            w.channels = Le16(h + 2);
            w.sampleRate = int(std::min<uint32_t>(Le32(h + 4), 1u << 30));
            w.byteRate = int(std::min<uint32_t>(Le32(h + 8), 1u << 30));
            w.blockAlign = Le16(h + 12);
            w.bitsPerSample = Le16(h + 14);
            if (w.formatTag == 0xfffe && len >= 40) w.formatTag = Le16(h + 24);
            haveFmt = true;
        } else if (std::memcmp(h, "data", 4) == 0) {
            if (!haveFmt) return false;
            w.dataOffset = body;
            w.dataBytes = (len == 0 || body + len > fileSize) ? fileSize - body : len;
            if (w.dataBytes < 0) w.dataBytes = 0;
            // Plain PCM: the byte rate follows from the layout, whatever the header claims.
            if (w.formatTag == 1 || w.formatTag == 3) {
                if (w.blockAlign == 0) w.blockAlign = w.channels * ((w.bitsPerSample + 7) / 8);
                w.byteRate = w.sampleRate * w.blockAlign;
            }
            *out = w;
            return w.channels > 0 && w.sampleRate > 0 && (w.byteRate > 0 || w.IsMpeg());
        }
        pos = body + len + (len & 1);
    }
    return false;
}

constexpr size_t kHeadBytes = 64 * 1024;

// Buffered reads of a byte range; frame walks only need the four header bytes of each frame.
class BlockReader {
  public:
    BlockReader(const ReadAt& read, int64_t end) : read_(read), end_(end) {}
    const uint8_t* At(int64_t pos, size_t need) {
        if (pos < 0 || pos + int64_t(need) > end_) return nullptr;
        if (pos < start_ || pos + int64_t(need) > start_ + int64_t(len_)) {
            // Sized to what is read: a small file or buffer does not pay for a whole block.
            const size_t want = size_t(std::min<int64_t>(256 * 1024, end_ - pos));
            if (buf_.size() < want) buf_.resize(want);
            start_ = pos;
            len_ = read_(pos, buf_.data(), want);
            if (len_ < need) return nullptr;
        }
        return buf_.data() + (pos - start_);
    }

  private:
    const ReadAt& read_;
    int64_t end_;
    int64_t start_ = 0;
    size_t len_ = 0;
    std::vector<uint8_t> buf_;
};

bool SameStream(const MpegFrameHeader& a, const MpegFrameHeader& b) {
    return a.version10 == b.version10 && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

// A frame header counts only when the next one (if inside the range) agrees with it.
bool FrameAt(BlockReader& r, int64_t pos, int64_t end, MpegFrameHeader* h, int confirm) {
    const uint8_t* p = r.At(pos, 4);
    if (!p || !ParseMpegFrameHeader(p, h) || pos + h->frameBytes > end) return false;
    int64_t next = pos + h->frameBytes;
    for (int i = 0; i < confirm && next + 4 <= end; ++i) {
        MpegFrameHeader n;
        const uint8_t* q = r.At(next, 4);
        if (!q || !ParseMpegFrameHeader(q, &n) || !SameStream(*h, n)) return false;
        next += n.frameBytes;
    }
    return true;
}

int64_t FindFrame(BlockReader& r, int64_t from, int64_t limit, int64_t end, const MpegFrameHeader* like,
                  MpegFrameHeader* h) {
    for (int64_t pos = from; pos + 4 <= std::min(limit, end); ++pos) {
        const uint8_t* p = r.At(pos, 2);
        if (!p || p[0] != 0xff || (p[1] & 0xe0) != 0xe0) continue;
        if (FrameAt(r, pos, end, h, 2) && (!like || SameStream(*like, *h))) return pos;
    }
    return -1;
}

struct LengthHeader {
    bool found = false;
    bool info = false; // "Info": a constant-bitrate stream
    int vbr = 1;
    int64_t frames = 0;
    int64_t bytes = 0;
    int delay = 0, padding = 0;
};

LengthHeader ReadLengthHeader(const uint8_t* f, const MpegFrameHeader& h) {
    LengthHeader x;
    if (h.layer != 3) return x;
    const bool mono = h.channels == 1;
    const int side = h.version10 == 10 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const int off = 4 + side + (h.protection ? 2 : 0);
    if (off + 120 + 24 <= h.frameBytes &&
        (std::memcmp(f + off, "Xing", 4) == 0 || std::memcmp(f + off, "Info", 4) == 0)) {
        x.info = f[off] == 'I';
        x.vbr = x.info ? 0 : 1;
        const uint32_t flags = Be32(f + off + 4);
        int pos = off + 8;
        if (flags & 1) {
            x.frames = Be32(f + pos);
            pos += 4;
        }
        if (flags & 2) {
            x.bytes = Be32(f + pos);
            pos += 4;
        }
        if (flags & 4) pos += 100;
        if (flags & 8) pos += 4;
        if (pos + 24 <= h.frameBytes &&
            (std::memcmp(f + pos, "LAME", 4) == 0 || std::memcmp(f + pos, "Lav", 3) == 0)) {
            const int method = f[pos + 9] & 0x0f;
            if (method == 2 || method == 9)
                x.vbr = 2;
            else if (method == 1 || method == 8)
                x.vbr = 0;
            x.delay = f[pos + 21] << 4 | f[pos + 22] >> 4;
            x.padding = (f[pos + 22] & 0x0f) << 8 | f[pos + 23];
        }
        x.found = x.frames > 0;
    } else if (4 + 32 + 18 <= h.frameBytes && std::memcmp(f + 4 + 32, "VBRI", 4) == 0) {
        const uint8_t* v = f + 4 + 32;
        x.bytes = Be32(v + 10);
        x.frames = Be32(v + 14);
        x.found = x.frames > 0;
    }
    return x;
}

bool ProbeMpeg(const ReadAt& read, int64_t start, int64_t end, VBMP3_FILE_INFO* info) {
    BlockReader r(read, end);
    MpegFrameHeader h;
    const int64_t first = FindFrame(r, start, start + int64_t(kHeadBytes), end, nullptr, &h);
    if (first < 0) return false;
    const uint8_t* f = r.At(first, size_t(h.frameBytes));
    if (!f) return false;
    const LengthHeader x = ReadLengthHeader(f, h);

    int64_t frames = 0, samples = 0, audioStart = first, audioBytes = end - first;
    int vbr = 0;
    bool hasXing = false;
    const int64_t afterTag = first + h.frameBytes;
    // A header that promises much more than the file holds belongs to a truncated copy.
    if (x.found && (x.bytes == 0 || (end - afterTag) >= x.bytes * 9 / 10)) {
        hasXing = true;
        vbr = x.vbr;
        frames = x.frames;
        samples = std::max<int64_t>(0, frames * h.samplesPerFrame - x.delay - x.padding);
        audioStart = afterTag;
        audioBytes = x.bytes ? std::min(x.bytes, end - afterTag) : end - afterTag;
    } else {
        if (x.info || (x.found && !hasXing)) {
            audioStart = afterTag; // an Info/Xing frame decodes to nothing
            audioBytes = end - afterTag;
        }
        // Constant bitrate unless sampled frames say otherwise: the first frames in a row,
        // then a few frames at a quarter, half and three quarters of the way.
        bool constant = true;
        int64_t pos = audioStart;
        MpegFrameHeader n;
        for (int i = 0; i < 24 && constant && FrameAt(r, pos, end, &n, 0); ++i) {
            constant = n.bitRate == h.bitRate && SameStream(n, h);
            pos += n.frameBytes;
        }
        for (int q = 1; q <= 3 && constant; ++q) {
            const int64_t at = audioStart + audioBytes * q / 4;
            const int64_t found = FindFrame(r, at, at + 8192, end, &h, &n);
            for (int i = 0; found >= 0 && i < 3 && constant; ++i) {
                const int64_t p2 = found + int64_t(i) * n.frameBytes;
                MpegFrameHeader m;
                if (FrameAt(r, p2, end, &m, 0)) constant = m.bitRate == h.bitRate;
            }
        }
        if (constant) {
            const double seconds = double(audioBytes) * 8.0 / (h.bitRate * 1000.0);
            samples = int64_t(seconds * h.sampleRate);
            const double frameBytes = double(h.samplesPerFrame) * h.bitRate * 1000.0 / 8.0 / h.sampleRate;
            frames = int64_t(audioBytes / frameBytes);
        } else {
            vbr = 1;
            int64_t bytes = 0;
            pos = audioStart;
            while (pos + 4 <= end) {
                const uint8_t* p = r.At(pos, 4);
                if (p && ParseMpegFrameHeader(p, &n) && SameStream(n, h)) {
                    if (pos + n.frameBytes > end) break;
                    ++frames;
                    bytes += n.frameBytes;
                    pos += n.frameBytes;
                    continue;
                }
                const int64_t next = FindFrame(r, pos + 1, pos + 65536, end, &h, &n);
                if (next < 0) break;
                pos = next;
            }
            samples = frames * h.samplesPerFrame;
            audioBytes = bytes;
        }
    }
    if (frames <= 0 && samples <= 0) return false;
    const double seconds = double(samples) / h.sampleRate;
    info->format = 1;
    info->version = h.version10;
    info->layer = h.layer;
    info->bitRate = seconds > 0 ? int(double(audioBytes) * 8 / seconds / 1000 + 0.5) : h.bitRate;
    info->sampleRate = h.sampleRate;
    info->channels = h.channels;
    info->channelMode = h.mode;
    info->vbr = vbr;
    info->hasXing = hasXing ? 1 : 0;
    info->copyright = h.copyright;
    info->original = h.original;
    info->emphasis = h.emphasis;
    info->frames = int32_t(std::min<int64_t>(frames, INT32_MAX));
    // Whole seconds, rounded down: a conversion's progress compares these against each other.
    info->playTime = int32_t(samples / h.sampleRate);
    info->samples = samples;
    info->audioOffset = audioStart;
    info->audioBytes = audioBytes;
    return true;
}

uint32_t SynchSafe(const uint8_t* p) {
    return (p[0] & 0x7f) << 21 | (p[1] & 0x7f) << 14 | (p[2] & 0x7f) << 7 | (p[3] & 0x7f);
}

// Some taggers append their tags after the audio (before an ID3v1 tag): an APEv2 tag, or an
// ID3v2 tag with its footer or without one. None of it is audio; a constant-bitrate length taken
// from a size that held a tag would be too long. A footer-less ID3v2 tag is found by its header
// in the last kTrailingId3Search bytes, where its stated size must end exactly at the end.
constexpr int64_t kTrailingId3Search = 64 * 1024;

int64_t AudioEndBeforeTrailingTags(const ReadAt& read, int64_t start, int64_t end) {
    auto id3Header = [](const uint8_t* h) {
        return std::memcmp(h, "ID3", 3) == 0 && h[3] >= 2 && h[3] <= 4 && h[4] != 0xFF &&
               (h[6] | h[7] | h[8] | h[9]) < 0x80;
    };
    for (bool found = true; found && end > start;) {
        found = false;
        uint8_t tail[32];
        const bool haveTail = end >= 32 + start && read(end - 32, tail, 32) == 32;
        if (haveTail && std::memcmp(tail, "APETAGEX", 8) == 0) {
            const int64_t apeSize = int64_t(Le32(tail + 12)) + ((Le32(tail + 20) & 0x80000000u) ? 32 : 0);
            // The stated size counts the 32-byte footer at least; a smaller one would never
            // move the end and the search would go round for ever.
            if (apeSize >= 32 && apeSize <= end - start) {
                end -= apeSize;
                found = true;
            }
            continue;
        }
        // An ID3v2 footer: "3DI", then what the header holds.
        if (haveTail && std::memcmp(tail + 22, "3DI", 3) == 0 && tail[25] == 4 &&
            (tail[28] | tail[29] | tail[30] | tail[31]) < 0x80) {
            const int64_t tagSize = 20 + int64_t(SynchSafe(tail + 28));
            if (tagSize <= end - start) {
                end -= tagSize;
                found = true;
            }
            continue;
        }
        const int64_t from = std::max(start, end - kTrailingId3Search);
        std::vector<uint8_t> block(size_t(end - from));
        if (block.size() < 10 || read(from, block.data(), block.size()) != block.size()) break;
        for (size_t at = block.size() - 10 + 1; at-- > 0;) {
            const uint8_t* h = block.data() + at;
            if (h[0] != 'I' || !id3Header(h)) continue;
            const int64_t tagSize = 10 + int64_t(SynchSafe(h + 6)) + ((h[5] & 0x10) ? 10 : 0);
            if (from + int64_t(at) + tagSize == end) {
                end = from + int64_t(at);
                found = true;
                break;
            }
        }
    }
    return end;
}

ReadAt MemoryReader(const uint8_t* data, size_t size) {
    return [data, size](int64_t pos, uint8_t* dst, size_t n) -> size_t {
        if (pos < 0 || uint64_t(pos) >= size) return 0;
        n = std::min(n, size - size_t(pos));
        std::memcpy(dst, data + pos, n);
        return n;
    };
}

} // namespace

bool ParseWaveHeader(const uint8_t* head, size_t size, int64_t fileSize, WaveHeader* out) {
    return ParseWave(MemoryReader(head, size), std::min<int64_t>(fileSize, int64_t(size)), out);
}

bool ParseMpegFrameHeader(const uint8_t* p, MpegFrameHeader* h) {
    static const short kRates[3][16] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}, // v1 layer I
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},    // v1 layer II
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},     // v1 layer III
    };
    static const short kRates2[2][16] = {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}, // v2 layer I
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},      // v2 layer II/III
    };
    if (p[0] != 0xff || (p[1] & 0xe0) != 0xe0) return false;
    const int ver = (p[1] >> 3) & 3, lay = (p[1] >> 1) & 3, br = p[2] >> 4, sr = (p[2] >> 2) & 3;
    if (ver == 1 || lay == 0 || br == 0 || br == 15 || sr == 3) return false;
    h->version10 = ver == 3 ? 10 : ver == 2 ? 20 : 25;
    h->layer = 4 - lay;
    h->bitRate = h->version10 == 10 ? kRates[h->layer - 1][br] : kRates2[h->layer == 1 ? 0 : 1][br];
    static const int kBase[3] = {44100, 48000, 32000};
    h->sampleRate = kBase[sr] / (h->version10 == 10 ? 1 : h->version10 == 20 ? 2 : 4);
    h->protection = (p[1] & 1) ? 0 : 1;
    h->padding = (p[2] >> 1) & 1;
    h->mode = p[3] >> 6;
    h->channels = h->mode == 3 ? 1 : 2;
    h->copyright = (p[3] >> 3) & 1;
    h->original = (p[3] >> 2) & 1;
    h->emphasis = p[3] & 3;
    const long bps = long(h->bitRate) * 1000;
    if (h->layer == 1) {
        h->samplesPerFrame = 384;
        h->frameBytes = int((12 * bps / h->sampleRate + h->padding) * 4);
    } else if (h->layer == 2 || h->version10 == 10) {
        h->samplesPerFrame = 1152;
        h->frameBytes = int(144 * bps / h->sampleRate + h->padding);
    } else {
        h->samplesPerFrame = 576;
        h->frameBytes = int(72 * bps / h->sampleRate + h->padding);
    }
    return h->frameBytes >= 24;
}

namespace {

// The tags are read by whoever holds the bytes: a path or a buffer.
using TagReader = std::function<void(bool hasId3v2, const uint8_t* id3v1, TagText* tags)>;

// Where the audio starts after the ID3v2 tags in front. Several may follow one another; one that
// claims more than the file holds leaves no audio at all.
int64_t AfterId3v2Tags(const ReadAt& read, bool* hasId3v2) {
    int64_t start = 0;
    uint8_t h[10];
    while (read(start, h, 10) == 10 && std::memcmp(h, "ID3", 3) == 0 && h[3] < 5) {
        *hasId3v2 = true;
        start += 10 + SynchSafe(h + 6) + ((h[5] & 0x10) ? 10 : 0);
    }
    return start;
}

bool Probe(const ReadAt& read, int64_t size, VBMP3_FILE_INFO* info, TagText* tags,
           const TagReader& readTags) {
    *info = VBMP3_FILE_INFO{};
    *tags = TagText{};
    info->fileSize = size;
    bool ok = false;
    uint8_t head[10] = {};
    const size_t headLen = read(0, head, sizeof head);
    WaveHeader w;
    if (headLen >= 4 && std::memcmp(head, "RIFF", 4) == 0) {
        if (ParseWave(read, size, &w)) {
            if (w.IsMpeg()) {
                ok = ProbeMpeg(read, w.dataOffset, w.dataOffset + w.dataBytes, info);
            } else if (w.blockAlign > 0 && w.dataBytes >= w.blockAlign) {
                info->format = 2;
                info->sampleRate = w.sampleRate;
                info->channels = w.channels;
                info->bitRate = int(int64_t(w.byteRate) * 8 / 1000);
                info->samples = w.dataBytes / w.blockAlign;
                info->playTime = int32_t(std::min<int64_t>(w.dataBytes / w.byteRate, INT32_MAX));
                info->audioOffset = w.dataOffset;
                info->audioBytes = w.dataBytes;
                ok = true;
            }
        }
    } else {
        bool hasId3v2 = false;
        const int64_t start = AfterId3v2Tags(read, &hasId3v2);
        int64_t end = size;
        uint8_t v1[128];
        bool hasV1 = false;
        if (size >= 128 + start && read(size - 128, v1, 128) == 128 && std::memcmp(v1, "TAG", 3) == 0) {
            hasV1 = true;
            end -= 128;
        }
        end = AudioEndBeforeTrailingTags(read, start, end);
        if (start < end && ProbeMpeg(read, start, end, info)) {
            ok = true;
            readTags(hasId3v2, hasV1 ? v1 : nullptr, tags);
        }
    }
    if (!ok) {
        *info = VBMP3_FILE_INFO{};
        *tags = TagText{};
    }
    return ok;
}

// FLAC and the containers FFmpeg reads, probed from their path: false when the file is none of
// them, so the MPEG and WAVE probe has it; `ok` then says whether it held audio.
bool ProbeOtherAudio(const ReadAt& read, const char* path, int64_t size, VBMP3_FILE_INFO* info, TagText* tags,
                     bool* ok) {
    uint8_t head[4] = {};
    if (read(0, head, sizeof head) == 4 && std::memcmp(head, "RIFF", 4) == 0) return false;
    bool hasId3v2 = false;
    const int64_t start = AfterId3v2Tags(read, &hasId3v2);
    uint8_t sig[12] = {};
    const size_t sigLen = read(start, sig, sizeof sig);
    info->fileSize = size;
    if (sigLen >= 4 && std::memcmp(sig, "fLaC", 4) == 0 && ReadFlacInfo(path, size, info, tags)) {
        *ok = true;
        return true;
    }
    if (!LooksLikeFfmpegAudio(sig, sigLen)) return false;
    // MP4 from its atoms: listing M4A files neither loads FFmpeg nor builds its sample index.
    Mp4Audio mp4;
    if (start == 0 && ReadMp4Audio(read, size, &mp4)) {
        FillContainerInfo(mp4.rate, mp4.channels, mp4.samples, mp4.bitRate, size, info);
        ReadContainerTags(path, AudioKind::Mp4, tags);
        *ok = true;
        return true;
    }
    const AudioKind kind = ProbeFfmpegAudio(path, size, info, tags);
    if (kind == AudioKind::Adts)
        ReadTags(path, hasId3v2, nullptr, tags);
    else if (kind != AudioKind::None)
        ReadContainerTags(path, kind, tags);
    *ok = kind != AudioKind::None;
    if (!*ok) {
        *info = VBMP3_FILE_INFO{};
        *tags = TagText{};
    }
    return true;
}
} // namespace

bool ProbeFile(const char* path, VBMP3_FILE_INFO* info, TagText* tags) {
    *info = VBMP3_FILE_INFO{};
    *tags = TagText{};
    if (!path) return false;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = false;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        const ReadAt read = [fd](int64_t pos, uint8_t* dst, size_t n) -> size_t {
            const ssize_t got = pread(fd, dst, n, pos);
            return got > 0 ? size_t(got) : 0;
        };
        if (!ProbeOtherAudio(read, path, st.st_size, info, tags, &ok))
            ok = Probe(read, st.st_size, info, tags, [path](bool hasId3v2, const uint8_t* v1, TagText* t) {
                ReadTags(path, hasId3v2, v1, t);
            });
    }
    close(fd);
    return ok;
}

bool ProbeBytes(const uint8_t* data, size_t size, VBMP3_FILE_INFO* info, TagText* tags) {
    *info = VBMP3_FILE_INFO{};
    *tags = TagText{};
    if (size == 0) return false;
    return Probe(MemoryReader(data, size), int64_t(size), info, tags,
                 [data, size](bool hasId3v2, const uint8_t* v1, TagText* t) {
                     ReadTagsFromBytes(data, size, hasId3v2, v1, t);
                 });
}

} // namespace kv::engine

using namespace kv::engine;

static_assert(sizeof(VBMP3_TAG_INFO) == 652);
static_assert(offsetof(VBMP3_TAG_INFO, artist) == 128 && offsetof(VBMP3_TAG_INFO, album) == 256);
static_assert(offsetof(VBMP3_TAG_INFO, year) == 384 && offsetof(VBMP3_TAG_INFO, comment) == 389);
static_assert(offsetof(VBMP3_TAG_INFO, genre) == 520 && offsetof(VBMP3_TAG_INFO, genreName) == 524);
static_assert(offsetof(VBMP3_FILE_INFO, playTime) == 52 && sizeof(int32_t) == 4);
static_assert(sizeof(VBMP3_TRACK_INFO) == 128 * 2 + 16);

namespace kv::engine {
void FillTagRecord(const TagText& t, VBMP3_TAG_INFO* tag) {
    std::memset(tag, 0, sizeof *tag);
    PutFixedText(tag->title, sizeof tag->title, t.title);
    PutFixedText(tag->artist, sizeof tag->artist, t.artist);
    PutFixedText(tag->album, sizeof tag->album, t.album);
    PutFixedText(tag->year, sizeof tag->year, t.year);
    PutFixedText(tag->comment, sizeof tag->comment, t.comment);
    PutFixedText(tag->genreName, sizeof tag->genreName, t.genreName);
    tag->genre = t.genre;
}

namespace {

int FillRecords(bool ok, const VBMP3_FILE_INFO& fi, const TagText& t, VBMP3_TAG_INFO* tag,
                VBMP3_FILE_INFO* info) {
    if (info) *info = fi;
    if (tag) FillTagRecord(t, tag);
    return ok ? 1 : 0;
}

std::string TagText::*const kTagFields[5] = {&TagText::title, &TagText::artist, &TagText::album,
                                             &TagText::year, &TagText::comment};

// MPEG files and the containers FFmpeg reads carry tags; a WAVE or unreadable file is left alone.
bool HasTags(int format) {
    return format == 1 || format == 3;
}

bool WriteChangedTags(const char* path, int format, const TagText& t, unsigned changed, bool v2, bool v1) {
    if (format == 3) return WriteContainerTags(path, ContainerKind(path), t, changed);
    return WriteTags(path, t, changed, v2, v1);
}

// Puts into `t` the record's fields that differ from what the file gave (`t` on entry) and
// returns them as TagField bits. A field the record hands back as the file gave it is left
// alone, so a record passed through unchanged changes nothing, even where its width cut the text.
unsigned TakeChangedFields(const VBMP3_TAG_INFO* tag, TagText* t) {
    VBMP3_TAG_INFO shown;
    FillTagRecord(*t, &shown);
    const char* given[5] = {tag->title, tag->artist, tag->album, tag->year, tag->comment};
    const char* was[5] = {shown.title, shown.artist, shown.album, shown.year, shown.comment};
    const size_t widths[5] = {sizeof tag->title, sizeof tag->artist, sizeof tag->album, sizeof tag->year,
                              sizeof tag->comment};
    unsigned changed = 0;
    for (int i = 0; i < 5; ++i) {
        std::string text = GetFixedText(given[i], widths[i]);
        if (text == GetFixedText(was[i], widths[i])) continue;
        (*t).*kTagFields[i] = std::move(text);
        changed |= 1u << i;
    }
    return changed;
}

} // namespace

int GetFileInfoFromBytes(const uint8_t* data, size_t size, VBMP3_TAG_INFO* tag, VBMP3_FILE_INFO* info) {
    VBMP3_FILE_INFO fi{};
    TagText t;
    const bool ok = ProbeBytes(data, size, &fi, &t);
    return FillRecords(ok, fi, t, tag, info);
}

int SetTagInfoInBytes(std::vector<uint8_t>& bytes, const VBMP3_TAG_INFO* tag, int writeV2, int writeV1) {
    if (!tag || bytes.empty()) return 0;
    // The probe only notes where the tags are; they are read from the parse that writes them.
    bool hasId3v2 = false;
    std::optional<std::array<uint8_t, 128>> id3v1;
    const TagReader noteTags = [&](bool hasV2, const uint8_t* v1, TagText*) {
        hasId3v2 = hasV2;
        if (v1) std::memcpy(id3v1.emplace().data(), v1, 128);
    };
    VBMP3_FILE_INFO fi{};
    TagText unread;
    if (!Probe(MemoryReader(bytes.data(), bytes.size()), int64_t(bytes.size()), &fi, &unread, noteTags) ||
        fi.format != 1)
        return 0;
    const auto change = [tag](TagText* t) { return TakeChangedFields(tag, t); };
    return EditTagsInBytes(bytes, hasId3v2, id3v1 ? id3v1->data() : nullptr, change, writeV2 != 0,
                           writeV1 != 0)
               ? 1
               : 0;
}

} // namespace kv::engine

extern "C" int vbmp3_getFileInfo(const char* fileName, VBMP3_TAG_INFO* tag, VBMP3_FILE_INFO* info) {
    VBMP3_FILE_INFO fi{};
    TagText t;
    const bool ok = ProbeFile(fileName, &fi, &t);
    return FillRecords(ok, fi, t, tag, info);
}

extern "C" int vbmp3_setTagInfo(const char* fileName, const VBMP3_TAG_INFO* tag, int writeV2, int writeV1) {
    if (!fileName || !tag) return 0;
    VBMP3_FILE_INFO fi{};
    TagText t;
    if (!ProbeFile(fileName, &fi, &t) || !HasTags(fi.format)) return 0;
    const unsigned changed = TakeChangedFields(tag, &t);
    return WriteChangedTags(fileName, fi.format, t, changed, writeV2 != 0, writeV1 != 0) ? 1 : 0;
}

extern "C" int vbmp3_getTagText(const char* fileName, char* buffer, int size) {
    VBMP3_FILE_INFO fi{};
    TagText t;
    if (!ProbeFile(fileName, &fi, &t) || !HasTags(fi.format)) return 0;
    std::string all;
    for (auto field : kTagFields)
        all += t.*field + '\0';
    if (buffer && size >= int(all.size())) std::memcpy(buffer, all.data(), all.size());
    return int(all.size());
}

extern "C" int vbmp3_setTagText(const char* fileName, const char* const* texts, int writeV2, int writeV1) {
    if (!fileName || !texts) return 0;
    VBMP3_FILE_INFO fi{};
    TagText t;
    if (!ProbeFile(fileName, &fi, &t) || !HasTags(fi.format)) return 0;
    unsigned changed = 0;
    for (int i = 0; i < 5; ++i)
        if (texts[i]) {
            t.*kTagFields[i] = texts[i];
            changed |= 1u << i;
        }
    return WriteChangedTags(fileName, fi.format, t, changed, writeV2 != 0, writeV1 != 0) ? 1 : 0;
}
