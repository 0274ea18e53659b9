// The tag writer and reader together: fuzzed texts written into a small MP3, then read back.
// The file must stay a readable MP3 of the same length, and plain texts written as ID3v2 must
// read back as written. Built twice: on the MP3 held in memory, and (KVFUZZ_ON_DISK) through a
// file with vbmp3_setTagInfo's copy and rename and vbmp3_getFileInfo's reads.
#include "engine/media_probe.h"
#include "engine/vbmp3.h"
#include "fuzz_input_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

namespace {
using namespace kvfuzz;

const std::vector<char>& BaseFile() {
    static const std::vector<char> bytes = [] {
        std::ifstream in(KAVETTO_FUZZ_BASE_MP3, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    }();
    return bytes;
}

void PutField(char* field, size_t width, std::string_view text) {
    std::memset(field, ' ', width - 1);
    field[width - 1] = '\0';
    std::memcpy(field, text.data(), std::min(text.size(), width - 1));
}

// Texts any tag keeps as they are: printable ASCII, no blanks at either end.
bool Plain(std::string_view s) {
    if (s.empty() || s.front() == ' ' || s.back() == ' ') return false;
    for (unsigned char c : s)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

std::string_view Trimmed(const char* field) {
    std::string_view s(field);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

} // namespace

// TagLib as the system ships it keeps no frame pointers, so ASan's fast unwinder walks on from
// its frames into whatever the stack holds: nearly every allocation inside TagLib records a new,
// meaningless stack, and storing them grows to half the run time and more the longer the run
// goes on. The allocator and its caller are all that unwind soundly through TagLib; a finding
// replayed with ASAN_OPTIONS=malloc_context_size=30 shows the longer stacks.
extern "C" const char* __asan_default_options() {
    return "malloc_context_size=2";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || BaseFile().empty()) return 0;
#if KVFUZZ_ON_DISK
    const std::string path =
        WriteInput("in.mp3", reinterpret_cast<const uint8_t*>(BaseFile().data()), BaseFile().size());
    if (path.empty()) return 0;
    auto getInfo = [&](VBMP3_TAG_INFO* tag, VBMP3_FILE_INFO* info) {
        return vbmp3_getFileInfo(path.c_str(), tag, info);
    };
    auto setTags = [&](const VBMP3_TAG_INFO* tag, int v2, int v1) {
        return vbmp3_setTagInfo(path.c_str(), tag, v2, v1);
    };
#else
    std::vector<uint8_t> bytes(BaseFile().begin(), BaseFile().end());
    auto getInfo = [&](VBMP3_TAG_INFO* tag, VBMP3_FILE_INFO* info) {
        return kv::engine::GetFileInfoFromBytes(bytes.data(), bytes.size(), tag, info);
    };
    auto setTags = [&](const VBMP3_TAG_INFO* tag, int v2, int v1) {
        return kv::engine::SetTagInfoInBytes(bytes, tag, v2, v1);
    };
#endif
    const int writeV2 = data[0] & 1, writeV1 = (data[0] >> 1) & 1;
    // The texts are the rest of the input, split at NUL bytes: title, artist, album, year, comment.
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string_view fields[5];
    for (auto& f : fields) {
        const size_t end = rest.find('\0');
        f = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    VBMP3_TAG_INFO in{};
    PutField(in.title, sizeof in.title, fields[0]);
    PutField(in.artist, sizeof in.artist, fields[1]);
    PutField(in.album, sizeof in.album, fields[2]);
    PutField(in.year, sizeof in.year, fields[3]);
    PutField(in.comment, sizeof in.comment, fields[4]);
    in.genre = 255;

    VBMP3_TAG_INFO after{};
    VBMP3_FILE_INFO infoAfter{};
    // The base file is the same on every run: it is read once.
    static const VBMP3_FILE_INFO infoBefore = [&] {
        VBMP3_TAG_INFO tag{};
        VBMP3_FILE_INFO info{};
        Require(getInfo(&tag, &info) != 0, "base file unreadable");
        return info;
    }();
    Require(setTags(&in, writeV2, writeV1) != 0, "tag not written");
    Require(getInfo(&after, &infoAfter) != 0, "tagged file unreadable");
    Require(infoAfter.playTime == infoBefore.playTime && infoAfter.samples == infoBefore.samples,
            "tagging changed the audio");
    for (const char* field : {after.title, after.artist, after.album, after.comment, after.genreName})
        Require(std::memchr(field, '\0', 128) != nullptr, "text field not terminated");
    Require(std::memchr(after.year, '\0', sizeof after.year) != nullptr, "year not terminated");
    if (writeV2) {
        const std::string_view title(fields[0].substr(0, sizeof in.title - 1));
        const std::string_view artist(fields[1].substr(0, sizeof in.artist - 1));
        if (Plain(title)) Require(Trimmed(after.title) == title, "title not read back as written");
        if (Plain(artist)) Require(Trimmed(after.artist) == artist, "artist not read back as written");
    }
    return 0;
}
