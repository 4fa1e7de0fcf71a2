#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "regions/record_sizes.h"
#include "regions/region_record.h"

using namespace korven;

namespace {

RegionRecord Make(std::vector<RectL> rects) {
    RegionRecord r{};
    r.rdh = {32, 1, static_cast<uint32_t>(rects.size()), static_cast<uint32_t>(16 * rects.size()), {}};
    RectL box{1000, 1000, -1000, -1000};
    for (size_t i = 0; i < rects.size(); ++i) {
        r.Buffer[i] = rects[i];
        box = {std::min(box.left, rects[i].left), std::min(box.top, rects[i].top),
               std::max(box.right, rects[i].right), std::max(box.bottom, rects[i].bottom)};
    }
    r.rdh.rcBound = box;
    return r;
}

// 16 one-pixel rectangles on separate rows: the smallest valid record.
std::vector<RectL> Ladder() {
    std::vector<RectL> v;
    for (int i = 0; i < 16; ++i) v.push_back({1 + i % 2, 1 + 2 * i, 3 + i % 2, 2 + 2 * i});
    return v;
}

}  // namespace

TEST(RegionStore, StartsEmptyAndLoadsOnceOnFirstUse) {
    // Runs first in this binary: nothing has touched the store yet.
    RegionRecord zero{};
    for (int n = 0; n < RecordSlots; ++n) ASSERT_EQ(std::memcmp(&RegionStore[n], &zero, sizeof zero), 0) << n;
    EXPECT_EQ(RegionStoreLoaded, 0);
    EnsureRegionStore();
    EXPECT_EQ(RegionStoreLoaded, -1);
    EXPECT_EQ(std::memcmp(&RegionStore[94], &zero, sizeof zero), 0);
    // A second call must not load again: a record changed in between stays changed.
    RegionStore[35].Buffer[0].left = 99;
    EnsureRegionStore();
    EXPECT_EQ(RegionStore[35].Buffer[0].left, 99);
    LoadRegionStore();
    EXPECT_EQ(RegionStore[35].Buffer[0].left, RegionSources[35].rects[0]);
}

TEST(RegionStore, StoreIsOneStaticBlockOfTheStatedSize) {
    EXPECT_EQ(sizeof(RegionStore), 685520u);
}

// The generated data replaced the listed drawing, so record 35 is checked against its source.
TEST(RegionStore, Record35HoldsKagawasFillAsGenerated) {
    EnsureRegionStore();
    const RegionRecord& r = RecordAt(35);
    const RegionSource& s = RegionSources[35];
    const uint32_t n = s.count;
    EXPECT_EQ(r.rdh.dwSize, 32u);
    EXPECT_EQ(r.rdh.iType, 1u);
    EXPECT_EQ(r.rdh.nCount, n);
    EXPECT_EQ(r.rdh.nRgnSize, 16 * n);
    EXPECT_EQ(RecordByteCount(35), 32 + 16 * n);
    EXPECT_EQ(r.Buffer[0].left, s.rects[0]);
    EXPECT_EQ(r.Buffer[n - 1].bottom, s.rects[4 * n - 1]);
    EXPECT_EQ(r.Buffer[n].right, 0);  // tail stays zero
    EXPECT_FALSE(ValidateRecord(r).has_value()) << *ValidateRecord(r);
}

TEST(RegionStore, EmptyAndOutOfRangeRecordsHaveNoBytes) {
    EnsureRegionStore();
    EXPECT_EQ(RecordByteCount(94), 0u);
    EXPECT_EQ(RecordByteCount(-1), 0u);
    EXPECT_EQ(RecordByteCount(95), 0u);
}

TEST(RecordValidator, AcceptsACanonicalRecord) {
    auto r = Make(Ladder());
    EXPECT_FALSE(ValidateRecord(r).has_value()) << *ValidateRecord(r);
}

TEST(RecordValidator, ReportsHeaderFaults) {
    auto r = Make(Ladder());
    r.rdh.dwSize = 28;
    EXPECT_NE(ValidateRecord(r)->find("dwSize"), std::string::npos);
    r = Make(Ladder());
    r.rdh.iType = 2;
    EXPECT_NE(ValidateRecord(r)->find("iType"), std::string::npos);
    r = Make(Ladder());
    r.rdh.nRgnSize = 15 * 16;
    EXPECT_NE(ValidateRecord(r)->find("nRgnSize"), std::string::npos);
    auto few = Ladder();
    few.pop_back();
    EXPECT_NE(ValidateRecord(Make(few))->find("nCount"), std::string::npos);
}

TEST(RecordValidator, ReportsAWrongBound) {
    auto r = Make(Ladder());
    r.rdh.rcBound.right += 1;
    EXPECT_NE(ValidateRecord(r)->find("bounding box"), std::string::npos);
}

TEST(RecordValidator, ReportsBandFaults) {
    auto v = Ladder();
    v[1] = {1, 1, 2, 2};  // same top as v[0] but left of it
    EXPECT_NE(ValidateRecord(Make(v))->find("touches"), std::string::npos);
    v = Ladder();
    v[1] = {3, 1, 5, 3};  // same top, different bottom
    EXPECT_NE(ValidateRecord(Make(v))->find("bottom"), std::string::npos);
    v = Ladder();
    v[1] = {3, 1, 5, 2};  // touches v[0] = (1,1,3,2) at x = 3
    EXPECT_NE(ValidateRecord(Make(v))->find("touches"), std::string::npos);
    v = Ladder();
    v[2].top = 3;  // band overlapping the one above (rows 3..6 vs 3..4)
    v[1] = {2, 3, 4, 5};
    v[2] = {1, 4, 3, 6};
    EXPECT_NE(ValidateRecord(Make(v))->find("above"), std::string::npos);
}

TEST(RecordValidator, ReportsUnmergedTouchingBandsAndEmptyRectangles) {
    auto v = Ladder();
    v[1] = {1, 2, 3, 3};  // directly below v[0] with the same span: must have been merged
    EXPECT_NE(ValidateRecord(Make(v))->find("same spans"), std::string::npos);
    v = Ladder();
    v[3].right = v[3].left;
    EXPECT_NE(ValidateRecord(Make(v))->find("empty"), std::string::npos);
}

TEST(RecordFromMask, MergesIdenticalRowsAndSplitsRuns) {
    // rows 0-1: two runs; row 2: one run; row 3 empty; row 4: an island
    const int w = 6, h = 5;
    const uint8_t m[w * h] = {
        0, 1, 1, 0, 1, 0,  //
        0, 1, 1, 0, 1, 0,  //
        1, 1, 1, 1, 1, 1,  //
        0, 0, 0, 0, 0, 0,  //
        0, 0, 0, 1, 0, 0,
    };
    RegionRecord r;
    ASSERT_TRUE(RecordFromMask(m, w, h, r));
    ASSERT_EQ(r.rdh.nCount, 4u);
    EXPECT_EQ(r.Buffer[0].left, 1);
    EXPECT_EQ(r.Buffer[0].bottom, 2);
    EXPECT_EQ(r.Buffer[1].left, 4);
    EXPECT_EQ(r.Buffer[2].right, 6);
    EXPECT_EQ(r.Buffer[3].top, 4);
    EXPECT_EQ(r.rdh.rcBound.left, 0);
    EXPECT_EQ(r.rdh.rcBound.bottom, 5);
}

TEST(RecordFromMask, TakesAsManyRectanglesAsTheCapacityAndNoMore) {
    // A checkerboard of 60 × 16 pixels has 480 one-pixel runs.
    const int w = 60, h = 16;
    std::vector<uint8_t> m(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) m[y * w + x] = (x + y) % 2;
    RegionRecord r;
    EXPECT_FALSE(RecordFromMask(m.data(), w, h, r));
    // Cut to the capacity's count of runs, the record is made and valid: one limit for both.
    int runs = 480;
    for (int i = w * h - 1; runs > RecordCapacity; --i) runs -= m[i] ? (m[i] = 0, 1) : 0;
    ASSERT_TRUE(RecordFromMask(m.data(), w, h, r));
    EXPECT_EQ(r.rdh.nCount, static_cast<uint32_t>(RecordCapacity));
    EXPECT_FALSE(ValidateRecord(r).has_value()) << *ValidateRecord(r);
}

TEST(RecordSizes, FillAndOutlineShareTheirSizeAndOthersHaveNone) {
    TwipSize a, b;
    ASSERT_TRUE(RecordSizeTable(0, a));
    EXPECT_EQ(a.height, 2115);
    EXPECT_EQ(a.width, 2355);
    ASSERT_TRUE(RecordSizeTable(47, b));
    EXPECT_EQ(b.height, a.height);
    EXPECT_EQ(b.width, a.width);
    EXPECT_FALSE(RecordSizeTable(94, a));
    EXPECT_FALSE(RecordSizeTable(-1, a));
}
