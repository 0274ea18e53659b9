// Background conversions (WAVE to MP3 with LAME, MPEG to 16-bit WAVE), one at a time.
#pragma once
#include "engine/vbmp3.h"

#include <string>

namespace kv::engine {

bool EncodeOpen(const char* wavName, const VBMP3_ENCODE_OPTIONS* options);
bool EncodeStart(const char* mp3Name);
// Decodes `sourcePath` (an MPEG or WAVE file) into a WAVE file.
bool DecodeStart(const std::string& sourcePath, bool mpeg, int64_t sourceSeconds, const char* wavName);
// Ends the running conversion: one close to its end is allowed to finish, a longer one is
// cut short. Either way the output is completed and left in place.
void ConversionStop();
bool ConversionRunning();

} // namespace kv::engine
