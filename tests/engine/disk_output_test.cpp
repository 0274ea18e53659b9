// What actually leaves the engine, captured with SDL's disk driver (float stereo at the
// device rate, written as fast as produced with SDL_DISKAUDIODELAY=0).
#include "engine/dsp.h"
#include "engine_fixture.h"
#include "support/audio_files.h"

#include <sndfile.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class DiskOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        capture_ = dir_.file("capture.raw");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", capture_.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
        ASSERT_EQ(vbmp3_init(), 1);
    }
    void TearDown() override { vbmp3_free(); }

    // Plays `path` to its end and returns the captured left channel from the first sound on.
    std::vector<float> PlayAndCapture(const std::string& path) {
        EXPECT_EQ(vbmp3_open(path.c_str(), nullptr), 1);
        EXPECT_EQ(vbmp3_play(), 1);
        EXPECT_TRUE(WaitFor([] { return vbmp3_getState(nullptr) == 0; }, 20));
        vbmp3_free();
        return CapturedLeft();
    }

    // The captured left channel from the first sound on.
    std::vector<float> CapturedLeft() const {
        const auto bytes = kvtest::ReadBytes(capture_);
        const float* f = reinterpret_cast<const float*>(bytes.data());
        const size_t frames = bytes.size() / 8;
        size_t first = 0;
        while (first < frames && std::fabs(f[first * 2]) < 1e-4f)
            ++first;
        std::vector<float> left;
        for (size_t i = first; i < frames; ++i)
            left.push_back(f[i * 2]);
        return left;
    }

    kvtest::TempDir dir_;
    std::string capture_;
};

double Rms(const std::vector<float>& x, size_t from, size_t n) {
    double s = 0;
    for (size_t i = from; i < from + n; ++i)
        s += double(x[i]) * x[i];
    return std::sqrt(s / n);
}

// Amplitude of one frequency (Goertzel).
double Level(const std::vector<float>& x, size_t from, size_t n, double freq, double rate) {
    const double w = 2 * M_PI * freq / rate, c = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (size_t i = from; i < from + n; ++i) {
        const double s0 = x[i] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return std::sqrt(s1 * s1 + s2 * s2 - c * s1 * s2) * 2 / n;
}

TEST_F(DiskOutputTest, CapturedOutputMatchesTheDecodedFile) {
    const auto p = kvtest::MakeWave(dir_.file("t.wav"), 1.0, 44100, 2, 440, 0.5);
    const auto heard = PlayAndCapture(p);
    const auto pcm = kvtest::DecodeFile(p);
    ASSERT_GE(heard.size(), pcm.Frames());
    // The first non-silent sample is the file's second (the sine starts at 0).
    double maxErr = 0;
    for (size_t i = 1; i < pcm.Frames(); ++i)
        maxErr = std::max(maxErr, double(std::fabs(heard[i - 1] - pcm.samples[i * 2])));
    EXPECT_LT(maxErr, 1e-4);
    EXPECT_LT(Rms(heard, pcm.Frames() + 10, 2000), 1e-6); // silence after the end
}

TEST_F(DiskOutputTest, DeviceFollowsTheFileRateKeepingPitchAndLength) {
    // A 32 kHz MP3 after a 44.1 kHz WAVE: the device is reopened at 32 kHz, not resampled.
    PlayAndCapture(kvtest::MakeWave(dir_.file("first.wav"), 0.3, 44100, 2));
    ASSERT_EQ(vbmp3_init(), 1);
    const auto p = kvtest::MakeMp3(dir_.file("t.mp3"), 1.0, 32000, 1, 1000, 128, true);
    const auto heard = PlayAndCapture(p);
    ASSERT_GT(heard.size(), 32000u);
    EXPECT_NEAR(Level(heard, 3200, 16000, 1000, 32000), 0.5, 0.05);
    size_t last = heard.size();
    while (last > 0 && std::fabs(heard[last - 1]) < 1e-3f)
        --last;
    EXPECT_NEAR(double(last) / 32000, 1.0, 0.03);
}

TEST_F(DiskOutputTest, VolumeFollowsTheDocumentedCurve) {
    const auto p = kvtest::MakeWave(dir_.file("t.wav"), 1.0, 44100, 2, 440, 0.5);
    vbmp3_setVolume(50, 50);
    const auto heard = PlayAndCapture(p);
    ASSERT_GT(heard.size(), 30000u);
    EXPECT_NEAR(kv::engine::VolumeToGain(50), 0.25, 1e-6);
    // Measured after the first device buffer, over which a change of volume glides in.
    EXPECT_NEAR(Rms(heard, 9000, 22050), 0.5 / std::sqrt(2.0) * kv::engine::VolumeToGain(50), 0.005);
}

TEST_F(DiskOutputTest, EqualizerBandRaisesItsOwnToneOnly) {
    // 125 Hz and 8 kHz together; band 2 is 125 Hz, band 8 is 8 kHz.
    const auto p = dir_.file("two.wav");
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* sf = sf_open(p.c_str(), SFM_WRITE, &info);
    ASSERT_NE(sf, nullptr);
    std::vector<float> pcm(44100 * 2 * 2);
    for (size_t i = 0; i < pcm.size() / 2; ++i)
        pcm[i * 2] = pcm[i * 2 + 1] = float(0.1 * std::sin(2 * M_PI * 125 * i / 44100.0) +
                                            0.1 * std::sin(2 * M_PI * 8000 * i / 44100.0));
    sf_writef_float(sf, pcm.data(), 44100 * 2);
    sf_close(sf);
    // The same sound as FLAC goes through the same equalizer.
    const std::string flac = dir_.file("two.flac");
    ASSERT_EQ(std::system(("ffmpeg -v error -y -i '" + p + "' -c:a flac '" + flac + "'").c_str()), 0);
    for (const std::string& file : {p, flac}) {
        SCOPED_TRACE(file);
        ASSERT_EQ(vbmp3_init(), 1);
        const int16_t gains[10] = {0, 0, 120, 0, 0, 0, 0, 0, 0, 0};
        vbmp3_setEqualizer(gains);
        vbmp3_reload();
        const auto heard = PlayAndCapture(file);
        ASSERT_GT(heard.size(), 80000u);
        const double low = Level(heard, 22050, 44100, 125, 44100),
                     high = Level(heard, 22050, 44100, 8000, 44100);
        // The 12 dB boost is taken back before the bands: the raised tone keeps its level and the
        // other one is 12 dB down.
        EXPECT_NEAR(20 * std::log10(low / 0.1), 0.0, 1.0);
        EXPECT_NEAR(20 * std::log10(high / 0.1), -12.0, 0.5);
    }
}

TEST_F(DiskOutputTest, HiResMultichannelPlaysAtItsRateMixedToStereo) {
    // 96 kHz 24-bit 5.1: 1 kHz on the front left only, 3 kHz on the centre only.
    for (const char* kind : {"flac -sample_fmt s32", "pcm_s24le"}) {
        SCOPED_TRACE(kind);
        const std::string p = dir_.file(kind[0] == 'f' ? "surround.flac" : "surround.wav");
        ASSERT_EQ(
            std::system(
                ("ffmpeg -v error -y -f lavfi -i 'sine=f=1000:r=96000' -f lavfi -i 'sine=f=3000:r=96000' "
                 "-filter_complex '[0][1]amerge=inputs=2,pan=5.1|c0=c0|c2=c1,atrim=end_sample=96000' "
                 "-c:a " +
                 std::string(kind) + " '" + p + "'")
                    .c_str()),
            0);
        ASSERT_EQ(vbmp3_init(), 1);
        const auto heard = PlayAndCapture(p); // left channel at the device rate
        ASSERT_GT(heard.size(), 90000u);
        const double front = Level(heard, 9600, 48000, 1000, 96000),
                     centre = Level(heard, 9600, 48000, 3000, 96000);
        // The centre is 3 dB below the front channel on each side (before the common scaling).
        EXPECT_GT(front, 0.05);
        EXPECT_NEAR(20 * std::log10(centre / front), -3.0, 0.5);
        size_t last = heard.size();
        while (last > 0 && std::fabs(heard[last - 1]) < 1e-3f)
            --last;
        EXPECT_NEAR(double(last) / 96000, 1.0, 0.01);
    }
}

// A continuous recording cut into three files and played with each next file queued: what leaves
// the device is the recording, with neither a gap nor an overlap at the cuts.
class GaplessTest : public DiskOutputTest {
  protected:
    // Stereo 16-bit WAVE of tones that never repeat within the cut windows; frame 0 is loud, so
    // the capture's first sound is the recording's first frame.
    static std::vector<float> Recording(int rate, size_t frames) {
        std::vector<float> x(frames * 2);
        for (size_t i = 0; i < frames; ++i) {
            const double t = double(i) / rate;
            const double v = 0.3 * std::sin(2 * M_PI * 440 * t + 0.7) +
                             0.2 * std::sin(2 * M_PI * 1234.5 * t + 1.0) +
                             0.1 * std::sin(2 * M_PI * 97.3 * t * (1 + t));
            x[i * 2] = x[i * 2 + 1] = float(std::round(v * 32767) / 32768);
        }
        return x;
    }
    static void WriteWave(const std::string& path, int rate, const float* x, size_t frames) {
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(sf, nullptr);
        sf_writef_float(sf, x, sf_count_t(frames));
        sf_close(sf);
    }
    // Plays the files one after the other, each queued while the one before plays, in real time.
    std::vector<float> PlayQueued(const std::vector<std::string>& files) {
        unsetenv("SDL_DISKAUDIODELAY");
        EXPECT_EQ(vbmp3_open(files[0].c_str(), nullptr), 1);
        EXPECT_EQ(vbmp3_play(), 1);
        for (size_t i = 1; i < files.size(); ++i) {
            EXPECT_EQ(vbmp3_queueNext(files[i].c_str(), 0, 0, -1, nullptr), 1) << files[i];
            EXPECT_TRUE(WaitFor([&] { return vbmp3_getSwitches() >= int(i); }, 10)) << files[i];
        }
        EXPECT_TRUE(WaitFor([] { return vbmp3_getState(nullptr) == 0; }, 10));
        setenv("SDL_DISKAUDIODELAY", "0", 1);
        vbmp3_free();
        return CapturedLeft();
    }
};

struct Cut {
    int shift;      // frames the capture stands later (a gap) or earlier (an overlap) than the recording
    double maxDiff; // largest difference within 10 ms of the cut, at that shift
};

// Where the capture matches the recording best just after frame `at` of the recording. The match
// starts a frame of a lossy codec after the cut: FFmpeg's AAC encoder renders its first frame's
// onset off by up to a third of full scale, which would draw the match away from the true shift.
Cut Measure(const std::vector<float>& heard, const std::vector<float>& x, size_t at, int rate) {
    constexpr int kMaxShift = 4000, kFrom = 1024, kWindow = 2048;
    double best = 1e300;
    Cut cut{0, 0};
    for (int s = -kMaxShift; s <= kMaxShift; ++s) {
        double e = 0;
        for (int i = kFrom; i < kFrom + kWindow; ++i) {
            const long h = long(at) + i + s;
            const float v = h >= 0 && size_t(h) < heard.size() ? heard[size_t(h)] : 0.0f;
            e += double(v - x[(at + i) * 2]) * (v - x[(at + i) * 2]);
        }
        if (e < best) {
            best = e;
            cut.shift = s;
        }
    }
    const long half = rate / 100;
    for (long i = std::max(0L, long(at) - half); i < long(at) + half && size_t(i) * 2 < x.size(); ++i) {
        const long h = i + cut.shift;
        const float v = h >= 0 && size_t(h) < heard.size() ? heard[size_t(h)] : 0.0f;
        cut.maxDiff = std::max(cut.maxDiff, double(std::fabs(v - x[size_t(i) * 2])));
    }
    return cut;
}

TEST_F(GaplessTest, ASplitRecordingPlaysAsTheWhole) {
    struct Case {
        const char* ext;
        const char* encode; // ffmpeg/lame arguments from the cut WAVE; empty: the WAVE itself
        int rate;
        bool exact;        // sample for sample
        bool noShift;      // neither gap nor overlap
        bool smpb = false; // an iTunes iTunSMPB item added after encoding
    };
    // Lossy files are held to no shift where their delay information is exact (LAME's header, the
    // pre-skip of Opus, iTunSMPB, an MP4 edit list in the sample rate's time scale). FFmpeg's MP4
    // by default gives AAC's length only by an edit list in the movie's coarser time scale, a few
    // samples off, so those cuts are only reported.
    const Case cases[] = {
        {"wav", "", 44100, true, true},
        {"flac", "ffmpeg -v error -y -i IN -c:a flac OUT", 44100, true, true},
        {"mp3", "lame --quiet -b 256 IN OUT", 44100, false, true},
        {"opus", "ffmpeg -v error -y -i IN -c:a libopus -b:a 192k OUT", 48000, false, true},
        {"m4a", "ffmpeg -v error -y -i IN -c:a aac -b:a 256k OUT", 44100, false, false},
        {"m4a", "ffmpeg -v error -y -i IN -c:a aac -b:a 256k -movie_timescale 44100 OUT", 44100, false, true},
        {"m4a", "ffmpeg -v error -y -i IN -c:a aac -b:a 256k OUT", 44100, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ext);
        ASSERT_EQ(vbmp3_init(), 1);
        // Cuts at frames that fall in the middle of device buffers and of MP3 frames.
        const size_t cuts[] = {0, size_t(c.rate * 0.61) + 7, size_t(c.rate * 1.23) + 301,
                               size_t(c.rate * 1.9)};
        const auto x = Recording(c.rate, cuts[3]);
        std::vector<std::string> files;
        for (int i = 0; i < 3; ++i) {
            const std::string wav = dir_.file(std::string("part") + char('1' + i) + ".wav");
            WriteWave(wav, c.rate, &x[cuts[i] * 2], cuts[i + 1] - cuts[i]);
            std::string file = wav;
            if (*c.encode) {
                file = dir_.file(std::string("part") + char('1' + i) + "." + c.ext);
                std::string cmd = c.encode;
                cmd.replace(cmd.find("IN"), 2, "'" + wav + "'");
                cmd.replace(cmd.find("OUT"), 3, "'" + file + "'");
                ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
            }
            if (c.smpb) {
                // FFmpeg's AAC encoder primes with 1024 samples and pads nothing past the last frame.
                char text[128];
                std::snprintf(text, sizeof text, " 00000000 00000400 00000000 %016llX 00000000 00000000",
                              static_cast<unsigned long long>(cuts[i + 1] - cuts[i]));
                TagLib::MP4::File mp4(file.c_str());
                mp4.tag()->setItem("----:com.apple.iTunes:iTunSMPB",
                                   TagLib::StringList(TagLib::String(text)));
                ASSERT_TRUE(mp4.save());
            }
            files.push_back(file);
            // The length the file information reports is the gapless one.
            VBMP3_TAG_INFO tag{};
            VBMP3_FILE_INFO info{};
            ASSERT_EQ(vbmp3_getFileInfo(file.c_str(), &tag, &info), 1);
            if (c.noShift) EXPECT_EQ(info.samples, int64_t(cuts[i + 1] - cuts[i])) << file;
        }
        const auto heard = PlayQueued(files);
        ASSERT_GT(heard.size(), cuts[3] - size_t(c.rate / 10));
        const Cut start = Measure(heard, x, 0, c.rate);
        for (int b = 1; b <= 2; ++b) {
            Cut cut = Measure(heard, x, cuts[b], c.rate);
            cut.shift -= start.shift;
            std::printf("[ gapless  ] %-4s%s cut %d: %+d samples, largest difference %.4f\n", c.ext,
                        c.smpb                               ? " iTunSMPB"
                        : std::strstr(c.encode, "timescale") ? " timescale"
                                                             : "",
                        b, cut.shift, cut.maxDiff);
            if (c.noShift) EXPECT_EQ(cut.shift, 0);
            if (c.exact) EXPECT_LT(cut.maxDiff, 1e-4);
        }
        if (c.exact) {
            EXPECT_EQ(start.shift, 0);
            // And sample for sample over the whole recording.
            double maxErr = 0;
            for (size_t i = 0; i < cuts[3]; ++i)
                maxErr = std::max(maxErr, double(std::fabs(heard[i] - x[i * 2])));
            EXPECT_LT(maxErr, 1e-4);
        }
    }
}

TEST_F(GaplessTest, AtAnEndMarkTheNextFileStartsWithItsOwnVolumeAndAnotherRateIsNotContinued) {
    unsetenv("SDL_DISKAUDIODELAY");
    const auto a = kvtest::MakeWave(dir_.file("a.wav"), 0.4, 44100, 2, 440, 0.5);
    const auto b = kvtest::MakeWave(dir_.file("b.wav"), 0.4, 44100, 2, 440, 0.5);
    ASSERT_EQ(vbmp3_open(a.c_str(), nullptr), 1);
    ASSERT_EQ(vbmp3_play(), 1);
    ASSERT_EQ(vbmp3_queueNext(b.c_str(), 0, 0, 50, nullptr), 1);
    ASSERT_EQ(vbmp3_setEnd(0.3), 1); // an end mark: b follows from there
    EXPECT_TRUE(WaitFor([] { return vbmp3_getSwitches() == 1; }, 5));
    int left = 0, right = 0;
    vbmp3_getVolume(&left, &right);
    EXPECT_EQ(left, 50);
    EXPECT_TRUE(WaitFor([] { return vbmp3_getState(nullptr) == 0; }, 5));
    vbmp3_free();
    const auto heard = CapturedLeft();
    const size_t cut = 13230 - 1; // the sine's first sample is silent
    ASSERT_GT(heard.size(), cut + 5000);
    const double full = 0.5 / std::sqrt(2.0);
    EXPECT_NEAR(Rms(heard, cut - 4000, 3900), full, 0.005);
    EXPECT_NEAR(heard[cut - 1], 0.5 * std::sin(2 * M_PI * 440 * 13229 / 44100.0), 1e-3); // a's last
    // b in place, past the few milliseconds over which its volume is reached.
    EXPECT_NEAR(heard[cut + 150],
                0.5 * kv::engine::VolumeToGain(50) * std::sin(2 * M_PI * 440 * 150 / 44100.0), 1e-3);
    EXPECT_NEAR(Rms(heard, cut + 200, 4000), full * kv::engine::VolumeToGain(50), 0.005);

    // A damaged file is not queued; one at another rate is, but the current file simply runs out.
    ASSERT_EQ(vbmp3_init(), 1);
    const auto damaged = kvtest::WriteBytes(dir_.file("damaged.flac"), {'f', 'L', 'a', 'C', 0, 0});
    const auto other = kvtest::MakeWave(dir_.file("c.wav"), 0.4, 48000, 2);
    ASSERT_EQ(vbmp3_open(a.c_str(), nullptr), 1);
    ASSERT_EQ(vbmp3_play(), 1);
    EXPECT_EQ(vbmp3_queueNext(damaged.c_str(), 0, 0, -1, nullptr), 0);
    EXPECT_EQ(vbmp3_queueNext(other.c_str(), 0, 0, -1, nullptr), 1);
    EXPECT_TRUE(WaitFor([] { return vbmp3_getState(nullptr) == 0; }, 5));
    EXPECT_EQ(vbmp3_getSwitches(), 0);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
}

} // namespace
