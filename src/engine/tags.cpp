// ID3 tags: TagLib reads ID3v2 (only when the file starts with one) and writes both tag
// versions; ID3v1 is read here directly because its bytes need the CP932 heuristic.
// Writes go to a copy beside the file that replaces it by rename, so a crash or a full disk
// never leaves a half-written track. TagLib's global string handler is installed once.
#include "engine/media_probe.h"
#include "engine/text.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v1tag.h>
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
#include <mutex>
#include <string>

namespace kv::engine {
namespace {

std::string FromTagLib(const TagLib::String& s) { return s.to8Bit(true); }
TagLib::String ToTagLib(const std::string& utf8) { return TagLib::String(utf8, TagLib::String::UTF8); }

// Latin-1 frames are often Shift-JIS in disguise; TagLib has already widened each byte to
// one character, so the original bytes come back with to8Bit(false).
std::string FrameText(TagLib::ID3v2::Tag* tag, const char* id)
{
    const auto& list = tag->frameListMap()[id];
    if (list.isEmpty())
        return {};
    TagLib::ID3v2::Frame* frame = list.front();
    TagLib::String::Type encoding = TagLib::String::UTF8;
    TagLib::String text;
    if (auto* t = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(frame)) {
        encoding = t->textEncoding();
        text = t->fieldList().isEmpty() ? TagLib::String() : t->fieldList().front();
    } else if (auto* c = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(frame)) {
        encoding = c->textEncoding();
        text = c->text();
    } else {
        text = frame->toString();
    }
    if (encoding == TagLib::String::Latin1) {
        const std::string bytes = text.to8Bit(false);
        return DecodeLegacyText(bytes.data(), bytes.size());
    }
    return FromTagLib(text);
}

// ID3v1 written by us: Latin-1 where it fits, otherwise CP932 as Japanese players expect.
class LegacyStringHandler : public TagLib::ID3v1::StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override
    {
        return ToTagLib(DecodeLegacyText(data.data(), data.size()));
    }
    TagLib::ByteVector render(const TagLib::String& s) const override
    {
        const std::string bytes = EncodeLegacyText(FromTagLib(s));
        return TagLib::ByteVector(bytes.data(), static_cast<unsigned>(bytes.size()));
    }
};

void InstallStringHandler()
{
    static std::once_flag once;
    static LegacyStringHandler handler;
    std::call_once(once, [] { TagLib::ID3v1::Tag::setStringHandler(&handler); });
}

void Id3v1Field(const uint8_t* p, size_t n, std::string* out)
{
    if (out->empty())
        *out = TrimUtf8(DecodeLegacyText(reinterpret_cast<const char*>(p), n), 1024);
}

bool CopyFile(int in, int out)
{
    char buf[1 << 16];
    for (;;) {
        const ssize_t got = read(in, buf, sizeof buf);
        if (got == 0)
            return true;
        if (got < 0)
            return false;
        for (ssize_t done = 0; done < got;) {
            const ssize_t w = write(out, buf + done, size_t(got - done));
            if (w <= 0)
                return false;
            done += w;
        }
    }
}

void ReadId3v2(TagLib::MPEG::File& file, TagText* t)
{
    if (file.isValid() && file.hasID3v2Tag()) {
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
        t->title = TrimUtf8(FrameText(tag, "TIT2"), 1024);
        t->artist = TrimUtf8(FrameText(tag, "TPE1"), 1024);
        t->album = TrimUtf8(FrameText(tag, "TALB"), 1024);
        t->comment = TrimUtf8(FrameText(tag, "COMM"), 1024);
        if (tag->year() > 0 && tag->year() < 10000)
            t->year = std::to_string(tag->year());
        t->genreName = TrimUtf8(FromTagLib(tag->genre()), 1024);
        const int g = TagLib::ID3v1::genreIndex(tag->genre());
        if (g >= 0 && g < 255)
            t->genre = g;
    }
}

void ReadId3v1(const uint8_t* id3v1, TagText* t)
{
    Id3v1Field(id3v1 + 3, 30, &t->title);
    Id3v1Field(id3v1 + 33, 30, &t->artist);
    Id3v1Field(id3v1 + 63, 30, &t->album);
    Id3v1Field(id3v1 + 93, 4, &t->year);
    // ID3v1.1 keeps the track number in the comment's last byte after a NUL.
    Id3v1Field(id3v1 + 97, (id3v1[125] == 0 && id3v1[126] != 0) ? 28 : 30, &t->comment);
    if (t->genre == 255 && id3v1[127] != 255) {
        t->genre = id3v1[127];
        if (t->genreName.empty())
            t->genreName = FromTagLib(TagLib::ID3v1::genre(id3v1[127]));
    }
}

bool ApplyTags(TagLib::MPEG::File& file, const TagText& t, bool v2, bool v1)
{
    bool ok = file.isValid();
    if (ok && v2) {
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
        tag->setTitle(ToTagLib(t.title));
        tag->setArtist(ToTagLib(t.artist));
        tag->setAlbum(ToTagLib(t.album));
        tag->setComment(ToTagLib(t.comment));
        tag->setYear(unsigned(std::atoi(t.year.c_str())));
        // Unicode in every text frame we own, whatever the text.
        for (const char* id : {"TIT2", "TPE1", "TALB", "TDRC", "COMM"})
            for (TagLib::ID3v2::Frame* f : tag->frameListMap()[id]) {
                if (auto* tf = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(f))
                    tf->setTextEncoding(TagLib::String::UTF8);
                else if (auto* cf = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(f))
                    cf->setTextEncoding(TagLib::String::UTF8);
            }
    }
    if (ok && v1) {
        TagLib::ID3v1::Tag* tag = file.ID3v1Tag(true);
        tag->setTitle(ToTagLib(t.title));
        tag->setArtist(ToTagLib(t.artist));
        tag->setAlbum(ToTagLib(t.album));
        tag->setComment(ToTagLib(t.comment));
        tag->setYear(unsigned(std::atoi(t.year.c_str())));
    }
    const int which = (v2 ? TagLib::MPEG::File::ID3v2 : 0) | (v1 ? TagLib::MPEG::File::ID3v1 : 0);
    return ok && file.save(which, TagLib::File::StripNone, TagLib::ID3v2::v4, TagLib::File::DoNotDuplicate);
}

} // namespace

void ReadTags(const char* path, bool hasId3v2, const uint8_t* id3v1, TagText* t)
{
    if (hasId3v2) {
        InstallStringHandler();
        TagLib::MPEG::File file(path, false);
        ReadId3v2(file, t);
    }
    if (id3v1)
        ReadId3v1(id3v1, t);
}

void ReadTagsFromBytes(const uint8_t* data, size_t size, bool hasId3v2, const uint8_t* id3v1, TagText* t)
{
    if (hasId3v2) {
        InstallStringHandler();
        TagLib::ByteVectorStream stream(TagLib::ByteVector(reinterpret_cast<const char*>(data), unsigned(size)));
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        ReadId3v2(file, t);
    }
    if (id3v1)
        ReadId3v1(id3v1, t);
}

bool WriteTags(const char* path, const TagText& t, bool v2, bool v1)
{
    if (!v2 && !v1)
        return true;
    InstallStringHandler();
    const int in = open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st {};
    char magic[4] = {};
    // ID3 in front of a RIFF container would break it.
    if (fstat(in, &st) != 0 || pread(in, magic, 4, 0) != 4 || std::memcmp(magic, "RIFF", 4) == 0) {
        close(in);
        return false;
    }
    std::string temp = std::string(path) + ".kvtag-XXXXXX";
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
    if (ok) {
        TagLib::MPEG::File file(temp.c_str(), false);
        ok = ApplyTags(file, t, v2, v1);
    }
    if (ok) {
        const int fd = open(temp.c_str(), O_RDONLY | O_CLOEXEC);
        ok = fd >= 0 && fsync(fd) == 0;
        if (fd >= 0)
            close(fd);
    }
    ok = ok && std::rename(temp.c_str(), path) == 0;
    if (!ok)
        unlink(temp.c_str());
    return ok;
}

bool WriteTagsToBytes(std::vector<uint8_t>& bytes, const TagText& t, bool v2, bool v1)
{
    if (!v2 && !v1)
        return true;
    // ID3 in front of a RIFF container would break it.
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "RIFF", 4) == 0)
        return false;
    InstallStringHandler();
    TagLib::ByteVectorStream stream(TagLib::ByteVector(reinterpret_cast<const char*>(bytes.data()), unsigned(bytes.size())));
    {
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (!ApplyTags(file, t, v2, v1))
            return false;
    }
    const TagLib::ByteVector& out = *stream.data();
    bytes.assign(out.begin(), out.end());
    return true;
}

} // namespace kv::engine
