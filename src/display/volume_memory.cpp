#include "display/volume_memory.h"

#include "platform/files.h"
#include "platform/program_folder.h"
#include "playlists/list_text.h"

#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace kv::display {

using playlists::AppendUtf8;
using playlists::AtomicFileWriter;
using playlists::LineReader;

QString VolumeFile() {
    return platform::JoinPath(platform::ProgramFolder(), QStringLiteral("volume.cfg"));
}

int VolumeMemory::Find(const QString& path) const {
    return index_.value(Key(path), -1);
}

int VolumeMemory::Add(const QString& path) {
    // Such a name cannot be written to the line-based file; the track is simply not remembered.
    if (platform::HasLineBreak(path)) return -1;
    entries_.append(VolumeEntry{path, {}});
    const int index = Count() - 1;
    // An earlier entry of the same path keeps the key: the first match wins.
    const QString key = Key(path);
    if (!index_.contains(key)) index_.insert(key, index);
    return index;
}

void VolumeMemory::Rename(int index, const QString& path) {
    if (index < 0 || index >= Count()) return;
    const QString oldKey = Key(entries_[index].path);
    if (index_.value(oldKey, -1) == index) index_.remove(oldKey);
    entries_[index].path = path;
    const QString key = Key(path);
    if (index_.value(key, INT_MAX) > index) index_.insert(key, index);
}

QString VolumeMemory::SubItem(int index, int subItem) const {
    if (index < 0 || index >= Count() || subItem < 1 || subItem > kVolumeSubItems) return QString();
    return entries_[index].subItems[size_t(subItem - 1)];
}

void VolumeMemory::SetSubItem(int index, int subItem, const QString& text) {
    if (index < 0 || index >= Count() || subItem < 1 || subItem > kVolumeSubItems) return;
    entries_[index].subItems[size_t(subItem - 1)] = text;
}

void VolumeMemory::Clear() {
    entries_.clear();
    index_.clear();
    tailFile_.clear();
    tailOffset_ = -1;
    readFailed_ = false;
}

void VolumeMemory::Load(const QString& file) {
    LineReader reader(file);
    LoadLines(reader, file);
}

void VolumeMemory::LoadBytes(const QByteArray& bytes) {
    LineReader reader(bytes);
    LoadLines(reader, QString());
}

void VolumeMemory::LoadLines(LineReader& reader, const QString& file) {
    if (!reader.IsOpen()) return;
    int current = 1; // 1-based entry the numbered lines go to
    QByteArray bytes;
    qint64 lineStart = 0;
    while (reader.NextBytes(bytes)) {
        const bool cut = bytes.size() >= playlists::kMaxLineBytes;
        const qint64 start = lineStart;
        lineStart = reader.Offset();
        if (bytes.isEmpty() || bytes[0] == '@' || cut) continue; // an over-long line is damage, not a path
        const char c = bytes[0];
        const QString text =
            bytes.size() > 2 ? reader.Decode(bytes.constData() + 2, bytes.size() - 2) : QString();
        if (c == '0') {
            if (Count() >= kMaxVolumeEntries) {
                tailFile_ = file;
                tailOffset_ = start;
                // Without a file the rest cannot be carried over on save: nothing may be saved.
                if (file.isEmpty()) readFailed_ = true;
                break;
            }
            Add(text);
            current = Count();
        } else if (c >= '1' && c <= '9') {
            SetSubItem(current - 1, c - '0', text); // no such entry or sub-item: ignored
        }
    }
    if (reader.ReadFailed()) readFailed_ = true;
}

bool VolumeMemory::EncodeEntries(const std::function<bool(const std::string&)>& write,
                                 qint64* written) const {
    const bool prune = Count() > kKeepEveryEntryUpTo;
    std::string block;
    block.reserve(1 << 16);
    static const char* const kPrefixes[kVolumeSubItems] = {"1:", "2:", "3:"};
    *written = 0;
    for (const VolumeEntry& e : entries_) {
        if (e.path.isEmpty()) continue;
        if (prune && !platform::FileExists(e.path)) continue;
        block.append("0:", 2);
        AppendUtf8(block, e.path);
        block.append("\r\n", 2);
        for (int j = 0; j < kVolumeSubItems; ++j) {
            block.append(kPrefixes[j], 2);
            AppendUtf8(block, e.subItems[size_t(j)]);
            block.append("\r\n", 2);
        }
        block.append("@\r\n", 3);
        if (block.size() >= (1 << 16)) {
            if (!write(block)) return false;
            *written += qint64(block.size());
            block.clear();
        }
    }
    if (!write(block)) return false;
    *written += qint64(block.size());
    return true;
}

std::optional<QByteArray> VolumeMemory::SaveBytes() const {
    if (readFailed_ || tailOffset_ >= 0) return std::nullopt;
    QByteArray out;
    qint64 written = 0;
    EncodeEntries(
        [&out](const std::string& block) {
            out.append(block.data(), qsizetype(block.size()));
            return true;
        },
        &written);
    return out;
}

bool VolumeMemory::Save(const QString& file) const {
    // What a failed read did not deliver cannot be written back; the old file stays.
    if (readFailed_) return false;
    AtomicFileWriter out(file);
    if (!out.IsOpen()) return false;
    qint64 written = 0;
    if (!EncodeEntries([&out](const std::string& block) { return out.Write(block); }, &written)) return false;
    if (tailOffset_ >= 0) {
        // The part of a huge file that was never loaded goes over unchanged.
        const int fd = ::open(tailFile_.toUtf8().constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::lseek(fd, tailOffset_, SEEK_SET) < 0) {
            if (fd >= 0) ::close(fd);
            return false;
        }
        std::string buffer(1 << 20, '\0');
        bool ok = true;
        for (;;) {
            ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n < 0) ok = false;
            if (n <= 0) break;
            if (!out.Write(buffer.data(), size_t(n))) {
                ok = false;
                break;
            }
        }
        ::close(fd);
        if (!ok) return false;
    }
    if (!out.Commit(false)) return false;
    if (tailOffset_ >= 0) {
        tailFile_ = file;
        tailOffset_ = written;
    }
    return true;
}

} // namespace kv::display
