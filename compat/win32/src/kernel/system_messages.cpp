// The system message table. The texts are this project's own English descriptions of
// the error codes the library and its callers meet; they end in CR LF as the platform's
// do, and a few keep the platform's inserts so that FORMAT_MESSAGE_IGNORE_INSERTS has
// something to leave alone. Codes outside the table (WinInet's 12000 to 12171 among
// them, which live in that module's own table on the platform) have no system text.

#include "kernel/system_messages.h"

#include <algorithm>
#include <iterator>

#include "kernel/language_search.h"

namespace navo::win32 {
namespace {

struct SystemMessage {
    DWORD id;
    const char* text;
};

// Sorted by id; checked at compile time below.
constexpr SystemMessage kSystemMessages[] = {
    {0, "The operation finished successfully.\r\n"},
    {1, "The function requested is not valid for this object.\r\n"},
    {2, "No file by that name could be found.\r\n"},
    {3, "No path by that name could be found.\r\n"},
    {4, "No more files can be opened at this time.\r\n"},
    {5, "Access was refused.\r\n"},
    {6, "The handle given is not valid.\r\n"},
    {7, "The blocks that manage storage have been damaged.\r\n"},
    {8, "There is too little storage available to carry out this command.\r\n"},
    {9, "The address of the storage block is not valid.\r\n"},
    {10, "The environment block is not valid.\r\n"},
    {11, "A program was loaded from a file whose format is not valid.\r\n"},
    {12, "The access code given is not valid.\r\n"},
    {13, "The data given is not valid.\r\n"},
    {14, "Too little memory is left to finish this operation.\r\n"},
    {15, "The drive named cannot be found.\r\n"},
    {16, "The folder is the current one and cannot be removed.\r\n"},
    {17, "The file cannot be moved to a different disk drive.\r\n"},
    {18, "No further files remain.\r\n"},
    {19, "The medium is protected against writing.\r\n"},
    {20, "The device named cannot be found.\r\n"},
    {21, "The device is not ready for use.\r\n"},
    {22, "The device does not understand the command.\r\n"},
    {23, "A cyclic redundancy check failed on the data.\r\n"},
    {24, "The command given to the device has the wrong length.\r\n"},
    {25, "The requested place on the disk cannot be located.\r\n"},
    {26, "The disk or diskette cannot be accessed.\r\n"},
    {27, "The requested sector cannot be found on the drive.\r\n"},
    {28, "The printer has run out of paper.\r\n"},
    {29, "Writing to the device failed.\r\n"},
    {30, "Reading from the device failed.\r\n"},
    {31, "A device attached to the system is not working.\r\n"},
    {32, "Another process is using the file, so it cannot be accessed.\r\n"},
    {33, "Another process has locked part of the file, so it cannot be accessed.\r\n"},
    {38, "The end of the file was reached.\r\n"},
    {50, "This request is not supported.\r\n"},
    {80, "A file by that name already exists.\r\n"},
    {82, "The file or folder could not be created.\r\n"},
    {87, "A parameter is not valid.\r\n"},
    {109, "The pipe was closed at the other end.\r\n"},
    {110, "The device or file could not be opened.\r\n"},
    {111, "The file name is longer than allowed.\r\n"},
    {112, "The disk does not have enough free space.\r\n"},
    {120, "This function is not available on this system.\r\n"},
    {122, "The buffer given to the system call is too small.\r\n"},
    {123, "The file name, folder name or volume label is not well formed.\r\n"},
    {126, "No module of that name can be found.\r\n"},
    {127, "The procedure named cannot be found.\r\n"},
    {160, "One or more arguments are not valid.\r\n"},
    {161, "The path given is not valid.\r\n"},
    {183, "The file cannot be created because it already exists.\r\n"},
    {193, "%1 is not an application this system can run.\r\n"},
    {206, "The file name or extension is too long.\r\n"},
    {234, "More data is waiting.\r\n"},
    {259, "No more data is left.\r\n"},
    {317, "Message number 0x%1 has no text in the message file for %2.\r\n"},
    {487, "An attempt was made to reach an address that is not valid.\r\n"},
    {534, "The result of the arithmetic operation does not fit in 32 bits.\r\n"},
    {998, "Access to the memory location was not valid.\r\n"},
    {1004, "The flags given are not valid.\r\n"},
    {1009, "The configuration registry database is damaged.\r\n"},
    {1010, "The configuration registry key is not valid.\r\n"},
    {1011, "The configuration registry key could not be opened.\r\n"},
    {1012, "The configuration registry key could not be read.\r\n"},
    {1013, "The configuration registry key could not be written.\r\n"},
    {1014, "A file of the registry database had to be restored from its log or a second "
           "copy, and the restore worked.\r\n"},
    {1015, "The registry is damaged: a database file is malformed, its image in memory "
           "cannot be read, or it could not be restored from its log or a second copy.\r\n"},
    {1016, "An input or output operation started by the registry failed and could not be "
           "recovered.\r\n"},
    {1017, "The file being loaded or restored into the registry is not in the registry's "
           "format.\r\n"},
    {1018, "The registry key has been marked for deletion, so this operation is not "
           "allowed on it.\r\n"},
    {1019, "The space needed in a registry log could not be allocated.\r\n"},
    {1020, "A symbolic link cannot be made in a registry key that already has subkeys or "
           "values.\r\n"},
    {1021, "A stable subkey cannot be created under a volatile parent key.\r\n"},
    {1114, "The initialization routine of a dynamic link library failed.\r\n"},
    {1155, "No application is associated with this file for the requested operation.\r\n"},
    {1223, "The user cancelled the operation.\r\n"},
    {1400, "The window handle is not valid.\r\n"},
    {1460, "The operation ended because its time-out period passed.\r\n"},
    {1812, "The image file has no resource section.\r\n"},
    {1813, "The image file has no resource of that type.\r\n"},
    {1814, "The image file has no resource of that name.\r\n"},
    {1815, "The image file has no resource in that language.\r\n"},
};

constexpr bool SortedById() {
    for (std::size_t i = 1; i < std::size(kSystemMessages); ++i) {
        if (kSystemMessages[i - 1].id >= kSystemMessages[i].id) return false;
    }
    return true;
}
static_assert(SortedById(), "system messages must be sorted by id without repeats");

// True when a lookup for `requested` reaches the table's language. The platform's
// resource search accepts the table for one of the candidate languages, for a candidate
// that names only the primary language (English, sublanguage neutral), and, for a
// neutral request that matched nothing, as the module's first language.
bool OffersLanguage(LANGID requested) {
    const bool neutralRequest = PRIMARYLANGID(requested) == LANG_NEUTRAL;
    for (LANGID candidate : ResourceLanguageCandidates(requested)) {
        if (candidate == kSystemMessageLanguage) return true;
        if (PRIMARYLANGID(candidate) == PRIMARYLANGID(kSystemMessageLanguage) &&
            SUBLANGID(candidate) == SUBLANG_NEUTRAL) {
            return true;
        }
    }
    return neutralRequest;
}

// HRESULTs with a text of their own, as Wine's table has them: of the COM codes only
// E_NOTIMPL and E_FAIL (E_NOINTERFACE, E_POINTER, E_ABORT, E_UNEXPECTED,
// CO_E_NOTINITIALIZED, REGDB_E_CLASSNOTREG and the rest have none there, so none here).
constexpr SystemMessage kHresultMessages[] = {
    {0x80004001, "Not implemented.\r\n"},
    {0x80004005, "Call failed.\r\n"},
};

// An HRESULT of FACILITY_WIN32 with the failure bit: 0x8007xxxx wraps Win32 code xxxx.
constexpr DWORD kWin32HresultMask = 0xFFFF0000;
constexpr DWORD kWin32Hresult = 0x80070000;

}  // namespace

const char* FindSystemMessage(DWORD id, LANGID language, DWORD* error) {
    if (!OffersLanguage(language)) {
        *error = ERROR_RESOURCE_LANG_NOT_FOUND;
        return nullptr;
    }
    // An HRESULT that wraps a Win32 code reads as that code, as on Wine.
    if ((id & kWin32HresultMask) == kWin32Hresult) id &= ~kWin32HresultMask;
    for (const SystemMessage& m : kHresultMessages)
        if (m.id == id) return m.text;
    const auto* end = std::end(kSystemMessages);
    const auto* it = std::lower_bound(std::begin(kSystemMessages), end, id,
                                      [](const SystemMessage& m, DWORD key) { return m.id < key; });
    if (it == end || it->id != id) {
        *error = ERROR_MR_MID_NOT_FOUND;
        return nullptr;
    }
    return it->text;
}

}  // namespace navo::win32
