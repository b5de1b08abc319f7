// The shell link object: its fields, saving and loading link files, and the reader's
// refusal of malformed links.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>
#include <windows.h>

#include "lnkinfo.h"
#include "formats/shell_link_format.h"
#include "formats/utf.h"

namespace {

std::u16string Wide(const std::string& s) {
    return navo::win32::utf::ToUtf16(s, navo::win32::utf::kStrict).value_or(std::u16string());
}

void WriteFile(const std::string& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::set<std::string> FilesIn(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

class ShellLinkObject : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        char pattern[] = "/tmp/navo-link-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        Create(link_, file_);
    }
    void TearDown() override {
        if (file_) file_->Release();
        if (link_) link_->Release();
        CoUninitialize();
        if (system(("rm -rf '" + dir_ + "'").c_str()) != 0) ADD_FAILURE();
    }
    static void Create(IShellLinkA*& link, IPersistFile*& file) {
        ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)),
                  S_OK);
        ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    }
    std::string Description(IShellLinkA* link) {
        char text[256];
        EXPECT_EQ(link->GetDescription(text, sizeof text), S_OK);
        return text;
    }
    std::string CurFile(IPersistFile* file, HRESULT expected) {
        LPOLESTR name = nullptr;
        EXPECT_EQ(file->GetCurFile(&name), expected);
        std::u16string units;
        for (LPOLESTR p = name; p && *p; ++p) units.push_back(*p);
        CoTaskMemFree(name);
        return navo::win32::utf::ToUtf8(units, navo::win32::utf::kReplace);
    }

    std::string dir_;
    IShellLinkA* link_ = nullptr;
    IPersistFile* file_ = nullptr;
};

TEST_F(ShellLinkObject, NewObjectIsEmptyAndClean) {
    char text[16] = "x";
    EXPECT_EQ(link_->GetPath(text, sizeof text, nullptr, 0), S_FALSE);
    EXPECT_STREQ(text, "");
    int show = 0;
    EXPECT_EQ(link_->GetShowCmd(&show), S_OK);
    EXPECT_EQ(show, SW_SHOWNORMAL);
    EXPECT_EQ(file_->IsDirty(), S_FALSE);
    EXPECT_EQ(CurFile(file_, S_FALSE), "*.lnk");
    EXPECT_EQ(link_->SetDescription("changed"), S_OK);
    EXPECT_EQ(file_->IsDirty(), S_OK);
}

TEST_F(ShellLinkObject, GettersCutWholeCharactersAndTerminate) {
    ASSERT_EQ(link_->SetArguments("abcdef"), S_OK);
    char text[8];
    memset(text, 'z', sizeof text);
    EXPECT_EQ(link_->GetArguments(text, 4), S_OK);
    EXPECT_STREQ(text, "abc");
    ASSERT_EQ(link_->SetDescription("a\xC3\xA9"), S_OK);
    EXPECT_EQ(link_->GetDescription(text, 3), S_OK);
    EXPECT_STREQ(text, "a");  // the two bytes of U+00E9 do not fit beside the terminator
    EXPECT_EQ(link_->GetDescription(text, 0), E_INVALIDARG);
    EXPECT_EQ(link_->SetPath(nullptr), E_INVALIDARG);
    // A text that is not valid UTF-8 is kept as the platform converts it, with U+FFFD.
    ASSERT_EQ(link_->SetWorkingDirectory("a\xFF"), S_OK);
    EXPECT_EQ(link_->GetWorkingDirectory(text, sizeof text), S_OK);
    EXPECT_STREQ(text, "a\xEF\xBF\xBD");
}

TEST_F(ShellLinkObject, SaveAndLoadKeepEveryField) {
    std::string target = dir_ + "/target.bin";
    WriteFile(target, std::vector<BYTE>(1234, 7));
    ASSERT_EQ(link_->SetPath(target.c_str()), S_OK);
    ASSERT_EQ(link_->SetArguments("--one \"two three\""), S_OK);
    ASSERT_EQ(link_->SetWorkingDirectory(dir_.c_str()), S_OK);
    ASSERT_EQ(link_->SetDescription("A link \xE2\x86\x92 somewhere"), S_OK);
    ASSERT_EQ(link_->SetIconLocation("/usr/share/icons/a.png", 3), S_OK);
    ASSERT_EQ(link_->SetRelativePath(".\\target.bin", 0), S_OK);
    ASSERT_EQ(link_->SetShowCmd(SW_SHOWMAXIMIZED), S_OK);
    ASSERT_EQ(link_->SetHotkey(0x0641), S_OK);
    std::string path = dir_ + "/a.lnk";
    ASSERT_EQ(file_->Save(reinterpret_cast<LPCOLESTR>(Wide(path).c_str()), TRUE), S_OK);
    EXPECT_EQ(file_->IsDirty(), S_FALSE);
    EXPECT_EQ(CurFile(file_, S_OK), path);

    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    Create(link, file);
    ASSERT_EQ(file->Load(reinterpret_cast<LPCOLESTR>(Wide(path).c_str()), STGM_READ), S_OK);
    EXPECT_EQ(file->IsDirty(), S_FALSE);
    EXPECT_EQ(CurFile(file, S_OK), path);
    char text[256];
    WIN32_FIND_DATAA data;
    EXPECT_EQ(link->GetPath(text, sizeof text, &data, 0), S_OK);
    EXPECT_EQ(std::string(text), target);
    EXPECT_EQ(data.nFileSizeLow, 1234u);
    EXPECT_EQ(data.dwFileAttributes, 0x20u);  // an ordinary file: archive
    EXPECT_STREQ(data.cFileName, "target.bin");
    EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
    link->GetArguments(text, sizeof text);
    EXPECT_STREQ(text, "--one \"two three\"");
    link->GetWorkingDirectory(text, sizeof text);
    EXPECT_EQ(std::string(text), dir_);
    EXPECT_EQ(Description(link), "A link \xE2\x86\x92 somewhere");
    int icon = 0, show = 0;
    WORD hotkey = 0;
    link->GetIconLocation(text, sizeof text, &icon);
    EXPECT_STREQ(text, "/usr/share/icons/a.png");
    EXPECT_EQ(icon, 3);
    link->GetShowCmd(&show);
    EXPECT_EQ(show, SW_SHOWMAXIMIZED);
    link->GetHotkey(&hotkey);
    EXPECT_EQ(hotkey, 0x0641);
    file->Release();
    link->Release();

    LnkInfo info = ReadWithLnkinfo(path);
    ASSERT_TRUE(info.ran);
    EXPECT_EQ(info["Local path"], target);
    EXPECT_EQ(info["Working directory"], dir_);
    EXPECT_EQ(info["Description"], "A link \xE2\x86\x92 somewhere");
    EXPECT_EQ(info["Command line arguments"], "--one \"two three\"");
    EXPECT_EQ(info["Relative path"], ".\\target.bin");
    EXPECT_EQ(info["Icon location"], "/usr/share/icons/a.png");
    EXPECT_EQ(info["File size"], "1234 bytes");
}

TEST_F(ShellLinkObject, SaveToTheCurrentFileAndSaveACopy) {
    EXPECT_EQ(file_->Save(nullptr, TRUE), E_INVALIDARG);  // no current file yet
    std::string first = dir_ + "/first.lnk", copy = dir_ + "/copy.lnk";
    ASSERT_EQ(link_->SetDescription("one"), S_OK);
    ASSERT_EQ(file_->Save(reinterpret_cast<LPCOLESTR>(Wide(first).c_str()), TRUE), S_OK);
    ASSERT_EQ(link_->SetDescription("two"), S_OK);
    // A copy leaves the current file and the dirty state as they were.
    ASSERT_EQ(file_->Save(reinterpret_cast<LPCOLESTR>(Wide(copy).c_str()), FALSE), S_OK);
    EXPECT_EQ(file_->IsDirty(), S_OK);
    EXPECT_EQ(CurFile(file_, S_OK), first);
    ASSERT_EQ(file_->Save(nullptr, FALSE), S_OK);
    EXPECT_EQ(file_->IsDirty(), S_FALSE);
    EXPECT_EQ(ReadWithLnkinfo(first)["Description"], "two");
    EXPECT_EQ(ReadWithLnkinfo(copy)["Description"], "two");
}

TEST_F(ShellLinkObject, FailedSaveLeavesNoFileBehind) {
    ASSERT_EQ(link_->SetPath("/bin/ls"), S_OK);
    // The destination is a folder: the rename over it fails, the temporary file goes.
    std::string folder = dir_ + "/taken.lnk";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    HRESULT hr = file_->Save(reinterpret_cast<LPCOLESTR>(Wide(folder).c_str()), TRUE);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(FilesIn(dir_), std::set<std::string>{"taken.lnk"});
    EXPECT_TRUE(FilesIn(folder).empty());
    EXPECT_EQ(file_->IsDirty(), S_OK);
    EXPECT_EQ(file_->Save(reinterpret_cast<LPCOLESTR>(Wide(dir_ + "/no/such.lnk").c_str()), TRUE),
              HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
}

TEST_F(ShellLinkObject, LoadFailuresLeaveTheObjectAsItWas) {
    ASSERT_EQ(link_->SetDescription("kept"), S_OK);
    EXPECT_EQ(file_->Load(reinterpret_cast<LPCOLESTR>(Wide(dir_ + "/missing.lnk").c_str()), STGM_READ),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(file_->Load(reinterpret_cast<LPCOLESTR>(Wide(dir_ + "/no/missing.lnk").c_str()), STGM_READ),
              HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    std::string junk = dir_ + "/junk.lnk";
    WriteFile(junk, std::vector<BYTE>{'n', 'o', 't', ' ', 'a', ' ', 'l', 'i', 'n', 'k'});
    EXPECT_EQ(file_->Load(reinterpret_cast<LPCOLESTR>(Wide(junk).c_str()), STGM_READ),
              HRESULT_FROM_WIN32(ERROR_BAD_FORMAT));
    EXPECT_EQ(Description(link_), "kept");
    EXPECT_EQ(file_->IsDirty(), S_OK);
    EXPECT_EQ(CurFile(file_, S_FALSE), "*.lnk");
}

// A link as another writer makes it: an item ID list, a LinkInfo whose path is split
// into base path and common suffix, 8-bit StringData and an extra-data block.
std::vector<BYTE> ForeignLink() {
    std::vector<BYTE> b;
    auto u16 = [&b](unsigned v) { b.push_back(BYTE(v)); b.push_back(BYTE(v >> 8)); };
    auto u32 = [&b](unsigned v) { for (int i = 0; i < 4; ++i) b.push_back(BYTE(v >> (8 * i))); };
    auto str = [&b](const char* s) { b.insert(b.end(), s, s + strlen(s) + 1); };
    u32(0x4C);
    const BYTE clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    b.insert(b.end(), clsid, clsid + 16);
    u32(0x1 | 0x2 | 0x4 | 0x20);  // ID list, link info, name, arguments; not Unicode
    u32(0x20);
    for (int i = 0; i < 6; ++i) u32(0);  // times
    u32(10);                             // size
    u32(0);
    u32(7);  // SW_SHOWMINNOACTIVE
    u16(0);
    u16(0);
    u32(0);
    u32(0);
    // ID list: one item of 6 bytes, then the terminal zero.
    u16(8);
    u16(6);
    u32(0xDEADBEEF);
    u16(0);
    // LinkInfo: header 0x1C, VolumeID, "C:\test\" and the suffix "a.txt".
    size_t start = b.size();
    u32(0);
    u32(0x1C);
    u32(1);
    u32(0x1C);                 // VolumeID
    u32(0x1C + 0x11);          // LocalBasePath
    u32(0);
    u32(0x1C + 0x11 + 9);      // CommonPathSuffix
    u32(0x11);
    u32(3);
    u32(0x1234);
    u32(0x10);
    b.push_back(0);
    str("C:\\test\\");
    str("a.txt");
    unsigned size = unsigned(b.size() - start);
    for (int i = 0; i < 4; ++i) b[start + i] = BYTE(size >> (8 * i));
    u16(4);
    str("desc");
    b.pop_back();  // StringData is counted, not terminated
    u16(2);
    b.push_back('-');
    b.push_back('v');
    // An unknown extra-data block, then the terminal block.
    u32(12);
    u32(0xA0000099);
    u32(0);
    u32(0);
    return b;
}

TEST_F(ShellLinkObject, ReadsLinksOfOtherWriters) {
    std::string path = dir_ + "/foreign.lnk";
    WriteFile(path, ForeignLink());
    ASSERT_EQ(file_->Load(reinterpret_cast<LPCOLESTR>(Wide(path).c_str()), STGM_READ), S_OK);
    char text[64];
    EXPECT_EQ(link_->GetPath(text, sizeof text, nullptr, 0), S_OK);
    EXPECT_STREQ(text, "C:\\test\\a.txt");
    EXPECT_EQ(Description(link_), "desc");
    link_->GetArguments(text, sizeof text);
    EXPECT_STREQ(text, "-v");
    int show = 0;
    link_->GetShowCmd(&show);
    EXPECT_EQ(show, SW_SHOWMINNOACTIVE);
    // lnkinfo agrees on what the bytes say.
    LnkInfo info = ReadWithLnkinfo(path);
    ASSERT_TRUE(info.ran);
    EXPECT_EQ(info["Description"], "desc");
}

TEST(ShellLinkReader, RefusesEveryTruncationAndBadSizes) {
    std::vector<BYTE> link = ForeignLink();
    ASSERT_TRUE(navo::win32::ReadShellLink({link.data(), link.size()}));
    // Everything up to the end of the StringData is required; only the extra data may be
    // cut short at a block boundary.
    const size_t stringDataEnd = link.size() - 16;
    for (size_t n = 0; n < stringDataEnd; ++n) {
        std::vector<BYTE> cut(link.begin(), link.begin() + long(n));
        EXPECT_FALSE(navo::win32::ReadShellLink({cut.data(), cut.size()})) << n;
    }
    auto patched = [&link](size_t at, BYTE value) {
        std::vector<BYTE> b = link;
        b[at] = value;
        return navo::win32::ReadShellLink({b.data(), b.size()});
    };
    EXPECT_FALSE(patched(0, 0x4D));              // header size
    EXPECT_FALSE(patched(4, 0x02));              // class identifier
    EXPECT_FALSE(patched(0x4C, 0xFF));           // ID list longer than the file
    EXPECT_FALSE(patched(0x4E, 1));              // item size below 2
    EXPECT_FALSE(patched(0x56 + 4, 0xFF));       // LinkInfo header size past the LinkInfo
    EXPECT_FALSE(patched(0x56 + 16, 0xF0));      // local base path offset outside
    auto blockSize = link.size() - 16;
    EXPECT_FALSE(patched(blockSize, 6));         // extra-data block smaller than its header
    EXPECT_FALSE(patched(blockSize, 40));        // extra-data block past the end
}

TEST(ShellLinkReader, WriterOutputReadsBackThroughTheReader) {
    navo::win32::ShellLinkData data;
    data.target = "C:\\\xED\x95\x9C\\x.exe";
    data.arguments = std::string(0xFFFF, 'a');
    data.description = "d";
    auto bytes = navo::win32::WriteShellLink(data);
    ASSERT_TRUE(bytes);
    auto back = navo::win32::ReadShellLink({bytes->data(), bytes->size()});
    ASSERT_TRUE(back);
    EXPECT_EQ(back->target, data.target);
    EXPECT_EQ(back->arguments, data.arguments);
    // A text beyond a StringData count cannot be written.
    data.arguments += 'a';
    EXPECT_FALSE(navo::win32::WriteShellLink(data));
}

}  // namespace
