// Background conversions (WAVE to MP3 with LAME, MPEG to 16-bit WAVE), one at a time.
#pragma once
#include "engine/vbmp3.h"

#include <string>

namespace kv::engine {

bool EncodeOpen(const char* wavName, const VBMP3_ENCODE_OPTIONS* options);
bool EncodeStart(const char* mp3Name);
// Decodes `sourcePath` (of the file-information record's `format`) into a WAVE file.
bool DecodeStart(const std::string& sourcePath, int format, int64_t sourceSeconds, const char* wavName);
// Decodes a file into a WAVE file without touching the open track: the player may go on
// opening tracks while it runs.
bool DecodeFileStart(const char* sourceName, const char* wavName);
// Ends the running conversion: one close to its end is allowed to finish, a longer one is
// cut short. Either way the output is completed and left in place.
void ConversionStop();
// The same, only for a conversion of the open track (vbmp3_decodeWave), which closing the
// track ends; conversions started from file names are left running.
void TrackConversionStop();
bool ConversionRunning();

// The outcome of the last conversion, kept until the next one is opened or started.
enum class ConversionState { Idle = VBMP3_CONVERT_IDLE, Running = VBMP3_CONVERT_RUNNING,
    Finished = VBMP3_CONVERT_FINISHED, Failed = VBMP3_CONVERT_FAILED, Stopped = VBMP3_CONVERT_STOPPED };
// `doneSeconds`: whole seconds of sound written to the output so far.
ConversionState ConversionStatus(int64_t* doneSeconds);

} // namespace kv::engine
