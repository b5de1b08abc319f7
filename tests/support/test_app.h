// A CWinApp for tests: records message boxes and wait-cursor calls instead of showing them.
#pragma once

#include <afxwin.h>

#include <string>
#include <vector>

#include "test_constants.h"

#include "test_constants.h"

struct RecordedMessageBox {
    std::string text;
    UINT type;
    UINT helpId;
};

class RecordingApp : public CWinApp {
public:
    RecordingApp() : CWinApp("navotools-test") {}

    int DoMessageBox(LPCSTR prompt, UINT type, UINT promptId) override {
        boxes.push_back({prompt ? prompt : "", type, promptId});
        return IDOK;
    }
    void DoWaitCursor(int code) override {
        cursorCalls.push_back(code);
        CWinApp::DoWaitCursor(code);
    }

    std::vector<RecordedMessageBox> boxes;
    std::vector<int> cursorCalls;
};

// Sets the thread's UI language for the lifetime of the object.
class ScopedUILanguage {
public:
    explicit ScopedUILanguage(LANGID lang) : previous_(GetThreadUILanguage()) { SetThreadUILanguage(lang); }
    ~ScopedUILanguage() { SetThreadUILanguage(previous_); }
    ScopedUILanguage(const ScopedUILanguage&) = delete;
    ScopedUILanguage& operator=(const ScopedUILanguage&) = delete;

private:
    LANGID previous_;
};
