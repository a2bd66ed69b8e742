// The settings file: any bytes as the file, then one value written. Oracles: a written
// value reads back as written, and every other line of the file stays, in order.
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "settings/inifile.h"

namespace {

std::vector<QByteArray> Lines(const QByteArray& data) {
    std::vector<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (data[i] != '\n' && data[i] != '\r') continue;
        lines.push_back(data.mid(start, i - start));
        if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < data.size()) lines.push_back(data.mid(start));
    return lines;
}

QByteArray Trimmed(QByteArray s) {
    while (!s.isEmpty() && (s.front() == ' ' || s.front() == '\t')) s.remove(0, 1);
    while (!s.isEmpty() && (s.back() == ' ' || s.back() == '\t')) s.chop(1);
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trimlet;
    static const QString path =
        QDir::tempPath() + "/trimlet-fuzz-" + QString::number(::getpid()) + "/trimlet.ini";
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype split = input.indexOf('\0');
    const QByteArray file = split < 0 ? input : input.left(split);
    const QByteArray rest = split < 0 ? QByteArray() : input.mid(split + 1);
    const char* sections[] = {"Window", "Wait", "x"};
    const char* keys[] = {"Left", "Capture", "k"};
    const QString section = sections[rest.isEmpty() ? 0 : quint8(rest[0]) % 3];
    const QString key = keys[rest.size() < 2 ? 1 : quint8(rest[1]) % 3];
    const QString value = QString::fromUtf8(rest.mid(2));

    QDir().mkpath(QFileInfo(path).absolutePath());
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(file) != file.size()) std::abort();
    }
    (void)ReadIniValue(section, key, "default", path);
    if (!WriteIniValue(section, key, value, path)) return 0;

    // Read back: the value as stored, trimmed, outer quotes dropped, cut to the limit.
    QByteArray expected = Trimmed(value.toUtf8());
    if (expected.size() >= 2 && (expected.front() == '"' || expected.front() == '\'') &&
        expected.back() == expected.front())
        expected = expected.mid(1, expected.size() - 2);
    const QByteArray got = ReadIniValue(section, key, "default", path).toUtf8();
    if (expected.size() <= kIniValueMaxBytes && got != expected) std::abort();

    // Every old line is still there, in order, but for the one line that held the key.
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) std::abort();
    const std::vector<QByteArray> before = Lines(file);
    const std::vector<QByteArray> after = Lines(f.readAll());
    // A write changes one place: one line replaced, or lines inserted. So the old and new
    // lines share a prefix and a suffix that together hold all old lines but one at most.
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    if (prefix + suffix + 1 < before.size()) std::abort();
    return 0;
}
