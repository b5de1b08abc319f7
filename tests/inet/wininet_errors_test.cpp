// WinInet error codes described in words, as a string and copied into a caller's buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "NavoTools.h"
#include "test_app.h"

namespace {

std::string S(const CString& s) { return std::string(s, size_t(s.GetLength())); }

const DWORD kCodesWithoutText[] = {12000, 12034, 12035, 12044, 12109, 12112, 12149, 12157, 0, 4294967295u, 1, 11999};

const char k12156[] =
    "The redirection failed because either the scheme changed (for example, HTTP to FTP) or all attempts made "
    "to redirect failed (default is five attempts). ";

TEST(WinInetDescription, CodesWithARowGiveTheirSentence) {
    EXPECT_EQ(S(GetWinInetErrorDescription(12001)), "No more handles could be generated at this time.");
    EXPECT_EQ(S(GetWinInetErrorDescription(12002)), "The request has timed out.");
    EXPECT_EQ(S(GetWinInetErrorDescription(12032)), "Calls for the Win32 Internet function to redo the request.");
    EXPECT_EQ(S(GetWinInetErrorDescription(12033)), "The request to the proxy was invalid.");
    EXPECT_EQ(S(GetWinInetErrorDescription(12036)), "The request failed because the handle already exists.");
    EXPECT_EQ(S(GetWinInetErrorDescription(12043)), "The application is posting data to a server that is not secure.");
}

TEST(WinInetDescription, RowsAfterTheUnusedIdsFollowTheirCodes) {
    EXPECT_EQ(S(GetWinInetErrorDescription(12110)),
              "The requested operation cannot be made on the FTP session handle because an operation is already in "
              "progress.");
    EXPECT_EQ(S(GetWinInetErrorDescription(12111)),
              "The FTP operation was not completed because the session was aborted.");
    EXPECT_EQ(S(GetWinInetErrorDescription(12150)), "The requested header could not be located.");
    EXPECT_EQ(S(GetWinInetErrorDescription(12155)), "The header could not be added because it already exists.");
}

TEST(WinInetDescription, RedirectFailedKeepsItsTrailingBlank) {
    std::string text = S(GetWinInetErrorDescription(12156));
    EXPECT_EQ(text, k12156);
    EXPECT_EQ(text.size(), 152u);
}

TEST(WinInetDescription, CodesWithoutARowGiveAnEmptyString) {
    for (DWORD code : kCodesWithoutText) EXPECT_TRUE(GetWinInetErrorDescription(code).IsEmpty()) << code;
}

TEST(WinInetDescription, FiftyCodesHaveDistinctTexts) {
    std::vector<std::string> texts;
    for (DWORD code = 11990; code <= 12200; ++code) {
        std::string text = S(GetWinInetErrorDescription(code));
        if (!text.empty()) texts.push_back(text);
    }
    EXPECT_EQ(texts.size(), 50u);
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(std::unique(texts.begin(), texts.end()), texts.end());
}

TEST(WinInetDescription, KoreanUserInterfaceGetsTheSameEnglishTexts) {
    std::string english = S(GetWinInetErrorDescription(12002));
    ScopedUILanguage korean(kKorean);
    EXPECT_EQ(S(GetWinInetErrorDescription(12002)), english);
    EXPECT_EQ(S(GetWinInetErrorDescription(12156)), k12156);
    EXPECT_TRUE(GetWinInetErrorDescription(12000).IsEmpty());
    char buffer[20];
    EXPECT_EQ(GetWinInetErrorDescriptionVB(12002, buffer, sizeof buffer), -1);
    EXPECT_STREQ(buffer, "The request has tim");
}

// A buffer with canary bytes past the capacity handed to the function.
struct GuardedBuffer {
    static constexpr char kFill = '\x5A';
    static constexpr size_t kGuard = 16;

    explicit GuardedBuffer(size_t capacity) : capacity(capacity), bytes(capacity + kGuard, kFill) {
        std::fill(bytes.begin() + long(capacity), bytes.end(), char(kCanary));
    }
    char* data() { return bytes.data(); }
    bool CanariesIntact() const {
        for (size_t i = capacity; i < bytes.size(); ++i)
            if (BYTE(bytes[i]) != kCanary) return false;
        return true;
    }
    bool UntouchedFill() const {
        for (size_t i = 0; i < capacity; ++i)
            if (bytes[i] != kFill) return false;
        return CanariesIntact();
    }

    size_t capacity;
    std::vector<char> bytes;
};

TEST(WinInetDescriptionBuffer, CapacityOneHoldsOnlyTheTerminator) {
    GuardedBuffer buffer(1);
    EXPECT_EQ(GetWinInetErrorDescriptionVB(12002, buffer.data(), 1), -1);
    EXPECT_EQ(buffer.bytes[0], '\0');
    EXPECT_TRUE(buffer.CanariesIntact());
}

TEST(WinInetDescriptionBuffer, ShortBufferGetsTheTextCutAndTerminated) {
    GuardedBuffer buffer(20);
    EXPECT_EQ(GetWinInetErrorDescriptionVB(12002, buffer.data(), 20), -1);
    EXPECT_EQ(std::string(buffer.data(), 20), std::string("The request has tim") + '\0');
    EXPECT_TRUE(buffer.CanariesIntact());
}

TEST(WinInetDescriptionBuffer, LargeBufferGetsTheWholeTextAndZerosAfterIt) {
    GuardedBuffer buffer(200);
    EXPECT_EQ(GetWinInetErrorDescriptionVB(12156, buffer.data(), 200), -1);
    EXPECT_EQ(std::string(buffer.data(), 152), k12156);
    for (size_t i = 152; i < 200; ++i) EXPECT_EQ(buffer.bytes[i], '\0') << i;
    EXPECT_TRUE(buffer.CanariesIntact());
}

TEST(WinInetDescriptionBuffer, ExactFitLeavesRoomForTheTerminator) {
    // 152 bytes of text: a capacity of 152 drops the final blank, 153 keeps it.
    GuardedBuffer tight(152);
    EXPECT_EQ(GetWinInetErrorDescriptionVB(12156, tight.data(), 152), -1);
    EXPECT_EQ(std::string(tight.data()), std::string(k12156, 151));
    EXPECT_TRUE(tight.CanariesIntact());
    GuardedBuffer fit(153);
    EXPECT_EQ(GetWinInetErrorDescriptionVB(12156, fit.data(), 153), -1);
    EXPECT_EQ(std::string(fit.data()), k12156);
    EXPECT_TRUE(fit.CanariesIntact());
}

TEST(WinInetDescriptionBuffer, ZeroOrNegativeCapacityTouchesNothing) {
    for (int capacity : {0, -1, -200, INT_MIN}) {
        GuardedBuffer buffer(0);
        EXPECT_EQ(GetWinInetErrorDescriptionVB(12002, buffer.data(), capacity), 0) << capacity;
        EXPECT_TRUE(buffer.UntouchedFill()) << capacity;
    }
}

TEST(WinInetDescriptionBuffer, NullBufferGivesZero) {
    for (DWORD code : {12002u, 12156u, 12000u}) {
        EXPECT_EQ(GetWinInetErrorDescriptionVB(code, nullptr, 200), 0) << code;
        EXPECT_EQ(GetWinInetErrorDescriptionVB(code, nullptr, 0), 0) << code;
    }
}

TEST(WinInetDescriptionBuffer, CodeWithoutTextLeavesTheBufferAsItWas) {
    for (DWORD code : kCodesWithoutText) {
        GuardedBuffer buffer(64);
        EXPECT_EQ(GetWinInetErrorDescriptionVB(code, buffer.data(), 64), 0) << code;
        EXPECT_TRUE(buffer.UntouchedFill()) << code;
    }
}

TEST(WinInetDescriptionBuffer, EveryCapacityTerminatesInsideTheBuffer) {
    const std::string whole = S(GetWinInetErrorDescription(12156));
    for (int capacity = 1; capacity <= 160; ++capacity) {
        GuardedBuffer buffer{size_t(capacity)};
        ASSERT_EQ(GetWinInetErrorDescriptionVB(12156, buffer.data(), capacity), -1) << capacity;
        size_t kept = std::min(whole.size(), size_t(capacity - 1));
        EXPECT_EQ(std::string(buffer.data(), kept), whole.substr(0, kept)) << capacity;
        for (int i = int(kept); i < capacity; ++i) EXPECT_EQ(buffer.bytes[size_t(i)], '\0') << capacity;
        EXPECT_TRUE(buffer.CanariesIntact()) << capacity;
    }
}

}  // namespace
