// The private-profile file: reading, writing around foreign lines, the location rule and
// the atomic replacement.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>
#include <csignal>
#include <functional>

#include "settings/inifile.h"
#include "support/fullfs.h"
#include "support/tempini.h"

namespace trimlet {
namespace {

class IniFileTest : public ::testing::Test, protected testing::TempIniFile {
protected:
    QString read(const char* section, const char* key, const char* def = "DEF") const {
        return ReadIniValue(QString::fromUtf8(section), QString::fromUtf8(key),
                            QString::fromUtf8(def), path());
    }
    bool write(const char* section, const char* key, const char* value) const {
        return WriteIniValue(QString::fromUtf8(section), QString::fromUtf8(key),
                             QString::fromUtf8(value), path());
    }
};

TEST_F(IniFileTest, MissingFileGivesTheDefaults) {
    EXPECT_EQ(read("Wait", "Capture", "1000"), QStringLiteral("1000"));
    EXPECT_EQ(read("Window", "Width", " 6375"), QStringLiteral(" 6375"));
    EXPECT_EQ(ReadIniValue("Wait", "Capture", "1000", QString()), QStringLiteral("1000"));
}

TEST_F(IniFileTest, ReadTable) {
    put("; a comment=not a key\n"
        "top=outside any section\n"
        "[Window]\n"
        "  Left =  1500  \n"
        "Top=\t1200\t\n"
        "Width=\n"
        "Height= 6000\n"
        "WindowState=2\n"
        "Bare\n"
        "[wait]\n"
        "CAPTURE=2000\n"
        "Capture=3000\n"
        "[Window]\n"
        "Extra=from the second copy\n");
    struct Row {
        const char* section;
        const char* key;
        const char* expected;
    } rows[] = {
        {"Window", "Left", "1500"},        // blanks around key and value do not count
        {"Window", "Top", "1200"},         // tabs neither
        {"Window", "Width", ""},           // empty value: the empty text, not the default
        {"Window", "Height", "6000"},      // leading blank of the value dropped
        {"WINDOW", "windowstate", "2"},    // names compare without letter case
        {" Window ", " Left ", "1500"},    // blanks around the asked names do not count
        {"Wait", "Capture", "2000"},       // the first of two equal keys
        {"Window", "Bare", "DEF"},         // a line without "=" is no key
        {"Window", "Extra", "DEF"},        // only the first section of a name counts
        {"Window", "Missing", "DEF"},      // missing key
        {"Nowhere", "Left", "DEF"},        // missing section
        {"Window", "; a comment", "DEF"},  // comments are not keys
        {"", "top", "DEF"},                // lines before the first section belong to none
    };
    for (const Row& r : rows)
        EXPECT_EQ(read(r.section, r.key), QString::fromUtf8(r.expected))
            << r.section << "/" << r.key;
}

TEST_F(IniFileTest, LongValuesAreCutTo1023Bytes) {
    const QByteArray longValue(1500, 'x');
    put("[S]\nk=" + longValue + "\n");
    EXPECT_EQ(read("S", "k").size(), 1023);
    EXPECT_TRUE(write("S", "k", QByteArray(1023, 'y').constData()));
    EXPECT_EQ(read("S", "k").size(), 1023);
    // A default that long is cut as well.
    EXPECT_EQ(read("S", "none", longValue.constData()).size(), 1023);
    // A character of several bytes is not cut in two: 511 "é" (2 bytes each) is 1022 bytes.
    const QString accents(600, QChar(0xE9));
    EXPECT_TRUE(WriteIniValue("S", "k", accents, path()));
    EXPECT_EQ(read("S", "k"), QString(511, QChar(0xE9)));
}

TEST_F(IniFileTest, NewFileGetsSectionsAndKeysInWritingOrder) {
    EXPECT_TRUE(write("Window", "Left", " 0"));
    EXPECT_TRUE(write("Window", "Top", " 0"));
    EXPECT_TRUE(write("Wait", "Capture", "1000"));
    EXPECT_TRUE(write("Window", "Width", " 6375"));
    EXPECT_EQ(contents(), QByteArray("[Window]\nLeft= 0\nTop= 0\nWidth= 6375\n"
                                     "[Wait]\nCapture=1000\n"));
    EXPECT_EQ(read("Window", "Left", "x"), QStringLiteral("0"));
}

TEST_F(IniFileTest, WritingKeepsForeignLinesInPlace) {
    put("; settings\r\n"
        "[Window]\r\n"
        "left=1\r\n"
        "Colour=red\r\n"
        "\r\n"
        "[Other]\r\n"
        "Key=keep\r\n"
        "[Wait]\r\n"
        "Capture=500\r\n");
    EXPECT_TRUE(write("WINDOW", "Left", "2"));      // replaced in place
    EXPECT_TRUE(write("Window", "Top", "3"));       // new key: end of its section
    EXPECT_TRUE(write("Wait", "Capture", "2000"));  // the last section's key
    EXPECT_TRUE(write("New", "Key", "v"));          // new section: end of the file
    EXPECT_EQ(contents(), QByteArray("; settings\r\n"
                                     "[Window]\r\n"
                                     "left=2\r\n"
                                     "Colour=red\r\n"
                                     "Top=3\r\n"
                                     "\r\n"
                                     "[Other]\r\n"
                                     "Key=keep\r\n"
                                     "[Wait]\r\n"
                                     "Capture=2000\r\n"
                                     "[New]\r\n"
                                     "Key=v\r\n"));
}

TEST_F(IniFileTest, WritesThatWouldBreakTheFormatAreRefused) {
    put("[A]\nk=1\n");
    EXPECT_FALSE(write("A", "k", "two\nlines"));
    EXPECT_FALSE(write("A", "k=x", "1"));
    EXPECT_FALSE(write("A]", "k", "1"));
    EXPECT_FALSE(write("", "k", "1"));
    EXPECT_FALSE(WriteIniValue("A", "k", "1", QString()));
    EXPECT_EQ(contents(), QByteArray("[A]\nk=1\n"));
}

TEST_F(IniFileTest, AFailedWriteLeavesThePreviousFile) {
    const QByteArray before("[Wait]\nCapture=2000\nOther=keep\n");
    put(before);
    // A disk that fills up during the write: files may not grow beyond 200 bytes.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 200;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = write("Wait", "Capture", QByteArray(500, '9').constData());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_FALSE(written);
    EXPECT_EQ(contents(), before);
    // No half-written replacement is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("trimlet.ini")});
}

TEST_F(IniFileTest, AnUnreadableFileIsNotReplaced) {
    put("[Wait]\nCapture=2000\nOther=keep\n");
    QFile::setPermissions(path(), QFileDevice::WriteOwner);
    if (QFile(path()).open(QIODevice::ReadOnly))
        GTEST_SKIP() << "running with rights over every file";
    EXPECT_EQ(read("Wait", "Capture"), QStringLiteral("DEF"));
    EXPECT_FALSE(write("Wait", "Capture", "500"));
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(contents(), QByteArray("[Wait]\nCapture=2000\nOther=keep\n"));
}

TEST_F(IniFileTest, QuotedValuesReadWithoutTheirOuterQuotes) {
    put("[Wait]\n"
        "Capture=\"500\"\n"
        "Single='2000'\n"
        "Padded =  \" 3000 \"  \n"
        "Unmatched=\"500'\n"
        "Empty=\"\"\n"
        "One=\"\n"
        "Inner=a\"b\"c\n"
        "Bom=\xEF\xBB\xBFvalue\n");
    const struct {
        const char* key;
        const char* expected;
    } rows[] = {
        {"Capture", "500"}, {"Single", "2000"}, {"Padded", " 3000 "}, {"Unmatched", "\"500'"},
        {"Empty", ""},      {"One", "\""},      {"Inner", "a\"b\"c"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(read("Wait", r.key), QString::fromUtf8(r.expected)) << r.key;
    // A value may start with U+FEFF: it reads back whole.
    EXPECT_EQ(read("Wait", "Bom"), QChar(0xFEFF) + QStringLiteral("value"));
}

TEST_F(IniFileTest, EveryLineEndStyleReadsAndIsKeptOnWrite) {
    for (const char* endText : {"\n", "\r\n", "\r"}) {
        const QByteArray end(endText);
        SCOPED_TRACE(end.toHex().toStdString());
        put("[Window]" + end + "Left=1500" + end + "[Wait]" + end + "Capture=2000" + end);
        EXPECT_EQ(read("Window", "Left"), QStringLiteral("1500"));
        EXPECT_EQ(read("Wait", "Capture"), QStringLiteral("2000"));
        EXPECT_TRUE(write("Wait", "Capture", "500"));
        EXPECT_TRUE(write("Wait", "New", "x"));
        EXPECT_EQ(contents(), "[Window]" + end + "Left=1500" + end + "[Wait]" + end +
                                  "Capture=500" + end + "New=x" + end);
    }
}

// What may stand where the settings file should be, and how each is treated.
TEST_F(IniFileTest, OnlyAPlainFileOfSaneSizeIsReadAndOnlyAPlainFileIsWritten) {
    const QByteArray file = QFile::encodeName(path());
    const QString target = dir.filePath("elsewhere.ini");
    const QByteArray elsewhere = "[Wait]\nCapture=2000\n";
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(elsewhere);
    }
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* expectedRead;
    } cases[] = {
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(file.constData(), 0600), 0); }, "DEF"},
        {"a link to /dev/zero", [&] { ASSERT_EQ(::symlink("/dev/zero", file.constData()), 0); },
         "DEF"},
        {"a folder", [&] { ASSERT_EQ(::mkdir(file.constData(), 0700), 0); }, "DEF"},
        {"a file past the size cap",
         [&] {
             put("[Wait]\nCapture=2000\n");
             ASSERT_EQ(::truncate(file.constData(), kIniFileMaxBytes + 1), 0);
         },
         "DEF"},
        {"a link to a plain file",
         [&] { ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), file.constData()), 0); },
         "2000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::unlink(file.constData());
        ::rmdir(file.constData());
        c.make();
        struct stat before {};
        ASSERT_EQ(::lstat(file.constData(), &before), 0);
        EXPECT_EQ(read("Wait", "Capture"), QString::fromUtf8(c.expectedRead));
        EXPECT_FALSE(write("Wait", "Capture", "500"));
        struct stat after {};
        ASSERT_EQ(::lstat(file.constData(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_size, before.st_size);
    }
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), elsewhere);
}

TEST_F(IniFileTest, AFullDiskLeavesThePreviousSettings) {
    testing::SmallFilesystem fs(256 << 10);
    if (!fs.ready()) GTEST_SKIP() << fs.whyNot();
    const QString ini = fs.path("trimlet.ini");
    ASSERT_TRUE(WriteIniValue("Wait", "Capture", "2000", ini));
    const QByteArray before = [&] {
        QFile f(ini);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ASSERT_TRUE(fs.fillLeaving(0));
    EXPECT_FALSE(WriteIniValue("Wait", "Capture", QString(5000, QLatin1Char('9')), ini));
    EXPECT_EQ(ReadIniValue("Wait", "Capture", "x", ini), QStringLiteral("2000"));
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(fs.files(), QStringList{"trimlet.ini"});
}

TEST_F(IniFileTest, TheFolderOfANewFileIsCreated) {
    const QString nested = dir.filePath(QStringLiteral("config/trimlet/trimlet.ini"));
    EXPECT_TRUE(WriteIniValue("Wait", "Capture", "1000", nested));
    EXPECT_EQ(ReadIniValue("Wait", "Capture", "x", nested), QStringLiteral("1000"));
}

TEST(SettingsFilePath, BesideTheExecutableWhenThatFolderIsWritable) {
    QTemporaryDir exe;
    QTemporaryDir config;
    EXPECT_EQ(SettingsFilePath(exe.path(), config.path()), exe.filePath("trimlet.ini"));
    // A folder that cannot be written (the system's folder of an installed program).
    QTemporaryDir locked;
    QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QString unwritable = locked.path();
    if (QFileInfo(unwritable).isWritable()) unwritable = QStringLiteral("/proc/self");
    if (!QFileInfo(unwritable).isWritable())
        EXPECT_EQ(SettingsFilePath(unwritable, config.path()), config.filePath("trimlet.ini"));
    else
        ADD_FAILURE() << "no unwritable folder to try";
    QFile::setPermissions(locked.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(SettingsFilePath(exe.filePath("gone"), config.path()),
              config.filePath("trimlet.ini"));
    EXPECT_EQ(SettingsFilePath(QString(), config.path()), config.filePath("trimlet.ini"));
    // The system's program folders, even where this user (root) may write them.
    for (const char* system : {"/usr/bin", "/usr/local/bin", "/bin", "/usr/bin/"})
        EXPECT_EQ(SettingsFilePath(QString::fromLatin1(system), config.path()),
                  config.filePath("trimlet.ini"))
            << system;
}

}  // namespace
}  // namespace trimlet
