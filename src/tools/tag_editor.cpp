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

std::optional<TagTexts> ReadTag(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    QByteArray all(256, '\0');
    for (;;) {
        const int size = vbmp3_getTagText(name.constData(), all.data(), int(all.size()));
        if (size <= 0) return std::nullopt;
        const bool whole = size <= all.size();
        all.resize(size);
        if (whole) break;
    }
    const QList<QByteArray> parts = all.split('\0');
    TagTexts texts;
    for (size_t i = 0; i < texts.size(); ++i)
        texts[i] = QString::fromUtf8(parts.value(qsizetype(i))).trimmed();
    return texts;
}

bool WriteTag(const QString& path, const TagTexts& texts, unsigned changed) {
    if (changed == 0) return true;
    if (IsReadOnlyFile(path)) return false;
    std::array<QByteArray, 5> bytes;
    std::array<const char*, 5> given{};
    for (size_t i = 0; i < texts.size(); ++i)
        if (changed & (1u << i)) {
            QString text = texts[i].left(kTagWidths[i]);
            if (!text.isEmpty() && text.back().isHighSurrogate()) text.chop(1);
            bytes[i] = text.toUtf8();
            given[i] = bytes[i].constData();
        }
    return vbmp3_setTagText(QFile::encodeName(path).constData(), given.data(), 1, 1) != 0;
}

} // namespace kv::tools
