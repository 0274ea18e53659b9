// "volume.cfg" on arbitrary bytes: loading, then saving and loading again keeps every entry.
// Built twice: on the contents in memory, and (KVFUZZ_ON_DISK) through files.
#include "display/volume_memory.h"
#include "fuzz_input_file.h"

using namespace kv::display;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VolumeMemory first;
#if KVFUZZ_ON_DISK
    const std::string path = kvfuzz::WriteInput("volume.cfg", data, size);
    if (path.empty()) return 0;
    first.Load(QString::fromStdString(path));
#else
    first.LoadBytes(kvfuzz::Bytes(data, size));
#endif
    // Past this count entries of missing files are dropped on purpose.
    if (first.Count() > kKeepEveryEntryUpTo) return 0;
    VolumeMemory second;
#if KVFUZZ_ON_DISK
    const QString again = QString::fromStdString(kvfuzz::PathOf("again.cfg"));
    if (!first.Save(again)) return 0;
    second.Load(again);
#else
    const std::optional<QByteArray> saved = first.SaveBytes();
    if (!saved) return 0;
    second.LoadBytes(*saved);
#endif
    // Entries without a path are not saved: they can never be found again.
    int j = 0;
    for (int i = 0; i < first.Count(); ++i) {
        if (first.Entry(i).path.isEmpty()) continue;
        kvfuzz::Require(j < second.Count(), "entries lost on a round trip");
        kvfuzz::Require(first.Entry(i).path == second.Entry(j).path, "path changed on a round trip");
        for (int s = 1; s <= kVolumeSubItems; ++s)
            kvfuzz::Require(first.SubItem(i, s) == second.SubItem(j, s), "value changed on a round trip");
        ++j;
    }
    kvfuzz::Require(j == second.Count(), "entries invented on a round trip");
    return 0;
}
