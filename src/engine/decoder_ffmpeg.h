// The formats FFmpeg decodes for the engine: FLAC, Ogg (Vorbis, Opus, FLAC), MP4 (AAC, ALAC),
// raw AAC, WavPack, APE, TTA and AIFF. Files are recognised by their content.
#pragma once
#include "engine/decoder.h"
#include "engine/vbmp3.h"

#include <cstdint>
#include <string>

namespace kv::engine {

struct TagText;

enum class AudioKind { None, Flac, OggVorbis, OggOpus, OggFlac, Mp4, Adts, WavPack, Ape, Tta, Aiff };

// Whether the start of a file (after any ID3v2 tags) is one of these containers' signatures.
bool LooksLikeFfmpegAudio(const uint8_t* head, size_t size);

// Fills the stream fields of `info` (format 3) from the container's header without decoding,
// and `tags` as FFmpeg reads them; None when the file holds no audio stream these decoders play.
AudioKind ProbeFfmpegAudio(const char* path, int64_t fileSize, VBMP3_FILE_INFO* info, TagText* tags);

// The stream fields of `info` (format 3) for a container's rate, channels, length and bit rate
// in bit/s (from the file's size when 0).
void FillContainerInfo(int rate, int channels, int64_t samples, int64_t bitRate, int64_t fileSize,
                       VBMP3_FILE_INFO* info);

// Whether the file holds lossless PCM (FLAC, ALAC, WavPack, APE, TTA, AIFF).
bool IsLosslessContainer(const char* path);

// Which of these containers the file is, by its content.
AudioKind ContainerKind(const char* path);

std::unique_ptr<Decoder> OpenFfmpegDecoder(const std::string& path);

// FLAC, the commonest of these, through TagLib alone: STREAMINFO gives the exact length, and
// the tags come in the same read, without loading FFmpeg. False when STREAMINFO has no length.
bool ReadFlacInfo(const char* path, int64_t fileSize, VBMP3_FILE_INFO* info, TagText* tags);

// Title, artist, album, year and comment through TagLib's reader for the container; fields it
// finds empty keep what `tags` held.
void ReadContainerTags(const char* path, AudioKind kind, TagText* tags);
// Writes the fields flagged in `changed` (the bits of WriteTags) through TagLib's property map,
// by way of a copy beside the file.
bool WriteContainerTags(const char* path, AudioKind kind, const TagText& tags, unsigned changed);

} // namespace kv::engine
