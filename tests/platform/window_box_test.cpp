#include "platform/window_box.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

// A window stored at the screen's corner must show its caption there, not above the screen.
TEST(WindowBox, TheStoredCornerIsTheFramesAndTheSizeTheClientAreas) {
    QWidget window;
    kv::platform::PlaceWindow(window, QRect(0, 0, 300, 200));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(window.size(), QSize(300, 200));
    EXPECT_EQ(kv::platform::WindowBox(window), QRect(0, 0, 300, 200));

    // Maximised, the box is still the normal one.
    kv::platform::PlaceWindow(window, QRect(40, 30, 320, 240));
    QTest::qWait(10);
    window.showMaximized();
    QTest::qWait(10);
    EXPECT_EQ(kv::platform::NormalWindowBox(window), QRect(40, 30, 320, 240));
}

// A window without a place of its own must not cover the main window (nor its menus).
TEST(WindowBox, AWindowWithoutAPlaceAppearsBesideItsOwner) {
    using kv::platform::BesideBox;
    const QRect screen(0, 0, 1920, 1040);
    const QSize size(267, 267);
    // Room on the right: beside it there, top edges level.
    EXPECT_EQ(BesideBox(QRect(100, 200, 450, 320), screen, size), QPoint(558, 200));
    // None on the right: on the left.
    const QPoint left = BesideBox(QRect(1500, 200, 410, 320), screen, size);
    EXPECT_LE(left.x() + size.width(), 1500);
    EXPECT_EQ(left.y(), 200);
    // Near the bottom, it is moved up into the screen.
    const QPoint low = BesideBox(QRect(100, 900, 450, 120), screen, size);
    EXPECT_LE(low.y() + size.height(), screen.bottom());
    // No room on either side, or no owner: centred on the screen.
    const QRect small(0, 0, 800, 600);
    const QPoint centred = BesideBox(QRect(150, 100, 500, 400), small, size);
    EXPECT_NEAR(centred.x() + size.width() / 2, 400, 10);
    EXPECT_EQ(BesideBox(QRect(), small, size), centred);
    for (const QPoint& p : {left, low, centred}) {
        EXPECT_GE(p.x(), 0);
        EXPECT_GE(p.y(), 0);
    }
}
