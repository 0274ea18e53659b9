#include "platform/text_codec.h"

#include <iconv.h>

namespace kv::platform {

bool IsValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        unsigned int cp;
        if ((c & 0xE0) == 0xC0)
            extra = 1, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0)
            extra = 2, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0)
            extra = 3, cp = c & 0x07;
        else
            return false;
        if (end - p <= extra) return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
        static constexpr unsigned int kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        p += extra + 1;
    }
    return true;
}

QString Utf8ToString(std::string_view bytes) {
    QString marks;
    while (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        marks += QChar(0xFEFF);
        bytes.remove_prefix(3);
    }
    return marks + QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QString Cp932ToString(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));

    std::string buffer(bytes.size() * 3 + 16, '\0');
    const char* in = bytes.data();
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        size_t r = iconv(cd, const_cast<char**>(&in), &inLeft, &outPtr, &outLeft);
        out += QString::fromUtf8(buffer.data(), qsizetype(buffer.size() - outLeft));
        if (r == static_cast<size_t>(-1) && inLeft > 0) {
            // Not CP932: keep the byte as the character of the same value and go on.
            out += QChar(static_cast<unsigned char>(*in));
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

QString DecodeText(const QByteArray& bytes) {
    std::string_view view(bytes.constData(), size_t(bytes.size()));
    if (view.substr(0, 3) == "\xEF\xBB\xBF") view.remove_prefix(3);
    if (IsValidUtf8(view)) return Utf8ToString(view);
    return Cp932ToString(view);
}

QStringList SplitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
            start = i + 1;
        }
    }
    if (start < n) lines.append(text.mid(start));
    return lines;
}

} // namespace kv::platform
