// Line-by-line reading and writing of the program's text files (lists, the volume memory,
// imported lists). Files are streamed in blocks, never read whole: a damaged file of a gigabyte
// in one line costs one block of memory and one capped line, not the file.
#pragma once
#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace kv::playlists {

// No line the program writes comes near this; anything longer is damage, kept only in part.
inline constexpr qsizetype kMaxLineBytes = 64 * 1024;

class LineReader {
  public:
    explicit LineReader(const QString& path, qsizetype maxLineBytes = kMaxLineBytes);
    // The lines of a file's whole contents already in memory.
    explicit LineReader(const QByteArray& bytes, qsizetype maxLineBytes = kMaxLineBytes);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool IsOpen() const { return fd_ >= 0 || inMemory_; }
    // The next line without its end (CR LF, LF or a lone CR), decoded as UTF-8 when it is valid
    // UTF-8 and as CP932 otherwise (lists written by the Windows program). False at the end of
    // the file or when reading fails (ReadFailed tells which).
    bool Next(QString& line);
    // The same in raw bytes.
    bool NextBytes(QByteArray& line);
    // The same as a view, valid until the next call: a line that lies whole in the read buffer
    // is not copied at all.
    bool NextView(std::string_view& line);
    // Some line was longer than the cap and only its beginning was returned.
    bool AnyLineCut() const { return anyCut_; }
    bool ReadFailed() const { return readFailed_; }
    // The next line's bytes begin at this offset of the file.
    qint64 Offset() const { return offset_; }

    QString Decode(const QByteArray& bytes);
    QString Decode(const char* bytes, qsizetype size);

  private:
    bool Fill();

    int fd_ = -1;
    qsizetype maxLine_;
    QByteArray buffer_;
    qsizetype pos_ = 0;
    qsizetype end_ = 0;
    qint64 offset_ = 0;
    bool eof_ = false;
    bool skipLf_ = false; // the previous block ended on CR: a LF starting this one belongs to it
    bool anyCut_ = false;
    bool readFailed_ = false;
    bool firstLine_ = true;
    bool inMemory_ = false;
    void* iconv_ = nullptr; // CP932 converter, opened on the first line that needs it
    QByteArray scratch_;    // NextView's line when it is not whole in the buffer
};

// Appends the UTF-8 form of text to out (no allocation per call beyond out's own growth). CR and
// LF become blanks: the files written with it are line-based.
void AppendUtf8(std::string& out, const QString& text);
// Writes the UTF-8 form of text at o, which has room for three bytes per UTF-16 unit; returns
// the end of what was written. Line breaks become blanks unless they are asked to be kept.
char* PutUtf8(char* o, QStringView text, bool keepLineBreaks = false);

} // namespace kv::playlists

namespace kv::playlists {

// Writes a file by replacement: bytes go to a fresh hidden temporary beside the target, which
// Commit renames over it. Destroyed without Commit, it removes the temporary and the target
// stays as it was.
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(const QString& target);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    bool IsOpen() const { return fd_ >= 0; }
    bool Write(const char* data, size_t size);
    bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }
    bool Commit(bool durable);

  private:
    QString target_;
    QByteArray temp_;
    int fd_ = -1;
    bool failed_ = false;
};

} // namespace kv::playlists
