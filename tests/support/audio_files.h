// Small audio files made on the fly for tests: sine tones as WAVE (libsndfile) and MP3 (LAME),
// plus a few MPEG variants the encoders on this machine cannot produce directly.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kvtest {

// 16-bit PCM WAVE holding a sine of `freq` Hz at `amplitude` (full scale 1.0). Returns path.
std::string MakeWave(const std::string& path, double seconds, int rate = 44100, int channels = 2,
                     double freq = 440.0, double amplitude = 0.5);

// MP3 of the same sine through the LAME library. kbps 0 means VBR (quality 4).
// xingHeader false leaves out the Xing/Info frame (for VBR: a VBR stream with no header).
std::string MakeMp3(const std::string& path, double seconds, int rate = 44100, int channels = 2,
                    double freq = 440.0, int kbps = 128 /*0 = VBR*/, bool xingHeader = true);

// MPEG-1 Layer I stream of silent frames (no bits allocated), 384 samples per frame.
std::string MakeMp1Silence(const std::string& path, double seconds, int rate = 44100, int kbps = 192);

// MP3 frames (CBR, no Xing) wrapped in a RIFF WAVE container with format tag 0x55.
std::string MakeRiffMp3(const std::string& path, double seconds, int rate = 44100, int channels = 2,
                        double freq = 440.0, int kbps = 128);

// Writes raw bytes to a file (for damaged inputs). Returns path.
std::string WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);

// Interleaved float samples of a sound file, decoded with libsndfile (WAVE) or libmpg123 (MPEG).
struct Pcm {
    int rate = 0;
    int channels = 0;
    std::vector<float> samples; // interleaved
    size_t Frames() const { return channels ? samples.size() / channels : 0; }
};
Pcm DecodeFile(const std::string& path);

// Directory under the system temp folder, removed with its contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// An MP3 tagged as other taggers leave it (ID3v2 `version` 3 or 4): comments with descriptions
// before and after the plain one, a ReplayGain TXXX frame, a full date, a title of sixty kana,
// and an ID3v1 copy.
std::string MakeForeignTaggedMp3(const std::string& path, int version);

// Every ID3v2 frame as text and rendered bytes, keyed by id and description; the tag's major
// version in `version`.
std::map<std::string, std::string> TagFrames(const std::string& path, int* version = nullptr);

} // namespace kvtest
