// The application's default wait cursor, as the cursor handles show it on every target:
// IDC_WAIT while the count is positive, the cursor of before at zero. (What the screen
// shows on Linux is in wait_cursor_test.cpp.)
#include <gtest/gtest.h>

#include "NavoTools.h"

namespace {

TEST(WaitCursorHandles, WaitWhileCountedThenTheCursorOfBefore) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);  // a shared cursor: one handle
    HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    ASSERT_NE(wait, nullptr);
    EXPECT_NE(wait, arrow);
    HCURSOR before = SetCursor(arrow);
    {
        CWinApp app("Navo Wait");
        app.DoWaitCursor(1);
        EXPECT_EQ(GetCursor(), wait);
        app.DoWaitCursor(1);
        app.DoWaitCursor(0);  // restore while waiting: still the wait cursor
        EXPECT_EQ(GetCursor(), wait);
        app.DoWaitCursor(-1);
        EXPECT_EQ(GetCursor(), wait);  // one begin still open
        app.DoWaitCursor(-1);
        EXPECT_EQ(GetCursor(), arrow);
        app.DoWaitCursor(-1);  // an end too many stays at zero
        EXPECT_EQ(app.m_nWaitCursorCount, 0);
        EXPECT_EQ(GetCursor(), arrow);
    }
    SetCursor(before);
}

}  // namespace
