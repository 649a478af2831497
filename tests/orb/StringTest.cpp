#include "orb/String.h"

#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <string>

using orb::String;

namespace {

std::wstring TextOf(const String& s) {
    return s.Text() ? std::wstring(s.Text()) : std::wstring(L"<null>");
}

}  // namespace

TEST(StringConstruction, EmptyAndNullTextHaveNoBuffer) {
    const wchar_t* nullText = nullptr;
    String fromEmpty(L""), fromNull(nullText), fromEmpty8(""), byDefault;
    for (const String* s : {&fromEmpty, &fromNull, &fromEmpty8, &byDefault}) {
        EXPECT_EQ(nullptr, s->Text());
        EXPECT_EQ(0u, s->Capacity());
        EXPECT_EQ(0, s->Length());
    }
    const char* null8 = nullptr;
    EXPECT_EQ(nullptr, String(null8).Text());
}

TEST(StringConstruction, EightBitBytesWidenToTheSameValue) {
    const String s("\xE9" "a\xFF");
    ASSERT_EQ(3, s.Length());
    EXPECT_EQ(0x00E9, s.Text()[0]);
    EXPECT_EQ(L'a', s.Text()[1]);
    EXPECT_EQ(0x00FF, s.Text()[2]);
    EXPECT_EQ(4u, s.Capacity());
}

TEST(StringConstruction, CopyKeepsTheBufferForm) {
    String empty;
    EXPECT_EQ(nullptr, String(empty).Text());
    String emptyText;
    emptyText.Assign(L"");
    const String copy(emptyText);
    ASSERT_NE(nullptr, copy.Text());
    EXPECT_EQ(1u, copy.Capacity());
    EXPECT_EQ(L"abc", TextOf(String(String(L"abc"))));
}

TEST(StringAssign, SizesExactlyAndClearsOnNull) {
    String s(L"longer text");
    EXPECT_TRUE(s.Assign(L""));
    ASSERT_NE(nullptr, s.Text());
    EXPECT_EQ(1u, s.Capacity());
    EXPECT_TRUE(s.Assign(L"abc"));
    EXPECT_EQ(4u, s.Capacity());
    EXPECT_TRUE(s.Assign(nullptr));
    EXPECT_EQ(nullptr, s.Text());
    EXPECT_EQ(0u, s.Capacity());
}

TEST(StringAssign, FromItsOwnBufferIsSafe) {
    String s(L"abcdef");
    s = s;
    EXPECT_EQ(L"abcdef", TextOf(s));
    s.Assign(s.Text() + 2);
    EXPECT_EQ(L"cdef", TextOf(s));
    EXPECT_EQ(5u, s.Capacity());
}

TEST(StringAssign, Numbers) {
    const struct { int number; const wchar_t* text; } cases[] = {
        {0, L"0"}, {7, L"7"}, {-1, L"-1"}, {2147483647, L"2147483647"},
        {INT_MIN, L"-2147483648"}, {3010, L"3010"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        String s;
        s = c.number;
        EXPECT_EQ(c.text, TextOf(s));
    }
}

TEST(StringFind, CasesOnAbc) {
    const String abc(L"abc");
    const struct { const wchar_t* needle; int start; int expected; } cases[] = {
        {L"", 0, 0}, {L"", 3, 3}, {L"b", 3, -1}, {L"b", 4, -1}, {L"b", -1, -1},
        {L"c", 1, 2}, {L"c", 2, 2}, {L"a", 0, 0}, {L"abc", 0, 0}, {L"abcd", 0, -1},
        {L"B", 0, -1}, {nullptr, 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "needle " << (c.needle ? c.needle : L"<null>")
                                        << " start " << c.start);
        EXPECT_EQ(c.expected, abc.Find(c.needle, c.start));
    }
}

TEST(StringFind, EmptyNeedleNeedsABuffer) {
    String noBuffer, emptyText;
    emptyText.Assign(L"");
    EXPECT_EQ(-1, noBuffer.Find(L"", 0));
    EXPECT_EQ(0, emptyText.Find(L"", 0));
}

TEST(StringFindNoCase, FoldsOnlyAsciiLetters) {
    const struct { const wchar_t* text; const wchar_t* needle; int start; int expected; } cases[] = {
        {L"xabcx", L"ABC", 0, 1},
        {L"xABCx", L"abc", 0, 1},
        {L"xabcx", L"abc", 2, -1},
        {L"\u00e9", L"\u00c9", 0, -1},
        {L"abc", L"", 0, -1},
        {L"", L"a", 0, -1},
        {L"Vardo 1.0.57.0", L"1.0.57.0", 0, 6},
        {L"/V\"x", L"/v\"", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " / " << c.needle);
        EXPECT_EQ(c.expected, String(c.text).FindNoCase(c.needle, c.start));
    }
    String emptyText;
    emptyText.Assign(L"");
    EXPECT_EQ(-1, emptyText.FindNoCase(L"", 0));
}

TEST(StringEdits, TruncateKeepRightReverse) {
    const struct { const wchar_t* text; char op; int arg; const wchar_t* expected; } cases[] = {
        {L"abc", 'T', -5, L""}, {L"abc", 'T', 3, L"abc"}, {L"abc", 'T', 10, L"abc"},
        {L"abc", 'T', 1, L"a"}, {L"abcde", 'K', 2, L"de"}, {L"abcde", 'K', -1, L""},
        {L"abcde", 'K', 5, L"abcde"}, {L"abcde", 'K', 9, L"abcde"}, {L"abc", 'R', 0, L"cba"},
        {L"ab", 'R', 0, L"ba"}, {L"a", 'R', 0, L"a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " " << c.op << " " << c.arg);
        String s(c.text);
        const size_t capacity = s.Capacity();
        if (c.op == 'T') s.Truncate(c.arg);
        if (c.op == 'K') s.KeepRight(c.arg);
        if (c.op == 'R') s.Reverse();
        EXPECT_EQ(c.expected, TextOf(s));
        EXPECT_EQ(capacity, s.Capacity()) << "in-place edits never reallocate";
    }
    String none;
    none.Reverse();
    none.Truncate(0);
    none.KeepRight(0);
    none.MakeUpper();
    EXPECT_EQ(nullptr, none.Text());
}

TEST(StringEdits, CaseMappingTouchesOnlyAsciiLetters) {
    String s(L"aZ\u00e9\u00c9-1");
    s.MakeUpper();
    EXPECT_EQ(L"AZ\u00e9\u00c9-1", TextOf(s));
    s.MakeLower();
    EXPECT_EQ(L"az\u00e9\u00c9-1", TextOf(s));
}

TEST(StringWritableBuffer, GrowsExactlyAndCuts) {
    String s(L"abcdef");
    const size_t capacity = s.Capacity();
    s.WritableBuffer(3);
    EXPECT_EQ(L"ab", TextOf(s));
    EXPECT_EQ(capacity, s.Capacity());

    String none;
    wchar_t* p = none.WritableBuffer(260);
    EXPECT_EQ(260u, none.Capacity());
    EXPECT_EQ(L'\0', p[259]);

    String grown(L"xy");
    grown.WritableBuffer(10);
    EXPECT_EQ(L"xy", TextOf(grown)) << "the old text survives growth";
    EXPECT_EQ(10u, grown.Capacity());

    String zero;
    zero.WritableBuffer(0);
    EXPECT_EQ(1u, zero.Capacity());
    EXPECT_EQ(L"", TextOf(zero));
}

TEST(StringFormat, FormatsAndKeepsOldTextOnEmptyResult) {
    String s(L"old");
    s.Format(L"%s", L"");
    EXPECT_EQ(L"old", TextOf(s));
    s.Format(L"%ld.%ld.%ld.%ld", 11L, 0L, 57L, 0L);
    EXPECT_EQ(L"11.0.57.0", TextOf(s));
    s.Format(L"%s\\%s", L"C:\\a", L"b");
    EXPECT_EQ(L"C:\\a\\b", TextOf(s));
}

TEST(StringFormat, StopsAtTheFormattersLimit) {
    const std::wstring longText(3000, L'x');
    String s;
    s.Format(L"%s", longText.c_str());
    EXPECT_EQ(1023, s.Length()) << "1,024 characters with the terminator";
}

TEST(StringConcatenation, JoinsWithoutTouchingOperands) {
    const String dir(L"C:\\dir");
    EXPECT_EQ(L"C:\\dir\\", TextOf(dir + L"\\"));
    EXPECT_EQ(L"C:\\dir", TextOf(dir));
    EXPECT_EQ(nullptr, (String() + L"").Text());
    EXPECT_EQ(nullptr, (String() + static_cast<const wchar_t*>(nullptr)).Text());
    EXPECT_EQ(nullptr, (String() + String()).Text());
    EXPECT_EQ(L"C:\\media\\\\vcredist_x86.exe /q", TextOf(String(L"C:\\media\\") + L"\\vcredist_x86.exe /q"));
    EXPECT_EQ(L"ab", TextOf(String(L"a") + String(L"b")));
    const std::wstring longPart(5000, L'p');
    EXPECT_EQ(10000, (String(longPart.c_str()) + longPart.c_str()).Length()) << "no length limit";
}
