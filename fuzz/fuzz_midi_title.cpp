// The MIDI title reader (first text or track-name event) on arbitrary bytes in memory; the path
// entry only reads the file's head and size before it.
#include "fuzz_input_file.h"
#include "playlists/track_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString title = kv::playlists::ReadMidiTitle(kvfuzz::Bytes(data, size), qint64(size));
    kvfuzz::Require(title.size() <= qsizetype(size), "title longer than the file");
    return 0;
}
