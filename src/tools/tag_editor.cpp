#include "tools/tag_editor.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv::tools {
namespace {

bool SameFile(const QByteArray& a, const QByteArray& b) {
    struct stat sa {
    }, sb{};
    return ::lstat(a.constData(), &sa) == 0 && ::lstat(b.constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

RenameOutcome PlainRename(const QByteArray& from, const QByteArray& to) {
    if (::rename(from.constData(), to.constData()) == 0) return {RenameResult::Done, 0};
    return {RenameResult::Failed, errno};
}

void PutField(char* field, int width, const QString& text) {
    QByteArray bytes = text.left(width).toUtf8();
    if (bytes.size() > width) {
        qsizetype cut = width;
        while (cut > 0 && (quint8(bytes[cut]) & 0xC0) == 0x80)
            --cut; // not inside a character
        bytes.truncate(cut);
    }
    std::memset(field, ' ', size_t(width));
    std::memcpy(field, bytes.constData(), size_t(bytes.size()));
}

QString GetField(const char* field, int width) {
    return QString::fromUtf8(field, qsizetype(strnlen(field, size_t(width)))).trimmed();
}

} // namespace

RenameOutcome RenameNoReplace(const QString& from, const QString& to) {
    const QByteArray f = QFile::encodeName(from), t = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return {RenameResult::Done, 0};
    int error = errno;
    if (error == EEXIST)
        return SameFile(f, t) ? PlainRename(f, t) : RenameOutcome{RenameResult::TargetExists, 0};
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP) return {RenameResult::Failed, error};
    // A file system that does not know the flag.
    struct stat st {};
    if (::lstat(f.constData(), &st) != 0) return {RenameResult::Failed, errno};
    if (!S_ISDIR(st.st_mode)) {
        if (::link(f.constData(), t.constData()) == 0) {
            if (::unlink(f.constData()) == 0) return {RenameResult::Done, 0};
            error = errno;
            ::unlink(t.constData());
            return {RenameResult::Failed, error};
        }
        if (errno == EEXIST) return {RenameResult::TargetExists, 0};
    }
    // No hard links here either (or a folder): look first, then rename.
    if (::lstat(t.constData(), &st) == 0 && !SameFile(f, t)) return {RenameResult::TargetExists, 0};
    return PlainRename(f, t);
}

bool IsReadOnlyFile(const QString& path) {
    const QByteArray p = QFile::encodeName(path);
    struct stat st {};
    if (::stat(p.constData(), &st) != 0) return true;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
    return ::access(p.constData(), W_OK) != 0;
}

std::optional<TagRead> ReadTag(const QString& path) {
    TagRead read;
    if (!vbmp3_getFileInfo(QFile::encodeName(path).constData(), &read.record, nullptr)) return std::nullopt;
    const VBMP3_TAG_INFO& r = read.record;
    read.texts = {GetField(r.title, kTagWidths[0]), GetField(r.artist, kTagWidths[1]),
                  GetField(r.album, kTagWidths[2]), GetField(r.year, kTagWidths[3]),
                  GetField(r.comment, kTagWidths[4])};
    return read;
}

VBMP3_TAG_INFO TagRecord(const VBMP3_TAG_INFO& base, const TagTexts& texts) {
    VBMP3_TAG_INFO record = base;
    char* fields[5] = {record.title, record.artist, record.album, record.year, record.comment};
    for (size_t i = 0; i < 5; ++i)
        PutField(fields[i], kTagWidths[i], texts[i]);
    return record;
}

bool WriteTag(const QString& path, const VBMP3_TAG_INFO& record) {
    if (IsReadOnlyFile(path)) return false;
    return vbmp3_setTagInfo(QFile::encodeName(path).constData(), &record, 1, 1) != 0;
}

} // namespace kv::tools
