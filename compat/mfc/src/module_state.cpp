// The module state, the resource chain and extension-module registration.
#include <afxdllx.h>

#include <mutex>

namespace {

std::recursive_mutex& GlobalsLock() {
    // Leaked on purpose: extension modules unlink themselves while the process exits,
    // after static destructors may have run.
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

class ChainLock {
public:
    ChainLock() { AfxLockGlobals(CRIT_DYNLINKLIST); }
    ~ChainLock() { AfxUnlockGlobals(CRIT_DYNLINKLIST); }
    ChainLock(const ChainLock&) = delete;
    ChainLock& operator=(const ChainLock&) = delete;
};

// The module of the running executable; the default instance and resource handle.
HINSTANCE ExecutableModule() { return GetModuleHandleA(nullptr); }

// True when the module's string table holds a nonempty row for id. A block picked by
// language that lacks the row counts as not holding it.
bool HoldsString(HINSTANCE module, UINT id) {
    if (!module) return false;
    char probe[4];
    DWORD saved = GetLastError();
    bool found = LoadStringA(module, id, probe, sizeof probe) > 0;
    SetLastError(saved);
    return found;
}

bool HoldsResource(HINSTANCE module, LPCSTR name, LPCSTR type) {
    if (!module) return false;
    DWORD saved = GetLastError();
    bool found = FindResourceA(module, name, type) != nullptr;
    SetLastError(saved);
    return found;
}

template <typename Pred>
HINSTANCE SearchChain(Pred holds) {
    AFX_MODULE_STATE* state = AfxGetModuleState();
    HINSTANCE current = AfxGetResourceHandle();
    if (holds(current)) return current;
    ChainLock lock;
    for (int pass = 0; pass < 2; ++pass) {
        for (CDynLinkLibrary* dll = state->m_libraryList; dll; dll = dll->m_pNextDLL) {
            if (bool(dll->m_bSystem) != (pass == 1)) continue;
            if (dll->m_hResource != current && holds(dll->m_hResource)) return dll->m_hResource;
        }
    }
    return nullptr;
}

// New links go to the head: the most recently linked module is searched first.
void LinkIntoChain(CDynLinkLibrary* dll) {
    AFX_MODULE_STATE* ms = AfxGetModuleState();
    ChainLock lock;
    dll->m_pNextDLL = ms->m_libraryList;
    ms->m_libraryList = dll;
}

}  // namespace

AFX_MODULE_STATE* AFXAPI AfxGetModuleState() {
    static AFX_MODULE_STATE* state = new AFX_MODULE_STATE{};
    return state;
}

void AFXAPI AfxLockGlobals(int) { GlobalsLock().lock(); }
void AFXAPI AfxUnlockGlobals(int) { GlobalsLock().unlock(); }

CWinApp* AFXAPI AfxGetApp() { return AfxGetModuleState()->m_pCurrentWinApp; }

HINSTANCE AFXAPI AfxGetInstanceHandle() {
    AFX_MODULE_STATE* state = AfxGetModuleState();
    return state->m_hCurrentInstanceHandle ? state->m_hCurrentInstanceHandle : ExecutableModule();
}

HINSTANCE AFXAPI AfxGetResourceHandle() {
    AFX_MODULE_STATE* state = AfxGetModuleState();
    return state->m_hCurrentResourceHandle ? state->m_hCurrentResourceHandle : ExecutableModule();
}

void AFXAPI AfxSetResourceHandle(HINSTANCE resource) { AfxGetModuleState()->m_hCurrentResourceHandle = resource; }

HINSTANCE AFXAPI AfxFindStringResourceHandle(UINT id) {
    return SearchChain([id](HINSTANCE module) { return HoldsString(module, id); });
}

HINSTANCE AFXAPI AfxFindResourceHandle(LPCSTR name, LPCSTR type) {
    HINSTANCE found = SearchChain([=](HINSTANCE module) { return HoldsResource(module, name, type); });
    return found ? found : AfxGetResourceHandle();
}

// --- extension modules ------------------------------------------------------------------

BOOL AFXAPI AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE module) {
    if (!module) return FALSE;
    // A module registers once; a later call (after a detach and a new attach) keeps the
    // record as it was filled.
    if (state.bInitialized) return TRUE;
    state.bInitialized = TRUE;
    state.hModule = module;
    state.hResource = module;

    AFX_MODULE_STATE* ms = AfxGetModuleState();
    ChainLock lock;
    // What static initialization registered since the raw attach hook is the module's own;
    // the lists of the application come back from the saved heads.
    state.pFirstSharedClass = ms->m_classList;
    ms->m_classList = ms->m_pClassInit;
    state.pFirstSharedFactory = ms->m_factoryList;
    ms->m_factoryList = ms->m_pFactoryInit;
    return TRUE;
}

void AFXAPI AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL all) {
    AFX_MODULE_STATE* ms = AfxGetModuleState();
    ChainLock lock;
    CDynLinkLibrary** link = &ms->m_libraryList;
    while (*link) {
        CDynLinkLibrary* dll = *link;
        // The destructor unlinks the object; the link pointer then names its successor.
        // The analyzer does not follow the unlinking into the destructor and takes the
        // next round's dll for the deleted one.
        if (all || dll->m_hModule == state.hModule) {  // NOLINT(clang-analyzer-cplusplus.NewDelete)
            delete dll;  // NOLINT(clang-analyzer-cplusplus.NewDelete)
        } else {
            link = &dll->m_pNextDLL;
        }
    }
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem)
    : m_hModule(state.hModule),
      m_hResource(state.hResource),
      m_classList(state.pFirstSharedClass),
      m_factoryList(state.pFirstSharedFactory),
      m_bSystem(bSystem),
      m_pNextDLL(nullptr) {
    LinkIntoChain(this);
}

CDynLinkLibrary::CDynLinkLibrary(HINSTANCE module, HINSTANCE resource)
    : m_hModule(module),
      m_hResource(resource),
      m_classList(nullptr),
      m_factoryList(nullptr),
      m_bSystem(FALSE),
      m_pNextDLL(nullptr) {
    LinkIntoChain(this);
}

CDynLinkLibrary::~CDynLinkLibrary() {
    AFX_MODULE_STATE* ms = AfxGetModuleState();
    ChainLock lock;
    for (CDynLinkLibrary** link = &ms->m_libraryList; *link; link = &(*link)->m_pNextDLL) {
        if (*link == this) {
            *link = m_pNextDLL;
            break;
        }
    }
}
