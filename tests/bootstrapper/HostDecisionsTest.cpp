#include "bootstrapper/HostDecisions.h"

#include <gtest/gtest.h>
#include <wbemcli.h>

#include <string>

namespace {

std::wstring TextOrNone(const wchar_t* text) {
    return text ? std::wstring(text) : std::wstring(L"<none>");
}

}  // namespace

TEST(ArchitectureDecision, FromQueryResultAndArchitectureText) {
    const struct {
        HRESULT query;
        const wchar_t* architecture;  // null: never read (an empty String)
        bool is64Bit;
        const wchar_t* debuggerText;
    } cases[] = {
        {S_OK, L"32-bit", false, L"32Bit OS"},
        {S_OK, L"32", false, L"32Bit OS"},
        {S_OK, L"64-bit", true, L"64Bit OS"},
        {S_OK, L"ARM 64-bit Processor", true, L"64Bit OS"},
        {S_OK, L" 32-bit", true, L"64Bit OS"},   // "32" must open the text
        {S_OK, L"3", true, L"64Bit OS"},
        {S_OK, L"", true, L"64Bit OS"},           // no instance, or the class lacks the property
        {S_OK, nullptr, true, L"64Bit OS"},
        {S_FALSE, L"32-bit", false, L"32Bit OS"}, // a non-negative result counts as success
        {static_cast<HRESULT>(WBEM_E_NOT_FOUND), nullptr, true, nullptr},
        {RPC_E_CHANGED_MODE, L"32-bit", true, nullptr},
        {E_ACCESSDENIED, nullptr, true, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.query << " "
                                          << TextOrNone(c.architecture).c_str());
        const orb::String architecture(c.architecture);
        const ArchitectureAnswer answer = DecideArchitecture(c.query, architecture);
        EXPECT_EQ(c.is64Bit, answer.is64Bit);
        EXPECT_EQ(TextOrNone(c.debuggerText), TextOrNone(answer.debuggerText));
    }
}

namespace {

int g_listedCalls, g_verifiedCalls;
bool g_listedAnswer, g_verifiedAnswer;
bool SuiteListed() { ++g_listedCalls; return g_listedAnswer; }
bool SuiteVerified() { ++g_verifiedCalls; return g_verifiedAnswer; }

}  // namespace

TEST(TerminalHostDecision, FromVersionAndTheProbeItCallsFor) {
    enum Probe { None, Listed, Verified };
    const struct {
        const char* name;
        DWORD version;
        Probe asked;
    } cases[] = {
        {"Windows 95", 0xC3B60004, None},
        {"Windows 98", 0xC0000A04, None},
        {"Windows Me", 0xC0005A04, None},
        {"NT 3.51", 0x04213303, Listed},
        {"NT 4.0", 0x05650004, Listed},
        {"Windows 2000", 0x08930005, Verified},
        {"Windows 7", 0x1DB10106, Verified},
        {"Windows 10", 0x4A64000A, Verified},
    };
    for (const auto& c : cases) {
        for (const bool answer : {false, true}) {
            SCOPED_TRACE(::testing::Message() << c.name << " probe answers " << answer);
            g_listedCalls = g_verifiedCalls = 0;
            g_listedAnswer = g_verifiedAnswer = answer;
            EXPECT_EQ(c.asked != None && answer, DecideTerminalHost(c.version, SuiteListed, SuiteVerified));
            EXPECT_EQ(c.asked == Listed ? 1 : 0, g_listedCalls);
            EXPECT_EQ(c.asked == Verified ? 1 : 0, g_verifiedCalls);
        }
    }
}

TEST(ProductSuiteList, FindsTheExactEntryAmongOthers) {
    using namespace std::string_literals;
    const struct {
        const char* name;
        std::string block;  // a REG_MULTI_SZ block, terminators included
        bool found;
    } cases[] = {
        {"alone", "Terminal Server\0\0"s, true},
        {"among others", "Small Business\0Terminal Server\0Enterprise\0\0"s, true},
        {"last", "Enterprise\0Small Business\0Terminal Server\0\0"s, true},
        {"other case", "Small Business\0terminal server\0\0"s, false},
        {"upper case", "TERMINAL SERVER\0\0"s, false},
        {"prefix only", "Terminal Server Restricted\0Terminal\0\0"s, false},
        {"trailing blank", "Terminal Server \0\0"s, false},
        {"after the end", "Enterprise\0\0Terminal Server\0\0"s, false},
        {"empty list", "\0\0"s, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.found, SuiteListContains(c.block.data(), "Terminal Server"));
    }
}
