// The buttons of each message-box type, shared by MessageBoxA and the dialog program
// (tools/dialog), which does not include windows.h: the style bits and button IDs are
// spelled here with the platform's values.
//
// The platform's rules, kept by both: the buttons of a type come in a fixed order; the
// default button is the one MB_DEFBUTTONn names, or the first when the type has fewer; the
// Escape key (and the close button) answers Cancel where the box has a Cancel button and
// OK when OK is its only button, and does nothing in MB_YESNO and MB_ABORTRETRYIGNORE.
// Without anyone to ask, a question takes its safe answer: the Escape answer, No for
// MB_YESNO, Abort for MB_ABORTRETRYIGNORE.
#pragma once

namespace navo::message_box {

constexpr unsigned kTypeMask = 0x0000000Fu;
constexpr unsigned kIconMask = 0x000000F0u;
constexpr unsigned kDefMask = 0x00000F00u;
constexpr unsigned kIconStop = 0x10u, kIconQuestion = 0x20u, kIconExclamation = 0x30u, kIconInformation = 0x40u;
constexpr unsigned kSystemModal = 0x00001000u, kTopmost = 0x00040000u;

enum Id : int {
    kOk = 1,
    kCancel = 2,
    kAbort = 3,
    kRetry = 4,
    kIgnore = 5,
    kYes = 6,
    kNo = 7,
    kTryAgain = 10,
    kContinue = 11,
};

struct Button {
    int id;
    const char* label;          // "Try Again"
    const char* mnemonicLabel;  // GTK's form, the mnemonic after '_': "_Try Again"
    char key;                   // the mnemonic, lower case, for a terminal answer
};

struct Type {
    Button buttons[3];
    int count;
    int escape;  // the Escape answer; 0 for none
    int safe;    // the answer when nobody can be asked
};

constexpr Button kOkButton{kOk, "OK", "_OK", 'o'};
constexpr Button kCancelButton{kCancel, "Cancel", "_Cancel", 'c'};
constexpr Button kAbortButton{kAbort, "Abort", "_Abort", 'a'};
constexpr Button kRetryButton{kRetry, "Retry", "_Retry", 'r'};
constexpr Button kIgnoreButton{kIgnore, "Ignore", "_Ignore", 'i'};
constexpr Button kYesButton{kYes, "Yes", "_Yes", 'y'};
constexpr Button kNoButton{kNo, "No", "_No", 'n'};
constexpr Button kTryAgainButton{kTryAgain, "Try Again", "_Try Again", 't'};
constexpr Button kContinueButton{kContinue, "Continue", "C_ontinue", 'o'};

constexpr Type kTypes[] = {
    {{kOkButton}, 1, kOk, kOk},                                                 // MB_OK
    {{kOkButton, kCancelButton}, 2, kCancel, kCancel},                          // MB_OKCANCEL
    {{kAbortButton, kRetryButton, kIgnoreButton}, 3, 0, kAbort},                // MB_ABORTRETRYIGNORE
    {{kYesButton, kNoButton, kCancelButton}, 3, kCancel, kCancel},              // MB_YESNOCANCEL
    {{kYesButton, kNoButton}, 2, 0, kNo},                                       // MB_YESNO
    {{kRetryButton, kCancelButton}, 2, kCancel, kCancel},                       // MB_RETRYCANCEL
    {{kCancelButton, kTryAgainButton, kContinueButton}, 3, kCancel, kCancel},  // MB_CANCELTRYCONTINUE
};

// The type of a style; null for a button type the platform does not have.
inline const Type* TypeOf(unsigned style) {
    unsigned kind = style & kTypeMask;
    return kind < sizeof kTypes / sizeof kTypes[0] ? &kTypes[kind] : nullptr;
}

// The index of the default button.
inline int DefaultIndex(const Type& type, unsigned style) {
    int index = int((style & kDefMask) >> 8);
    return index < type.count ? index : 0;
}

// True when id is one of the type's buttons.
inline bool HasButton(const Type& type, int id) {
    for (int i = 0; i < type.count; ++i)
        if (type.buttons[i].id == id) return true;
    return false;
}

// The icon's freedesktop name; null for a box without an icon.
inline const char* IconName(unsigned style) {
    switch (style & kIconMask) {
        case kIconStop: return "dialog-error";
        case kIconQuestion: return "dialog-question";
        case kIconExclamation: return "dialog-warning";
        case kIconInformation: return "dialog-information";
        default: return nullptr;
    }
}

}  // namespace navo::message_box
