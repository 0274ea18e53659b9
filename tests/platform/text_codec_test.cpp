// Decoding text files: a byte-order mark is dropped only where a file begins.
#include "platform/text_codec.h"

#include <gtest/gtest.h>

using namespace kv::platform;

TEST(TextCodec, ByteOrderMarksAreContentExceptAtTheStartOfAFile) {
    const QString mark(QChar(0xFEFF));
    struct Case {
        QByteArray bytes;
        QString file; // DecodeText: a whole file
        QString part; // Utf8ToString: a line or a value inside one
    };
    const Case cases[] = {
        {"\xEF\xBB\xBF"
         "a",
         "a", mark + "a"},
        {"\xEF\xBB\xBF\xEF\xBB\xBF"
         "a",
         mark + "a", mark + mark + "a"},
        {"a\xEF\xBB\xBF", "a" + mark, "a" + mark},
        {"\xE3\x81\x82", QString::fromUtf8("\xE3\x81\x82"), QString::fromUtf8("\xE3\x81\x82")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeText(c.bytes), c.file) << c.bytes.toHex().toStdString();
        EXPECT_EQ(Utf8ToString(std::string_view(c.bytes.constData(), size_t(c.bytes.size()))), c.part)
            << c.bytes.toHex().toStdString();
    }
}
