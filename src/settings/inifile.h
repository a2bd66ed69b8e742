#pragma once

#include <QString>
#include <vector>

namespace trimlet {

// The private settings file: "[Section]" lines followed by "key=value" lines.
//
// Section and key names compare without regard to letter case, and blanks around a
// key or a value do not count. Comments, other sections and other keys stay where they
// are when a value is written. The file is UTF-8; the program itself writes only
// ASCII.

// The longest value ReadIniValue returns, in bytes of the file's encoding.
inline constexpr int kIniValueMaxBytes = 1023;

// The largest settings file that is read at all. A larger file, or anything that is not
// a plain file (a FIFO, a device, a folder), reads as absent and is never rewritten.
inline constexpr qint64 kIniFileMaxBytes = 16 * 1024 * 1024;

// The stored text of section/key in the file at path, or defaultValue when the file,
// the section or the key is missing. A key with nothing after "=" gives the empty text.
// The result (stored or default) is cut to its first 1023 bytes.
[[nodiscard]] QString ReadIniValue(const QString& section, const QString& key,
                                   const QString& defaultValue, const QString& path);

// Sets section/key to value in the file at path, creating the file, the section and the
// key as needed: a new key goes at the end of its section, a new section at the end of
// the file. The file is replaced as a whole or not at all, so a failed write leaves the
// previous file intact. False when nothing could be written.
[[nodiscard]] bool WriteIniValue(const QString& section, const QString& key, const QString& value,
                                 const QString& path);

// One value to write: section, key and value as WriteIniValue takes them.
struct IniEntry {
    QString section;
    QString key;
    QString value;
};

// Sets every entry, in order, as WriteIniValue would, and replaces the file once: it then
// holds all the new values or, on any failure, all the old ones. False, with nothing
// written, when an entry could not be written as a line of its own, or the file not
// replaced.
[[nodiscard]] bool WriteIniValues(const std::vector<IniEntry>& entries, const QString& path);

// Where the settings file lies: "trimlet.ini" in the executable's folder when that
// folder can be written, so a portable copy keeps its settings beside it; otherwise, and
// always for the system's program folders (/usr/bin and the like), "trimlet.ini" in the
// user's configuration folder, since an installed program's folder belongs to the system.
[[nodiscard]] QString SettingsFilePath(const QString& executableFolder,
                                       const QString& userConfigFolder);
// The same for this process: its executable's folder and its configuration folder.
[[nodiscard]] QString SettingsFilePath();

inline constexpr char kSettingsFileName[] = "trimlet.ini";

}  // namespace trimlet
