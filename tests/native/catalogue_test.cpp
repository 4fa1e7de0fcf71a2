#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/catalogue.h"

using namespace korven;

TEST(Catalogue, PieceOrderIsAPermutationFromTheAnchorToHokkaido) {
    std::set<int> seen(PieceOrder.begin(), PieceOrder.end());
    EXPECT_EQ(seen.size(), 47u);
    EXPECT_EQ(*seen.begin(), 1);
    EXPECT_EQ(*seen.rbegin(), 47);
    EXPECT_EQ(PieceAtPlace(0), AnchorPiece);
    EXPECT_EQ(PieceAtPlace(46), 1);
    EXPECT_EQ(PrefName(PieceIndexOf(PieceAtPlace(46))), "北海道");
}

TEST(Catalogue, AnchorIsTokyoWithItsRecords) {
    const int k = PieceIndexOf(AnchorPiece);
    EXPECT_EQ(PrefName(k), "東京");
    EXPECT_EQ(FillRecordOf(k), 12);
    EXPECT_EQ(OutlineRecordOf(k), 59);
}

TEST(Catalogue, LastPieceIsOkinawaWithItsRecords) {
    EXPECT_EQ(PrefName(PieceIndexOf(47)), "沖縄");
    EXPECT_EQ(FillRecordOf(46), 46);
    EXPECT_EQ(OutlineRecordOf(46), 93);
}

TEST(Catalogue, KeepsItsOwnOrderRatherThanTheJisOrder) {
    auto at = [](std::string_view n) {
        return std::find(PrefNames.begin(), PrefNames.end(), n) - PrefNames.begin();
    };
    EXPECT_LT(at("秋田"), at("岩手"));
    EXPECT_GT(at("宮城"), at("山形"));
    EXPECT_LT(at("千葉"), at("群馬"));
    EXPECT_LT(at("長野"), at("山梨"));
    std::set<std::string_view> unique(PrefNames.begin(), PrefNames.end());
    EXPECT_EQ(unique.size(), 47u);
}

TEST(Catalogue, PieceOrderByNameGrowsOutwardFromTheCapitalRegion) {
    const char* expected[] = {"東京", "埼玉", "群馬", "栃木", "茨城", "千葉", "神奈川", "山梨", "長野", "新潟",
                              "福島", "静岡", "岐阜", "富山", "山形", "宮城", "愛知", "石川", "秋田", "岩手",
                              "三重", "滋賀", "福井", "青森", "奈良", "京都", "和歌山", "大阪", "兵庫", "岡山",
                              "鳥取", "広島", "島根", "山口", "香川", "徳島", "高知", "愛媛", "大分", "宮崎",
                              "鹿児島", "熊本", "福岡", "佐賀", "長崎", "沖縄", "北海道"};
    for (int place = 0; place < PrefCount; ++place)
        EXPECT_EQ(PrefName(PieceIndexOf(PieceAtPlace(place))), expected[place]) << "place " << place;
}
