// ID3 tags: TagLib reads ID3v2 (only when the file starts with one) and writes it; ID3v1 is
// read and written here directly because its bytes need the CP932 heuristic, and because a
// field left alone must keep its bytes.
// A write touches only the fields it is given: other frames (iTunes' COMM frames, ReplayGain
// TXXX, a full recording date) and the tag's version stay as they were.
// Writes go to a copy beside the file that replaces it by rename, so a crash or a full disk
// never leaves a half-written track; only a file with several hard links is rewritten in place.
#include "engine/media_probe.h"
#include "engine/text.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

namespace kv::engine {
namespace {

std::string FromTagLib(const TagLib::String& s) {
    return s.to8Bit(true);
}
TagLib::String ToTagLib(const std::string& utf8) {
    return TagLib::String(utf8, TagLib::String::UTF8);
}

// The comment a person reads and edits is the one without a description; the others (iTunNORM,
// CDDB ids, ...) belong to the programs that wrote them.
TagLib::ID3v2::CommentsFrame* PlainComment(TagLib::ID3v2::Tag* tag) {
    for (TagLib::ID3v2::Frame* f : tag->frameListMap()["COMM"])
        if (auto* c = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(f); c && c->description().isEmpty())
            return c;
    return nullptr;
}

// Latin-1 frames are often Shift-JIS in disguise; TagLib has already widened each byte to
// one character, so the original bytes come back with to8Bit(false).
std::string FrameText(TagLib::ID3v2::Tag* tag, const char* id) {
    TagLib::String::Type encoding = TagLib::String::UTF8;
    TagLib::String text;
    if (std::strcmp(id, "COMM") == 0) {
        TagLib::ID3v2::CommentsFrame* c = PlainComment(tag);
        if (!c) return {};
        encoding = c->textEncoding();
        text = c->text();
    } else {
        const auto& list = tag->frameListMap()[id];
        if (list.isEmpty()) return {};
        if (auto* t = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(list.front())) {
            encoding = t->textEncoding();
            text = t->fieldList().isEmpty() ? TagLib::String() : t->fieldList().front();
        } else {
            text = list.front()->toString();
        }
    }
    if (encoding == TagLib::String::Latin1) {
        const std::string bytes = text.to8Bit(false);
        return DecodeLegacyText(bytes.data(), bytes.size());
    }
    return FromTagLib(text);
}

void Id3v1Field(const uint8_t* p, size_t n, std::string* out) {
    if (out->empty()) *out = TrimUtf8(DecodeLegacyText(reinterpret_cast<const char*>(p), n), 1024);
}

// Unicode in every frame we write, whatever the text (TagLib renders it as UTF-16 in ID3v2.3).
void SetTextFrame(TagLib::ID3v2::Tag* tag, const char* id, const std::string& text) {
    if (text.empty()) {
        tag->removeFrames(id);
        return;
    }
    const auto& list = tag->frameListMap()[id];
    auto* frame =
        list.isEmpty() ? nullptr : dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(list.front());
    if (!frame) {
        tag->removeFrames(id);
        frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
        tag->addFrame(frame);
    }
    frame->setTextEncoding(TagLib::String::UTF8);
    frame->setText(ToTagLib(text));
}

void SetPlainComment(TagLib::ID3v2::Tag* tag, const std::string& text) {
    TagLib::ID3v2::CommentsFrame* frame = PlainComment(tag);
    if (text.empty()) {
        if (frame) tag->removeFrame(frame);
        return;
    }
    if (!frame) {
        frame = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF8);
        tag->addFrame(frame);
    }
    frame->setTextEncoding(TagLib::String::UTF8);
    frame->setText(ToTagLib(text));
}

std::string YearText(const std::string& year) {
    const int n = std::atoi(year.c_str());
    return n > 0 ? std::to_string(n) : std::string();
}

// The fields given in `changed`; a tag the file did not have is made whole.
bool SaveId3v2(TagLib::MPEG::File& file, const TagText& t, unsigned changed) {
    if (!file.isValid()) return false;
    const bool had = file.hasID3v2Tag();
    // TagLib writes 2.3 and 2.4 only; anything older becomes 2.4.
    const TagLib::ID3v2::Version version =
        had && file.ID3v2Tag()->header()->majorVersion() == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
    if (!had) changed = kTagAllFields;
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    if (changed & kTagTitleField) SetTextFrame(tag, "TIT2", t.title);
    if (changed & kTagArtistField) SetTextFrame(tag, "TPE1", t.artist);
    if (changed & kTagAlbumField) SetTextFrame(tag, "TALB", t.album);
    if (changed & kTagYearField) SetTextFrame(tag, "TDRC", YearText(t.year));
    if (changed & kTagCommentField) SetPlainComment(tag, t.comment);
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, version,
                     TagLib::File::DoNotDuplicate);
}

bool SaveId3v2(const char* path, const TagText& t, unsigned changed) {
    TagLib::MPEG::File file(path, false);
    return SaveId3v2(file, t, changed);
}

// ID3v1 text in its field's bytes, cut at a character boundary.
std::string LegacyField(const std::string& utf8, size_t width) {
    std::string text = utf8;
    size_t chars = 0, n = 0; // no character is shorter than a byte
    while (n < text.size() && chars < width) {
        ++n;
        while (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xc0) == 0x80)
            ++n;
        ++chars;
    }
    text.resize(n);
    std::string bytes = EncodeLegacyText(text);
    while (bytes.size() > width) {
        n = text.size() - 1;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xc0) == 0x80)
            --n;
        text.resize(n);
        bytes = EncodeLegacyText(text);
    }
    return bytes;
}

// Patches the fields given in `changed` of an ID3v1 tag, or fills a new one (`had` false).
void PatchId3v1(uint8_t* tag, bool had, const TagText& t, unsigned changed) {
    if (!had) {
        std::memset(tag, 0, 128);
        std::memcpy(tag, "TAG", 3);
        tag[127] = uint8_t(t.genre >= 0 && t.genre < 255 ? t.genre : 255);
        changed = kTagAllFields;
    }
    struct Field {
        const std::string* text;
        size_t offset, width;
    };
    // ID3v1.1 keeps the track number in the comment's last byte after a NUL.
    const bool track = tag[125] == 0 && tag[126] != 0;
    const Field fields[5] = {{&t.title, 3, 30},
                             {&t.artist, 33, 30},
                             {&t.album, 63, 30},
                             {&t.year, 93, 4},
                             {&t.comment, 97, track ? 28u : 30u}};
    for (unsigned i = 0; i < 5; ++i) {
        if (!(changed & (1u << i))) continue;
        const std::string bytes =
            LegacyField(i == 3 ? YearText(*fields[i].text) : *fields[i].text, fields[i].width);
        std::memset(tag + fields[i].offset, 0, fields[i].width);
        std::memcpy(tag + fields[i].offset, bytes.data(), bytes.size());
    }
}

// The ID3v1 tag at the file's end, patched or appended.
bool SaveId3v1(int fd, const TagText& t, unsigned changed) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return false;
    uint8_t tag[128] = {};
    const bool had =
        st.st_size >= 128 && pread(fd, tag, 128, st.st_size - 128) == 128 && std::memcmp(tag, "TAG", 3) == 0;
    PatchId3v1(tag, had, t, changed);
    return pwrite(fd, tag, 128, had ? st.st_size - 128 : st.st_size) == 128;
}

void SaveId3v1(std::vector<uint8_t>& bytes, const TagText& t, unsigned changed) {
    const size_t n = bytes.size();
    const bool had = n >= 128 && std::memcmp(bytes.data() + n - 128, "TAG", 3) == 0;
    if (!had) bytes.resize(n + 128);
    PatchId3v1(bytes.data() + bytes.size() - 128, had, t, changed);
}

bool CopyFile(int in, int out) {
    char buf[1 << 16];
    for (;;) {
        const ssize_t got = read(in, buf, sizeof buf);
        if (got == 0) return true;
        if (got < 0) return false;
        for (ssize_t done = 0; done < got;) {
            const ssize_t w = write(out, buf + done, size_t(got - done));
            if (w <= 0) return false;
            done += w;
        }
    }
}

void ReadId3v2(TagLib::MPEG::File& file, TagText* t) {
    if (file.isValid() && file.hasID3v2Tag()) {
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
        t->title = TrimUtf8(FrameText(tag, "TIT2"), 1024);
        t->artist = TrimUtf8(FrameText(tag, "TPE1"), 1024);
        t->album = TrimUtf8(FrameText(tag, "TALB"), 1024);
        t->comment = TrimUtf8(FrameText(tag, "COMM"), 1024);
        if (tag->year() > 0 && tag->year() < 10000) t->year = std::to_string(tag->year());
        t->genreName = TrimUtf8(FromTagLib(tag->genre()), 1024);
        const int g = TagLib::ID3v1::genreIndex(tag->genre());
        if (g >= 0 && g < 255) t->genre = g;
    }
}

void ReadId3v1(const uint8_t* id3v1, TagText* t) {
    Id3v1Field(id3v1 + 3, 30, &t->title);
    Id3v1Field(id3v1 + 33, 30, &t->artist);
    Id3v1Field(id3v1 + 63, 30, &t->album);
    Id3v1Field(id3v1 + 93, 4, &t->year);
    // ID3v1.1 keeps the track number in the comment's last byte after a NUL.
    Id3v1Field(id3v1 + 97, (id3v1[125] == 0 && id3v1[126] != 0) ? 28 : 30, &t->comment);
    if (t->genre == 255 && id3v1[127] != 255) {
        t->genre = id3v1[127];
        if (t->genreName.empty()) t->genreName = FromTagLib(TagLib::ID3v1::genre(id3v1[127]));
    }
}

} // namespace

void ReadTags(const char* path, bool hasId3v2, const uint8_t* id3v1, TagText* t) {
    if (hasId3v2) {
        TagLib::MPEG::File file(path, false);
        ReadId3v2(file, t);
    }
    if (id3v1) ReadId3v1(id3v1, t);
}

void ReadTagsFromBytes(const uint8_t* data, size_t size, bool hasId3v2, const uint8_t* id3v1, TagText* t) {
    if (hasId3v2) {
        TagLib::ByteVectorStream stream(
            TagLib::ByteVector(reinterpret_cast<const char*>(data), unsigned(size)));
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        ReadId3v2(file, t);
    }
    if (id3v1) ReadId3v1(id3v1, t);
}

bool WriteTags(const char* path, const TagText& t, unsigned changed, bool v2, bool v1) {
    if ((!v2 && !v1) || changed == 0) return true;
    // ID3 in front of a RIFF container would break it: refused before anything is copied.
    char magic[4] = {};
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    const bool plain = fd >= 0 && pread(fd, magic, 4, 0) == 4 && std::memcmp(magic, "RIFF", 4) != 0;
    if (fd >= 0) close(fd);
    if (!plain) return false;
    return EditThroughCopy(path, [&](const char* temp) {
        if (v2 && !SaveId3v2(temp, t, changed)) return false;
        if (!v1) return true;
        const int file = open(temp, O_RDWR | O_CLOEXEC);
        const bool ok = file >= 0 && SaveId3v1(file, t, changed);
        if (file >= 0) close(file);
        return ok;
    });
}

bool EditThroughCopy(const char* path, const std::function<bool(const char* temp)>& edit) {
    // Through a symbolic link the file it points to is changed, and the link stays a link.
    char* resolved = realpath(path, nullptr);
    if (!resolved) return false;
    const std::string target = resolved;
    std::free(resolved);
    const int in = open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st {};
    if (fstat(in, &st) != 0) {
        close(in);
        return false;
    }
    std::string temp = target + ".kvtag-XXXXXX";
    const int out = mkstemp(temp.data());
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = CopyFile(in, out) && fchmod(out, st.st_mode & 07777) == 0;
    if (fchown(out, st.st_uid, st.st_gid) != 0) {
        // Not owner: keep our own ownership, the permissions still carry over.
    }
    close(in);
    ok = close(out) == 0 && ok;
    ok = ok && edit(temp.c_str());
    if (ok) {
        const int fd = open(temp.c_str(), O_RDONLY | O_CLOEXEC);
        ok = fd >= 0 && fsync(fd) == 0;
        if (fd >= 0) close(fd);
    }
    if (ok && st.st_nlink > 1) {
        // A rename would split a file that has several names from the others, so its bytes are
        // rewritten in place from the finished copy. Should that fail halfway, the copy stays
        // beside it as the only whole version.
        const int src = open(temp.c_str(), O_RDONLY | O_CLOEXEC);
        const int dst = src >= 0 ? open(target.c_str(), O_WRONLY | O_CLOEXEC) : -1;
        struct stat done {};
        ok = dst >= 0 && CopyFile(src, dst) && fstat(src, &done) == 0 && ftruncate(dst, done.st_size) == 0 &&
             fsync(dst) == 0;
        const bool started = dst >= 0;
        if (src >= 0) close(src);
        if (dst >= 0) ok = close(dst) == 0 && ok;
        if (ok || !started) unlink(temp.c_str());
        return ok;
    }
    ok = ok && std::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
}

bool EditTagsInBytes(std::vector<uint8_t>& bytes, bool hasId3v2, const uint8_t* id3v1,
                     const std::function<unsigned(TagText*)>& change, bool v2, bool v1) {
    if (!v2 && !v1) return true;
    // One TagLib parse both reads the tags and writes them: parsing is by far the dearest step.
    std::optional<TagLib::ByteVectorStream> stream;
    std::optional<TagLib::MPEG::File> file;
    if (hasId3v2 || v2) {
        stream.emplace(
            TagLib::ByteVector(reinterpret_cast<const char*>(bytes.data()), unsigned(bytes.size())));
        file.emplace(&*stream, TagLib::ID3v2::FrameFactory::instance(), false);
    }
    TagText t;
    if (hasId3v2) ReadId3v2(*file, &t);
    if (id3v1) ReadId3v1(id3v1, &t);
    const unsigned changed = change(&t);
    if (changed == 0) return true;
    // ID3 in front of a RIFF container would break it.
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "RIFF", 4) == 0) return false;
    if (v2) {
        if (!SaveId3v2(*file, t, changed)) return false;
        const TagLib::ByteVector& out = *stream->data();
        bytes.assign(out.begin(), out.end());
    }
    if (v1) SaveId3v1(bytes, t, changed);
    return true;
}

} // namespace kv::engine
