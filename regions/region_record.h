// Region records in the platform's RGNDATA layout, so one ExtCreateRegion call makes a shape.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/catalogue.h"
#include "core/layout.h"

namespace korven {

struct RegionHeader {  // layout of RGNDATAHEADER
    uint32_t dwSize;
    uint32_t iType;
    uint32_t nCount;
    uint32_t nRgnSize;
    RectL rcBound;
};

constexpr int RecordCapacity = 449;
constexpr uint32_t RdhRectangles = 1;

struct RegionRecord {  // layout of RGNDATA with a fixed buffer
    RegionHeader rdh;
    RectL Buffer[RecordCapacity];
};

static_assert(sizeof(RectL) == 16);
static_assert(sizeof(RegionHeader) == 32);
static_assert(offsetof(RegionRecord, Buffer) == 32);
static_assert(sizeof(RegionRecord) == 32 + 449 * 16);

// The constant data a record is loaded from (generated; see region_data.cpp).
struct RegionSource {
    uint32_t count;
    RectL bound;
    const int16_t* rects;  // count × (left, top, right, bottom)
};
extern const RegionSource RegionSources[PrefCount * 2];

extern RegionRecord RegionStore[RecordSlots];
extern int16_t RegionStoreLoaded;  // 0 until loaded, then -1

void LoadRegionStore();
// Loads on first use; the shaping routines call this.
void EnsureRegionStore();

const RegionRecord& RecordAt(int record);
// Bytes handed to ExtCreateRegion: header plus the nCount rectangles, never the zero tail.
uint32_t RecordByteCount(int record);

// The first broken invariant in words, or nothing when the record is sound.
std::optional<std::string> ValidateRecord(const RegionRecord& rec);

// Canonical banded record from a row-major mask (1 = set); false when it would not fit the capacity.
bool RecordFromMask(const uint8_t* mask, int width, int height, RegionRecord& out);

}  // namespace korven
