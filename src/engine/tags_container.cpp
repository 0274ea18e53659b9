// Tags of the containers FFmpeg decodes, each through TagLib's own reader for it (Vorbis
// comments, MP4 atoms, APE, ID3 in AIFF); TagLib gives them as Unicode, so Japanese text needs
// no guessing here.
#include "engine/decoder_ffmpeg.h"
#include "engine/media_probe.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/trueaudiofile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavpackfile.h>

#include <memory>

namespace kv::engine {
namespace {

std::unique_ptr<TagLib::File> OpenTagFile(const char* path, AudioKind kind) {
    using Style = TagLib::AudioProperties::ReadStyle;
    constexpr bool kNoProperties = false;
    switch (kind) {
    case AudioKind::Flac:
        return std::make_unique<TagLib::FLAC::File>(path, kNoProperties, Style::Fast);
    case AudioKind::OggVorbis:
        return std::make_unique<TagLib::Ogg::Vorbis::File>(path, kNoProperties, Style::Fast);
    case AudioKind::OggOpus:
        return std::make_unique<TagLib::Ogg::Opus::File>(path, kNoProperties, Style::Fast);
    case AudioKind::OggFlac:
        return std::make_unique<TagLib::Ogg::FLAC::File>(path, kNoProperties, Style::Fast);
    case AudioKind::Mp4:
        return std::make_unique<TagLib::MP4::File>(path, kNoProperties, Style::Fast);
    case AudioKind::WavPack:
        return std::make_unique<TagLib::WavPack::File>(path, kNoProperties, Style::Fast);
    case AudioKind::Ape:
        return std::make_unique<TagLib::APE::File>(path, kNoProperties, Style::Fast);
    case AudioKind::Tta:
        return std::make_unique<TagLib::TrueAudio::File>(path, kNoProperties, Style::Fast);
    case AudioKind::Aiff:
        return std::make_unique<TagLib::RIFF::AIFF::File>(path, kNoProperties, Style::Fast);
    case AudioKind::Adts:
    case AudioKind::None:
        break;
    }
    return nullptr;
}

std::string Utf8(const TagLib::String& s) {
    return s.to8Bit(true);
}

// Fields TagLib finds empty keep what `tags` held.
void KeepTags(const TagLib::Tag& tag, TagText* tags) {
    auto keep = [](std::string* field, const TagLib::String& value) {
        if (!value.isEmpty()) *field = Utf8(value);
    };
    keep(&tags->title, tag.title());
    keep(&tags->artist, tag.artist());
    keep(&tags->album, tag.album());
    if (tag.year()) tags->year = std::to_string(tag.year());
    keep(&tags->comment, tag.comment());
    keep(&tags->genreName, tag.genre());
}

} // namespace

void ReadContainerTags(const char* path, AudioKind kind, TagText* tags) {
    const auto file = OpenTagFile(path, kind);
    const TagLib::Tag* tag = file && file->isValid() ? file->tag() : nullptr;
    if (!tag) return;
    KeepTags(*tag, tags);
}

bool ReadFlacInfo(const char* path, int64_t fileSize, VBMP3_FILE_INFO* info, TagText* tags) {
    TagLib::FLAC::File file(path, true, TagLib::AudioProperties::Fast);
    const TagLib::FLAC::Properties* p = file.isValid() ? file.audioProperties() : nullptr;
    if (!p || p->sampleFrames() <= 0 || p->sampleRate() <= 0 || p->channels() <= 0) return false;
    FillContainerInfo(p->sampleRate(), p->channels(), int64_t(p->sampleFrames()), 0, fileSize, info);
    if (const TagLib::Tag* tag = file.tag()) KeepTags(*tag, tags);
    return true;
}

bool WriteContainerTags(const char* path, AudioKind kind, const TagText& t, unsigned changed) {
    if (changed == 0) return true;
    if (kind == AudioKind::Adts || kind == AudioKind::None) return false; // no tag TagLib writes
    // Through the property map, one key per changed field: pictures, ReplayGain, MusicBrainz ids
    // and every other field come back as they were read.
    static const char* const kKeys[5] = {"TITLE", "ARTIST", "ALBUM", "DATE", "COMMENT"};
    static const std::string TagText::*const kFields[5] = {&TagText::title, &TagText::artist, &TagText::album,
                                                           &TagText::year, &TagText::comment};
    return EditThroughCopy(path, [&](const char* temp) {
        const auto file = OpenTagFile(temp, kind);
        if (!file || !file->isValid()) return false;
        TagLib::PropertyMap map = file->properties();
        for (int i = 0; i < 5; ++i) {
            if (!(changed & (1u << i))) continue;
            const std::string& text = t.*kFields[i];
            if (text.empty())
                map.erase(kKeys[i]);
            else
                map.replace(kKeys[i], TagLib::StringList(TagLib::String(text, TagLib::String::UTF8)));
        }
        file->setProperties(map);
        return file->save();
    });
}

} // namespace kv::engine
