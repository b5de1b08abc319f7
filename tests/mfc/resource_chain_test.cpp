// The resource chain of the MFC layer: its links and their removal, resource searches that
// leave the caller's last error alone, and message boxes whose text is found by string ID.
#include <gtest/gtest.h>

#include <afxdllx.h>

#include <vector>

#include "NavoTools.h"
#include "test_app.h"

namespace {

std::vector<CDynLinkLibrary*> Chain() {
    std::vector<CDynLinkLibrary*> links;
    for (CDynLinkLibrary* dll = AfxGetModuleState()->m_libraryList; dll; dll = dll->m_pNextDLL) links.push_back(dll);
    return links;
}

// Stand-ins for extension modules. The chain searches each link's resource handle, so
// every link names the test executable (no resources of its own) for that.
HMODULE FakeModule(int n) { return reinterpret_cast<HMODULE>(static_cast<intptr_t>(0x10000 + n * 0x1000)); }

TEST(ResourceChainLinks, TermRemovesOnlyTheModulesOwnLinks) {
    const std::vector<CDynLinkLibrary*> before = Chain();
    HINSTANCE exe = GetModuleHandleA(nullptr);
    auto* a1 = new CDynLinkLibrary(FakeModule(1), exe);
    auto* b = new CDynLinkLibrary(FakeModule(2), exe);
    auto* a2 = new CDynLinkLibrary(FakeModule(1), exe);
    std::vector<CDynLinkLibrary*> linked = Chain();
    ASSERT_EQ(linked.size(), before.size() + 3);
    // Most recently linked first.
    EXPECT_EQ(linked[0], a2);
    EXPECT_EQ(linked[1], b);
    EXPECT_EQ(linked[2], a1);

    AFX_EXTENSION_MODULE moduleA = {TRUE, FakeModule(1), exe, nullptr, nullptr};
    AfxTermExtensionModule(moduleA);
    std::vector<CDynLinkLibrary*> after = Chain();
    ASSERT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(after[0], b);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin() + 1));

    delete b;  // a link unlinks itself when deleted
    EXPECT_EQ(Chain(), before);
}

TEST(ResourceChainLinks, AModuleWithoutLinksChangesNothing) {
    const std::vector<CDynLinkLibrary*> before = Chain();
    AFX_EXTENSION_MODULE unknown = {TRUE, FakeModule(9), nullptr, nullptr, nullptr};
    AfxTermExtensionModule(unknown);
    EXPECT_EQ(Chain(), before);
}

TEST(ResourceSearch, FindsTheLibrarysVersionAndKeepsTheLastError) {
    HMODULE library = GetModuleHandleA("NavoTools.dll");
    ASSERT_NE(library, nullptr);
    SetLastError(1234);
    EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCEA(1), RT_VERSION), library);
    EXPECT_EQ(GetLastError(), 1234u);
    // Nothing holds it: the current resource module is the answer.
    EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCEA(4242), RT_VERSION), AfxGetResourceHandle());
    EXPECT_EQ(GetLastError(), 1234u);
    SetLastError(77);
    EXPECT_EQ(AfxFindStringResourceHandle(IDS_NAVO_HTTP_NO_DESCRIPTION), library);
    EXPECT_EQ(AfxFindStringResourceHandle(8000), nullptr);
    EXPECT_EQ(GetLastError(), 77u);
}

TEST(ResourceSearch, InstanceAndResourceHandlesDefaultToTheExecutable) {
    HINSTANCE exe = GetModuleHandleA(nullptr);
    EXPECT_EQ(AfxGetInstanceHandle(), exe);
    HINSTANCE saved = AfxGetModuleState()->m_hCurrentResourceHandle;
    AfxSetResourceHandle(nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), exe);
    AfxSetResourceHandle(saved);
}

TEST(MessageBoxById, LoadsTheTextAndUsesTheIdAsHelpContext) {
    RecordingApp app;
    EXPECT_EQ(AfxMessageBox(IDS_NAVO_HTTP_NO_DESCRIPTION, MB_OK | MB_ICONINFORMATION), IDOK);
    AfxMessageBox(IDS_NAVO_HTTP_NO_DESCRIPTION, MB_OK, 5);
    AfxMessageBox(8000);  // no row: an empty text, still shown
    ASSERT_EQ(app.boxes.size(), 3u);
    EXPECT_EQ(app.boxes[0].text, "No description available");
    EXPECT_EQ(app.boxes[0].type, UINT(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(app.boxes[0].helpId, UINT(IDS_NAVO_HTTP_NO_DESCRIPTION));
    EXPECT_EQ(app.boxes[1].helpId, 5u);
    EXPECT_EQ(app.boxes[2].text, "");
    EXPECT_EQ(app.boxes[2].helpId, 8000u);
}

}  // namespace
