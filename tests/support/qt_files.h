// Reading and writing whole files in tests that work with Qt strings.
#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <string>

namespace kvtest {

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

// The file's bytes, or "<missing>" when it cannot be read.
inline QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void Put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace kvtest
