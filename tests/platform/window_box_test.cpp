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
