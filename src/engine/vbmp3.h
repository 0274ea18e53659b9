// Kavetto's audio engine: a C-style API over libmpg123 (MPEG audio), libsndfile (WAVE),
// LAME (encoding), TagLib (tags) and SDL2 (output), with our own volume and equalizer DSP.
//
// All strings are UTF-8 (the platform's narrow encoding); fixed-width text fields are
// NUL-padded or blank-padded UTF-8 and are never cut inside a multi-byte character.
// Every function may be called from the UI thread; the engine runs its own audio thread
// (SDL's callback) and its own conversion thread, and guards what they share internally.
#pragma once
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Track record filled by vbmp3_open: two 128-byte texts, then four 32-bit integers.
typedef struct VBMP3_TRACK_INFO {
    char title[128];
    char artist[128];
    int32_t channels;
    int32_t sampleRate; // Hz
    int32_t bitRate;    // kbit/s (average for VBR; 0 when unknown)
    int32_t totalSec;   // total play time in whole seconds: the duration
} VBMP3_TRACK_INFO;

// Tag record, 652 bytes. Text fields are blank-padded; field layout must not change.
typedef struct VBMP3_TAG_INFO {
    char title[128];     // 0
    char artist[128];    // 128
    char album[128];     // 256
    char year[5];        // 384
    char comment[128];   // 389
    char padding[3];     // 517
    int32_t genre;       // 520: ID3v1 genre number, 255 when none
    char genreName[128]; // 524
} VBMP3_TAG_INFO;

// File-information record. The play time at byte offset 52 is what the player relies on.
typedef struct VBMP3_FILE_INFO {
    int32_t format;      // 0: 1 MPEG, 2 WAVE, 0 unknown
    int32_t version;     // 4: MPEG version x10 (10, 20, 25); 0 for WAVE
    int32_t layer;       // 8: 1, 2, 3; 0 for WAVE
    int32_t bitRate;     // 12: kbit/s, average for VBR
    int32_t sampleRate;  // 16: Hz
    int32_t channels;    // 20
    int32_t channelMode; // 24: mpg123 mode (0 stereo, 1 joint, 2 dual, 3 mono)
    int32_t vbr;         // 28: 0 CBR, 1 VBR, 2 ABR
    int32_t hasXing;     // 32: a Xing/Info/VBRI header gave the length
    int32_t copyright;   // 36
    int32_t original;    // 40
    int32_t emphasis;    // 44
    int32_t frames;      // 48: number of MPEG frames when known
    int32_t playTime;    // 52: total play time in whole seconds
    int64_t samples;     // 56: total decoded samples per channel when known
    int64_t fileSize;    // 64: bytes
    int64_t audioOffset; // 72: byte offset of the first audio frame
    int64_t audioBytes;  // 80: bytes of audio data
} VBMP3_FILE_INFO;

// Encoder options for vbmp3_encodeOpen; all zero means the engine's defaults
// (VBR quality 2, about 190 kbit/s, LAME's best-quality algorithms).
typedef struct VBMP3_ENCODE_OPTIONS {
    int32_t bitRate;          // kbit/s for CBR; 0 = VBR
    int32_t vbrQuality;       // 0 best .. 9; 0 with bitRate 0 means the default (2)
    int32_t algorithmQuality; // LAME -q; 0 = default (2)
    int32_t reserved[5];
} VBMP3_ENCODE_OPTIONS;

enum { VBMP3_WAVE_POINTS = 256, VBMP3_EQ_BANDS = 10 };
enum { VBMP3_STATE_STOPPED = 0, VBMP3_STATE_PLAYING = 1, VBMP3_STATE_PAUSED = 2 };
// FAILED: reading or writing failed, the output is incomplete. STOPPED: cut short by
// vbmp3_encodeStop (or by closing the track vbmp3_decodeWave converts).
enum {
    VBMP3_CONVERT_IDLE = 0,
    VBMP3_CONVERT_RUNNING = 1,
    VBMP3_CONVERT_FINISHED = 2,
    VBMP3_CONVERT_FAILED = 3,
    VBMP3_CONVERT_STOPPED = 4
};

int vbmp3_init(void);  // non-zero on success; once, first
void vbmp3_free(void); // once, last

int vbmp3_open(const char* fileName, VBMP3_TRACK_INFO* info); // non-zero on success
int vbmp3_close(void);
int vbmp3_play(void); // non-zero when playback started from the beginning
int vbmp3_stop(void);
int vbmp3_pause(void);
int vbmp3_restart(void);
int vbmp3_seek(int sec);      // continues playback from that second
int vbmp3_getState(int* sec); // 0 stopped (also when run out), 1 playing, 2 paused; *sec = position heard
int vbmp3_isDrained(void);    // non-zero while playing once the decoder has handed out its last sample
// Gapless continuation: the file that follows the playing track, opened now and started in the
// same device buffer at the current track's last sample. It plays from `startSeconds` and ends at
// `endSeconds` (0: its end); `volume` (0..100, -1 to keep the current one) applies from its first
// sample. Another sample rate than the playing track's is not continued: the current track runs
// out as without a queue. Non-zero when queued; *info is filled as by vbmp3_open.
int vbmp3_queueNext(const char* fileName, double startSeconds, double endSeconds, int volume,
                    VBMP3_TRACK_INFO* info);
int vbmp3_dropQueue(void);
// Ends the open track at `seconds` (a stored end mark) rather than at its end; 0 undoes it. The
// queued file then follows from there.
int vbmp3_setEnd(double seconds);
// How many times the queued file has taken over since vbmp3_init, counted once its first sample
// is heard; from then on it is the open track (position, state, seek, conversion).
int vbmp3_getSwitches(void);

int vbmp3_getVolume(int* left, int* right); // 0..100 each
int vbmp3_setVolume(int left, int right);

int vbmp3_getFileInfo(const char* fileName, VBMP3_TAG_INFO* tag,
                      VBMP3_FILE_INFO* info); // non-zero when readable
// Writes the record's five text fields that differ from what vbmp3_getFileInfo gives for the
// file; every other field and frame of the tag stays as it is.
int vbmp3_setTagInfo(const char* fileName, const VBMP3_TAG_INFO* tag, int writeV2, int writeV1);
// The five texts whole, for editing: title, artist, album, year and the comment that has no
// description, each UTF-8 and NUL-terminated, one after another in `buffer`. Returns the bytes
// they need (copied only when `size` holds them all); 0 when the file is no readable MPEG file.
int vbmp3_getTagText(const char* fileName, char* buffer, int size);
// Writes the texts of `texts` (five, in the order above) that are not null: whole in ID3v2,
// cut to the field at a character boundary in ID3v1. A null text leaves that field as it is.
int vbmp3_setTagText(const char* fileName, const char* const* texts, int writeV2, int writeV1);

int vbmp3_getWave(int32_t* waveL, int32_t* waveR); // 256 values each, -100..100, of the sound heard now

int vbmp3_setEqualizer(const int16_t* gains); // 10 bands, bass first, -120..120 (tenths of a dB)
int vbmp3_reload(void);                       // applies the equalizer to the current file

int vbmp3_encodeOpen(const char* wavName, const VBMP3_ENCODE_OPTIONS* options); // non-zero on success
int vbmp3_encodeStart(const char* mp3Name); // starts the conversion in the background
int vbmp3_encodeStop(void);                 // ends (or aborts) a conversion
int vbmp3_decodeWave(const char* wavName);  // after vbmp3_open of an MP3: writes WAVE in the background
// MPEG or WAVE file to WAVE in the background, like vbmp3_open + vbmp3_decodeWave but leaving
// the open track (and its playback) alone; ended by vbmp3_encodeStop.
int vbmp3_decodeFile(const char* sourceName, const char* wavName);
// The background conversion: a VBMP3_CONVERT_* value, kept after it ends until the next one
// is opened or started; *sec = whole seconds of sound written to the output so far.
int vbmp3_getEncodeState(int* sec);

#ifdef __cplusplus
}
#endif
