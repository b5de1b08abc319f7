// GetVersionExA and GetVersion: the emulated Windows release.
//
// There is no Windows underneath, so the release is part of the emulated system state. The
// default is what a current, manifested application sees on an up-to-date Windows 10:
// 10.0 build 19045 (22H2) on the NT platform, no service pack. (The real system tells an
// application without a compatibility manifest 6.2 build 9200 instead; an MFC-style
// application that classifies the release expects the true one, and both read alike in
// every test of the NT family.) Users change it through the state directory, tests
// through NAVOTOOLS_OSVERSION.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "system/file_read.h"
#include "system/system_state.h"

namespace {

struct EmulatedRelease {
    DWORD major = 10;
    DWORD minor = 0;
    DWORD build = 19045;
    DWORD platform = VER_PLATFORM_WIN32_NT;
    WORD servicePackMajor = 0;
    WORD servicePackMinor = 0;
    char csd[128] = {};
};

// The state file is a few short lines; anything larger is not one of ours.
constexpr size_t kMaxStateFileBytes = 4096;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Decimal digits only, at most `limit`; false on anything else (sign, blank, overflow).
bool ParseNumber(std::string_view s, DWORD limit, DWORD& value) {
    if (s.empty() || s.size() > 10) return false;
    unsigned long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + unsigned(c - '0');
    }
    if (v > limit) return false;
    value = DWORD(v);
    return true;
}

// "major.minor.build[.platform]", the whole record in one variable for tests and scripts.
bool ParseVersionVariable(std::string_view text, EmulatedRelease& release) {
    DWORD fields[4] = {0, 0, 0, VER_PLATFORM_WIN32_NT};
    int count = 0;
    while (count < 4) {
        size_t dot = text.find('.');
        if (!ParseNumber(text.substr(0, dot), 0xFFFFFFFFu, fields[count])) return false;
        ++count;
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
        if (count == 4) return false;  // a fifth field
    }
    if (count < 3) return false;
    release = EmulatedRelease{};
    release.major = fields[0];
    release.minor = fields[1];
    release.build = fields[2];
    release.platform = fields[3];
    return true;
}

// One "key=value" line of the state file.
bool ApplyStateLine(std::string_view line, EmulatedRelease& release) {
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    std::string_view key = Trim(line.substr(0, equals));
    std::string_view value = Trim(line.substr(equals + 1));
    DWORD number = 0;
    if (key == "major") return ParseNumber(value, 0xFFFFFFFFu, release.major);
    if (key == "minor") return ParseNumber(value, 0xFFFFFFFFu, release.minor);
    if (key == "build") return ParseNumber(value, 0xFFFFFFFFu, release.build);
    if (key == "platform") return ParseNumber(value, 0xFFFFFFFFu, release.platform);
    if (key == "spmajor" || key == "spminor") {
        if (!ParseNumber(value, 0xFFFF, number)) return false;
        (key == "spmajor" ? release.servicePackMajor : release.servicePackMinor) = WORD(number);
        return true;
    }
    if (key == "csd") {
        if (value.size() >= sizeof release.csd) return false;
        memset(release.csd, 0, sizeof release.csd);
        memcpy(release.csd, value.data(), value.size());
        return true;
    }
    return false;
}

// Every line must be a known key, a comment ('#') or blank; otherwise the file counts as
// absent and the default stands.
bool ParseStateFile(std::string_view text, EmulatedRelease& release) {
    if (text.find('\0') != std::string_view::npos) return false;
    EmulatedRelease parsed;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;
        if (!ApplyStateLine(line, parsed)) return false;
    }
    release = parsed;
    return true;
}

// The state file's text; false when it is missing, larger than the limit, or not a
// regular file (a FIFO there is refused, not waited on).
bool ReadStateFile(const std::string& path, std::string& text) {
    return navo::win32::ReadFileBounded(path, kMaxStateFileBytes, text) == 0;
}

EmulatedRelease CurrentRelease() {
    EmulatedRelease release;
    const char* variable = getenv("NAVOTOOLS_OSVERSION");
    if (variable && *variable && ParseVersionVariable(variable, release)) return release;
    std::string dir = navo::win32::StateDirectory();
    std::string text;
    if (!dir.empty() && ReadStateFile(dir + "/osversion", text)) ParseStateFile(text, release);
    return release;
}

}  // namespace

extern "C" {

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    // The platform faults on a null record; a refusal is kinder and changes nothing.
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD size = info->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    EmulatedRelease release = CurrentRelease();
    info->dwMajorVersion = release.major;
    info->dwMinorVersion = release.minor;
    info->dwBuildNumber = release.build;
    info->dwPlatformId = release.platform;
    memcpy(info->szCSDVersion, release.csd, sizeof info->szCSDVersion);
    if (size == sizeof(OSVERSIONINFOEXA)) {
        auto* ex = reinterpret_cast<LPOSVERSIONINFOEXA>(info);
        ex->wServicePackMajor = release.servicePackMajor;
        ex->wServicePackMinor = release.servicePackMinor;
        ex->wSuiteMask = 0;
        ex->wProductType = VER_NT_WORKSTATION;
        ex->wReserved = 0;
    }
    return TRUE;
}

DWORD WINAPI GetVersion() {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    DWORD result = (info.dwMajorVersion & 0xFF) | ((info.dwMinorVersion & 0xFF) << 8);
    // As Wine records it: the high word carries the platform's mark, and on NT the build.
    result |= ((info.dwPlatformId ^ VER_PLATFORM_WIN32_NT) & 0x3) << 30;
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) result |= (info.dwBuildNumber & 0xFFFF) << 16;
    return result;
}

}  // extern "C"
