// The library's string table: which rows exist in each language and their exact texts.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "NavoTools.h"
#include "test_app.h"
#include "platform.h"

namespace {

// Every row of the string table, as applications see it under English.
const std::map<UINT, std::string> kRows = {
    {8001, "%s\n\nDetails: [0x%08X] %s"},
    {8002, "Cannot run %s"},
    {8003, "[0x%1!08X!] %2"},
    {8004, "%1\n\nDetails: [0x%2!08X!] %3"},
    {8005, "No more handles could be generated at this time."},
    {8006, "The request has timed out."},
    {8007, "An extended error was returned from the server."},
    {8008, "An internal error has occurred."},
    {8009, "The URL is invalid."},
    {8010, "The URL scheme could not be recognized or is not supported."},
    {8011, "The server name could not be resolved."},
    {8012, "The requested protocol could not be located."},
    {8013, "A request to InternetQueryOption or InternetSetOption specified an invalid option value."},
    {8014, "The length of an option supplied to InternetQueryOption or InternetSetOption is incorrect for the type of option specified."},
    {8015, "The request option cannot be set, only queried."},
    {8016, "The Win32 Internet function support is being shut down or unloaded."},
    {8017, "The request to connect and log on to an FTP server could not be completed because the supplied user name is incorrect."},
    {8018, "The request to connect and log on to an FTP server could not be completed because the supplied password is incorrect."},
    {8019, "The request to connect to and log on to an FTP server failed."},
    {8020, "The requested operation is invalid."},
    {8021, "The operation was canceled, usually because the handle on which the request was operating was closed before the operation completed."},
    {8022, "The type of handle supplied is incorrect for this operation."},
    {8023, "The requested operation cannot be carried out because the handle supplied is not in the correct state."},
    {8024, "The request cannot be made via a proxy."},
    {8025, "A required registry value could not be located."},
    {8026, "A required registry value was located but is an incorrect type or has an invalid value."},
    {8027, "Direct network access cannot be made at this time."},
    {8028, "An asynchronous request could not be made because a zero context value was supplied."},
    {8029, "An asynchronous request could not be made because a callback function has not been set."},
    {8030, "The required operation could not be completed because one or more requests are pending."},
    {8031, "The format of the request is invalid."},
    {8032, "The requested item could not be located."},
    {8033, "The attempt to connect to the server failed."},
    {8034, "The connection with the server has been terminated."},
    {8035, "The connection with the server has been reset."},
    {8036, "Calls for the Win32 Internet function to redo the request."},
    {8037, "The request to the proxy was invalid."},
    {8038, "The request failed because the handle already exists."},
    {8039, "SSL certificate date that was received from the server is bad. The certificate is expired."},
    {8040, "SSL certificate common name (host name field) is incorrect."},
    {8041, "The application is moving from a non-SSL to an SSL connection because of a redirect."},
    {8042, "The application is moving from an SSL to an non-SSL connection because of a redirect."},
    {8043, "Indicates that the content is not entirely secure. Some of the content being viewed may have come from unsecured servers."},
    {8044, "The application is posting and attempting to change multiple lines of text on a server that is not secure."},
    {8045, "The application is posting data to a server that is not secure."},
    {8046, "The requested operation cannot be made on the FTP session handle because an operation is already in progress."},
    {8047, "The FTP operation was not completed because the session was aborted."},
    {8057, "The requested header could not be located."},
    {8058, "The server did not return any headers."},
    {8059, "The server response could not be parsed."},
    {8060, "The supplied header is invalid."},
    {8061, "The request made to HttpQueryInfo is invalid."},
    {8062, "The header could not be added because it already exists."},
    {8063, "The redirection failed because either the scheme changed (for example, HTTP to FTP) or all attempts made to redirect failed (default is five attempts). "},
    {8064, "OK to continue with request"},
    {8065, "server has switched protocols in upgrade header"},
    {8066, "request completed"},
    {8067, "object created, reason = new URI"},
    {8068, "async completion (TBS)"},
    {8069, "partial completion"},
    {8070, "no info to return"},
    {8071, "request completed, but clear form"},
    {8072, "partial GET furfilled"},
    {8073, "server couldn't decide what to return"},
    {8074, "object permanently moved"},
    {8075, "object temporarily moved"},
    {8076, "redirection w/ new access method"},
    {8077, "if-modified-since was not modified"},
    {8078, "redirection to proxy, location header specifies proxy to use"},
    {8079, "HTTP/1.1: keep same verb"},
    {8080, "Bad request, invalid syntax"},
    {8081, "Unauthorized, access denied"},
    {8082, "payment required"},
    {8083, "request forbidden"},
    {8084, "object not found"},
    {8085, "method is not allowed"},
    {8086, "proxy authentication required"},
    {8087, "server timed out waiting for request"},
    {8088, "the resource is no longer available"},
    {8089, "request entity was too large"},
    {8090, "request URI too long"},
    {8091, "internal server error"},
    {8092, "Not implemented, required not supported"},
    {8093, "Service unavailable, temporarily overloaded"},
    {8094, "Bad gateway, error response received from gateway"},
    {8095, "timed out waiting for gateway"},
    {8096, "No description available"},
    {8101, "MAPI Logon failed.\n\nDetails: [0x%1!08X!] %2"},
    {8102, "There was no default logon, and the user failed to log on successfully when the logon dialog box was displayed. No session handle was returned."},
    {8103, "Error of resolving address '%1'.\n\nDetails: [0x%2!08X!]"},
    {8104, "Error of sending a mail.\n\nDetails: [0x%1!08X!] %2"},
    {8105, "MAPI Logoff failed.\n\nDetails: [0x%1!08X!]"},
    {8106, "The user canceled one of the dialog boxes. No message was sent."},
};

bool IsMailRow(UINT id) { return id >= 8101 && id <= 8106; }

std::string Load(UINT id) {
    CString text;
    text.LoadString(id);
    return std::string(text, size_t(text.GetLength()));
}

TEST(StringTable, EnglishHoldsEveryRowWithItsExactText) {
    ScopedUILanguage english(kEnglishUS);
    int present = 0;
    for (UINT id = 8000; id <= 8111; ++id) {
        auto row = kRows.find(id);
        std::string text = Load(id);
        if (row == kRows.end()) {
            EXPECT_EQ(text, "") << "ID " << id << " should have no row";
        } else {
            EXPECT_EQ(text, row->second) << "ID " << id;
            ++present;
        }
    }
    EXPECT_EQ(present, 93);
}

TEST(StringTable, KoreanLacksOnlyTheMailRows) {
    ScopedUILanguage korean(kKorean);
    TodoWineUnlessUILanguage(kKorean, [] {
        int present = 0;
        for (UINT id = 8000; id <= 8111; ++id) {
            auto row = kRows.find(id);
            std::string text = Load(id);
            if (row == kRows.end() || IsMailRow(id)) {
                EXPECT_EQ(text, "") << "ID " << id << " should be empty under 1042";
            } else {
                EXPECT_EQ(text, row->second) << "ID " << id;
                ++present;
            }
        }
        EXPECT_EQ(present, 87);
    });
}

TEST(StringTable, GapsAreEmptyInBothLanguagesAndLoadStringSaysSo) {
    for (LANGID lang : {kEnglishUS, kKorean}) {
        ScopedUILanguage scoped(lang);
        for (UINT id : {8000u, 8048u, 8052u, 8056u, 8097u, 8100u, 8107u, 8111u}) {
            CString text("sentinel");
            EXPECT_FALSE(text.LoadString(id)) << "ID " << id << " lang " << lang;
            EXPECT_TRUE(text.IsEmpty());
        }
    }
}

TEST(StringTable, LanguageWithoutBlocksFallsBackToEnglish) {
    ScopedUILanguage french(MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH));
    EXPECT_EQ(Load(8101), kRows.at(8101));
    EXPECT_EQ(Load(8063), kRows.at(8063));
}

TEST(StringTable, TextsKeepTheirLineFeedsAndTrailingBlank) {
    ScopedUILanguage english(kEnglishUS);
    std::string row8004 = Load(8004);
    EXPECT_EQ(row8004, "%1\n\nDetails: [0x%2!08X!] %3");
    EXPECT_EQ(row8004.find('\r'), std::string::npos);
    std::string row8063 = Load(8063);
    ASSERT_FALSE(row8063.empty());
    EXPECT_EQ(row8063.back(), ' ');
    EXPECT_EQ(row8063.size(), 152u);
}

}  // namespace

namespace {

TEST(StringTable, LoadStringCutsToTheBufferAndKeepsTheCanary) {
    ScopedUILanguage english(kEnglishUS);
    HINSTANCE library = AfxFindStringResourceHandle(8006);
    ASSERT_NE(library, nullptr);
    char buffer[24];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(LoadStringA(library, 8006, buffer, 20), 19);
    EXPECT_STREQ(buffer, "The request has tim");
    EXPECT_EQ(buffer[20], 'x');
    EXPECT_EQ(LoadStringA(library, 8006, buffer, 1), 0);
    EXPECT_EQ(buffer[0], '\0');
    SetLastError(kUntouched);
    EXPECT_EQ(LoadStringA(library, 8050, buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], '\0');
}

}  // namespace
