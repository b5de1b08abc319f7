// Enumerating a module's resources by name, and the argument errors of the enumeration
// functions and of LoadStringA.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "image_module.h"
#include "test_constants.h"

namespace {

HMODULE NamedFixture() {
    static HMODULE module = RegisterImageModuleForTesting(
        std::string(NAVOTOOLS_TEST_BINARY_DIR "/") + "named_resources.dll");
    return module;
}

struct Names {
    std::vector<std::string> items;
    size_t stopAfter = SIZE_MAX;
};

std::string Key(LPCSTR key) {
    return IS_INTRESOURCE(key) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(key)) : std::string(key);
}

BOOL CALLBACK RecordName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
    auto* names = reinterpret_cast<Names*>(param);
    names->items.push_back(Key(name));
    return names->items.size() < names->stopAfter;
}

BOOL CALLBACK RecordType(HMODULE, LPSTR type, LONG_PTR param) {
    reinterpret_cast<Names*>(param)->items.push_back(Key(type));
    return TRUE;
}

BOOL CALLBACK RecordLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<Names*>(param)->items.push_back(std::to_string(language));
    return TRUE;
}

TEST(EnumResourceNames, NamesThenIdsEachOnceWhateverTheirLanguages) {
    ASSERT_NE(NamedFixture(), nullptr);
    // Greeting exists in English and French: one name, reported once.
    Names rcdata;
    EXPECT_TRUE(EnumResourceNamesA(NamedFixture(), RT_RCDATA, &RecordName, reinterpret_cast<LONG_PTR>(&rcdata)));
    EXPECT_EQ((std::vector<std::string>{"GREETING", "LONGERNAME", "#7"}), rcdata.items);
    // The same type by its "#" number, and a named type in any case.
    Names byNumber;
    EXPECT_TRUE(EnumResourceNamesA(NamedFixture(), "#10", &RecordName, reinterpret_cast<LONG_PTR>(&byNumber)));
    EXPECT_EQ(rcdata.items, byNumber.items);
    Names custom;
    EXPECT_TRUE(EnumResourceNamesA(NamedFixture(), "navodata", &RecordName, reinterpret_cast<LONG_PTR>(&custom)));
    EXPECT_EQ(std::vector<std::string>{"PAYLOAD"}, custom.items);
}

TEST(EnumResourceNames, TypesIncludeTheNamedOneAndLanguagesListBoth) {
    Names types;
    EXPECT_TRUE(EnumResourceTypesA(NamedFixture(), &RecordType, reinterpret_cast<LONG_PTR>(&types)));
    EXPECT_EQ((std::vector<std::string>{"NAVODATA", "#10", "#16"}), types.items);
    Names languages;
    EXPECT_TRUE(EnumResourceLanguagesA(NamedFixture(), RT_RCDATA, "greeting", &RecordLanguage,
                                       reinterpret_cast<LONG_PTR>(&languages)));
    EXPECT_EQ((std::vector<std::string>{"1033", "1036"}), languages.items);
}

TEST(EnumResourceNames, TheCallbackStopsTheWalk) {
    Names first;
    first.stopAfter = 1;
    SetLastError(kUntouched);
    EXPECT_FALSE(EnumResourceNamesA(NamedFixture(), RT_RCDATA, &RecordName, reinterpret_cast<LONG_PTR>(&first)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_ENUM_USER_STOP));
    EXPECT_EQ(std::vector<std::string>{"GREETING"}, first.items);
}

TEST(EnumResourceNames, ErrorsNameWhatIsWrong) {
    Names none;
    auto param = reinterpret_cast<LONG_PTR>(&none);
    SetLastError(kUntouched);
    EXPECT_FALSE(EnumResourceNamesA(NamedFixture(), RT_BITMAP, &RecordName, param));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND));
    SetLastError(kUntouched);
    EXPECT_FALSE(EnumResourceNamesA(NamedFixture(), RT_RCDATA, nullptr, param));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOACCESS));
    SetLastError(kUntouched);
    EXPECT_FALSE(EnumResourceNamesA(NamedFixture(), "#70000", &RecordName, param));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(kUntouched);
    EXPECT_FALSE(EnumResourceTypesA(NamedFixture(), nullptr, param));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOACCESS));
    SetLastError(kUntouched);
    EXPECT_FALSE(EnumResourceLanguagesA(NamedFixture(), RT_RCDATA, "Greeting", nullptr, param));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOACCESS));
    SetLastError(kUntouched);
    EXPECT_FALSE(EnumResourceLanguagesA(NamedFixture(), "#99999", "Greeting", &RecordLanguage, param));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    // A handle that names no module with resources.
    int notAModule = 0;
    HMODULE bogus = reinterpret_cast<HMODULE>(&notAModule);
    for (auto call : {+[](HMODULE m, LONG_PTR p) { return EnumResourceTypesA(m, &RecordType, p); },
                      +[](HMODULE m, LONG_PTR p) { return EnumResourceNamesA(m, RT_RCDATA, &RecordName, p); },
                      +[](HMODULE m, LONG_PTR p) {
                          return EnumResourceLanguagesA(m, RT_RCDATA, "Greeting", &RecordLanguage, p);
                      }}) {
        SetLastError(kUntouched);
        EXPECT_FALSE(call(bogus, param));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
    }
    EXPECT_TRUE(none.items.empty());
}

TEST(LoadStringArguments, NullBufferOrNegativeSizeIsAnInvalidParameter) {
    SetLastError(kUntouched);
    EXPECT_EQ(LoadStringA(NamedFixture(), 1, nullptr, 10), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    char buffer[4] = "abc";
    SetLastError(kUntouched);
    EXPECT_EQ(LoadStringA(NamedFixture(), 1, buffer, -1), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_STREQ(buffer, "abc");  // nothing written
}

}  // namespace
