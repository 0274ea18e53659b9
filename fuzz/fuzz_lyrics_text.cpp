// How a lyrics file becomes lines: the whole file decoded as UTF-8 or CP932, then split.
// Valid UTF-8 must come back byte for byte; nothing else may be lost or invented.
#include "fuzz_input_file.h"
#include "platform/text_codec.h"

using namespace kv::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = DecodeText(bytes);
    const QStringList lines = SplitLines(text);
    qsizetype chars = 0;
    for (const QString& line : lines) {
        kvfuzz::Require(!line.contains(u'\n') && !line.contains(u'\r'), "line end left inside a line");
        chars += line.size();
    }
    kvfuzz::Require(chars <= text.size(), "lines longer than the text");
    const std::string_view view(bytes.constData(), size_t(bytes.size()));
    if (IsValidUtf8(view)) {
        const QByteArray expected = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
        kvfuzz::Require(text.toUtf8() == expected, "valid UTF-8 not kept byte for byte");
    } else {
        // CP932 gives at most one character per byte.
        kvfuzz::Require(text.size() <= bytes.size(), "more characters than bytes");
    }
    return 0;
}
