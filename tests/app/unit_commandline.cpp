#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/commandline.h"

namespace trimlet {
namespace {

TEST(CommandLine, OnlyTheTwoTextsStandingAloneAreOptions) {
    struct Case {
        std::vector<std::string> args;
        StartRequest want;
    };
    const Case cases[] = {
        {{}, StartRequest::Run},
        {{"--help"}, StartRequest::Help},
        {{"--version"}, StartRequest::Version},
        {{"./--help"}, StartRequest::Run},  // a file of that name
        {{"/home/u/--version"}, StartRequest::Run},
        {{"--help", "x"}, StartRequest::Run},  // "--help x" names a file
        {{"--version", "--help"}, StartRequest::Run},
        {{"--help "}, StartRequest::Run},
        {{"", "--help"}, StartRequest::Run},
        {{"--HELP"}, StartRequest::Run},
        {{"-h"}, StartRequest::Run},
        {{"--"}, StartRequest::Run},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.args) shown += "[" + a + "]";
        EXPECT_EQ(ReadStartRequest(c.args), c.want) << shown;

        std::vector<const char*> argv{"trimlet"};
        for (const std::string& a : c.args) argv.push_back(a.c_str());
        const auto answer = AnswerWithoutStarting(int(argv.size()), argv.data());
        EXPECT_EQ(answer.has_value(), c.want != StartRequest::Run) << shown;
        if (answer && c.want == StartRequest::Help) {
            EXPECT_EQ(answer->rfind("使い方", 0), 0u) << *answer;
        }
        if (answer && c.want == StartRequest::Version) {
            EXPECT_EQ(*answer, VersionText());
        }
    }
}

TEST(CommandLine, TheUsageNamesTheFileArgumentAndTheSettingsFile) {
    const std::string usage = UsageText(QStringLiteral("/opt/trimlet/trimlet.ini"));
    EXPECT_NE(usage.find("trimlet [画像ファイル]"), std::string::npos) << usage;
    EXPECT_NE(usage.find("\n  /opt/trimlet/trimlet.ini\n"), std::string::npos) << usage;
    EXPECT_NE(VersionText().find(TRIMLET_TEST_VERSION), std::string::npos) << VersionText();
}

}  // namespace
}  // namespace trimlet
