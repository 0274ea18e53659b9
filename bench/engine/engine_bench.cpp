// Engine timings against the reference tools, measured in the same run:
//   decode vs `mpg123 -t`, MP3->WAVE vs `mpg123 -w`, WAVE->MP3 vs `lame` at the same settings,
//   getFileInfo over 2,000 mixed files vs TagLib's fast read (plus the worst play-time error),
//   CPU per real minute of playback (dummy driver), equalizer off and on, vs `mpg123 -t`.
// With "formats": the FFmpeg formats instead: decoding 10-minute FLAC (16/44.1, 24/96), Opus,
//   AAC and ALAC vs `ffmpeg -f null -`, getFileInfo over 2,000 FLAC and 2,000 M4A files vs
//   TagLib's fast read, and the CPU per playback minute of a FLAC beside the floor.
// With "info": only the getFileInfo part of "formats".
#include "engine/decoder.h"
#include "engine/vbmp3.h"
#include "support/audio_files.h"

#include <taglib/fileref.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

double Run(const std::string& cmd) {
    const auto t = Clock::now();
    if (std::system((cmd + " >/dev/null 2>&1").c_str()) != 0)
        std::fprintf(stderr, "command failed: %s\n", cmd.c_str());
    return Since(t);
}

double ChildCpu() {
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

double SelfCpu() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

template <typename F> double Best(int n, F f) {
    double best = 1e9;
    for (int i = 0; i < n; ++i)
        best = std::min(best, f());
    return best;
}

void Report(const char* what, double ours, double ref) {
    std::printf("%-36s ours %8.3f s  reference %8.3f s  ratio %.2f\n", what, ours, ref, ours / ref);
}

bool WaitConversion(const std::string& out, bool wave, int seconds) {
    for (int i = 0; i < 6000; ++i) {
        int len = 0;
        if (wave) {
            std::error_code ec;
            const auto size = std::filesystem::file_size(out, ec);
            len = !ec && size > 44 ? int(size / (44100 * 4)) : 0;
        } else {
            VBMP3_FILE_INFO fi{};
            vbmp3_getFileInfo(out.c_str(), nullptr, &fi);
            len = fi.playTime;
        }
        if (len >= seconds) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// getFileInfo (tags and stream) over `files` against TagLib's fast read of both.
void InfoAgainstTagLib(const char* what, const std::vector<std::string>& files) {
    const double info = Best(3, [&] {
        const auto t = Clock::now();
        for (const auto& f : files) {
            VBMP3_TAG_INFO tag;
            VBMP3_FILE_INFO fi;
            vbmp3_getFileInfo(f.c_str(), &tag, &fi);
        }
        return Since(t);
    });
    const double taglib = Best(3, [&] {
        const auto t = Clock::now();
        for (const auto& f : files) {
            TagLib::FileRef ref(f.c_str(), true, TagLib::AudioProperties::Fast);
            if (!ref.isNull() && ref.audioProperties()) (void)ref.audioProperties()->lengthInSeconds();
        }
        return Since(t);
    });
    Report(what, info, taglib);
}

void Formats(kvtest::TempDir& dir, const std::string& wav, const std::string& mp3) {
    // Decode: the playback decoder, all of it.

    const double ours = Best(3, [&] {
        const auto t = Clock::now();
        auto d = kv::engine::OpenDecoder(mp3, 1);
        std::vector<float> buf(8192);
        while (d->ReadFloat(buf.data(), 4096) > 0) {
        }
        return Since(t);
    });
    const double mpgT = Best(3, [&] { return Run("mpg123 -q -t " + mp3); });
    Report("decode 10 min MP3", ours, mpgT);

    // MP3 -> WAVE, timed until the file is complete (close cuts a conversion short unless it
    // is nearly done, so waiting for the length first is what makes this the whole file).
    const double toWaveFull = Best(2, [&] {
        const auto t = Clock::now();
        VBMP3_TRACK_INFO ti;
        vbmp3_open(mp3.c_str(), &ti);
        vbmp3_decodeWave(dir.file("out.wav").c_str());
        WaitConversion(dir.file("out.wav"), true, ti.totalSec);
        vbmp3_close();
        return Since(t);
    });
    Report("MP3->WAVE", toWaveFull,
           Best(2, [&] { return Run("mpg123 -q -w " + dir.file("ref.wav") + " " + mp3); }));

    // WAVE -> MP3 at CBR 128, -q 3 (what the lame CLI does by default).
    const double toMp3 = Best(1, [&] {
        const auto t = Clock::now();
        VBMP3_ENCODE_OPTIONS o{};
        o.bitRate = 128;
        o.algorithmQuality = 3;
        vbmp3_encodeOpen(wav.c_str(), &o);
        vbmp3_encodeStart(dir.file("enc.mp3").c_str());
        WaitConversion(dir.file("enc.mp3"), false, 600);
        vbmp3_encodeStop();
        return Since(t);
    });
    Report("WAVE->MP3 (CBR 128, q3)", toMp3,
           Run("lame --quiet -b 128 -q 3 " + wav + " " + dir.file("ref.mp3")));

    // File information over 2,000 mixed files.
    std::vector<std::string> files;
    for (int i = 0; i < 2000; ++i) {
        const std::string p = dir.file("f" + std::to_string(i) + (i % 5 == 4 ? ".wav" : ".mp3"));
        if (i < 20) {
            if (i % 5 == 4)
                kvtest::MakeWave(p, 3 + i % 7, 22050, 1);
            else
                kvtest::MakeMp3(p, 3 + i % 7, 44100, 2, 440, i % 5 == 0 ? 0 : 128, i % 5 != 1);
        } else {
            Run("cp " + files[size_t(i % 20)] + " " + p);
        }
        files.push_back(p);
    }
    double maxError = 0;
    for (int i = 0; i < 20; ++i) {
        VBMP3_FILE_INFO fi{};
        vbmp3_getFileInfo(files[size_t(i)].c_str(), nullptr, &fi);
        const auto pcm = kvtest::DecodeFile(files[size_t(i)]);
        maxError = std::max(maxError, std::fabs(fi.playTime - double(pcm.Frames()) / pcm.rate));
    }
    InfoAgainstTagLib("getFileInfo x2000", files);
    std::printf("max play-time error vs decoded length: %.3f s\n", maxError);
}

// The new formats, each made from the same ten-minute WAVE by ffmpeg.
void NewFormats(kvtest::TempDir& dir, const std::string& wav) {
    struct Format {
        const char* name;
        const char* args;
    };
    const Format formats[] = {{"ten16.flac", "-c:a flac"},
                              {"ten24.flac", "-c:a flac -sample_fmt s32 -ar 96000"},
                              {"ten.opus", "-c:a libopus -b:a 128k"},
                              {"ten.m4a", "-c:a aac -b:a 192k"},
                              {"ten-alac.m4a", "-c:a alac"}};
    for (const Format& f : formats) {
        const std::string p = dir.file(f.name);
        Run("ffmpeg -v error -y -i " + wav + " " + f.args + " " + p);
        VBMP3_FILE_INFO fi{};
        vbmp3_getFileInfo(p.c_str(), nullptr, &fi);
        const double ours = Best(3, [&] {
            const auto t = Clock::now();
            auto d = kv::engine::OpenDecoder(p, fi.format);
            std::vector<float> buf(8192);
            while (d && d->ReadFloat(buf.data(), 4096) > 0) {
            }
            return Since(t);
        });
        const double ref = Best(3, [&] { return Run("ffmpeg -v error -threads 1 -i " + p + " -f null -"); });
        Report((std::string("decode 10 min ") + f.name).c_str(), ours, ref);
    }
}

void ContainerInfo(kvtest::TempDir& dir) {
    // File information over 2,000 short files of each kind, copies of a few made here.
    for (const char* ext : {"flac", "m4a"}) {
        std::vector<std::string> files;
        for (int i = 0; i < 2000; ++i) {
            const std::string p = dir.file("g" + std::to_string(i) + "." + ext);
            if (i < 10)
                Run("ffmpeg -v error -y -f lavfi -i sine=d=" + std::to_string(20 + i * 7) +
                    " -metadata title=曲" + std::to_string(i) + " -metadata artist=歌手 " +
                    (ext[0] == 'f' ? "-c:a flac " : "-c:a aac ") + p);
            else
                Run("cp " + files[size_t(i % 10)] + " " + p);
            files.push_back(p);
        }
        InfoAgainstTagLib((std::string("getFileInfo x2000 ") + ext).c_str(), files);
        for (const auto& f : files)
            std::filesystem::remove(f);
    }
}

void PlaybackCpu(const std::string& mp3, const std::string& flac = {}) {
    // CPU of this whole process (every thread) over one real minute of playback with the
    // dummy driver, against the CPU `mpg123 -t` spends decoding a minute of the same file: the
    // median of three whole-file runs over ten, so its start-up is spread thin.
    // PLAY_SECONDS shortens the minute for quick comparisons; the figure stays per minute.
    const char* env = std::getenv("PLAY_SECONDS");
    const int seconds = env && std::atoi(env) > 0 ? std::atoi(env) : 60;
    auto playCpu = [&](bool eq, const std::string& file) {
        const int16_t flat[10] = {}, curve[10] = {60, 40, 20, 0, -20, -20, 0, 20, 40, 60};
        vbmp3_setEqualizer(eq ? curve : flat);
        vbmp3_open(file.c_str(), nullptr);
        vbmp3_reload();
        // The first start of a run loads SDL and opens the device: once per run, not per
        // minute. A start and stop first leaves the device open for the measured start.
        vbmp3_play();
        vbmp3_stop();
        const double c0 = SelfCpu();
        vbmp3_play();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        vbmp3_stop();
        return (SelfCpu() - c0) * 60 / seconds;
    };
    std::vector<double> refs;
    for (int i = 0; i < 3; ++i) {
        const double c0 = ChildCpu();
        Run("mpg123 -q -t " + mp3);
        refs.push_back((ChildCpu() - c0) / 10);
    }
    std::sort(refs.begin(), refs.end());
    const double refPerMinute = refs[1];
    Report("CPU per playback minute, EQ off", playCpu(false, mp3), refPerMinute);
    Report("CPU per playback minute, EQ on", playCpu(true, mp3), refPerMinute);
    if (!flac.empty()) Report("CPU per playback minute, FLAC", playCpu(false, flac), refPerMinute);

    // The floor under any callback output at this latency: a thread that does nothing but
    // sleep one device buffer (4096 frames) and wake, for the same time, plus the reference's
    // own decoding. On a virtual machine a wake-up alone can cost tens of microseconds.
    const double w0 = SelfCpu();
    std::thread([&] {
        const auto period = std::chrono::microseconds(4096 * 1000000LL / 44100);
        for (auto t = Clock::now(); Since(t) < seconds;)
            std::this_thread::sleep_for(period);
    }).join();
    const double wakes = (SelfCpu() - w0) * 60 / seconds;
    Report("  of it, bare wake-ups per minute", wakes, refPerMinute);
    Report("  floor: wake-ups + reference decode", wakes + refPerMinute, refPerMinute);
}

} // namespace

int main(int argc, char** argv) {
    // "cpu" runs only the playback CPU measures, the slow part worth repeating on its own.
    const bool cpuOnly = argc > 1 && std::string(argv[1]) == "cpu";
    const bool formats = argc > 1 && std::string(argv[1]) == "formats";
    if (argc > 1 && std::string(argv[1]) == "info") {
        kvtest::TempDir dir;
        ContainerInfo(dir);
        return 0;
    }
    kvtest::TempDir dir;
    const std::string wav = kvtest::MakeWave(dir.file("ten.wav"), 600, 44100, 2, 440, 0.4);
    const std::string mp3 = dir.file("ten.mp3");
    Run("lame --quiet -b 128 " + wav + " " + mp3);
    vbmp3_init();
    if (formats) {
        NewFormats(dir, wav);
        ContainerInfo(dir);
        PlaybackCpu(mp3, dir.file("ten16.flac"));
    } else {
        if (!cpuOnly) Formats(dir, wav, mp3);
        PlaybackCpu(mp3);
    }
    vbmp3_free();
    return 0;
}
