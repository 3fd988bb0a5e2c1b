// SPDX-License-Identifier: GPL-3.0-or-later
// Login and logout, over and over, against one recorder: every session's
// connection, heartbeat timers and callbacks must go with its logout. Now
// and then a login with a wrong password is refused on the way.
#include "SoakFixture.h"
#include "SoakOptions.h"

#include "device/CDeviceManage.h"

TEST_F(SoakTest, LoginLogoutCycles)
{
    const int cycles = soakOptions().loginCycles;
    soak("login / logout", cycles, [this](int cycle) {
        const std::uint32_t id = login();
        if (id == 0)
            return false;
        EXPECT_TRUE(CDeviceManage::instance().contains(id));
        pumpEvents();
        EXPECT_EQ(control->Logout(id), 0u);
        if (cycle % 10 == 0) {
            const QString refused = loginWith(QStringLiteral("wrong"));
            EXPECT_TRUE(refused.endsWith(QStringLiteral("_0")) && !refused.startsWith(QStringLiteral("00000000_")))
                << refused.toStdString();
        }
        EXPECT_EQ(CDeviceManage::instance().size(), 0u);
        pumpEvents();
        return !::testing::Test::HasFailure();
    });
    if (HasFailure())
        return;
    // Every cycle went over the wire.
    const QJsonObject status = recorderStatus();
    EXPECT_EQ(status.value(QStringLiteral("loginsTotal")).toInteger(), cycles);
    EXPECT_EQ(status.value(QStringLiteral("logoutsTotal")).toInteger(), cycles);
    EXPECT_EQ(status.value(QStringLiteral("loginFailures")).toInteger(), cycles / 10);
}
