// The version-block reader on blocks built here from a small description: malformed
// nodes are errors with a reason, values that claim too much are cut, lists end at a
// zero length, deep nesting is fine, and the ANSI block answers VerQueryValueA.
#include <gtest/gtest.h>

#include <algorithm>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/version_block.h"

namespace {

using navo::win32::ByteView;

// One node of a block to build. `valueLength` is stored as given, so that a node can
// claim more than it holds.
struct Node {
    std::u16string key;
    bool text = false;
    std::vector<BYTE> value;
    WORD valueLength = 0;
    std::vector<Node> children;
};

Node Text(std::u16string key, std::u16string value) {
    Node n{std::move(key), true, {}, WORD(value.size() + 1), {}};
    for (char16_t c : value) {
        n.value.push_back(BYTE(c));
        n.value.push_back(BYTE(c >> 8));
    }
    n.value.push_back(0);
    n.value.push_back(0);
    return n;
}

Node Binary(std::u16string key, std::vector<BYTE> value) {
    WORD length = WORD(value.size());
    return Node{std::move(key), false, std::move(value), length, {}};
}

Node Block(std::u16string key, std::vector<Node> children, bool text = true) {
    return Node{std::move(key), text, {}, 0, std::move(children)};
}

void Pad(std::vector<BYTE>& out) {
    while (out.size() % 4) out.push_back(0);
}

void Put16(std::vector<BYTE>& out, size_t at, size_t v) {
    out[at] = BYTE(v);
    out[at + 1] = BYTE(v >> 8);
}

void Emit(std::vector<BYTE>& out, const Node& n) {
    Pad(out);
    const size_t start = out.size();
    out.resize(start + 6);
    Put16(out, start + 2, n.valueLength);
    Put16(out, start + 4, n.text ? 1 : 0);
    for (char16_t c : n.key) {
        out.push_back(BYTE(c));
        out.push_back(BYTE(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    Pad(out);
    out.insert(out.end(), n.value.begin(), n.value.end());
    for (const Node& child : n.children) Emit(out, child);
    Put16(out, start, out.size() - start);
}

std::vector<BYTE> Build(const Node& root) {
    std::vector<BYTE> out;
    Emit(out, root);
    return out;
}

std::vector<BYTE> FixedInfo(DWORD ms, DWORD ls) {
    VS_FIXEDFILEINFO info{};
    info.dwSignature = VS_FFI_SIGNATURE;
    info.dwStrucVersion = VS_FFI_STRUCVERSION;
    info.dwFileVersionMS = ms;
    info.dwFileVersionLS = ls;
    std::vector<BYTE> bytes(sizeof info);
    memcpy(bytes.data(), &info, sizeof info);
    return bytes;
}

Node TypicalRoot() {
    return Node{u"VS_VERSION_INFO",
                false,
                FixedInfo(0x00050006, 0x00070008),
                WORD(sizeof(VS_FIXEDFILEINFO)),
                {Block(u"StringFileInfo", {Block(u"040904b0", {Text(u"FileVersion", u"5.6.7.8"), Text(u"Empty", u"")})}),
                 Block(u"VarFileInfo", {Binary(u"Translation", {0x09, 0x04, 0xB0, 0x04})}, false)}};
}

std::string ReadError(const std::vector<BYTE>& bytes) {
    auto built = navo::win32::BuildAnsiVersionBlock(ByteView(bytes.data(), bytes.size()));
    return built ? std::string() : built.error().what;
}

// --- Structure -------------------------------------------------------------------------

TEST(VersionBlockStructure, MalformedNodesAreErrorsWithAReason) {
    std::vector<BYTE> good = Build(TypicalRoot());
    ASSERT_EQ(ReadError(good), "");

    // A root that claims more than the resource holds.
    std::vector<BYTE> longRoot = good;
    Put16(longRoot, 0, good.size() + 4);
    EXPECT_NE(ReadError(longRoot).find("root length past the end"), std::string::npos);

    // A root too short for its header, and one whose key never ends.
    std::vector<BYTE> shortRoot = good;
    Put16(shortRoot, 0, 7);
    EXPECT_NE(ReadError(shortRoot).find("shorter than its header"), std::string::npos);
    std::vector<BYTE> unterminated(12, 'A');
    Put16(unterminated, 0, 12);
    EXPECT_NE(ReadError(unterminated).find("key not terminated"), std::string::npos);
    EXPECT_NE(ReadError({0x10}).find("past the end"), std::string::npos) << "one byte";
    EXPECT_NE(ReadError({}).find("past the end"), std::string::npos) << "no bytes";
}

TEST(VersionBlockStructure, AChildPastItsParentEndsTheWalkButNotTheRoot) {
    std::vector<BYTE> bytes = Build(TypicalRoot());
    auto root = navo::win32::ReadVersionRoot(ByteView(bytes.data(), bytes.size()));
    ASSERT_TRUE(root);
    // Stretch the first child (StringFileInfo) past the root.
    const size_t first = root->childrenOffset;
    Put16(bytes, first, bytes.size());
    ByteView view(bytes.data(), bytes.size());
    auto children = navo::win32::ReadVersionChildren(view, *root);
    ASSERT_FALSE(children);
    EXPECT_NE(children.error().what.find("past its parent"), std::string::npos);
    EXPECT_EQ(children.error().offset, first);
    // The block is still handed out: its root and fixed part are intact.
    auto built = navo::win32::BuildAnsiVersionBlock(view);
    ASSERT_TRUE(built);
    LPVOID value = nullptr;
    UINT length = 0;
    EXPECT_TRUE(VerQueryValueA(built->data(), "\\", &value, &length));
    EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    SetLastError(0);
    EXPECT_FALSE(VerQueryValueA(built->data(), "\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
}

TEST(VersionBlockStructure, AZeroLengthChildEndsTheList) {
    Node root = TypicalRoot();
    std::vector<BYTE> bytes = Build(root);
    auto parsed = navo::win32::ReadVersionRoot(ByteView(bytes.data(), bytes.size()));
    ASSERT_TRUE(parsed);
    ByteView view(bytes.data(), bytes.size());
    auto before = navo::win32::ReadVersionChildren(view, *parsed);
    ASSERT_TRUE(before);
    ASSERT_EQ(before->size(), 2u);
    // Zero the second child's length: the list stops before it, without an error.
    Put16(bytes, (*before)[1].offset, 0);
    auto after = navo::win32::ReadVersionChildren(view, *parsed);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->size(), 1u);
}

TEST(VersionBlockStructure, ValuesClaimingMoreThanTheNodeHoldsAreCut) {
    // A text value whose length counts bytes, not characters: twice what is stored.
    Node text = Text(u"FileVersion", u"9.9");
    text.valueLength = WORD(text.value.size());
    Node root{u"VS_VERSION_INFO", false, FixedInfo(0x00090009, 0), WORD(sizeof(VS_FIXEDFILEINFO)),
              {Block(u"StringFileInfo", {Block(u"040904b0", {text})})}};
    std::vector<BYTE> bytes = Build(root);
    auto built = navo::win32::BuildAnsiVersionBlock(ByteView(bytes.data(), bytes.size()));
    ASSERT_TRUE(built);
    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(built->data(), "\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
    EXPECT_STREQ(static_cast<const char*>(value), "9.9");
    EXPECT_EQ(length, 4u);

    // A root whose fixed part is declared longer than the node: cut to what is there.
    Node shortFixed{u"VS_VERSION_INFO", false, {0xBD, 0x04, 0xEF, 0xFE}, WORD(sizeof(VS_FIXEDFILEINFO)), {}};
    bytes = Build(shortFixed);
    built = navo::win32::BuildAnsiVersionBlock(ByteView(bytes.data(), bytes.size()));
    ASSERT_TRUE(built);
    ASSERT_TRUE(VerQueryValueA(built->data(), "\\", &value, &length));
    EXPECT_EQ(length, 4u);
}

TEST(VersionBlockStructure, DeepNestingIsWalkedWithoutRecursion) {
    // 2,000 levels of one-letter blocks, a text at the bottom: within 64 KB.
    Node node = Text(u"t", u"deep");
    for (int i = 0; i < 2000; ++i) node = Block(u"b", {node});
    Node root{u"VS_VERSION_INFO", false, FixedInfo(1, 0), WORD(sizeof(VS_FIXEDFILEINFO)), {node}};
    std::vector<BYTE> bytes = Build(root);
    ASSERT_LT(bytes.size(), 65536u);
    ByteView view(bytes.data(), bytes.size());
    auto parsed = navo::win32::ReadVersionRoot(view);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(navo::win32::CollectVersionTexts(view, *parsed).size(), 2001u);
    auto built = navo::win32::BuildAnsiVersionBlock(view);
    ASSERT_TRUE(built);
    std::string path;
    for (int i = 0; i < 2000; ++i) path += "\\b";
    path += "\\t";
    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(built->data(), path.c_str(), &value, &length));
    EXPECT_STREQ(static_cast<const char*>(value), "deep");
}

TEST(VersionBlockStructure, EveryCutOfTheResourceIsAnErrorUntilTheRootFits) {
    std::vector<BYTE> bytes = Build(TypicalRoot());
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        std::vector<BYTE> part(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut));
        EXPECT_NE(ReadError(part), "") << "cut at " << cut;
    }
    EXPECT_EQ(ReadError(bytes), "");
}

// --- The ANSI block ----------------------------------------------------------------------

TEST(AnsiVersionBlock, TextsHaveCopiesAndBinaryValuesStayInPlace) {
    std::vector<BYTE> raw = Build(TypicalRoot());
    auto built = navo::win32::BuildAnsiVersionBlock(ByteView(raw.data(), raw.size()));
    ASSERT_TRUE(built);
    std::vector<BYTE>& block = *built;
    // The raw block comes first, unchanged.
    ASSERT_GT(block.size(), raw.size());
    EXPECT_EQ(memcmp(block.data(), raw.data(), raw.size()), 0);
    EXPECT_EQ(memcmp(block.data() + ((raw.size() + 3) & ~size_t(3)), "FE2X", 4), 0);

    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    EXPECT_EQ(length, 4u);
    EXPECT_LT(static_cast<BYTE*>(value), block.data() + raw.size()) << "binary values point into the raw block";
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
    EXPECT_GE(static_cast<BYTE*>(value), block.data() + raw.size()) << "texts point to their copies";
    EXPECT_STREQ(static_cast<const char*>(value), "5.6.7.8");
    EXPECT_EQ(length, 8u);
}

// Written straight into a caller's buffer, the block is the built one, padding zeros
// included, and nothing past it is touched; a buffer one byte short gets nothing.
TEST(AnsiVersionBlock, WrittenInPlaceAsBuilt) {
    std::vector<BYTE> raw = Build(TypicalRoot());
    for (size_t extra : {0, 1, 2, 3}) {
        std::vector<BYTE> resource = raw;
        resource.resize(raw.size() + extra, 0xAB);  // a root whose end needs padding
        Put16(resource, 0, resource.size());
        const ByteView view(resource.data(), resource.size());
        auto built = navo::win32::BuildAnsiVersionBlock(view);
        ASSERT_TRUE(built);
        const size_t size = built->size();
        for (size_t room : {size + 16, size, size - 1}) {
            std::vector<BYTE> buffer(size + 16, 0xEE);
            std::vector<BYTE> spill;
            auto written = navo::win32::BuildAnsiVersionBlockInto(view, buffer.data(), room, spill);
            ASSERT_TRUE(written);
            EXPECT_EQ(*written, size);
            const std::vector<BYTE> expected = room >= size ? *built : std::vector<BYTE>(size, 0xEE);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin())) << extra << " room " << room;
            EXPECT_TRUE(std::all_of(buffer.begin() + std::ptrdiff_t(size), buffer.end(), [](BYTE b) { return b == 0xEE; }));
        }
    }
}

TEST(AnsiVersionBlock, AKeyWithoutDataGivesAnEmptyText) {
    // As the platform's own test block: a text node with a value length of 0.
    Node empty{u"FileVersion", true, {}, 0, {}};
    Node root{u"VS_VERSION_INFO", false, FixedInfo(1, 0), WORD(sizeof(VS_FIXEDFILEINFO)),
              {Block(u"StringFileInfo", {Block(u"FFFF0000", {empty, Text(u"ProductVersion", u"1.0.0.1")})})}};
    std::vector<BYTE> raw = Build(root);
    auto built = navo::win32::BuildAnsiVersionBlock(ByteView(raw.data(), raw.size()));
    ASSERT_TRUE(built);
    LPVOID value = nullptr;
    UINT length = 99;
    ASSERT_TRUE(VerQueryValueA(built->data(), "\\StringFileInfo\\FFFF0000\\FileVersion", &value, &length));
    EXPECT_EQ(length, 0u);
    EXPECT_STREQ(static_cast<const char*>(value), "");
    // The node after it is read as usual.
    ASSERT_TRUE(VerQueryValueA(built->data(), "\\StringFileInfo\\FFFF0000\\ProductVersion", &value, &length));
    EXPECT_STREQ(static_cast<const char*>(value), "1.0.0.1");
    EXPECT_EQ(length, 8u);
}

TEST(AnsiVersionBlock, ABlockWithoutCopiesGivesNoTexts) {
    // The raw resource alone, with room after it but no table: texts cannot be answered
    // in ANSI, while the fixed part still can.
    std::vector<BYTE> raw = Build(TypicalRoot());
    raw.resize(raw.size() + 64, 0);
    LPVOID value = nullptr;
    UINT length = 0;
    EXPECT_TRUE(VerQueryValueA(raw.data(), "\\", &value, &length));
    SetLastError(0);
    EXPECT_FALSE(VerQueryValueA(raw.data(), "\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
    EXPECT_EQ(length, 0u);
}

TEST(AnsiVersionBlock, KeysCompareWithUnicodeCaseFolding) {
    Node root{u"VS_VERSION_INFO", false, FixedInfo(1, 0), WORD(sizeof(VS_FIXEDFILEINFO)),
              {Block(u"StringFileInfo", {Block(u"040904b0", {Text(u"\u00c9dition", u"premi\u00e8re")})})}};
    std::vector<BYTE> raw = Build(root);
    auto built = navo::win32::BuildAnsiVersionBlock(ByteView(raw.data(), raw.size()));
    ASSERT_TRUE(built);
    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(built->data(), "\\StringFileInfo\\040904B0\\\xC3\xA9" "DITION", &value, &length));
    EXPECT_STREQ(static_cast<const char*>(value), "premi\xC3\xA8re");
    EXPECT_EQ(length, 10u);  // "è" takes two bytes
}

}  // namespace
