// CVersion and VerInfo: the numbers a file's version gives, their text and integer forms,
// the application's own executable (this test program embeds a version block 3.1.0.7),
// the library's own shared object (1.0.0.4), and reads that fail and change nothing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "NavoTools.h"
#include "test_app.h"

namespace {

CString Fixture(const char* name) { return CString(NAVOTOOLS_TEST_BINARY_DIR "/") + name; }

void ExpectNumbers(const CVersion& v, unsigned major, unsigned minor, unsigned revision, const char* what) {
    EXPECT_EQ(v.GetMajor(), major) << what;
    EXPECT_EQ(v.GetMinor(), minor) << what;
    EXPECT_EQ(v.GetRevision(), revision) << what;
}

// --- Numbers and their forms ------------------------------------------------------------

class FileVersionOfFixture : public testing::TestWithParam<const char*> {
protected:
    CString File(const char* stem) const { return Fixture((std::string(stem) + GetParam() + ".dll").c_str()); }
};

TEST_P(FileVersionOfFixture, FourPartVersionKeepsFirstSecondAndFourth) {
    CVersion v(File("version_1_2_3_4"));
    ExpectNumbers(v, 1, 2, 4, "1.2.3.4: the third number is not kept");
    EXPECT_STREQ(v.GetStrVer(), "1.02.04");
    EXPECT_EQ(v.GetVersion(), 1204);
}

TEST_P(FileVersionOfFixture, WeightsOverlapBetweenPlaces) {
    CVersion big(File("version_2_10_0_150"));
    ExpectNumbers(big, 2, 10, 150, "2.10.0.150");
    EXPECT_STREQ(big.GetStrVer(), "2.10.150");
    EXPECT_EQ(big.GetVersion(), 3150);
    CVersion tenth(File("version_1_10_0_0"));
    CVersion two(File("version_2_0_0_0"));
    EXPECT_EQ(tenth.GetVersion(), 2000);
    EXPECT_EQ(two.GetVersion(), 2000);
    EXPECT_STREQ(tenth.GetStrVer(), "1.10.00");
    EXPECT_STREQ(two.GetStrVer(), "2.00.00");
}

TEST_P(FileVersionOfFixture, TextPadsToTwoDigitsAndNeverCuts) {
    CVersion v(File("version_4_123_0_5"));
    EXPECT_STREQ(v.GetStrVer(), "4.123.05");
    EXPECT_EQ(v.GetVersion(), 4000 + 12300 + 5);
}

INSTANTIATE_TEST_SUITE_P(Formats, FileVersionOfFixture, testing::Values("", "_x86"),
                         [](const auto& info) { return std::string(info.param).empty() ? "pe32plus" : "pe32"; });

TEST(VerInfoRecord, DefaultsAndFieldOrder) {
    VerInfo none;
    EXPECT_EQ(none.nMajor, 0u);
    EXPECT_EQ(none.nMinor, 0u);
    EXPECT_EQ(none.nRevision, 0u);
    static_assert(sizeof(VerInfo) == 3 * sizeof(unsigned int), "a plain record of three numbers");

    CVersion v;
    CVersion app(Fixture("version_2_10_0_150.dll"));
    VerInfo info = app.GetVerInfo();
    EXPECT_EQ(info.nMajor, 2u);
    EXPECT_EQ(info.nMinor, 10u);
    EXPECT_EQ(info.nRevision, 150u);
    VerInfo assigned(9, 9, 9);
    assigned = info;
    EXPECT_EQ(assigned.nMajor, 2u);
    EXPECT_EQ(assigned.nRevision, 150u);
}

TEST(VerInfoRecord, OrdersByMajorThenMinorThenRevision) {
    EXPECT_TRUE(VerInfo(1, 9, 9) < VerInfo(2, 0, 0));
    EXPECT_FALSE(VerInfo(2, 0, 0) < VerInfo(1, 9, 9));
    EXPECT_TRUE(VerInfo(2, 1, 9) < VerInfo(2, 2, 0));
    EXPECT_FALSE(VerInfo(2, 2, 0) < VerInfo(2, 1, 9));
    EXPECT_TRUE(VerInfo(2, 2, 3) < VerInfo(2, 2, 4));
    EXPECT_FALSE(VerInfo(2, 2, 4) < VerInfo(2, 2, 3));
    EXPECT_FALSE(VerInfo(3, 1, 7) < VerInfo(3, 1, 7)) << "no record orders below itself";
    // The integer form would call these equal (2000 each); the record does not.
    EXPECT_TRUE(VerInfo(1, 10, 0) < VerInfo(2, 0, 0));
}

// --- Which file is read ---------------------------------------------------------------

TEST(FileVersionDefault, WithoutANameReadsTheApplicationsExecutable) {
    RecordingApp app;  // m_pszExeName is this program's file name
    ASSERT_STREQ(app.m_pszExeName, "navotools_version_tests");
    CVersion v;
    ExpectNumbers(v, 3, 1, 7, "the version block embedded in this test program");
    EXPECT_STREQ(v.GetStrVer(), "3.01.07");
    CVersion byName(CString(app.m_pszExeName) + ".exe");
    ExpectNumbers(byName, 3, 1, 7, "App.exe names the running program App");
}

TEST(FileVersionDefault, ExecutablesEmbeddedBlockIsAResourceOfItsModule) {
    // The module table reads the executable's ".rsrc" section: the block that
    // navotools_embed_resources placed there is the program's own RT_VERSION resource.
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(self, MAKEINTRESOURCE(VS_VERSION_INFO), RT_VERSION);
    ASSERT_NE(resource, nullptr) << GetLastError();
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(self, resource)));
    ASSERT_NE(data, nullptr);
    ASSERT_GE(SizeofResource(self, resource), 40u + sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, data + 40, sizeof fixed);  // after the header and "VS_VERSION_INFO"
    EXPECT_EQ(fixed.dwSignature, DWORD(VS_FFI_SIGNATURE));
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00030001u);
    EXPECT_EQ(fixed.dwFileVersionLS, 0x00000007u);
}

TEST(FileVersionDefault, UsesTheExeNameTheApplicationObjectHolds) {
    // An application whose executable name is that of a file in the program's folder:
    // "<name>.exe" is looked for there.
    const std::string copy = NAVOTOOLS_TEST_BINARY_DIR "/VersionedApp.exe";
    {
        std::ifstream in(NAVOTOOLS_TEST_BINARY_DIR "/version_2_10_0_150.dll", std::ios::binary);
        std::ofstream out(copy, std::ios::binary);
        out << in.rdbuf();
    }
    RecordingApp app;
    app.m_pszExeName = "versionedapp";
    CVersion v;
    unlink(copy.c_str());
    ExpectNumbers(v, 2, 10, 150, "versionedapp.exe");
}

TEST(FileVersionDefault, WithoutAnApplicationReadsTheRunningExecutable) {
    ASSERT_EQ(AfxGetApp(), nullptr);
    CVersion v;
    ExpectNumbers(v, 3, 1, 7, "no CWinApp: this program's own file");
}

TEST(FileVersionOfLibrary, OwnSharedObjectReportsItsVersion) {
    HMODULE library = GetModuleHandleA("NavoTools.dll");
    ASSERT_NE(library, nullptr);
    char path[4096];
    DWORD n = GetModuleFileNameA(library, path, sizeof path);
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, sizeof path);
    CVersion byPath{CString(path)};
    ExpectNumbers(byPath, 1, 0, 4, path);
    CVersion byName{CString("NavoTools.dll")};
    ExpectNumbers(byName, 1, 0, 4, "NavoTools.dll");

    // The four numbers, through the platform's functions.
    DWORD size = GetFileVersionInfoSizeA(path, nullptr);
    ASSERT_NE(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000004u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000004u);
    LPVOID text = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\ProductName", &text, &length));
    EXPECT_STREQ(static_cast<const char*>(text), "NavoTools Dynamic Link Library");
}

// --- Failed reads change nothing ------------------------------------------------------

TEST(FileVersionFailure, NothingReadMeansNothingChanged) {
    CVersion fresh(Fixture("no_version.dll"));
    ExpectNumbers(fresh, 0, 0, 0, "a fresh object with nothing read");
    EXPECT_STREQ(fresh.GetStrVer(), "0.00.00");
    EXPECT_EQ(fresh.GetVersion(), 0);

    CVersion held;  // 3.1.7, this program's own version
    ASSERT_EQ(held.GetVersion(), 3107);
    for (const char* file : {"no_version.dll", "no_version_x86.dll", "does_not_exist.dll", "", "libNavoTools.so.1.0.0.4.nothing"}) {
        held.GetVersionInfo(*file ? Fixture(file) : CString(NAVOTOOLS_TEST_BINARY_DIR "/"));
        ExpectNumbers(held, 3, 1, 7, file);
    }
    // A truncated copy of a fixture.
    const std::string cut = NAVOTOOLS_TEST_BINARY_DIR "/scratch_truncated.dll";
    {
        std::ifstream in(NAVOTOOLS_TEST_BINARY_DIR "/version_1_2_3_4.dll", std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream out(cut, std::ios::binary);
        out.write(bytes.data(), std::streamsize(bytes.size() / 2));
    }
    held.GetVersionInfo(CString(cut.c_str()));
    unlink(cut.c_str());
    ExpectNumbers(held, 3, 1, 7, "a truncated file");
}

TEST(FileVersionFailure, ASuccessfulReadReplacesAllThree) {
    CVersion v;
    v.GetVersionInfo(Fixture("version_1_10_0_0.dll"));
    ExpectNumbers(v, 1, 10, 0, "after reading 1.10.0.0");
    v.GetVersionInfo(Fixture("version_2_10_0_150_x86.dll"));
    ExpectNumbers(v, 2, 10, 150, "after reading 2.10.0.150");
}

TEST(FileVersionCopies, CopiesAreIndependent) {
    CVersion original(Fixture("version_1_2_3_4.dll"));
    CVersion copy(original);
    ExpectNumbers(copy, 1, 2, 4, "copy");
    copy.GetVersionInfo(Fixture("version_2_0_0_0.dll"));
    ExpectNumbers(copy, 2, 0, 0, "the copy after its own read");
    ExpectNumbers(original, 1, 2, 4, "the original after the copy's read");
    CVersion assigned(Fixture("version_4_123_0_5.dll"));
    assigned = original;
    ExpectNumbers(assigned, 1, 2, 4, "after operator=");
    CVersion* viaBase = new CVersion(original);
    delete viaBase;  // the virtual destructor
}

}  // namespace
