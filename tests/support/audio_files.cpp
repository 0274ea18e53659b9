#include "support/audio_files.h"

#include <lame/lame.h>
#include <mpg123.h>
#include <sndfile.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace kvtest {
namespace {

std::vector<float> Sine(double seconds, int rate, int channels, double freq, double amplitude)
{
    const size_t frames = static_cast<size_t>(std::llround(seconds * rate));
    std::vector<float> pcm(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        const float v = static_cast<float>(amplitude * std::sin(2.0 * M_PI * freq * double(i) / rate));
        for (int c = 0; c < channels; ++c)
            pcm[i * channels + c] = v;
    }
    return pcm;
}

void Put16(std::vector<uint8_t>& b, unsigned v) { b.push_back(v & 0xff); b.push_back((v >> 8) & 0xff); }
void Put32(std::vector<uint8_t>& b, uint32_t v) { Put16(b, v & 0xffff); Put16(b, v >> 16); }
void PutTag(std::vector<uint8_t>& b, const char* t) { b.insert(b.end(), t, t + 4); }

// Encodes with the LAME library into memory. With a Xing header, LAME leaves a placeholder
// frame at the start that has to be replaced by the finished LAME tag frame.
std::vector<uint8_t> EncodeMp3(const std::vector<float>& pcm, int rate, int channels, int kbps,
                               bool xingHeader)
{
    lame_global_flags* gf = lame_init();
    lame_set_in_samplerate(gf, rate);
    lame_set_out_samplerate(gf, rate);
    lame_set_num_channels(gf, channels);
    lame_set_mode(gf, channels == 1 ? MONO : JOINT_STEREO);
    if (kbps > 0) {
        lame_set_VBR(gf, vbr_off);
        lame_set_brate(gf, kbps);
    } else {
        lame_set_VBR(gf, vbr_default);
        lame_set_VBR_quality(gf, 4);
    }
    lame_set_bWriteVbrTag(gf, xingHeader ? 1 : 0);
    lame_set_quality(gf, 5);
    if (lame_init_params(gf) < 0) {
        lame_close(gf);
        throw std::runtime_error("lame_init_params failed");
    }
    std::vector<uint8_t> out;
    const int frames = static_cast<int>(pcm.size() / channels);
    const int chunk = 4096;
    std::vector<unsigned char> buf(chunk * 5 / 4 + 7200);
    std::vector<float> left(chunk), right(chunk);
    for (int pos = 0; pos < frames; pos += chunk) {
        const int n = std::min(chunk, frames - pos);
        // The interleaved entry point assumes two channels, so split by hand.
        for (int i = 0; i < n; ++i) {
            left[i] = pcm[size_t(pos + i) * channels];
            right[i] = pcm[size_t(pos + i) * channels + channels - 1];
        }
        int got = lame_encode_buffer_ieee_float(gf, left.data(), right.data(), n, buf.data(),
                                                static_cast<int>(buf.size()));
        if (got < 0)
            throw std::runtime_error("lame encode failed");
        out.insert(out.end(), buf.begin(), buf.begin() + got);
    }
    int got = lame_encode_flush(gf, buf.data(), static_cast<int>(buf.size()));
    if (got > 0)
        out.insert(out.end(), buf.begin(), buf.begin() + got);
    if (xingHeader) {
        unsigned char tag[2880];
        size_t n = lame_get_lametag_frame(gf, tag, sizeof tag);
        if (n > 0 && n <= out.size())
            std::memcpy(out.data(), tag, n);
    }
    lame_close(gf);
    return out;
}

} // namespace

std::string WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string MakeWave(const std::string& path, double seconds, int rate, int channels, double freq,
                     double amplitude)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!sf)
        throw std::runtime_error("cannot create " + path);
    const auto pcm = Sine(seconds, rate, channels, freq, amplitude);
    sf_writef_float(sf, pcm.data(), static_cast<sf_count_t>(pcm.size() / channels));
    sf_close(sf);
    return path;
}

std::string MakeMp3(const std::string& path, double seconds, int rate, int channels, double freq,
                    int kbps, bool xingHeader)
{
    return WriteBytes(path, EncodeMp3(Sine(seconds, rate, channels, freq, 0.5), rate, channels, kbps,
                                      xingHeader));
}

std::string MakeMp1Silence(const std::string& path, double seconds, int rate, int kbps)
{
    static const int kBitrates[] = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
    int brIndex = 0;
    for (int i = 1; i < 15; ++i)
        if (kBitrates[i] == kbps)
            brIndex = i;
    const int rateIndex = rate == 48000 ? 1 : rate == 32000 ? 2 : 0;
    if (brIndex == 0 || (rateIndex == 0 && rate != 44100))
        throw std::runtime_error("unsupported layer I parameters");
    const long frames = std::lround(seconds * rate / 384.0);
    std::vector<uint8_t> out;
    long remainder = 0;
    for (long f = 0; f < frames; ++f) {
        // Padding follows the usual running remainder so the average matches the bitrate.
        const long num = 12L * kbps * 1000;
        remainder += num % rate;
        int padding = 0;
        if (remainder >= rate) {
            remainder -= rate;
            padding = 1;
        }
        const int bytes = int(num / rate + padding) * 4;
        const size_t at = out.size();
        out.resize(at + bytes, 0);
        out[at] = 0xff;
        out[at + 1] = 0xff; // MPEG-1, layer I, no CRC
        out[at + 2] = uint8_t(brIndex << 4 | rateIndex << 2 | padding << 1);
        out[at + 3] = 0xc0; // mono; allocation all zero = silence
    }
    return WriteBytes(path, out);
}

std::string MakeRiffMp3(const std::string& path, double seconds, int rate, int channels, double freq,
                        int kbps)
{
    const auto mp3 = EncodeMp3(Sine(seconds, rate, channels, freq, 0.5), rate, channels, kbps, false);
    std::vector<uint8_t> b;
    PutTag(b, "RIFF");
    Put32(b, 0);
    PutTag(b, "WAVE");
    PutTag(b, "fmt ");
    Put32(b, 30);
    Put16(b, 0x55);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, kbps * 1000 / 8);
    Put16(b, 1);
    Put16(b, 0);
    Put16(b, 12);
    Put16(b, 1);                              // MPEGLAYER3_ID_MPEG
    Put32(b, 2);                              // no padding flags
    Put16(b, 144 * kbps * 1000 / rate);       // nBlockSize
    Put16(b, 1);
    Put16(b, 1393);
    PutTag(b, "fact");
    Put32(b, 4);
    Put32(b, static_cast<uint32_t>(seconds * rate));
    PutTag(b, "data");
    Put32(b, static_cast<uint32_t>(mp3.size()));
    b.insert(b.end(), mp3.begin(), mp3.end());
    if (mp3.size() & 1)
        b.push_back(0);
    const uint32_t riff = static_cast<uint32_t>(b.size() - 8);
    std::memcpy(b.data() + 4, &riff, 4); // little-endian host
    return WriteBytes(path, b);
}

Pcm DecodeFile(const std::string& path)
{
    Pcm out;
    SF_INFO info{};
    if (SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info)) {
        out.rate = info.samplerate;
        out.channels = info.channels;
        out.samples.resize(size_t(info.frames) * info.channels);
        out.samples.resize(size_t(sf_readf_float(sf, out.samples.data(), info.frames)) * info.channels);
        sf_close(sf);
        const int major = info.format & SF_FORMAT_TYPEMASK;
        if (major != SF_FORMAT_MPEG && (info.format & SF_FORMAT_SUBMASK) != SF_FORMAT_MPEG_LAYER_III)
            return out;
        out = Pcm{};
    }
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    if (!mh)
        return out;
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(mh);
    for (long r : {8000L, 11025L, 12000L, 16000L, 22050L, 24000L, 32000L, 44100L, 48000L})
        mpg123_format(mh, r, MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    if (mpg123_open(mh, path.c_str()) == MPG123_OK) {
        long rate = 0;
        int channels = 0, enc = 0;
        if (mpg123_getformat(mh, &rate, &channels, &enc) == MPG123_OK) {
            out.rate = int(rate);
            out.channels = channels;
            std::vector<float> buf(16384);
            for (;;) {
                size_t done = 0;
                int err = mpg123_read(mh, reinterpret_cast<unsigned char*>(buf.data()), buf.size() * 4, &done);
                out.samples.insert(out.samples.end(), buf.begin(), buf.begin() + done / 4);
                if (err == MPG123_NEW_FORMAT)
                    continue;
                if (err != MPG123_OK)
                    break;
            }
        }
        mpg123_close(mh);
    }
    mpg123_delete(mh);
    return out;
}

TempDir::TempDir()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "kvtest-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

// What another tagger leaves: several comments (the one a person reads is not the first),
// ReplayGain in TXXX frames, a full date, a long Japanese title and an ID3v1 copy.
std::string MakeForeignTaggedMp3(const std::string& path, int version)
{
    kvtest::MakeMp3(path, 1.0);
    TagLib::MPEG::File file(path.c_str(), false);
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    auto text = [&](const char* id, const char* value) {
        auto* f = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF16);
        f->setText(TagLib::String(value, TagLib::String::UTF8));
        tag->addFrame(f);
    };
    auto comment = [&](const char* description, const char* value) {
        auto* f = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF16);
        f->setLanguage("eng");
        f->setDescription(description);
        f->setText(TagLib::String(value, TagLib::String::UTF8));
        tag->addFrame(f);
    };
    std::string title;
    for (int i = 0; i < 60; ++i)
        title += "あ";
    text("TIT2", title.c_str());
    text("TPE1", "Artist");
    text("TDRC", "2001-05-12");
    comment("iTunes_CDDB_TrackNumber", "3");
    comment("iTunNORM", " 00000A1B 00000C2D");
    comment("", "Waterbug Records, 2001");
    comment("iTunSMPB", " 00000000 00000210");
    auto* gain = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::Latin1);
    gain->setDescription("REPLAYGAIN_TRACK_GAIN");
    gain->setText("-6.50 dB");
    tag->addFrame(gain);
    file.ID3v1Tag(true)->setTitle("v1 title");
    file.ID3v1Tag(true)->setComment("v1 comment");
    if (!file.save(TagLib::MPEG::File::ID3v2 | TagLib::MPEG::File::ID3v1, TagLib::File::StripNone,
            version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4))
        throw std::runtime_error("cannot tag " + path);
    return path;
}

// Every frame as TagLib renders it, by id and description, with the tag's version.
std::map<std::string, std::string> TagFrames(const std::string& path, int* version)
{
    TagLib::MPEG::File file(path.c_str(), false);
    std::map<std::string, std::string> frames;
    if (!file.hasID3v2Tag())
        return frames;
    if (version)
        *version = int(file.ID3v2Tag()->header()->majorVersion());
    for (TagLib::ID3v2::Frame* f : file.ID3v2Tag()->frameList()) {
        std::string key(f->frameID().data(), f->frameID().size());
        if (auto* c = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(f))
            key += "/" + c->description().to8Bit(true);
        else if (auto* u = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(f))
            key += "/" + u->description().to8Bit(true);
        const TagLib::ByteVector bytes = f->render();
        frames[key] = f->toString().to8Bit(true) + "|" + std::string(bytes.data(), bytes.size());
    }
    return frames;
}

} // namespace kvtest
