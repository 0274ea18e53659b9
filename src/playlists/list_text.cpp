#include "playlists/list_text.h"

#include "platform/text_codec.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

namespace kv::playlists {

namespace {
constexpr qsizetype kBlockBytes = 1 << 20;
const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

// The first CR or LF in [p, stop), or stop.
const char* FindLineEnd(const char* p, const char* stop) {
    const void* cr = std::memchr(p, '\r', size_t(stop - p));
    const char* limit = cr ? static_cast<const char*>(cr) : stop;
    const void* lf = std::memchr(p, '\n', size_t(limit - p));
    return lf ? static_cast<const char*>(lf) : limit;
}

bool IsAscii(const char* p, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80) return false;
    return true;
}
} // namespace

LineReader::LineReader(const QString& path, qsizetype maxLineBytes) : maxLine_(maxLineBytes) {
    const QByteArray native = path.toUtf8();
    if (!native.isEmpty()) fd_ = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0) buffer_.resize(kBlockBytes);
}

LineReader::LineReader(const QByteArray& bytes, qsizetype maxLineBytes)
    : maxLine_(maxLineBytes), buffer_(bytes), end_(bytes.size()), eof_(true), inMemory_(true) {}

LineReader::~LineReader() {
    if (fd_ >= 0) ::close(fd_);
    if (iconv_) iconv_close(static_cast<iconv_t>(iconv_));
}

bool LineReader::Fill() {
    if (eof_ || fd_ < 0) return false;
    // Keep the unread tail at the front of the buffer.
    if (pos_ > 0) {
        const qsizetype left = end_ - pos_;
        if (left > 0) memmove(buffer_.data(), buffer_.constData() + pos_, size_t(left));
        end_ = left;
        pos_ = 0;
    }
    for (;;) {
        ssize_t n = ::read(fd_, buffer_.data() + end_, size_t(buffer_.size() - end_));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            readFailed_ = true;
            eof_ = true;
            return false;
        }
        if (n == 0) {
            eof_ = true;
            return false;
        }
        end_ += n;
        return true;
    }
}

bool LineReader::NextBytes(QByteArray& line) {
    line.clear();
    if (!IsOpen()) return false;
    bool cut = false;
    for (;;) {
        if (skipLf_) {
            if (pos_ == end_ && !Fill()) return false;
            skipLf_ = false;
            if (buffer_.at(pos_) == '\n') ++pos_, ++offset_;
        }
        const char* base = buffer_.constData();
        const qsizetype i = FindLineEnd(base + pos_, base + end_) - base;
        if (i < end_) {
            // A whole line (or the rest of a cut one) lies in the buffer.
            const qsizetype room = maxLine_ - line.size();
            if (i - pos_ > room) cut = true;
            if (room > 0) line.append(base + pos_, std::min(i - pos_, room));
            const bool cr = base[i] == '\r';
            offset_ += i + 1 - pos_;
            pos_ = i + 1;
            if (cr) {
                if (pos_ < end_) {
                    if (base[pos_] == '\n') ++pos_, ++offset_;
                } else {
                    skipLf_ = true;
                }
            }
            break;
        }
        // No line end yet: take what fits under the cap and read on, dropping the rest of an
        // over-long line instead of growing without bound.
        const qsizetype room = maxLine_ - line.size();
        if (end_ - pos_ > room) cut = true;
        if (room > 0) line.append(base + pos_, std::min(end_ - pos_, room));
        offset_ += end_ - pos_;
        pos_ = end_;
        if (!Fill()) {
            if (line.isEmpty() && !cut) return false;
            break; // the last line has no end
        }
    }
    if (cut) anyCut_ = true;
    if (firstLine_) {
        firstLine_ = false;
        if (line.startsWith("\xEF\xBB\xBF")) line.remove(0, 3);
    }
    return true;
}

bool LineReader::NextView(std::string_view& line) {
    if (!IsOpen()) return false;
    if (!skipLf_ && !firstLine_) {
        const char* base = buffer_.constData();
        const char* start = base + pos_;
        const char* eol = FindLineEnd(start, base + end_);
        if (eol != base + end_ && eol - start <= maxLine_) {
            qsizetype next = eol - base + 1;
            if (*eol == '\r') {
                if (next < end_) {
                    if (base[next] == '\n') ++next;
                } else {
                    skipLf_ = true;
                }
            }
            offset_ += next - pos_;
            pos_ = next;
            line = std::string_view(start, size_t(eol - start));
            return true;
        }
    }
    if (!NextBytes(scratch_)) return false;
    line = std::string_view(scratch_.constData(), size_t(scratch_.size()));
    return true;
}

QString LineReader::Decode(const QByteArray& bytes) {
    return Decode(bytes.constData(), bytes.size());
}

QString LineReader::Decode(const char* p, qsizetype n) {
    if (IsAscii(p, n)) return QString::fromLatin1(p, n);
    if (platform::IsValidUtf8(std::string_view(p, size_t(n))))
        return platform::Utf8ToString(std::string_view(p, size_t(n)));
    if (!iconv_) {
        iconv_t cd = iconv_open("UTF-8", "CP932");
        if (cd == kNoIconv) return platform::Cp932ToString(std::string_view(p, size_t(n)));
        iconv_ = cd;
    }
    auto cd = static_cast<iconv_t>(iconv_);
    QString out;
    std::string buffer(size_t(n) * 3 + 16, '\0');
    char* in = const_cast<char*>(p);
    size_t inLeft = size_t(n);
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out += QString::fromUtf8(buffer.data(), qsizetype(buffer.size() - outLeft));
        if (r == size_t(-1) && inLeft > 0) {
            // Not CP932 either: keep the byte as the character of the same value.
            out += QChar(static_cast<unsigned char>(*in));
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

bool LineReader::Next(QString& line) {
    QByteArray bytes;
    if (!NextBytes(bytes)) return false;
    line = Decode(bytes);
    return true;
}

char* PutUtf8(char* o, QStringView text, bool keepLineBreaks) {
    const char16_t* p = reinterpret_cast<const char16_t*>(text.data());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        // Paths and names are mostly ASCII: four units at a time while they are.
        while (i + 4 <= n) {
            uint64_t units;
            std::memcpy(&units, p + i, sizeof units);
            // Leave the fast path for anything beyond ASCII, and for control characters (a line
            // break must be blanked below).
            if ((units & 0xFF80FF80FF80FF80ull) ||
                ((units - 0x0020002000200020ull) & ~units & 0x8000800080008000ull))
                break;
            o[0] = char(p[i]);
            o[1] = char(p[i + 1]);
            o[2] = char(p[i + 2]);
            o[3] = char(p[i + 3]);
            o += 4;
            i += 4;
        }
        if (i >= n) break;
        char32_t c = p[i];
        if (c < 0x80) {
            // Every file written through here is line-based: a line break inside a text would
            // split its record.
            *o++ = (!keepLineBreaks && (c == u'\n' || c == u'\r')) ? ' ' : char(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[i + 1] - 0xDC00);
            ++i; // two units make four bytes: still within the room of six
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; // a lone surrogate has no UTF-8 form
        }
        if (c < 0x800) {
            *o++ = char(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *o++ = char(0xE0 | (c >> 12));
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
        } else {
            *o++ = char(0xF0 | (c >> 18));
            *o++ = char(0x80 | ((c >> 12) & 0x3F));
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
        }
        *o++ = char(0x80 | (c & 0x3F));
    }
    return o;
}

void AppendUtf8(std::string& out, const QString& text) {
    const size_t old = out.size();
    out.resize(old + size_t(text.size()) * 3); // the longest form: three bytes per UTF-16 unit
    out.resize(size_t(PutUtf8(out.data() + old, text) - out.data()));
}

} // namespace kv::playlists

namespace kv::playlists {

AtomicFileWriter::AtomicFileWriter(const QString& target) : target_(target) {
    const qsizetype slash = target.lastIndexOf(u'/');
    temp_ = (target.left(slash + 1) + QStringLiteral(".") + target.mid(slash + 1) + QStringLiteral(".tmp"))
                .toUtf8();
    // Made afresh: a stray temporary of a crashed run may be a hard link to a live file.
    ::unlink(temp_.constData());
    fd_ = ::open(temp_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}

AtomicFileWriter::~AtomicFileWriter() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_.constData());
    }
}

bool AtomicFileWriter::Write(const char* data, size_t size) {
    if (fd_ < 0 || failed_) return false;
    while (size > 0) {
        ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool AtomicFileWriter::Commit(bool durable) {
    if (fd_ < 0) return false;
    bool ok = !failed_ && (!durable || ::fdatasync(fd_) == 0);
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    if (ok) ok = ::rename(temp_.constData(), target_.toUtf8().constData()) == 0;
    if (!ok) ::unlink(temp_.constData());
    return ok;
}

} // namespace kv::playlists
