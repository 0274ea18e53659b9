// The list file reader (".kvt" and working copies) on arbitrary bytes. A list read without loss
// must survive being written back and read again unchanged. Built twice: on the contents in
// memory, and (KVFUZZ_ON_DISK) through files as the program reads and writes them.
#include "fuzz_input_file.h"
#include "playlists/list_files.h"

using namespace kv::playlists;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#if KVFUZZ_ON_DISK
    const std::string path = kvfuzz::WriteInput("in.kvt", data, size);
    if (path.empty()) return 0;
    const ListReadResult first = ReadListFile(QString::fromStdString(path), false);
#else
    const ListReadResult first = ReadListBytes(kvfuzz::Bytes(data, size), false);
#endif
    kvfuzz::Require(first.opened, "list file not opened");
    if (first.lossy) return 0;
#if KVFUZZ_ON_DISK
    const QString again = QString::fromStdString(kvfuzz::PathOf("again.kvt"));
    kvfuzz::Require(WriteListFile(again, first.rows, false), "list not written");
    const ListReadResult second = ReadListFile(again, false);
#else
    std::string written;
    EncodeListRecords(first.rows, written);
    const ListReadResult second = ReadListBytes(kvfuzz::Bytes(written), false);
#endif
    kvfuzz::Require(!second.lossy && second.rows.size() == first.rows.size(), "rows lost on a round trip");
    for (qsizetype i = 0; i < first.rows.size(); ++i)
        kvfuzz::Require(first.rows[i].SameColumns(second.rows[i]), "row changed on a round trip");
    return 0;
}
