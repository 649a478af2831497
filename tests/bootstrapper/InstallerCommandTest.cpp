#include "bootstrapper/InstallerCommand.h"

#include <gtest/gtest.h>

#include <string>

// The help box of "/?" returns at once here: the unit tests run without a display, where
// MessageBoxIndirectW fails instead of waiting (HelpBoxTest shows the box itself).

namespace {

std::wstring CommandFor(const wchar_t* commandLine) {
    orb::String command;
    BuildInstallerCommand(commandLine, &command);
    return command.Text() ? command.Text() : L"<null>";
}

std::wstring TextOf(const orb::String& s) {
    return s.Text() ? std::wstring(s.Text()) : std::wstring();
}

const std::wstring kInstall = L"msiexec /I \"Vardo(R) Tavi.msi\" ";
const std::wstring kUninstall = L"msiexec /X \"Vardo(R) Tavi.msi\" ";

}  // namespace

TEST(BuildInstallerCommand, TranslatesTheWorkedExamples) {
    const struct {
        const wchar_t* commandLine;
        std::wstring command;
    } cases[] = {
        {L"", kInstall},
        {L"/s /v/qn", kInstall + L"/qn "},
        {L"/s /v\"/qn REBOOT=ReallySuppress\"", kInstall + L"/qn REBOOT=ReallySuppress "},
        {L"/x", kUninstall},
        {L"/X /v/qn", kUninstall + L"/qn "},
        {L"/v\"A=1\" /v\"B=2\" /x", kUninstall + L"A=1 B=2 "},
        {L"/?", kInstall},
        {L"/v\"/qn /x", kInstall},
        {L"/v \"/qn\"", kInstall},
        {L"/xyz foo", kUninstall},
        {L"/s\t/x", kInstall},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "command line [" << c.commandLine << "]");
        EXPECT_EQ(c.command, CommandFor(c.commandLine));
    }
}

TEST(BuildInstallerCommand, EdgeCases) {
    const struct {
        const wchar_t* commandLine;
        std::wstring command;
    } cases[] = {
        // Blanks only, and runs of blanks between tokens.
        {L"     ", kInstall},
        {L"  /v/qn    /vA=1  ", kInstall + L"/qn A=1 "},
        // Either letter case selects a switch; the emitted switch is upper case.
        {L"/V/qn /X", kUninstall + L"/qn "},
        {L"/?help /vA=1", kInstall + L"A=1 "},
        // "/x" after the parameters still uninstalls, and the parameters stay in order.
        {L"/vC=3 /vA=1 /vB=2 /x", kUninstall + L"C=3 A=1 B=2 "},
        // Unknown tokens and an empty parameter pass nothing.
        {L"/q foo /v", kInstall},
        {L"/v\"\"", kInstall},
        // Runs of blanks inside quotes are kept.
        {L"/v\"A=1   B=2\"", kInstall + L"A=1   B=2 "},
        // A closing quote that is not the end of its piece loses the whole parameter.
        {L"/v\"/qn\"/x", kInstall},
        // The first piece that ends with a quote ends the parameter, even an inner quote;
        // the rest is scanned as tokens.
        {L"/v\"A=\"\"x\"\" /x\"", kUninstall + L"A=\"\"x\" "},
        // /v" and a blank: the opening quote ends its piece, so nothing is passed.
        {L"/v\" /qn\" /x", kUninstall},
        // Quotes inside an unquoted parameter are passed as they are.
        {L"/vPATH=\"C:\\x\"", kInstall + L"PATH=\"C:\\x\" "},
        // Bytes 128-255 of the widened command line pass unchanged.
        {L"/vNAME=\x00E9t\x00E9", kInstall + L"NAME=\x00E9t\x00E9 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "command line [" << c.commandLine << "]");
        EXPECT_EQ(c.command, CommandFor(c.commandLine));
    }
}

TEST(BuildInstallerCommand, NullCommandLineInstalls) {
    EXPECT_EQ(kInstall, CommandFor(nullptr));
}

TEST(BuildInstallerCommand, CarriesParametersLongerThanTheFormatLimitWhole) {
    const std::wstring longValue = L"A=" + std::wstring(3000, L'x');
    const std::wstring quoted = L"B=" + std::wstring(1500, L'y') + L" C=" + std::wstring(1500, L'z');
    std::wstring manyShort;
    std::wstring manyShortPassed;
    for (int i = 0; i < 400; ++i) {
        manyShort += L" /vP" + std::to_wstring(i) + L"=1";
        manyShortPassed += L"P" + std::to_wstring(i) + L"=1 ";
    }
    EXPECT_EQ(kInstall + longValue + L" ", CommandFor((L"/v" + longValue).c_str()));
    EXPECT_EQ(kUninstall + quoted + L" ", CommandFor((L"/x /v\"" + quoted + L"\"").c_str()));
    EXPECT_EQ(kInstall + manyShortPassed, CommandFor(manyShort.c_str()));
}

TEST(MeasureQuotedParameter, CountsThroughThePieceThatClosesTheQuote) {
    const struct {
        const wchar_t* text;
        int count;
    } cases[] = {
        {L"/v\"A=1\"", 7},
        {L"/v\"A=1\" /x", 7},
        {L"/v\"/qn REBOOT=ReallySuppress\" /x", 29},
        {L"/v\"A   B\" C", 9},
        {L"/v\" /qn", 3},
        {L"/v\"/qn /x", 9},
        {L"/v\"/qn /x   ", 12},
        {L"/v\"a\"b c\" d", 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "text [" << c.text << "]");
        EXPECT_EQ(c.count, MeasureQuotedParameter(c.text));
    }
}

TEST(StripParameterQuotes, RemovesOneEnclosingPair) {
    const struct {
        const wchar_t* token;
        const wchar_t* parameter;
    } cases[] = {
        {L"/v/qn", L"/qn"},
        {L"/VA=1", L"A=1"},
        {L"/v\"A=1\"", L"A=1"},
        {L"/v\"\"A=1\"\"", L"\"A=1\""},
        {L"/v\"/qn /x", L""},
        {L"/v\"", L""},
        {L"/v", L""},
        {L"/vA=\"1\"", L"A=\"1\""},
        {L"/vA=1\"", L"A=1\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "token [" << c.token << "]");
        orb::String token(c.token);
        StripParameterQuotes(&token);
        EXPECT_EQ(std::wstring(c.parameter), TextOf(token));
    }
}
