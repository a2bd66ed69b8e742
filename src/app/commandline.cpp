#include "app/commandline.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "settings/inifile.h"

namespace trimlet {

StartRequest ReadStartRequest(const std::vector<std::string>& args) {
    if (args.size() != 1) return StartRequest::Run;
    if (args.front() == "--help") return StartRequest::Help;
    if (args.front() == "--version") return StartRequest::Version;
    return StartRequest::Run;
}

std::string UsageText(const QString& settingsFile) {
    const QString where = settingsFile.isEmpty() ? QStringLiteral("(なし)") : settingsFile;
    return QStringLiteral(
               "使い方: trimlet [画像ファイル]\n"
               "       trimlet --help | --version\n"
               "\n"
               "クリップボードの画像、画面キャプチャ、または画像ファイルを等倍で表示し、\n"
               "選んだ範囲を BMP・GIF・JPEG・PNG で保存します。\n"
               "\n"
               "  画像ファイル  起動時に読み込んでクリップボードにも置く画像 (BMP, GIF, JPEG, "
               "PNG,\n"
               "                WebP, TIFF, AVIF ほか)。引数全体で一つのパスです。\n"
               "  --help        この説明を表示して終了\n"
               "  --version     版数を表示して終了\n"
               "\n"
               "設定ファイル (ウィンドウの位置と大きさ、キャプチャの待ち時間):\n"
               "  %1\n")
        .arg(where)
        .toStdString();
}

std::string VersionText() { return "トリムレット (trimlet) " TRIMLET_VERSION "\n"; }

std::optional<std::string> AnswerWithoutStarting(int argc, const char* const* argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    switch (ReadStartRequest(args)) {
        case StartRequest::Help: {
            // The folders the running program would use; without an application object,
            // so taken from the kernel and the environment directly.
            const QString executable = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
            const QString configFolder =
                QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
            return UsageText(SettingsFilePath(
                QFileInfo(executable).absolutePath(),
                configFolder.isEmpty() ? QString() : QDir(configFolder).filePath("trimlet")));
        }
        case StartRequest::Version:
            return VersionText();
        case StartRequest::Run:
            break;
    }
    return std::nullopt;
}

}  // namespace trimlet
