// What start-up reads from the settings file, and the messages it stops with, without a window.
#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

#include "core/catalogue.h"
#include "core/stored_layout.h"

using namespace korven;

namespace {

// A settings file as values by section and key; every read is recorded in order.
struct FakeFile {
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> values;
    std::vector<std::pair<std::wstring, std::wstring>> reads;
    IniReader Reader() {
        return [this](const std::wstring& s, const std::wstring& k) {
            reads.emplace_back(s, k);
            const auto it = values.find({s, k});
            return it == values.end() ? std::wstring() : it->second;
        };
    }
};

const PieceSettings& Of(const StoredLayout& l, const wchar_t* name) {
    for (int n = 1; n <= PrefCount; ++n)
        if (SectionOf(n) == name) return l.pieces[static_cast<size_t>(n - 1)];
    throw std::out_of_range("no such prefecture");
}

}  // namespace

TEST(StoredLayout, NothingStoredPutsEveryPieceOnTheAnchorWhiteWithItsDotAtTheCorner) {
    FakeFile f;
    const StoredLayout l = ReadStoredLayout(f.Reader());
    EXPECT_FALSE(l.anchorError);
    EXPECT_EQ(l.anchorX, 0);
    ASSERT_EQ(l.pieces.size(), 47u);
    for (const PieceSettings& p : l.pieces) {
        EXPECT_FALSE(p.error);
        EXPECT_EQ(p.offsetX, 0);
        EXPECT_EQ(p.capX, 0);
        EXPECT_EQ(p.colour, 0x00FFFFFFu);
        EXPECT_EQ(p.capital, L"");
    }
}

TEST(StoredLayout, ReadsTheAnchorOnceThenEveryPieceInBuildingOrder) {
    FakeFile f;
    f.values = {{{L"東京", L"X"}, L" 3000 "}, {{L"東京", L"Y"}, L"1500"}, {{L"埼玉", L"X"}, L"-450"},
                {{L"埼玉", L"Y"}, L"-600"},   {{L"東京", L"県庁所在地"}, L"新宿区"}, {{L"埼玉", L"県庁X"}, L"12.5"}};
    const StoredLayout l = ReadStoredLayout(f.Reader());
    EXPECT_EQ(l.anchorX, 3000);
    EXPECT_EQ(l.anchorY, 1500);
    EXPECT_EQ(Of(l, L"東京").offsetX, 0) << "the anchor's X is its place, not an offset from itself";
    EXPECT_EQ(Of(l, L"東京").capital, L"新宿区");
    EXPECT_EQ(Of(l, L"埼玉").offsetX, -450);
    EXPECT_EQ(Of(l, L"埼玉").offsetY, -600);
    EXPECT_EQ(Of(l, L"埼玉").capX, 12);  // halves to even
    using R = std::pair<std::wstring, std::wstring>;
    ASSERT_EQ(f.reads.size(), 2u + 4u + 46u * 6u);  // each value once
    EXPECT_EQ(f.reads[0], (R{L"東京", L"X"}));
    EXPECT_EQ(f.reads[2], (R{L"東京", L"県庁X"}));
    EXPECT_EQ(f.reads[6], (R{L"埼玉", L"X"}));
    EXPECT_EQ(f.reads.back(), (R{L"北海道", L"C"}));
}

TEST(StoredLayout, ColoursFollowTheColourRule) {
    FakeFile f;
    f.values = {{{L"東京", L"C"}, L"ff"},      {{L"埼玉", L"C"}, L"FF"},  {{L"栃木", L"C"}, L""},
                {{L"茨城", L"C"}, L"zz"},      {{L"千葉", L"C"}, L"0"},   {{L"群馬", L"C"}, L"80000005"},
                {{L"神奈川", L"C"}, L"FFFFFF"}};
    const StoredLayout l = ReadStoredLayout(f.Reader());
    EXPECT_EQ(Of(l, L"東京").colour, 0xFFu);
    EXPECT_EQ(Of(l, L"埼玉").colour, 0xFFu);
    EXPECT_EQ(Of(l, L"栃木").colour, 0x00FFFFFFu) << "empty is white, not black";
    EXPECT_EQ(Of(l, L"茨城").colour, 0u) << "no hex digit is black";
    EXPECT_EQ(Of(l, L"千葉").colour, 0u);
    EXPECT_EQ(Of(l, L"群馬").colour, 0x80000005u);
    for (const PieceSettings& p : l.pieces) EXPECT_FALSE(p.error);
}

TEST(StoredLayout, AValueThatCannotBeUsedIsTheFirstErrorOfItsPieceOnly) {
    FakeFile f;
    f.values = {{{L"埼玉", L"X"}, L"99999999999"}, {{L"埼玉", L"Y"}, L"-99999999999"},
                {{L"群馬", L"県庁Y"}, L"1e10"},     {{L"千葉", L"C"}, L"123456789"},
                {{L"栃木", L"C"}, L"1000000"},      {{L"茨城", L"X"}, L"15"}};
    const StoredLayout l = ReadStoredLayout(f.Reader());
    const PieceSettings& saitama = Of(l, L"埼玉");
    ASSERT_TRUE(saitama.error);
    EXPECT_EQ(saitama.error->kind, LayoutError::Kind::TooLarge);
    EXPECT_EQ(saitama.error->key, L"X");
    EXPECT_EQ(saitama.error->value, L"99999999999");
    ASSERT_TRUE(Of(l, L"群馬").error);
    EXPECT_EQ(Of(l, L"群馬").error->key, L"県庁Y");
    EXPECT_EQ(Of(l, L"千葉").error->kind, LayoutError::Kind::BadColour);
    EXPECT_EQ(Of(l, L"栃木").error->value, L"1000000") << "one past white is no colour";
    EXPECT_FALSE(Of(l, L"茨城").error);
    EXPECT_EQ(Of(l, L"茨城").offsetX, 15) << "pieces after a bad one are still read";
}

TEST(StoredLayout, AnAnchorBeyond32BitsStopsTheReading) {
    FakeFile f;
    f.values = {{{L"東京", L"Y"}, L"-3000000000"}};
    const StoredLayout l = ReadStoredLayout(f.Reader());
    ASSERT_TRUE(l.anchorError);
    EXPECT_EQ(l.anchorError->key, L"Y");
    EXPECT_TRUE(l.pieces.empty());
    EXPECT_EQ(f.reads.size(), 2u);
}

TEST(StoredLayout, MessagesNameTheFileSectionKeyAndValue) {
    const std::wstring path = L"C:\\KORVEN\\KORVEN.ini";
    const std::wstring text =
        LayoutErrorText({LayoutError::Kind::TooLarge, L"埼玉", L"X", L"99999999999"}, path);
    for (const wchar_t* part : {L"C:\\KORVEN\\KORVEN.ini", L"[埼玉]", L"キー: X\n", L"値: 99999999999", L"X=99999999999」の行"})
        EXPECT_NE(text.find(part), std::wstring::npos) << part;
    EXPECT_NE(LayoutErrorText({LayoutError::Kind::BadColour, L"千葉", L"C", L"1"}, path).find(L"色"),
              std::wstring::npos);
    const std::wstring sum = SumTooLargeText(L"群馬", L"X", L"1000", 2147483000, path);
    EXPECT_NE(sum.find(L"[東京] の位置 2147483000"), std::wstring::npos);
    EXPECT_NE(sum.find(L"値: 1000"), std::wstring::npos);
}
