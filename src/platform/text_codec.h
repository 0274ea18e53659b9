// Text files of the program are written in UTF-8 and read as UTF-8 when their bytes are valid
// UTF-8, otherwise as CP932 (files made on Japanese Windows). Nothing may be lost: bytes that
// are not CP932 either are kept as the Latin-1 character of the same value.
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string_view>

namespace kv::platform {

bool IsValidUtf8(std::string_view bytes);
// Valid UTF-8 to text, every character kept. QString::fromUtf8 drops a byte-order mark at the
// start of what it is given; inside a file (a line, a value) that character is content.
QString Utf8ToString(std::string_view bytes);
QString Cp932ToString(std::string_view bytes);
QString DecodeText(const QByteArray& bytes); // UTF-8 or CP932, a BOM dropped
QStringList SplitLines(const QString& text); // CR LF, LF or CR; no empty last line

} // namespace kv::platform
