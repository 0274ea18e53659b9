// Reading what a file is without decoding it: WAVE chunk headers, MPEG frame headers with
// their Xing/LAME/VBRI length headers, and the tags. Everything here is pure reading.
#pragma once
#include "engine/vbmp3.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kv::engine {

struct WaveHeader {
    int formatTag = 0; // 1 PCM, 3 float, 0xfffe extensible, 0x55 MP3, 0x50 MPEG ...
    int channels = 0;
    int sampleRate = 0;
    int byteRate = 0;
    int blockAlign = 0;
    int bitsPerSample = 0;
    int64_t dataOffset = 0;
    int64_t dataBytes = 0; // clamped to what the file holds
    bool IsMpeg() const { return formatTag == 0x55 || formatTag == 0x50; }
};

// `head` is the start of the file (at least the chunk headers), `fileSize` its whole size.
// A data chunk whose size is 0 or runs past the end is taken to reach the end of the file,
// which is also what a WAVE file still being written looks like.
bool ParseWaveHeader(const uint8_t* head, size_t size, int64_t fileSize, WaveHeader* out);

struct MpegFrameHeader {
    int version10 = 0; // 10, 20, 25
    int layer = 0;     // 1..3
    int bitRate = 0;   // kbit/s
    int sampleRate = 0;
    int channels = 0;
    int mode = 0;
    int padding = 0;
    int protection = 0; // 1 when a CRC follows
    int copyright = 0, original = 0, emphasis = 0;
    int frameBytes = 0;
    int samplesPerFrame = 0;
};
bool ParseMpegFrameHeader(const uint8_t* p, MpegFrameHeader* out);

struct TagText {
    std::string title, artist, album, year, comment, genreName;
    int genre = 255;
};

// Fills both records from a file; false (records zeroed) when it holds no playable audio.
bool ProbeFile(const char* path, VBMP3_FILE_INFO* info, TagText* tags);
// The same for a whole file held in memory.
bool ProbeBytes(const uint8_t* data, size_t size, VBMP3_FILE_INFO* info, TagText* tags);
// vbmp3_getFileInfo and vbmp3_setTagInfo for a whole file held in memory; the file functions
// share every step with these but the reading and writing of the bytes.
int GetFileInfoFromBytes(const uint8_t* data, size_t size, VBMP3_TAG_INFO* tag, VBMP3_FILE_INFO* info);
int SetTagInfoInBytes(std::vector<uint8_t>& bytes, const VBMP3_TAG_INFO* tag, int writeV2, int writeV1);

// Tags: ID3v2 first, ID3v1 for whatever ID3v2 left empty. The comment is the one without a
// description.
void ReadTags(const char* path, bool hasId3v2, const uint8_t* id3v1, TagText* tags);

// Bits of `changed` for WriteTags, in the order of the record's fields.
enum TagField : unsigned {
    kTagTitleField = 1,
    kTagArtistField = 2,
    kTagAlbumField = 4,
    kTagYearField = 8,
    kTagCommentField = 16,
    kTagAllFields = 31,
};
// Writes the fields flagged in `changed`, the ID3v2 text whole and the ID3v1 text cut to its
// field at a character boundary; every other field and frame keeps its bytes. A tag version
// the file lacks is made whole from `tags`.
bool WriteTags(const char* path, const TagText& tags, unsigned changed, bool v2, bool v1);
void ReadTagsFromBytes(const uint8_t* data, size_t size, bool hasId3v2, const uint8_t* id3v1, TagText* tags);
// ReadTagsFromBytes and WriteTags in one for an MP3 held in memory: `change` gets the tags as read,
// puts its texts into them and returns the fields it changed. false leaves the bytes as they were.
bool EditTagsInBytes(std::vector<uint8_t>& bytes, bool hasId3v2, const uint8_t* id3v1,
                     const std::function<unsigned(TagText*)>& change, bool v2, bool v1);

// Reads up to `n` bytes at `pos`, returning how many it read.
using ByteReader = std::function<size_t(int64_t pos, uint8_t* dst, size_t n)>;

// An MP4's first sound track (AAC or ALAC) from its atoms alone, its length as the decoder
// plays it (after the edit list); false when there is none or the atoms do not hold together.
struct Mp4Audio {
    int rate = 0, channels = 0;
    int64_t samples = 0;
    int64_t bitRate = 0; // bit/s
    // Where the sound starts when iTunSMPB gives it: samples from the track's first, -1 without
    // one. FFmpeg's time stamps count from the edit list's first media time (`editStart`, in
    // `timescale` ticks), so the decoder finds that start among them.
    int64_t priming = -1;
    int64_t editStart = 0;
    uint32_t timescale = 0;
};
bool ReadMp4Audio(const ByteReader& read, int64_t fileSize, Mp4Audio* out);
bool ReadMp4AudioFile(const std::string& path, Mp4Audio* out);

// Copies the file beside itself, lets `edit` change the copy, and puts the copy in the file's
// place (a file with several hard links is rewritten in place from it); false, with the file
// as it was, when any step fails.
bool EditThroughCopy(const char* path, const std::function<bool(const char* temp)>& edit);

} // namespace kv::engine
