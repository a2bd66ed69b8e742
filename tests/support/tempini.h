#pragma once
// A settings file in a folder of its own, removed with the test.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

namespace trimlet::testing {

class TempIniFile {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("trimlet.ini")); }
    // Replaces the file's bytes.
    void put(const QByteArray& text) const {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // The file's bytes; empty when there is no file.
    QByteArray contents() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

}  // namespace trimlet::testing
