#include "platform/files.h"

#include <QSaveFile>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace kv::platform {
namespace fs = std::filesystem;

static fs::path ToPath(const QString& path) { return fs::path(path.toStdString()); }

bool FileExists(const QString& path) {
    std::error_code ec;
    return !path.isEmpty() && fs::is_regular_file(ToPath(path), ec);
}

bool HasLineBreak(const QString& text) {
    return text.contains(u'\n') || text.contains(u'\r');
}

bool FolderExists(const QString& path) {
    std::error_code ec;
    return !path.isEmpty() && fs::is_directory(ToPath(path), ec);
}

std::optional<qint64> FileSize(const QString& path) {
    std::error_code ec;
    auto size = fs::file_size(ToPath(path), ec);
    if (ec) return std::nullopt;
    return static_cast<qint64>(size);
}

std::optional<QByteArray> ReadWholeFile(const QString& path, qint64 maxBytes) {
    std::ifstream in(ToPath(path), std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    auto size = static_cast<qint64>(in.tellg());
    if (size < 0 || size > maxBytes) return std::nullopt;
    in.seekg(0);
    QByteArray bytes(size, Qt::Uninitialized);
    if (size > 0 && !in.read(bytes.data(), size)) return std::nullopt;
    return bytes;
}

bool WriteFileAtomic(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString JoinPath(const QString& folder, const QString& name) {
    if (folder.isEmpty()) return name;
    if (folder.endsWith(u'/')) return folder + name;
    return folder + u'/' + name;
}

QString FileNameOf(const QString& path) {
    qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

QString ParentFolderOf(const QString& path) {
    qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0) return QString();
    if (slash == 0) return QStringLiteral("/");
    return path.left(slash);
}

QString ExtensionOf(const QString& path) {
    QString name = FileNameOf(path);
    qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0) return QString();
    return name.mid(dot + 1).toLower();
}

} // namespace kv::platform
