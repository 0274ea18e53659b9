// The MIDI title reader (first text or track-name event) on arbitrary bytes.
#include "fuzz_input_file.h"
#include "playlists/track_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = kvfuzz::WriteInput("in.mid", data, size);
    if (path.empty()) return 0;
    const QString title = kv::playlists::ReadMidiTitle(QString::fromStdString(path));
    kvfuzz::Require(title.size() <= qsizetype(size), "title longer than the file");
    return 0;
}
