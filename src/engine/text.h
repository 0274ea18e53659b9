// Text helpers for tag fields: legacy single-byte tag text (Latin-1 or Japanese CP932) to
// UTF-8 and back, and the fixed-width blank-padded fields of the engine's records.
#pragma once
#include <cstddef>
#include <string>

namespace kv::engine {

// Bytes from an ID3v1 field or an ID3v2 Latin-1 frame. Plain ASCII stays as is; bytes that
// form plausible CP932 double-byte text are decoded as CP932; anything else is Latin-1.
std::string DecodeLegacyText(const char* bytes, size_t size);
inline std::string DecodeLegacyText(const std::string& s) { return DecodeLegacyText(s.data(), s.size()); }

// UTF-8 to bytes for a single-byte tag: Latin-1 when every character fits, else CP932
// (characters CP932 lacks become '?').
std::string EncodeLegacyText(const std::string& utf8);

// Fills a record field: at most width-1 bytes of text, never cut inside a UTF-8 sequence,
// blanks up to width-1 and a NUL in the last byte.
void PutFixedText(char* field, size_t width, const std::string& utf8);
// Reads a record field: up to the first NUL or the width, trailing blanks removed.
std::string GetFixedText(const char* field, size_t width);

// Cuts `utf8` to at most `maxBytes` bytes at a character boundary, drops trailing blanks.
std::string TrimUtf8(const std::string& utf8, size_t maxBytes);

} // namespace kv::engine
