// The version registry and release version strings.
#include "Version.h"

#include <gtest/gtest.h>

namespace {

const int kRegistered = ve::versionManager().regist("mod.a", [] { return 5; })
    + ve::versionManager().regist("mod.b.c", [] { return 2; })
    + ve::versionManager().regist("@0_mod", [] { return 3; })
    + ve::versionManager().regist("@1_mod", [] { return 1; })
    + ve::versionManager().regist("@2_mod", [] { return 4; })
    + ve::versionManager().regist("@3_mod", [] { return 7; })
    + ve::versionManager().regist("@5_mod", [] { return 9; });

} // namespace

TEST(VersionRegistry, ReleaseStringFromComponentsAndFirstRegistrationWins)
{
    EXPECT_EQ(kRegistered, 0);
    EXPECT_EQ(ve::ver("mod", false), 0);
    EXPECT_EQ(ve::ver("mod", true), 7);
    EXPECT_EQ(ve::ver("mod.b", true), 2);
    // v@1.@2.(ver(mod, recursive) - @0) then the extra components in order.
    EXPECT_EQ(ve::releaseVersionString("mod"), "v1.4.4.7.9");
    EXPECT_EQ(ve::releaseVersionString("nothing"), "v0.0.0");
    EXPECT_EQ(ve::ver("never.registered", true), 0);

    ve::versionManager().regist("ve.core", [] { return 100; });
    EXPECT_EQ(ve::ver("ve.core", false), 1);
    ve::versionManager().regist("empty.key", ve::VersionManager::Function());
    EXPECT_FALSE(ve::versionManager().contains("empty.key"));
}
