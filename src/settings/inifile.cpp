#include "settings/inifile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <cerrno>
#include <optional>
#include <vector>

#include "common/atomicfile.h"

namespace trimlet {
namespace {

// The file cut into lines, without their line ends, and how to put it back together.
struct IniText {
    std::vector<QByteArray> lines;
    QByteArray lineEnd = "\n";
};

// Lines end with LF, CRLF or a lone CR; the file's first line end is the style its
// rewrite keeps.
IniText SplitLines(const QByteArray& data) {
    IniText text;
    bool styleSeen = false;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < data.size()) {
        const char c = data[i];
        if (c != '\n' && c != '\r') {
            ++i;
            continue;
        }
        const qsizetype endLength =
            (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ? 2 : 1;
        if (!styleSeen) {
            text.lineEnd = data.mid(i, endLength);
            styleSeen = true;
        }
        text.lines.push_back(data.mid(start, i - start));
        i += endLength;
        start = i;
    }
    if (start < data.size()) text.lines.push_back(data.mid(start));
    return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

QByteArray TrimBlanks(QByteArray s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.mid(b, e - b);
}

// A value in a matching pair of double or single quotes stands for what is between them.
QByteArray WithoutOuterQuotes(const QByteArray& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// UTF-8 to text, keeping a leading U+FEFF (QString::fromUtf8 would drop it: a value
// that starts with one would read back shorter than it was written).
QString FromUtf8(const QByteArray& utf8) {
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                    QStringDecoder::Flag::Stateless);
    return decode(utf8);
}

bool SameName(const QByteArray& stored, const QString& wanted) {
    return FromUtf8(stored).compare(wanted.trimmed(), Qt::CaseInsensitive) == 0;
}

// What one line of the file is.
struct LineKind {
    enum Kind { Other, Section, Key } kind = Other;
    QByteArray name;   // section or key name, trimmed
    QByteArray value;  // a key's value, trimmed
};

LineKind Classify(const QByteArray& raw, bool firstLine) {
    QByteArray line = raw;
    if (firstLine && line.startsWith("\xEF\xBB\xBF")) line.remove(0, 3);  // UTF-8 mark
    line = TrimBlanks(line);
    LineKind k;
    if (line.isEmpty() || line.startsWith(';') || line.startsWith('#')) return k;
    if (line.startsWith('[')) {
        qsizetype close = line.indexOf(']');
        if (close < 0) close = line.size();
        k.kind = LineKind::Section;
        k.name = TrimBlanks(line.mid(1, close - 1));
        return k;
    }
    // A line without "=" is no key: it stays in the file but reads as nothing.
    const qsizetype eq = line.indexOf('=');
    if (eq < 0) return k;
    k.kind = LineKind::Key;
    k.name = TrimBlanks(line.left(eq));
    k.value = WithoutOuterQuotes(TrimBlanks(line.mid(eq + 1)));
    return k;
}

// The first section with the given name: the index of its header line and the index
// one past its last line.
struct SectionSpan {
    std::size_t header = 0;
    std::size_t end = 0;
};

std::optional<SectionSpan> FindSection(const IniText& text, const QString& section) {
    for (std::size_t i = 0; i < text.lines.size(); ++i) {
        const LineKind k = Classify(text.lines[i], i == 0);
        if (k.kind != LineKind::Section || !SameName(k.name, section)) continue;
        std::size_t end = i + 1;
        while (end < text.lines.size() &&
               Classify(text.lines[end], false).kind != LineKind::Section)
            ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const IniText& text, const SectionSpan& span,
                                   const QString& key) {
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        const LineKind k = Classify(text.lines[i], false);
        if (k.kind == LineKind::Key && SameName(k.name, key)) return i;
    }
    return std::nullopt;
}

// The first 1023 bytes, without a character cut in two at the end.
QString CutToLimit(const QByteArray& utf8) {
    if (utf8.size() <= kIniValueMaxBytes) return FromUtf8(utf8);
    qsizetype n = kIniValueMaxBytes;
    // Back off over continuation bytes (10xxxxxx) to the start of the cut character.
    while (n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) --n;
    return FromUtf8(utf8.left(n));
}

// What stands at the settings file's path.
struct StoredFile {
    enum State { Missing, Plain, Refused } state = Missing;
    QByteArray data;
};

// Reads the settings file without ever blocking or reading without end: a FIFO, a
// device, a folder or a file beyond kIniFileMaxBytes is Refused. A link is followed for
// reading.
StoredFile ReadStoredFile(const QString& path) {
    StoredFile file;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        file.state = errno == ENOENT ? StoredFile::Missing : StoredFile::Refused;
        return file;
    }
    struct stat st {};
    file.state = StoredFile::Refused;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kIniFileMaxBytes) {
        // Read to the cap and one byte beyond, so a file that grows meanwhile is caught.
        QByteArray data(static_cast<qsizetype>(st.st_size) + 1, Qt::Uninitialized);
        qsizetype got = 0;
        bool failed = false;
        while (got < data.size()) {
            const ssize_t n =
                ::read(fd, data.data() + got, static_cast<std::size_t>(data.size() - got));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) failed = true;
            if (n <= 0) break;
            got += n;
        }
        if (!failed && got <= kIniFileMaxBytes && got <= st.st_size) {
            data.truncate(got);
            file.data = std::move(data);
            file.state = StoredFile::Plain;
        }
    }
    ::close(fd);
    return file;
}

bool IsLink(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool HasLineBreak(const QString& s) {
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
}

// A line break or an "=" in a name, or a line break in the value, would make lines that
// read back as something else.
bool IsWritable(const IniEntry& e) {
    return !e.section.trimmed().isEmpty() && !e.key.trimmed().isEmpty() &&
           !HasLineBreak(e.section) && !e.section.contains(QLatin1Char(']')) &&
           !HasLineBreak(e.key) && !e.key.contains(QLatin1Char('=')) && !HasLineBreak(e.value);
}

// Sets one key in the text: a key that is there keeps its spelling and its place; a new
// key goes after its section's last non-blank line, a new section at the end.
void SetValue(IniText& text, const IniEntry& e) {
    const QByteArray entry = e.key.trimmed().toUtf8() + '=' + e.value.toUtf8();
    const std::optional<SectionSpan> span = FindSection(text, e.section);
    if (!span) {
        text.lines.push_back('[' + e.section.trimmed().toUtf8() + ']');
        text.lines.push_back(entry);
        return;
    }
    if (const std::optional<std::size_t> line = FindKey(text, *span, e.key)) {
        text.lines[*line] = Classify(text.lines[*line], false).name + '=' + e.value.toUtf8();
        return;
    }
    // So a blank line that separates the section from the next one stays where it is.
    std::size_t at = span->end;
    while (at > span->header + 1 && TrimBlanks(text.lines[at - 1]).isEmpty()) --at;
    text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
}

}  // namespace

QString ReadIniValue(const QString& section, const QString& key, const QString& defaultValue,
                     const QString& path) {
    const QString fallback = CutToLimit(defaultValue.toUtf8());
    if (path.isEmpty()) return fallback;
    const StoredFile file = ReadStoredFile(path);
    if (file.state != StoredFile::Plain) return fallback;
    const IniText text = SplitLines(file.data);
    const std::optional<SectionSpan> span = FindSection(text, section);
    if (!span) return fallback;
    const std::optional<std::size_t> line = FindKey(text, *span, key);
    if (!line) return fallback;
    return CutToLimit(Classify(text.lines[*line], false).value);
}

bool WriteIniValue(const QString& section, const QString& key, const QString& value,
                   const QString& path) {
    return WriteIniValues({{section, key, value}}, path);
}

bool WriteIniValues(const std::vector<IniEntry>& entries, const QString& path) {
    if (path.isEmpty() || entries.empty()) return false;
    for (const IniEntry& e : entries)
        if (!IsWritable(e)) return false;

    // A file that is there but cannot be read, or is no plain file, is left alone rather
    // than replaced by one holding only these values. A link may point anywhere (another
    // program's file, a system file): it is read but never written through.
    const StoredFile existing = ReadStoredFile(path);
    if (existing.state == StoredFile::Refused || IsLink(path)) return false;
    IniText text = SplitLines(existing.data);
    for (const IniEntry& e : entries) SetValue(text, e);

    QByteArray data;
    for (const QByteArray& line : text.lines) data += line + text.lineEnd;

    const QFileInfo info(path);
    if (!info.absoluteDir().exists() && !QDir().mkpath(info.absolutePath())) return false;
    return WriteFileAtomically(path, data, LinkPolicy::Refuse);
}

QString SettingsFilePath(const QString& executableFolder, const QString& userConfigFolder) {
    const QFileInfo folder(executableFolder);
    const QString name = QString::fromLatin1(kSettingsFileName);
    // The folders installed programs live in belong to the system, even for a user who
    // may write there: the settings of a packaged copy never go into them.
    static const QStringList kSystemFolders = {
        QStringLiteral("/usr/bin"), QStringLiteral("/usr/local/bin"), QStringLiteral("/bin"),
        QStringLiteral("/usr/games")};
    const bool system = kSystemFolders.contains(QDir::cleanPath(executableFolder));
    if (!executableFolder.isEmpty() && !system && folder.isDir() && folder.isWritable())
        return QDir(executableFolder).filePath(name);
    if (userConfigFolder.isEmpty()) return QString();
    return QDir(userConfigFolder).filePath(name);
}

QString SettingsFilePath() {
    return SettingsFilePath(QCoreApplication::applicationDirPath(),
                            QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

}  // namespace trimlet
