#include "cleanup/GuidState.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/LogCapture.h"

namespace {

class GuidStateTest : public testing::Test {
protected:
    void SetUp() override { BadGuidList.clear(); }
    void TearDown() override { BadGuidList.clear(); }
};

}  // namespace

TEST_F(GuidStateTest, ListedIdIsSearchedInsideTheCandidate) {
    const struct { const wchar_t* listed; const wchar_t* candidate; bool added; } cases[] = {
        {L"00AB12", L"00ab12", false},    // same id, other letter case
        {L"00AB12", L"X00AB12Y", false},  // the listed id occurs inside the candidate
        {L"X00AB12Y", L"00AB12", true},   // only the candidate occurs inside the listed id
        {L"00AB12", L"00AB13", true},
        {L"00AB12", L"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.listed << " / " << c.candidate);
        BadGuidList.clear();
        ASSERT_TRUE(AddBadGuid(c.listed));
        EXPECT_EQ(c.added, AddBadGuid(c.candidate));
        EXPECT_EQ(c.added ? 2u : 1u, BadGuidList.size());
    }
}

TEST_F(GuidStateTest, GrowsPastTenInOrderWithoutAnOverrunLine) {
    tavi_test::LogCapture log;
    for (int i = 0; i < 25; ++i) {
        const std::wstring id = L"GUID" + std::to_wstring(1000 + i);
        EXPECT_TRUE(AddBadGuid(id.c_str())) << i;
    }
    ASSERT_EQ(25u, BadGuidList.size());
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(L"GUID" + std::to_wstring(1000 + i), std::wstring(BadGuidList[i].Text()));
    EXPECT_TRUE(IsGuidListed(L"xxGUID1024xx"));
    EXPECT_FALSE(AddBadGuid(L""));
    EXPECT_EQ(25u, BadGuidList.size());
    for (const std::string& message : log.NewMessages())
        EXPECT_EQ(std::string::npos, message.find("overrun")) << message;
}

TEST_F(GuidStateTest, EmptyCandidateIsNeverListed) {
    ASSERT_TRUE(AddBadGuid(L"ABC"));
    EXPECT_FALSE(IsGuidListed(L""));
    EXPECT_FALSE(IsGuidListed(nullptr));
    EXPECT_TRUE(IsGuidListed(L"zzabczz"));
}
