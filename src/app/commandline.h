#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace trimlet {

// What a start asks for. The whole command line names one picture file, except the two
// texts "--help" and "--version" standing alone: "./--help" or "--help x" still name a
// file, as a file manager passes absolute paths and never these two texts.
enum class StartRequest { Run, Help, Version };

// args: the arguments after the program's name.
[[nodiscard]] StartRequest ReadStartRequest(const std::vector<std::string>& args);

// The usage text, naming the settings file this copy uses.
[[nodiscard]] std::string UsageText(const QString& settingsFile);
[[nodiscard]] std::string VersionText();

// For the very start of main(): the text to print on standard output before ending with
// status 0, or nothing when the program is to start. Looks at nothing but the arguments
// and, for the usage text, where the settings file would lie: no application object, no
// window, no clipboard, no settings read or written.
[[nodiscard]] std::optional<std::string> AnswerWithoutStarting(int argc, const char* const* argv);

}  // namespace trimlet
