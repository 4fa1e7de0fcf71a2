#include "menu/command_logic.h"

#include <gtest/gtest.h>

#include "core/ini_engine.h"
#include "core/notice_text.h"

namespace korven {
namespace {

TEST(ColourText, UpperCaseHexWithoutPrefixOrLeadingZeros) {
    EXPECT_EQ(ColourText(0x00FFFFFF), L"FFFFFF");
    EXPECT_EQ(ColourText(0x000000FF), L"FF");
    EXPECT_EQ(ColourText(0), L"0");
    EXPECT_EQ(ColourText(0x00010000), L"10000");
    EXPECT_EQ(ColourText(0x00ABCDEF), L"ABCDEF");
    EXPECT_EQ(ColourText(0x0000000A), L"A");
    EXPECT_EQ(ColourText(0xFFFFFFFFu), L"FFFFFFFF");
}

TEST(SectionOf, IsThePrefectureNameAsTheCatalogueSpellsIt) {
    EXPECT_EQ(SectionOf(13), L"東京");
    EXPECT_EQ(SectionOf(14), L"神奈川");
    EXPECT_EQ(SectionOf(1), L"北海道");
    EXPECT_EQ(SectionOf(47), L"沖縄");
    EXPECT_EQ(ini::WideFromUtf8("a\xC3\xA9\xF0\x9F\x98\x80"), std::wstring(L"a\u00E9") + L"\xD83D\xDE00");
    EXPECT_EQ(ini::WideFromUtf8("\xE6\x9D"), L"\uFFFD");  // cut short
}

std::vector<PieceSnapshot> Layout() {
    std::vector<PieceSnapshot> pieces(PrefCount);
    for (int i = 0; i < PrefCount; ++i)
        pieces[static_cast<size_t>(i)] = {true, 3000 + 15 * i, 1500 - 30 * i, 100 + i, 200 + i};
    return pieces;
}

TEST(CaptureEntries, WritesFourKeysPerPieceInPieceNumberOrder) {
    const auto pieces = Layout();
    const auto entries = CaptureEntries(pieces);
    ASSERT_EQ(entries.size(), 188u);
    const wchar_t* keys[] = {L"X", L"Y", L"県庁X", L"県庁Y"};
    for (int k = 1; k <= PrefCount; ++k) {
        for (int j = 0; j < 4; ++j) {
            const IniEntry& e = entries[static_cast<size_t>((k - 1) * 4 + j)];
            EXPECT_EQ(e.section, SectionOf(k));
            EXPECT_EQ(e.key, keys[j]);
        }
    }
    const auto& anchor = pieces[12];
    // The anchor's own X and Y are absolute; every other piece's are offsets from it.
    EXPECT_EQ(entries[12 * 4 + 0].value, std::to_wstring(anchor.left));
    EXPECT_EQ(entries[12 * 4 + 1].value, std::to_wstring(anchor.top));
    EXPECT_EQ(entries[0].value, L"-180");  // 3000 - (3000 + 180)
    EXPECT_EQ(entries[1].value, L"360");
    EXPECT_EQ(entries[2].value, L"100");
    EXPECT_EQ(entries[3].value, L"200");
    EXPECT_EQ(entries[46 * 4 + 0].value, std::to_wstring(15 * 46 - 15 * 12));
}

TEST(CaptureEntries, DraggedPieceGetsAnXSmallerByTheDrag) {
    auto pieces = Layout();
    const auto before = CaptureEntries(pieces);
    pieces[13].left -= 150;  // 神奈川
    const auto after = CaptureEntries(pieces);
    EXPECT_EQ(std::stoi(after[13 * 4].value), std::stoi(before[13 * 4].value) - 150);
    for (size_t i = 0; i < before.size(); ++i)
        if (i != 13 * 4) EXPECT_EQ(after[i], before[i]) << i;
}

TEST(CaptureEntries, OffsetBeyond32BitsKeepsTheStoredOneAndStillWritesTheDot) {
    auto pieces = Layout();
    pieces[12].left = -2000000000;
    pieces[0].left = 2000000000;  // 4e9 from the anchor
    const auto entries = CaptureEntries(pieces);
    ASSERT_EQ(entries.size(), 186u);
    EXPECT_EQ(entries[0], (IniEntry{L"北海道", L"県庁X", L"100"}));
    EXPECT_EQ(entries[1], (IniEntry{L"北海道", L"県庁Y", L"200"}));
    EXPECT_EQ(entries[2].section, L"青森");
    EXPECT_EQ(entries[2].key, L"X");
    EXPECT_EQ(entries[2].value, L"2000003015");
    EXPECT_EQ(entries[12 * 4 - 2].value, L"-2000000000");  // the anchor's own X is absolute
}

TEST(CaptureEntries, PieceThatCannotBeReadIsSkipped) {
    auto pieces = Layout();
    pieces[4].present = false;
    auto entries = CaptureEntries(pieces);
    ASSERT_EQ(entries.size(), 184u);
    for (const auto& e : entries) EXPECT_NE(e.section, SectionOf(5));
    // Without an anchor there is nothing to measure from: the offsets stored stay, the dots are written.
    pieces[12].present = false;
    entries = CaptureEntries(pieces);
    ASSERT_EQ(entries.size(), 90u);
    for (const auto& e : entries) EXPECT_TRUE(e.key == L"県庁X" || e.key == L"県庁Y");
}

TEST(ExitEntries, APieceWithoutAColourKeepsItsStoredOne) {
    std::vector<std::optional<uint32_t>> colours(PrefCount);
    colours[12] = 0xFF;
    colours[0] = 0;
    const auto entries = ExitEntries(0, 0, colours);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[2], (IniEntry{L"北海道", L"C", L"0"}));
    EXPECT_EQ(entries[3], (IniEntry{L"東京", L"C", L"FF"}));
}

TEST(ExitEntries, AnchorPositionThenEveryColourInPieceIndexOrder) {
    std::vector<std::optional<uint32_t>> colours(PrefCount, 0x00FFFFFF);
    colours[46] = 0xFF;
    const auto entries = ExitEntries(-45, 7200, colours);
    ASSERT_EQ(entries.size(), 49u);
    EXPECT_EQ(entries[0], (IniEntry{L"東京", L"X", L"-45"}));
    EXPECT_EQ(entries[1], (IniEntry{L"東京", L"Y", L"7200"}));
    for (int i = 0; i < PrefCount; ++i) {
        const IniEntry& e = entries[static_cast<size_t>(i) + 2];
        EXPECT_EQ(e.section, SectionOf(i + 1));
        EXPECT_EQ(e.key, L"C");
        EXPECT_EQ(e.value, i == 46 ? L"FF" : L"FFFFFF");
    }
}

TEST(MessageTexts, NameTheFileTheReasonAndTheCharacters) {
    const std::pair<SavedBy, const wchar_t*> next[] = {{SavedBy::Exit, L"保存せずに終了します"},
                                                        {SavedBy::CapitalDialog, L"入力した文字はそのまま"}};
    for (const auto& [by, said] : next) {
        const auto text = WriteFailureText(L"C:\\KORVEN\\KORVEN.ini", L"読み取り専用です", by);
        for (const wchar_t* part : {L"C:\\KORVEN\\KORVEN.ini", L"読み取り専用です", said})
            EXPECT_NE(text.find(part), std::wstring::npos) << static_cast<int>(by);
    }
    EXPECT_NE(UnstorableText(L"\u00E9\U0001F600").find(L"\u00E9\U0001F600"), std::wstring::npos);
}

}  // namespace
}  // namespace korven
