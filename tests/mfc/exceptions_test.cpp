// CException and the framework's exceptions: ownership, messages and ReportError; message
// boxes without an application, and the application's lifetime.
#include <gtest/gtest.h>

#include <cstring>

#include "NavoTools.h"
#include "test_app.h"

namespace {

class Counted : public CException {
public:
    explicit Counted(int* deleted) : deleted_(deleted) {}
    ~Counted() override { ++*deleted_; }

private:
    int* deleted_;
};

class WithText : public CException {
public:
    BOOL GetErrorMessage(LPSTR buffer, UINT size, PUINT help) override {
        if (help) *help = 77;
        lstrcpynA(buffer, "custom text", int(size));
        return TRUE;
    }
};

TEST(ExceptionOwnership, HeapExceptionDeletesItselfStaticOnesDoNot) {
    int deleted = 0;
    try {
        throw new Counted(&deleted);
    } catch (CException* e) {
        EXPECT_TRUE(e->m_bAutoDelete);
        e->Delete();
    }
    EXPECT_EQ(deleted, 1);

    CMemoryException* first = nullptr;
    try {
        AfxThrowMemoryException();
    } catch (CMemoryException* e) {
        first = e;
        EXPECT_FALSE(e->m_bAutoDelete);
        e->Delete();
    }
    try {
        AfxThrowMemoryException();
    } catch (CException* e) {
        EXPECT_EQ(e, first);  // the same static object, still usable
        EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CMemoryException)));
        e->Delete();
    }
}

TEST(ExceptionOwnership, NotSupportedIsCaughtAsCException) {
    bool caught = false;
    try {
        AfxThrowNotSupportedException();
    } catch (CException* e) {
        caught = e->IsKindOf(RUNTIME_CLASS(CNotSupportedException));
        char text[64] = {};
        EXPECT_TRUE(e->GetErrorMessage(text, sizeof text));
        EXPECT_GT(strlen(text), 0u);
        e->Delete();
    }
    EXPECT_TRUE(caught);
}

// An exception thrown inside the library reaches the program's handlers whichever way they
// name it (on Windows x86 this takes one unwinder for both modules: the shared run-time).
template <class T>
void ExpectCaughtEveryWay(void (*thrower)(), CRuntimeClass* type) {
    int caught = 0;
    try {
        thrower();
    } catch (T* e) {
        caught += e->IsKindOf(type) ? 1 : 0;
        e->Delete();
    }
    try {
        thrower();
    } catch (CException* e) {
        caught += e->IsKindOf(type) ? 1 : 0;
        e->Delete();
    }
    try {
        thrower();
    } catch (CObject* e) {
        caught += e->IsKindOf(type) ? 1 : 0;
        static_cast<CException*>(e)->Delete();
    }
    try {
        thrower();
    } catch (...) {
        ++caught;
        try {
            throw;
        } catch (CException* e) {
            e->Delete();
        }
    }
    EXPECT_EQ(caught, 4) << type->m_lpszClassName;
}

TEST(ExceptionOwnership, LibraryExceptionsAreCaughtByClassBaseObjectAndEllipsis) {
    ExpectCaughtEveryWay<CNotSupportedException>(AfxThrowNotSupportedException, RUNTIME_CLASS(CNotSupportedException));
    ExpectCaughtEveryWay<CMemoryException>(AfxThrowMemoryException, RUNTIME_CLASS(CMemoryException));
    ExpectCaughtEveryWay<CInvalidArgException>(AfxThrowInvalidArgException, RUNTIME_CLASS(CInvalidArgException));
}

TEST(ExceptionRuntimeClass, HierarchyIsReported) {
    CNotSupportedException e;
    EXPECT_TRUE(e.IsKindOf(RUNTIME_CLASS(CException)));
    EXPECT_TRUE(e.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(e.IsKindOf(RUNTIME_CLASS(CMemoryException)));
    EXPECT_STREQ(e.GetRuntimeClass()->m_lpszClassName, "CNotSupportedException");
}

TEST(ReportError, ShowsTheExceptionsTextWithItsHelpContext) {
    RecordingApp app;
    WithText e;
    EXPECT_EQ(e.ReportError(MB_ICONERROR), IDOK);
    ASSERT_EQ(app.boxes.size(), 1u);
    EXPECT_EQ(app.boxes[0].text, "custom text");
    EXPECT_EQ(app.boxes[0].type, UINT(MB_ICONERROR));
    EXPECT_EQ(app.boxes[0].helpId, 77u);
}

TEST(ReportError, FallsBackWhenThereIsNoText) {
    RecordingApp app;
    CException plain;
    plain.ReportError();
    plain.ReportError(MB_OK, IDS_NAVO_HTTP_NO_DESCRIPTION);
    plain.ReportError(MB_OK, 8050);
    ASSERT_EQ(app.boxes.size(), 3u);
    EXPECT_FALSE(app.boxes[0].text.empty());
    EXPECT_EQ(app.boxes[1].text, "No description available");
    EXPECT_EQ(app.boxes[2].text, app.boxes[0].text);
}

// Without an application the box is the platform's MessageBoxA; tests/ui shows and answers
// it on each target. With nobody to ask, a box with one button is a line on standard error
// and a question takes its safe answer at once: never Yes, OK or Retry.
TEST(MessageBox, WithoutAnApplicationAndNobodyToAskAQuestionTakesTheSafeAnswer) {
#if defined(_WIN32)
    GTEST_SKIP() << "the platform's MessageBoxA waits for the user; tests/ui answers it";
#else
    ASSERT_EQ(AfxGetApp(), nullptr);
    setenv("NAVOTOOLS_UI", "none", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(AfxMessageBox("no display here", MB_OK), IDOK);
    EXPECT_EQ(AfxMessageBox("question", MB_YESNO | MB_DEFBUTTON1), IDNO);
    EXPECT_EQ(AfxMessageBox("retry", MB_RETRYCANCEL), IDCANCEL);
    std::string err = testing::internal::GetCapturedStderr();
    unsetenv("NAVOTOOLS_UI");
    EXPECT_NE(err.find(": no display here\n"), std::string::npos) << err;
    EXPECT_NE(err.find(": question\n"), std::string::npos) << err;
#endif
}

TEST(WaitCursor, BeginAndEndReachTheApplication) {
    RecordingApp app;
    CCmdTarget target;
    target.BeginWaitCursor();
    EXPECT_EQ(app.m_nWaitCursorCount, 1);
    target.EndWaitCursor();
    target.RestoreWaitCursor();
    EXPECT_EQ(app.m_nWaitCursorCount, 0);
    EXPECT_EQ(app.cursorCalls, (std::vector<int>{1, -1, 0}));
}

TEST(Application, IsTheModuleStatesCurrentOneWhileItLives) {
    {
        RecordingApp app;
        EXPECT_EQ(AfxGetApp(), &app);
        ASSERT_NE(app.m_pszExeName, nullptr);
        EXPECT_STREQ(app.m_pszExeName, "navotools_mfc_tests");
        EXPECT_STREQ(app.m_pszAppName, "navotools-test");
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
}

TEST(ExceptionText, EachKindHasItsOwnTextCutToTheBuffer) {
    CMemoryException memory(FALSE);
    CNotSupportedException notSupported(FALSE);
    CInvalidArgException invalid(FALSE);
    char text[128];
    UINT help = 99;
    ASSERT_TRUE(memory.GetErrorMessage(text, sizeof text, &help));
    EXPECT_STREQ(text, "Out of memory.");
    EXPECT_EQ(help, 0u);
    ASSERT_TRUE(notSupported.GetErrorMessage(text, sizeof text, nullptr));
    EXPECT_STREQ(text, "The requested operation is not supported.");
    ASSERT_TRUE(invalid.GetErrorMessage(text, sizeof text, nullptr));
    EXPECT_STREQ(text, "An argument was not valid.");

    char small[8];
    memset(small, 'x', sizeof small);
    ASSERT_TRUE(invalid.GetErrorMessage(small, sizeof small, nullptr));
    EXPECT_STREQ(small, "An argu");  // seven characters and the terminator

    RecordingApp app;
    invalid.ReportError(MB_ICONSTOP);
    ASSERT_EQ(app.boxes.size(), 1u);
    EXPECT_EQ(app.boxes[0].text, "An argument was not valid.");
    EXPECT_EQ(app.boxes[0].type, UINT(MB_ICONSTOP));
}

TEST(ApplicationLifetime, OnlyTheCurrentApplicationClearsTheModuleState) {
    auto* first = new RecordingApp;
    {
        RecordingApp second;  // the newest application is the current one
        EXPECT_EQ(AfxGetApp(), &second);
        delete first;  // not current: leaves the state alone
        EXPECT_EQ(AfxGetApp(), &second);
        EXPECT_STREQ(AfxGetModuleState()->m_lpszCurrentAppName, "navotools-test");
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(AfxGetModuleState()->m_lpszCurrentAppName, nullptr);
}

}  // namespace
