// MP4 audio information from the atoms alone. Opening an MP4 with FFmpeg builds the index of
// every sample, several times the cost of reading the tags; listing a folder of M4A files only
// needs the few numbers below. The length is worked out as FFmpeg's demuxer does, so that what
// the list shows is what the decoder plays.
#include "engine/media_probe.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv::engine {
namespace {

uint32_t Be16(const uint8_t* p) {
    return uint32_t(p[0]) << 8 | p[1];
}
uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}
uint64_t Be64(const uint8_t* p) {
    return uint64_t(Be32(p)) << 32 | Be32(p + 4);
}

// A moov larger than this is not an audio file's (an hour of AAC indexes in about 2 MB).
constexpr int64_t kMaxMoov = 64 << 20;

// Bytes held in memory, every read checked against their end.
struct Span {
    const uint8_t* p = nullptr;
    size_t n = 0;
    bool Has(size_t at, size_t len) const { return at <= n && len <= n - at; }
};

// The first child box of `type` inside `in`, its body in `out`.
bool FindBox(Span in, const char* type, Span* out) {
    size_t at = 0;
    for (int i = 0; i < 4096 && in.Has(at, 8); ++i) {
        uint64_t size = Be32(in.p + at);
        size_t header = 8;
        if (size == 1) {
            if (!in.Has(at, 16)) return false;
            size = Be64(in.p + at + 8);
            header = 16;
        } else if (size == 0) {
            size = in.n - at;
        }
        if (size < header || size > in.n - at) return false;
        if (std::memcmp(in.p + at + 4, type, 4) == 0) {
            *out = {in.p + at + header, size_t(size) - header};
            return true;
        }
        at += size_t(size);
    }
    return false;
}

bool FindPath(Span in, std::initializer_list<const char*> path, Span* out) {
    for (const char* type : path)
        if (!FindBox(in, type, &in)) return false;
    *out = in;
    return true;
}

// An MPEG-4 descriptor's tag and length; `at` moves to its body.
bool Descriptor(Span s, size_t* at, int* tag, size_t* len) {
    if (!s.Has(*at, 1)) return false;
    *tag = s.p[(*at)++];
    *len = 0;
    for (int i = 0; i < 4; ++i) {
        if (!s.Has(*at, 1)) return false;
        const uint8_t b = s.p[(*at)++];
        *len = *len << 7 | (b & 0x7f);
        if (!(b & 0x80)) break;
    }
    return s.Has(*at, *len);
}

struct Entry {
    int rate = 0, channels = 0;
    int64_t bitRate = 0;
};

// The AudioSpecificConfig's rate (the SBR rate where one is signalled) and channels, as FFmpeg
// takes them for the stream.
void ReadAudioConfig(Span s, Entry* e) {
    size_t bit = 0;
    auto bits = [&](int n) -> uint32_t {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++bit) {
            if (bit / 8 >= s.n) return 0;
            v = v << 1 | ((s.p[bit / 8] >> (7 - bit % 8)) & 1);
        }
        return v;
    };
    static const int kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                   22050, 16000, 12000, 11025, 8000,  7350};
    static const int kChannels[16] = {0, 1, 2, 3, 4, 5, 6, 8, 0, 0, 0, 7, 8, 0, 8, 0};
    auto rate = [&]() -> int {
        const uint32_t index = bits(4);
        return index == 15 ? int(bits(24)) : index < 13 ? kRates[index] : 0;
    };
    uint32_t type = bits(5);
    if (type == 31) type = 32 + bits(6);
    int r = rate();
    const int ch = kChannels[bits(4)];
    if (type == 5 || type == 29) r = rate(); // explicit SBR: the rate it plays at
    if (bit / 8 > s.n) return;
    if (r > 0) e->rate = r;
    if (ch > 0) e->channels = ch;
}

void ReadEsds(Span esds, Entry* e) {
    size_t at = 4; // version and flags
    int tag;
    size_t len;
    if (!Descriptor(esds, &at, &tag, &len) || tag != 3 || !esds.Has(at, 3)) return;
    const uint8_t flags = esds.p[at + 2];
    at += 3;
    if (flags & 0x80) at += 2;
    if ((flags & 0x40) && esds.Has(at, 1)) at += 1 + esds.p[at];
    if (flags & 0x20) at += 2;
    if (!Descriptor(esds, &at, &tag, &len) || tag != 4 || len < 13) return;
    const uint8_t object = esds.p[at];
    if (const uint32_t avg = Be32(esds.p + at + 9)) e->bitRate = avg;
    at += 13;
    // AAC (MPEG-4, and MPEG-2's three profiles) carries an AudioSpecificConfig.
    const bool aac = object == 0x40 || (object >= 0x66 && object <= 0x68);
    if (aac && Descriptor(esds, &at, &tag, &len) && tag == 5) ReadAudioConfig({esds.p + at, len}, e);
}

// The first sample entry, when it is AAC (or another MPEG-4 audio object) or ALAC.
bool ReadSampleEntry(Span stsd, Entry* e) {
    if (!stsd.Has(0, 8 + 36) || Be32(stsd.p + 4) == 0) return false;
    const Span box{stsd.p + 8, std::min<size_t>(Be32(stsd.p + 8), stsd.n - 8)};
    const bool mp4a = std::memcmp(box.p + 4, "mp4a", 4) == 0;
    if (box.n < 36 || (!mp4a && std::memcmp(box.p + 4, "alac", 4) != 0)) return false;
    const uint32_t version = Be16(box.p + 16);
    e->channels = int(Be16(box.p + 24));
    e->rate = int(Be32(box.p + 32) >> 16);
    size_t children = 36;
    if (version == 1) {
        children += 16;
    } else if (version == 2) {
        children += 36;
        if (!box.Has(36, 36)) return false;
        uint64_t bits = Be64(box.p + 40);
        double rate;
        std::memcpy(&rate, &bits, sizeof rate);
        e->rate = rate >= 1 && rate < 1e7 ? int(rate) : 0;
        e->channels = int(std::min<uint32_t>(Be32(box.p + 48), 1024));
    }
    if (!box.Has(children, 0)) return false;
    const Span kids{box.p + children, box.n - children};
    Span s;
    if (mp4a) {
        // QuickTime writes the esds inside a 'wave' box.
        if (FindBox(kids, "esds", &s) || FindPath(kids, {"wave", "esds"}, &s)) ReadEsds(s, e);
        if (!e->bitRate && FindBox(kids, "btrt", &s) && s.Has(0, 12)) e->bitRate = Be32(s.p + 8);
    } else if (FindBox(kids, "alac", &s) && s.Has(0, 28)) {
        const uint8_t* c = s.p + 4; // after version and flags
        if (c[9]) e->channels = c[9];
        if (const uint32_t rate = Be32(c + 20)) e->rate = int(std::min<uint32_t>(rate, 1u << 30));
        // Its average bit rate is often the PCM rate; the samples' size says what it is.
    }
    return true;
}

bool IsSoundTrack(Span trak) {
    Span hdlr;
    return FindPath(trak, {"mdia", "hdlr"}, &hdlr) && hdlr.Has(8, 4) &&
           std::memcmp(hdlr.p + 8, "soun", 4) == 0;
}

// Timescale and duration of an mvhd or mdhd.
bool TimeHeader(Span box, uint32_t* scale, uint64_t* duration) {
    const bool v1 = box.Has(0, 1) && box.p[0] == 1;
    if (!box.Has(0, v1 ? 32 : 20)) return false;
    *scale = Be32(box.p + (v1 ? 20 : 12));
    *duration = v1 ? Be64(box.p + 24) : Be32(box.p + 16);
    return *scale > 0;
}

// Ticks of the sample table, and bytes of its samples.
bool SampleTable(Span stbl, uint64_t* ticks, uint64_t* bytes) {
    Span stts, stsz;
    if (!FindBox(stbl, "stts", &stts) || !stts.Has(0, 8)) return false;
    const uint32_t n = Be32(stts.p + 4);
    if (!stts.Has(8, uint64_t(n) * 8)) return false;
    *ticks = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t* e = stts.p + 8 + size_t(i) * 8;
        // Each run below 2^64 and the sum kept below 2^62: the addition cannot wrap.
        const uint64_t run = uint64_t(Be32(e)) * Be32(e + 4);
        if (run > (uint64_t(1) << 62) || (*ticks += run) > (uint64_t(1) << 62)) return false;
    }
    *bytes = 0;
    if (FindBox(stbl, "stsz", &stsz) && stsz.Has(0, 12)) {
        const uint32_t size = Be32(stsz.p + 4), count = Be32(stsz.p + 8);
        if (size) {
            *bytes = uint64_t(size) * count;
        } else if (stsz.Has(12, uint64_t(count) * 4)) {
            for (uint32_t i = 0; i < count; ++i)
                *bytes += Be32(stsz.p + 12 + size_t(i) * 4);
        }
    }
    return true;
}

// The edit list's start in the media and its length in media ticks; false without one. Empty
// edits (a delay before the track) add nothing.
bool EditList(Span trak, uint32_t movieScale, uint32_t mediaScale, int64_t* start, uint64_t* length) {
    Span elst;
    if (!FindPath(trak, {"edts", "elst"}, &elst) || !elst.Has(0, 8) || movieScale == 0) return false;
    const bool v1 = elst.p[0] == 1;
    const size_t size = v1 ? 20 : 12;
    const uint32_t n = Be32(elst.p + 4);
    if (!elst.Has(8, uint64_t(n) * size)) return false;
    *start = -1;
    *length = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t* e = elst.p + 8 + size_t(i) * size;
        const uint64_t duration = v1 ? Be64(e) : Be32(e);
        const int64_t mediaTime = v1 ? int64_t(Be64(e + 8)) : int32_t(Be32(e + 4));
        if (mediaTime < 0) continue;
        if (*start < 0) *start = mediaTime;
        const long double ticks = (long double)duration * mediaScale / movieScale;
        if (ticks > (long double)(uint64_t(1) << 50)) return false;
        *length += uint64_t(std::llround(ticks)); // at most 2^32 edits of 2^50: no overflow
    }
    return *start >= 0 && *length > 0;
}

// iTunes' gapless record: the text of the freeform item "----:com.apple.iTunes:iTunSMPB", hex
// words " 00000000 priming padding length ...".
struct Smpb {
    uint64_t priming = 0, padding = 0, length = 0;
};

bool ParseSmpb(Span text, Smpb* out) {
    uint64_t words[4] = {};
    size_t at = 0;
    for (uint64_t& w : words) {
        while (at < text.n && text.p[at] == ' ')
            ++at;
        int digits = 0;
        for (; at < text.n && text.p[at] != ' '; ++at, ++digits) {
            const int c = text.p[at];
            const int v = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            if (v < 0 || digits == 16) return false;
            w = w << 4 | uint64_t(v);
        }
        if (digits == 0) return false;
    }
    *out = {words[1], words[2], words[3]};
    return out->length > 0;
}

// The iTunSMPB item in moov/udta/meta/ilst, when there is one that reads.
bool FindSmpb(Span moov, Smpb* out) {
    Span meta, ilst;
    if (!FindPath(moov, {"udta", "meta"}, &meta)) return false;
    // ISO's meta is a full box (version and flags first); QuickTime's starts with its children.
    const size_t kids = meta.Has(4, 4) && std::memcmp(meta.p + 4, "hdlr", 4) == 0 ? 0 : 4;
    if (!meta.Has(kids, 0) || !FindBox({meta.p + kids, meta.n - kids}, "ilst", &ilst)) return false;
    Span rest = ilst, item;
    for (int i = 0; i < 1024 && FindBox(rest, "----", &item); ++i) {
        const size_t next = size_t(item.p + item.n - rest.p);
        rest = {rest.p + next, rest.n - next};
        // mean and name carry version and flags before their text; data its type and locale.
        Span mean, name, data;
        if (!FindBox(item, "mean", &mean) || !FindBox(item, "name", &name) || !FindBox(item, "data", &data) ||
            !mean.Has(0, 4) || !name.Has(0, 4) || !data.Has(0, 8))
            continue;
        constexpr char kMean[] = "com.apple.iTunes", kName[] = "iTunSMPB";
        if (mean.n - 4 != sizeof kMean - 1 || std::memcmp(mean.p + 4, kMean, sizeof kMean - 1) != 0 ||
            name.n - 4 != sizeof kName - 1 || std::memcmp(name.p + 4, kName, sizeof kName - 1) != 0)
            continue;
        return ParseSmpb({data.p + 8, std::min<size_t>(data.n - 8, 256)}, out);
    }
    return false;
}

} // namespace

bool ReadMp4Audio(const ByteReader& read, int64_t fileSize, Mp4Audio* out) {
    *out = Mp4Audio{};
    // The top-level boxes, for the moov: before the media or after it.
    int64_t pos = 0, moovAt = -1, moovSize = 0;
    for (int i = 0; i < 1024 && pos + 8 <= fileSize; ++i) {
        uint8_t h[16];
        if (read(pos, h, 8) != 8) return false;
        uint64_t size = Be32(h);
        int64_t header = 8;
        if (size == 1) {
            if (read(pos + 8, h + 8, 8) != 8) return false;
            size = Be64(h + 8);
            header = 16;
        } else if (size == 0) {
            size = uint64_t(fileSize - pos);
        }
        if (size < uint64_t(header) || size > uint64_t(fileSize - pos)) return false;
        if (std::memcmp(h + 4, "moov", 4) == 0) {
            moovAt = pos + header;
            moovSize = int64_t(size) - header;
            break;
        }
        pos += int64_t(size);
    }
    if (moovAt < 0 || moovSize > kMaxMoov) return false;
    std::vector<uint8_t> moovBytes(static_cast<size_t>(moovSize));
    if (read(moovAt, moovBytes.data(), moovBytes.size()) != moovBytes.size()) return false;
    const Span moov{moovBytes.data(), moovBytes.size()};

    Span mvhd;
    uint32_t movieScale = 0;
    uint64_t movieDuration = 0;
    if (FindBox(moov, "mvhd", &mvhd)) TimeHeader(mvhd, &movieScale, &movieDuration);
    // The first sound track, as the decoder takes.
    Span rest = moov, trak;
    bool found = false;
    for (int i = 0; i < 256 && !found && FindBox(rest, "trak", &trak); ++i) {
        found = IsSoundTrack(trak);
        const size_t next = size_t(trak.p + trak.n - rest.p);
        rest = {rest.p + next, rest.n - next};
    }
    Span mdhd, stbl, stsd;
    uint32_t scale = 0;
    uint64_t duration = 0, ticks = 0, bytes = 0;
    Entry e;
    if (!found || !FindPath(trak, {"mdia", "mdhd"}, &mdhd) || !TimeHeader(mdhd, &scale, &duration) ||
        !FindPath(trak, {"mdia", "minf", "stbl"}, &stbl) || !FindBox(stbl, "stsd", &stsd) ||
        !ReadSampleEntry(stsd, &e) || !SampleTable(stbl, &ticks, &bytes))
        return false;
    if (e.rate <= 0 || e.channels <= 0 || e.rate > (1 << 24)) return false;
    // The shorter of the header's and the table's; an edit list cuts the encoder's delay from
    // the start and its padding from the end.
    if (ticks > 0 && (duration == 0 || ticks < duration)) duration = ticks;
    int64_t start;
    uint64_t length;
    const bool edited = EditList(trak, movieScale, scale, &start, &length);
    if (edited) duration = std::min(length, duration > uint64_t(start) ? duration - uint64_t(start) : 0);
    const long double exact = (long double)duration * e.rate / scale;
    if (exact > (long double)(int64_t(1) << 50)) return false; // years of sound: not a length
    int64_t samples = int64_t(std::llround(exact));
    // iTunSMPB counts samples where an edit list may only count the movie's milliseconds; it is
    // believed when what it accounts for fits in what the sample table holds.
    int64_t priming = -1;
    constexpr uint64_t kHuge = uint64_t(1) << 50;
    if (Smpb smpb;
        FindSmpb(moov, &smpb) && smpb.priming < kHuge && smpb.padding < kHuge && smpb.length < kHuge &&
        (long double)(smpb.priming + smpb.padding + smpb.length) <= (long double)ticks * e.rate / scale) {
        samples = int64_t(smpb.length);
        priming = int64_t(smpb.priming);
    }
    if (samples <= 0) return false;
    out->rate = e.rate;
    out->channels = e.channels;
    out->samples = samples;
    out->priming = priming;
    out->editStart = edited ? start : 0;
    out->timescale = scale;
    const double seconds = double(samples) / e.rate;
    // A damaged size table may claim far more bytes than the length could hold: kept in range.
    out->bitRate = e.bitRate > 0
                       ? e.bitRate
                       : int64_t(std::min(double(bytes > 0 ? bytes : uint64_t(fileSize)) * 8 / seconds,
                                          double(int64_t(1) << 40)));
    return true;
}

bool ReadMp4AudioFile(const std::string& path, Mp4Audio* out) {
    *out = Mp4Audio{};
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const ByteReader read = [fd](int64_t pos, uint8_t* dst, size_t n) -> size_t {
        const ssize_t got = pread(fd, dst, n, pos);
        return got > 0 ? size_t(got) : 0;
    };
    const bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadMp4Audio(read, st.st_size, out);
    close(fd);
    return ok;
}

} // namespace kv::engine
