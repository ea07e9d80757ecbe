#include "common/window_shape.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

using namespace quenda;

TEST(WindowShape, CornersAreCutAndTheBodyStays)
{
    QWidget window;
    window.resize(300, 200);
    applyRoundedShape(&window);
    const QRegion mask = window.mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(299, 199)));
    EXPECT_TRUE(mask.contains(QPoint(150, 100)));
    EXPECT_TRUE(mask.contains(QPoint(150, 1)));
    // A maximized window is not moved; an ordinary one asks the platform and keeps its size.
    dragWindow(&window);
    EXPECT_EQ(window.size(), QSize(300, 200));
}
