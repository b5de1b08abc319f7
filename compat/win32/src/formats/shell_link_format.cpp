// The shell link binary file format: writer and bounded reader.
#include "formats/shell_link_format.h"

#include <cstring>

#include "formats/utf.h"

namespace navo::win32 {

namespace {

// LinkFlags.
constexpr DWORD kHasLinkTargetIdList = 0x1;
constexpr DWORD kHasLinkInfo = 0x2;
constexpr DWORD kHasName = 0x4;
constexpr DWORD kHasRelativePath = 0x8;
constexpr DWORD kHasWorkingDir = 0x10;
constexpr DWORD kHasArguments = 0x20;
constexpr DWORD kHasIconLocation = 0x40;
constexpr DWORD kIsUnicode = 0x80;
constexpr DWORD kForceNoLinkInfo = 0x100;

// LinkInfoFlags.
constexpr DWORD kVolumeIdAndLocalBasePath = 0x1;
constexpr DWORD kCommonNetworkRelativeLinkAndPathSuffix = 0x2;

constexpr DWORD kLinkInfoHeaderSize = 0x1C;
constexpr DWORD kLinkInfoHeaderSizeUnicode = 0x24;
constexpr DWORD kVolumeIdHeaderSize = 0x10;
constexpr DWORD kDriveFixed = 3;
constexpr DWORD kEnvironmentBlockSignature = 0xA0000001;
constexpr DWORD kEnvironmentBlockSize = 0x314;

// {00021401-0000-0000-C000-000000000046} as it is stored: Data1..Data3 little-endian.
constexpr BYTE kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

class Writer {
public:
    void U16(WORD v) {
        bytes_.push_back(BYTE(v));
        bytes_.push_back(BYTE(v >> 8));
    }
    void U32(DWORD v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(BYTE(v >> (8 * i)));
    }
    void U64(ULONGLONG v) {
        U32(DWORD(v));
        U32(DWORD(v >> 32));
    }
    void Bytes(const void* p, size_t n) {
        const BYTE* b = static_cast<const BYTE*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    void Ansi(const std::string& s) {  // terminated
        Bytes(s.data(), s.size());
        bytes_.push_back(0);
    }
    void Units(const std::u16string& s) {
        for (char16_t c : s) U16(WORD(c));
    }
    void PatchU32(size_t at, DWORD v) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = BYTE(v >> (8 * i));
    }
    size_t size() const { return bytes_.size(); }
    std::vector<BYTE>& bytes() { return bytes_; }

private:
    std::vector<BYTE> bytes_;
};

bool IsAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

void WriteLinkInfo(Writer& w, const std::string& target, const std::u16string& target16) {
    // The Unicode offsets are written only when the path needs them, as the platform does;
    // a pure ASCII path keeps the short header that every reader knows.
    const bool unicode = !IsAscii(target);
    const DWORD headerSize = unicode ? kLinkInfoHeaderSizeUnicode : kLinkInfoHeaderSize;
    const size_t start = w.size();
    const DWORD volumeIdOffset = headerSize;
    const DWORD volumeIdSize = kVolumeIdHeaderSize + 1;  // an empty label
    const DWORD localBasePathOffset = volumeIdOffset + volumeIdSize;
    const DWORD suffixOffset = localBasePathOffset + DWORD(target.size()) + 1;
    const DWORD localBasePathUnicodeOffset = suffixOffset + 1;
    const DWORD suffixUnicodeOffset = localBasePathUnicodeOffset + DWORD(target16.size() + 1) * 2;

    w.U32(0);  // LinkInfoSize, patched below
    w.U32(headerSize);
    w.U32(kVolumeIdAndLocalBasePath);
    w.U32(volumeIdOffset);
    w.U32(localBasePathOffset);
    w.U32(0);  // no CommonNetworkRelativeLink
    w.U32(suffixOffset);
    if (unicode) {
        w.U32(localBasePathUnicodeOffset);
        w.U32(suffixUnicodeOffset);
    }
    // VolumeID: a fixed drive without serial number or label.
    w.U32(volumeIdSize);
    w.U32(kDriveFixed);
    w.U32(0);
    w.U32(kVolumeIdHeaderSize);
    w.Ansi("");
    w.Ansi(target);
    w.Ansi("");  // CommonPathSuffix
    if (unicode) {
        w.Units(target16);
        w.U16(0);
        w.U16(0);  // CommonPathSuffixUnicode
    }
    w.PatchU32(start, DWORD(w.size() - start));
}

// Reads a terminated 8-bit string that starts at `offset` and ends before `end`.
Expected<std::string> ReadAnsi(ByteView v, size_t offset, const char* what) {
    if (offset >= v.size()) return ReadError{std::string(what) + ": offset outside its structure", offset};
    const ByteView rest = CantFail(v.From(offset, what));
    const ByteView text = rest.BeforeZero();
    if (text.size() == rest.size()) return ReadError{std::string(what) + ": not terminated", offset};
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

Expected<std::u16string> ReadUnicodeZ(ByteView v, size_t offset, const char* what) {
    auto rest = v.From(offset, what);
    auto s = rest ? ByteReader(*rest, offset).Utf16z(what) : rest.error();
    if (!s) return ReadError{std::string(what) + ": not terminated", offset};
    return s;
}

// Reads a LinkInfo whose bytes are `info`, and returns the target path it records.
Expected<std::string> ReadLinkInfo(ByteView info) {
    auto headerSize = info.U32(4, "LinkInfoHeaderSize");
    if (!headerSize) return headerSize.error();
    if (*headerSize < kLinkInfoHeaderSize || *headerSize > info.size())
        return ReadError{"LinkInfoHeaderSize: out of range", 4};
    auto flags = info.U32(8, "LinkInfoFlags");
    auto volumeIdOffset = info.U32(12, "VolumeIDOffset");
    auto localOffset = info.U32(16, "LocalBasePathOffset");
    auto networkOffset = info.U32(20, "CommonNetworkRelativeLinkOffset");
    auto suffixOffset = info.U32(24, "CommonPathSuffixOffset");
    if (!flags || !volumeIdOffset || !localOffset || !networkOffset || !suffixOffset)
        return ReadError{"LinkInfo: header past the end", 0};
    const bool hasUnicode = *headerSize >= kLinkInfoHeaderSizeUnicode;

    std::string suffix;
    if (*suffixOffset) {
        auto s = ReadAnsi(info, *suffixOffset, "CommonPathSuffix");
        if (!s) return s.error();
        suffix = *s;
    }
    if (hasUnicode) {
        auto offset = info.U32(0x20, "CommonPathSuffixOffsetUnicode");
        if (!offset) return offset.error();
        if (*offset) {
            auto s = ReadUnicodeZ(info, *offset, "CommonPathSuffixUnicode");
            if (!s) return s.error();
            suffix = utf::ToUtf8(*s, utf::kReplace);
        }
    }

    std::string base;
    if (*flags & kVolumeIdAndLocalBasePath) {
        auto volumeSize = info.U32(*volumeIdOffset, "VolumeIDSize");
        if (!volumeSize) return volumeSize.error();
        if (*volumeSize < kVolumeIdHeaderSize || !info.Contains(*volumeIdOffset, *volumeSize))
            return ReadError{"VolumeIDSize: out of range", *volumeIdOffset};
        auto local = ReadAnsi(info, *localOffset, "LocalBasePath");
        if (!local) return local.error();
        base = *local;
        if (hasUnicode) {
            auto offset = info.U32(0x1C, "LocalBasePathOffsetUnicode");
            if (!offset) return offset.error();
            if (*offset) {
                auto s = ReadUnicodeZ(info, *offset, "LocalBasePathUnicode");
                if (!s) return s.error();
                base = utf::ToUtf8(*s, utf::kReplace);
            }
        }
    } else if (*flags & kCommonNetworkRelativeLinkAndPathSuffix) {
        auto netSize = info.U32(*networkOffset, "CommonNetworkRelativeLinkSize");
        if (!netSize) return netSize.error();
        if (*netSize < 0x14 || !info.Contains(*networkOffset, *netSize))
            return ReadError{"CommonNetworkRelativeLinkSize: out of range", *networkOffset};
        const ByteView link = CantFail(info.Sub(*networkOffset, *netSize, "CommonNetworkRelativeLink"));
        auto netNameOffset = link.U32(8, "NetNameOffset");
        if (!netNameOffset) return netNameOffset.error();
        auto name = ReadAnsi(link, *netNameOffset, "NetName");
        if (!name) return name.error();
        base = *name;
        if (!suffix.empty() && !base.empty() && base.back() != '\\') base += '\\';
    }
    return base + suffix;
}

}  // namespace

// The ANSI code page of this layer is UTF-8.
std::string FromAnsi(const std::string& text) { return utf::ToUtf8(utf::ToUtf16(text, utf::kReplace), utf::kReplace); }

Expected<std::vector<BYTE>> WriteShellLink(const ShellLinkData& link) {
    std::u16string target16, strings[5];
    const std::string* texts[5] = {&link.description, &link.relativePath, &link.workingDirectory, &link.arguments,
                                   &link.iconLocation};
    const DWORD textFlags[5] = {kHasName, kHasRelativePath, kHasWorkingDir, kHasArguments, kHasIconLocation};
    if (auto units = utf::ToUtf16(link.target, utf::kStrict)) target16 = std::move(*units);
    else return ReadError{"target: not valid in the ANSI code page", 0};
    DWORD flags = kIsUnicode;
    if (!link.target.empty()) flags |= kHasLinkInfo;
    for (int i = 0; i < 5; ++i) {
        if (auto units = utf::ToUtf16(*texts[i], utf::kStrict)) strings[i] = std::move(*units);
        else return ReadError{"text: not valid in the ANSI code page", 0};
        if (strings[i].size() > kShellLinkMaxStringUnits) return ReadError{"text: longer than a link can hold", 0};
        if (!strings[i].empty()) flags |= textFlags[i];
    }

    Writer w;
    w.U32(kShellLinkHeaderSize);
    w.Bytes(kLinkClsid, sizeof kLinkClsid);
    w.U32(flags);
    w.U32(link.fileAttributes);
    w.U64(link.creationTime);
    w.U64(link.accessTime);
    w.U64(link.writeTime);
    w.U32(link.fileSize);
    w.U32(DWORD(link.iconIndex));
    w.U32(DWORD(link.showCommand));
    w.U16(link.hotkey);
    w.U16(0);  // Reserved1..3
    w.U32(0);
    w.U32(0);

    if (flags & kHasLinkInfo) WriteLinkInfo(w, link.target, target16);
    for (int i = 0; i < 5; ++i) {
        if (!(flags & textFlags[i])) continue;
        w.U16(WORD(strings[i].size()));
        w.Units(strings[i]);
    }
    w.U32(0);  // TerminalBlock
    return std::move(w.bytes());
}

Expected<ShellLinkData> ReadShellLink(ByteView bytes) {
    if (bytes.size() > kShellLinkMaxFileSize) return ReadError{"file: too large for a shell link", 0};
    auto headerSize = bytes.U32(0, "HeaderSize");
    if (!headerSize) return headerSize.error();
    if (*headerSize != kShellLinkHeaderSize) return ReadError{"HeaderSize: not 0x4C", 0};
    auto headerBytes = bytes.Sub(0, kShellLinkHeaderSize, "header");
    if (!headerBytes) return ReadError{"header: past the end", 0};
    ByteReader header(*headerBytes);
    CantFail(header.Skip(4, "HeaderSize"));
    const ByteView clsid = CantFail(header.Take(sizeof kLinkClsid, "LinkCLSID"));
    if (memcmp(clsid.data(), kLinkClsid, sizeof kLinkClsid) != 0) return ReadError{"LinkCLSID: not a shell link", 4};

    ShellLinkData link;
    const DWORD flags = CantFail(header.U32("LinkFlags"));
    link.fileAttributes = CantFail(header.U32("FileAttributes"));
    link.creationTime = CantFail(header.U64("CreationTime"));
    link.accessTime = CantFail(header.U64("AccessTime"));
    link.writeTime = CantFail(header.U64("WriteTime"));
    link.fileSize = CantFail(header.U32("FileSize"));
    link.iconIndex = int(CantFail(header.U32("IconIndex")));
    link.showCommand = int(CantFail(header.U32("ShowCommand")));
    link.hotkey = CantFail(header.U16("HotKey"));
    // Values other than normal, maximized and minimized-without-activation read as normal.
    if (link.showCommand != 3 && link.showCommand != 7) link.showCommand = 1;

    ByteReader reader(bytes);
    CantFail(reader.Seek(kShellLinkHeaderSize, "header"));
    if (flags & kHasLinkTargetIdList) {
        auto listSize = reader.U16("IDListSize");
        if (!listSize) return listSize.error();
        const size_t listAt = reader.offset();
        auto list = reader.Take(*listSize, "IDList");
        if (!list) return list.error();
        // Each item carries its own size; the list ends with a zero size.
        ByteReader items(*list, listAt);
        for (;;) {
            const size_t item = items.offset();
            auto itemSize = items.U16("ItemIDSize");
            if (!itemSize) return itemSize.error();
            if (*itemSize == 0) break;
            if (*itemSize < 2 || !items.Skip(*itemSize - 2, "ItemIDSize"))
                return ReadError{"ItemIDSize: out of range", listAt + item};
        }
    }
    if (flags & kHasLinkInfo) {
        const size_t infoAt = reader.offset();
        auto infoSize = bytes.U32(infoAt, "LinkInfoSize");
        if (!infoSize) return infoSize.error();
        if (*infoSize < kLinkInfoHeaderSize) return ReadError{"LinkInfoSize: too small", infoAt};
        auto info = reader.Take(*infoSize, "LinkInfo");
        if (!info) return info.error();
        auto target = ReadLinkInfo(*info);
        if (!target) return ReadError{target.error().what, infoAt + target.error().offset};
        if (!(flags & kForceNoLinkInfo)) link.target = FromAnsi(*target);
    }
    std::string* texts[5] = {&link.description, &link.relativePath, &link.workingDirectory, &link.arguments,
                             &link.iconLocation};
    const DWORD textFlags[5] = {kHasName, kHasRelativePath, kHasWorkingDir, kHasArguments, kHasIconLocation};
    for (int i = 0; i < 5; ++i) {
        if (!(flags & textFlags[i])) continue;
        auto count = reader.U16("StringData CountCharacters");
        if (!count) return count.error();
        const size_t length = (flags & kIsUnicode) ? size_t(*count) * 2 : size_t(*count);
        auto text = reader.Take(length, "StringData");
        if (!text) return text.error();
        if (flags & kIsUnicode) {
            const std::u16string units = CantFail(ByteReader(*text).Utf16(*count, "StringData"));
            *texts[i] = utf::ToUtf8(units, utf::kReplace);
        } else {
            *texts[i] = FromAnsi(std::string(reinterpret_cast<const char*>(text->data()), length));
        }
    }
    // Extra data: blocks until the terminal block (a size below 4). A file that ends
    // without one is accepted; a block that leaves the file is not.
    while (!reader.AtEnd()) {
        const size_t at = reader.offset();
        auto blockSize = bytes.U32(at, "BlockSize");
        if (!blockSize) return blockSize.error();
        if (*blockSize < 4) break;
        auto block = reader.Take(*blockSize, "BlockSize");
        if (*blockSize < 8 || !block) return ReadError{"BlockSize: out of range", at};
        const DWORD signature = CantFail(block->U32(4, "BlockSignature"));
        if (signature == kEnvironmentBlockSignature && link.target.empty()) {
            // The target with environment variables, as ANSI (260 bytes) and UTF-16
            // (260 units): the path of a link that has no LinkInfo.
            if (*blockSize != kEnvironmentBlockSize) return ReadError{"EnvironmentVariableDataBlock: wrong size", at};
            const std::u16string units = CantFail(block->Sub(8 + 260, 520, "TargetUnicode")).Utf16BeforeZero();
            if (!units.empty()) {
                link.target = utf::ToUtf8(units, utf::kReplace);
            } else {
                const ByteView ansi = CantFail(block->Sub(8, 260, "TargetAnsi")).BeforeZero();
                const size_t n = ansi.size();
                link.target = FromAnsi(std::string(reinterpret_cast<const char*>(ansi.data()), n));
            }
        }
    }
    return link;
}

}  // namespace navo::win32
