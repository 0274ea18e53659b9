#include "engine/text.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace kv::engine {
namespace {

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc); }
bool IsTrail(unsigned char c) { return c >= 0x40 && c <= 0xfc && c != 0x7f; }
bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// Japanese text nearly always has kana or punctuation (leads 0x81..0x9f). Accented Latin-1
// that happens to parse as CP932 only reaches leads 0xe0.. followed by plain letters
// ("Mötley" = f6 74), so that pattern without any low lead is taken as Latin-1.
bool LooksLikeCp932(const unsigned char* p, size_t n)
{
    size_t doubles = 0, kana = 0;
    bool lowLead = false, latinish = false;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = p[i];
        if (c < 0x80)
            continue;
        if (c >= 0xa1 && c <= 0xdf) {
            ++kana;
            continue;
        }
        if (!IsLead(c) || i + 1 >= n || !IsTrail(p[i + 1]))
            return false;
        ++doubles;
        lowLead = lowLead || c <= 0x9f;
        latinish = latinish || (c >= 0xe0 && IsAsciiLetter(p[i + 1]));
        ++i;
    }
    return doubles > 0 && kana <= doubles && (lowLead || !latinish);
}

std::string Latin1ToUtf8(const unsigned char* p, size_t n)
{
    std::string out;
    out.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        if (p[i] < 0x80) {
            out += char(p[i]);
        } else {
            out += char(0xc0 | (p[i] >> 6));
            out += char(0x80 | (p[i] & 0x3f));
        }
    }
    return out;
}

// iconv descriptors are costly to open; one per direction, shared under a lock.
bool Convert(const char* to, const char* from, const std::string& in, std::string* out, bool lossy)
{
    static std::mutex lock;
    static iconv_t toUtf8 = iconv_open("UTF-8", "CP932");
    static iconv_t toCp932 = iconv_open("CP932", "UTF-8");
    std::lock_guard guard(lock);
    iconv_t cd = std::string(to) == "UTF-8" ? toUtf8 : toCp932;
    (void)from;
    if (cd == iconv_t(-1))
        return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out->assign(in.size() * 3 + 8, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out->data();
    size_t dstLeft = out->size();
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1))
            break;
        if (!lossy || errno == E2BIG)
            return false;
        // Skip one UTF-8 character that CP932 lacks.
        size_t skip = 1;
        while (skip < srcLeft && (static_cast<unsigned char>(src[skip]) & 0xc0) == 0x80)
            ++skip;
        src += skip;
        srcLeft -= skip;
        if (dstLeft == 0)
            return false;
        *dst++ = '?';
        --dstLeft;
    }
    out->resize(out->size() - dstLeft);
    return true;
}

} // namespace

std::string DecodeLegacyText(const char* bytes, size_t size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    size_t n = 0;
    while (n < size && p[n] != 0)
        ++n;
    bool ascii = true;
    for (size_t i = 0; i < n && ascii; ++i)
        ascii = p[i] < 0x80;
    if (ascii)
        return std::string(bytes, n);
    std::string out;
    if (LooksLikeCp932(p, n) && Convert("UTF-8", "CP932", std::string(bytes, n), &out, false))
        return out;
    return Latin1ToUtf8(p, n);
}

std::string EncodeLegacyText(const std::string& utf8)
{
    std::string latin;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = utf8[i];
        if (c < 0x80) {
            latin += char(c);
        } else if ((c == 0xc2 || c == 0xc3) && i + 1 < utf8.size()) {
            latin += char(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3f));
        } else {
            std::string out;
            return Convert("CP932", "UTF-8", utf8, &out, true) ? out : std::string();
        }
    }
    return latin;
}

std::string TrimUtf8(const std::string& utf8, size_t maxBytes)
{
    size_t n = std::min(utf8.size(), maxBytes);
    if (n < utf8.size())
        while (n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xc0) == 0x80)
            --n;
    while (n > 0 && (utf8[n - 1] == ' ' || utf8[n - 1] == '\0'))
        --n;
    return utf8.substr(0, n);
}

void PutFixedText(char* field, size_t width, const std::string& utf8)
{
    if (width == 0)
        return;
    const std::string text = TrimUtf8(utf8.substr(0, utf8.find('\0')), width - 1);
    size_t i = 0;
    for (; i < text.size(); ++i)
        field[i] = text[i];
    for (; i + 1 < width; ++i)
        field[i] = ' ';
    field[width - 1] = '\0';
}

std::string GetFixedText(const char* field, size_t width)
{
    size_t n = 0;
    while (n < width && field[n] != '\0')
        ++n;
    return TrimUtf8(std::string(field, n), n);
}

} // namespace kv::engine
