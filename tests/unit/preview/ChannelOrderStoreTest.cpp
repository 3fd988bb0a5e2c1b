// SPDX-License-Identifier: GPL-3.0-or-later
// The grid's window order in the recorder's settings file.
#include "platform/Profile.h"
#include "preview/ChannelOrderStore.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace preview;

namespace {

class ChannelOrderFile : public ::testing::Test {
protected:
    std::string path() const { return (dir.path() + QStringLiteral("/10.0.0.5_80_config.ini")).toStdString(); }
    QString qpath() const { return QString::fromStdString(path()); }
    void write(const char* key, const char* value, const char* section = "PreviewChannelOrder")
    {
        ASSERT_TRUE(platform::writeProfileString(path(), section, key, value));
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(ChannelOrderFile, SavedOrderLoadsBackPerGrid)
{
    WindowOrder order = defaultWindowOrder();
    swapWindows(order, 0, 3);
    ASSERT_TRUE(saveChannelOrder(qpath(), false, order));
    EXPECT_EQ(platform::readProfileString(path(), "PreviewChannelOrder", "0"), "3");
    EXPECT_EQ(platform::readProfileString(path(), "PreviewChannelOrder", "15"), "15");

    WindowOrder preview = defaultWindowOrder();
    loadChannelOrder(qpath(), false, preview);
    EXPECT_EQ(preview, order);
    // The playback grid keeps its own section, untouched by the preview's.
    WindowOrder playback = defaultWindowOrder();
    loadChannelOrder(qpath(), true, playback);
    EXPECT_EQ(playback, defaultWindowOrder());
}

TEST_F(ChannelOrderFile, MissingOrBadValuesKeepTheirPositions)
{
    write("0", "1");
    write("1", "0");
    write("2", "99");    // out of range: position 2 keeps window 2
    write("3", "abc");   // not a number
    WindowOrder order = defaultWindowOrder();
    loadChannelOrder(qpath(), false, order);
    WindowOrder expected = defaultWindowOrder();
    std::swap(expected[0], expected[1]);
    EXPECT_EQ(order, expected);
}

TEST_F(ChannelOrderFile, AnOrderThatWouldLoseAWindowIsNotTaken)
{
    write("0", "5");  // window 5 twice, window 0 nowhere
    WindowOrder order = defaultWindowOrder();
    swapWindows(order, 7, 8);
    const WindowOrder before = order;
    loadChannelOrder(qpath(), false, order);
    EXPECT_EQ(order, before);
}

TEST_F(ChannelOrderFile, NoFileOrNoPathChangesNothing)
{
    WindowOrder order = defaultWindowOrder();
    swapWindows(order, 1, 2);
    const WindowOrder before = order;
    loadChannelOrder(qpath(), false, order);
    loadChannelOrder(QString(), false, order);
    EXPECT_EQ(order, before);
    EXPECT_FALSE(saveChannelOrder(QString(), false, order));
}
