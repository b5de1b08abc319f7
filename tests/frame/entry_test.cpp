// The library's entry routines: the raw attach hook, DllMain and the resource chain link.
#include <gtest/gtest.h>

#include <cstring>

#include "NavoTools.h"
#include "frame/entry_routines.h"
#include "test_app.h"

namespace {

const NavoToolsEntryRoutines& Routines() { return *NavoToolsGetEntryRoutines(); }

int CountLinks(HMODULE module) {
    int n = 0;
    AfxLockGlobals(CRIT_DYNLINKLIST);
    for (CDynLinkLibrary* dll = AfxGetModuleState()->m_libraryList; dll; dll = dll->m_pNextDLL)
        if (dll->m_hModule == module) ++n;
    AfxUnlockGlobals(CRIT_DYNLINKLIST);
    return n;
}

CString Row8096() {
    CString text;
    text.LoadString(IDS_NAVO_HTTP_NO_DESCRIPTION);
    return text;
}

TEST(EntryPoint, LibraryIsRegisteredAndLinkedOnceAfterLoad) {
    AFX_EXTENSION_MODULE& record = *Routines().extensionModule;
    EXPECT_TRUE(record.bInitialized);
    ASSERT_NE(record.hModule, nullptr);
    EXPECT_EQ(record.hResource, record.hModule);
    EXPECT_EQ(CountLinks(record.hModule), 1);
    EXPECT_EQ(Row8096(), "No description available");
}

TEST(EntryPoint, RawHookIgnoresEveryReasonButProcessAttach) {
    AFX_MODULE_STATE* state = AfxGetModuleState();
    CRuntimeClass marker = {"Marker", 0, 0xffff, nullptr, nullptr, nullptr};
    AFX_MODULE_STATE saved = *state;
    state->m_classList = &marker;
    state->m_pClassInit = nullptr;
    AFX_MODULE_STATE before = *state;
    HINSTANCE module = Routines().extensionModule->hModule;
    for (DWORD reason : {DWORD(DLL_PROCESS_DETACH), DWORD(DLL_THREAD_ATTACH), DWORD(DLL_THREAD_DETACH), DWORD(7)}) {
        EXPECT_TRUE(Routines().rawAttachHook(module, reason, nullptr)) << reason;
        EXPECT_EQ(memcmp(&before, state, sizeof before), 0) << "module state changed for reason " << reason;
    }
    *state = saved;
}

TEST(EntryPoint, RawHookSavesListHeadsAndInitRestoresThem) {
    AFX_MODULE_STATE* state = AfxGetModuleState();
    AFX_MODULE_STATE saved = *state;
    CRuntimeClass appClass = {"AppClass", 0, 0xffff, nullptr, nullptr, nullptr};
    CRuntimeClass moduleClass = {"ModuleClass", 0, 0xffff, nullptr, nullptr, nullptr};
    state->m_classList = &appClass;
    state->m_factoryList = nullptr;

    HINSTANCE module = Routines().extensionModule->hModule;
    EXPECT_TRUE(Routines().rawAttachHook(module, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(state->m_pClassInit, &appClass);
    EXPECT_EQ(state->m_classList, nullptr);
    EXPECT_EQ(state->m_factoryList, nullptr);

    // What static initialization registers now belongs to the module being initialized.
    state->m_classList = &moduleClass;
    AFX_EXTENSION_MODULE fresh = {};
    EXPECT_TRUE(AfxInitExtensionModule(fresh, module));
    EXPECT_EQ(fresh.pFirstSharedClass, &moduleClass);
    EXPECT_EQ(state->m_classList, &appClass);
    EXPECT_EQ(fresh.hModule, module);
    *state = saved;
}

TEST(EntryPoint, ThreadNotificationsChangeNothing) {
    const NavoToolsEntryRoutines& r = Routines();
    AFX_EXTENSION_MODULE recordBefore = *r.extensionModule;
    AFX_MODULE_STATE stateBefore = *AfxGetModuleState();
    for (DWORD reason : {DWORD(DLL_THREAD_ATTACH), DWORD(DLL_THREAD_DETACH)}) {
        EXPECT_EQ(r.dllMain(recordBefore.hModule, reason, nullptr), 1);
        EXPECT_EQ(memcmp(&recordBefore, r.extensionModule, sizeof recordBefore), 0);
        EXPECT_EQ(memcmp(&stateBefore, AfxGetModuleState(), sizeof stateBefore), 0);
    }
    EXPECT_EQ(CountLinks(recordBefore.hModule), 1);
}

TEST(EntryPoint, DetachUnlinksTheRowsAndAttachLinksThemAgain) {
    const NavoToolsEntryRoutines& r = Routines();
    HINSTANCE module = r.extensionModule->hModule;
    ASSERT_EQ(r.dllMain(module, DLL_PROCESS_DETACH, nullptr), 1);
    EXPECT_EQ(CountLinks(module), 0);
    CString text("sentinel");
    EXPECT_FALSE(text.LoadString(IDS_NAVO_HTTP_NO_DESCRIPTION));
    EXPECT_TRUE(text.IsEmpty());

    ASSERT_EQ(r.dllMain(module, DLL_PROCESS_ATTACH, nullptr), 1);
    EXPECT_EQ(CountLinks(module), 1);
    EXPECT_EQ(Row8096(), "No description available");
}

TEST(EntryPoint, AttachFailsWhenRegistrationFails) {
    // A null module handle cannot be registered: DllMain refuses the attach and links
    // nothing.
    AFX_MODULE_STATE* state = AfxGetModuleState();
    CDynLinkLibrary* head = state->m_libraryList;
    AFX_EXTENSION_MODULE fresh = {};
    EXPECT_FALSE(AfxInitExtensionModule(fresh, nullptr));
    EXPECT_FALSE(fresh.bInitialized);
    EXPECT_EQ(state->m_libraryList, head);
}

TEST(ResourceChain, CurrentResourceModuleIsSearchedFirst) {
    HINSTANCE library = Routines().extensionModule->hModule;
    HINSTANCE previous = AfxGetResourceHandle();
    EXPECT_EQ(AfxFindStringResourceHandle(IDS_NAVO_HTTP_NO_DESCRIPTION), library);
    AfxSetResourceHandle(library);
    EXPECT_EQ(AfxGetResourceHandle(), library);
    EXPECT_EQ(Row8096(), "No description available");
    AfxSetResourceHandle(previous);
    EXPECT_EQ(AfxFindStringResourceHandle(8000), nullptr);
}

}  // namespace
