// The list file reader (".kvt" and working copies) on arbitrary bytes. A list read without loss
// must survive being written back and read again unchanged.
#include "fuzz_input_file.h"
#include "playlists/list_files.h"

using namespace kv::playlists;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = kvfuzz::WriteInput("in.kvt", data, size);
    if (path.empty()) return 0;
    const ListReadResult first = ReadListFile(QString::fromStdString(path), false);
    kvfuzz::Require(first.opened, "list file not opened");
    if (first.lossy) return 0;
    const QString again = QString::fromStdString(kvfuzz::PathOf("again.kvt"));
    kvfuzz::Require(WriteListFile(again, first.rows, false), "list not written");
    const ListReadResult second = ReadListFile(again, false);
    kvfuzz::Require(!second.lossy && second.rows.size() == first.rows.size(), "rows lost on a round trip");
    for (qsizetype i = 0; i < first.rows.size(); ++i)
        kvfuzz::Require(first.rows[i].SameColumns(second.rows[i]), "row changed on a round trip");
    return 0;
}
