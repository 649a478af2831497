#include <gtest/gtest.h>

#include <string>

#include "cleanup/ComponentSweep.h"
#include "cleanup/GuidState.h"
#include "cleanup/ProductSweep.h"
#include "tests/support/ForeignRegistrations.h"
#include "tests/support/SweepRegistry.h"

using tavi_test::kSweepKeyPaths;

namespace {

class ForeignRegistrationTest : public tavi_test::SweepRegistryTest {};

}  // namespace

TEST_F(ForeignRegistrationTest, AllStagesRemoveOnlyTheStaleProductsRegistrations) {
    ASSERT_NO_FATAL_FAILURE(tavi_test::WriteForeignFixture());
    const auto before = tavi_test::SnapshotForeignFixture();

    const orb::String appVersion(L"12.0.1.0");
    SweepUserDataProducts(appVersion);
    SweepClassesProducts();
    SweepUpgradeCodes(kSweepKeyPaths[2]);
    SweepUpgradeCodes(kSweepKeyPaths[3]);
    SweepComponents();
    SweepFeatures();
    SweepUninstall(kSweepKeyPaths[6], appVersion);
    SweepUninstall(kSweepKeyPaths[7], appVersion);

    EXPECT_TRUE(tavi_test::OnlyRemoved(before, tavi_test::SnapshotForeignFixture(),
                                       tavi_test::ForeignFixtureRemovals(true)));
    EXPECT_STREQ(tavi_test::kForeignFixtureCurrent, UsedInstallGuid.Text());
    for (const std::string& message : Messages())
        EXPECT_EQ(std::string::npos, message.find("Delete failed")) << message;
}
