#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "regions/pixel_fill.h"
#include "regions/region_record.h"

namespace korven {

RegionRecord RegionStore[RecordSlots];
int16_t RegionStoreLoaded = 0;

void LoadRegionStore() {
    for (int n = 0; n < PrefCount * 2; ++n) {
        const RegionSource& src = RegionSources[n];
        if (src.count == 0 || src.count > RecordCapacity) continue;  // stays zero: shaping reports it
        RegionRecord& rec = RegionStore[n];
        rec.rdh.dwSize = sizeof(RegionHeader);
        rec.rdh.iType = RdhRectangles;
        rec.rdh.nCount = src.count;
        rec.rdh.nRgnSize = src.count * sizeof(RectL);
        rec.rdh.rcBound = src.bound;
        for (uint32_t i = 0; i < src.count; ++i) {
            const int16_t* r = src.rects + 4 * i;
            rec.Buffer[i] = RectL{r[0], r[1], r[2], r[3]};
        }
    }
}

void EnsureRegionStore() {
    if (RegionStoreLoaded != -1) {
        LoadRegionStore();
        RegionStoreLoaded = -1;
    }
}

const RegionRecord& RecordAt(int record) {
    static const RegionRecord empty{};
    if (record < 0 || record >= RecordSlots) return empty;
    return RegionStore[record];
}

uint32_t RecordByteCount(int record) {
    const RegionHeader& h = RecordAt(record).rdh;
    return h.dwSize + h.nRgnSize;
}

namespace {

std::string RectText(const RectL& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) +
           ", " + std::to_string(r.bottom) + ")";
}

}  // namespace

std::optional<std::string> ValidateRecord(const RegionRecord& rec) {
    const RegionHeader& h = rec.rdh;
    if (h.dwSize != 32) return "dwSize is " + std::to_string(h.dwSize) + ", not 32";
    if (h.iType != RdhRectangles) return "iType is " + std::to_string(h.iType) + ", not 1";
    if (h.nCount < 16 || h.nCount > RecordCapacity)
        return "nCount " + std::to_string(h.nCount) + " is outside 16.." + std::to_string(RecordCapacity);
    if (h.nRgnSize != 16 * h.nCount) return "nRgnSize is not 16 × nCount";

    RectL box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    const RectL* bandFirst = nullptr;  // first rectangle of the current band
    uint32_t bandCount = 0;
    auto sameSpans = [](const RectL* a, const RectL* b, uint32_t n) {
        for (uint32_t i = 0; i < n; ++i)
            if (a[i].left != b[i].left || a[i].right != b[i].right) return false;
        return true;
    };
    for (uint32_t i = 0; i < h.nCount; ++i) {
        const RectL& r = rec.Buffer[i];
        const std::string at = "rectangle " + std::to_string(i) + " " + RectText(r);
        if (r.right <= r.left || r.bottom <= r.top) return at + " is empty";
        box.left = std::min(box.left, r.left);
        box.top = std::min(box.top, r.top);
        box.right = std::max(box.right, r.right);
        box.bottom = std::max(box.bottom, r.bottom);
        if (bandFirst && r.top == bandFirst->top) {
            if (r.bottom != bandFirst->bottom) return at + " shares its band's top but not its bottom";
            const RectL& prev = rec.Buffer[i - 1];
            if (r.left <= prev.right) return at + " overlaps or touches the rectangle before it";
            ++bandCount;
            continue;
        }
        // r opens a new band.
        if (bandFirst) {
            if (r.top < bandFirst->bottom) return at + " starts above the previous band's bottom";
            if (r.top == bandFirst->bottom) {
                uint32_t n = 0;
                while (i + n < h.nCount && rec.Buffer[i + n].top == r.top) ++n;
                if (n == bandCount && sameSpans(bandFirst, &r, n))
                    return at + " opens a band with the same spans as the touching band above";
            }
        }
        bandFirst = &r;
        bandCount = 1;
    }
    if (std::memcmp(&box, &h.rcBound, sizeof box) != 0)
        return "rcBound " + RectText(h.rcBound) + " is not the rectangles' bounding box " + RectText(box);
    return std::nullopt;
}

bool RecordFromMask(const uint8_t* mask, int width, int height, RegionRecord& out) {
    out = RegionRecord{};
    const std::vector<RectL> rects = BandsFromMask(mask, width, height);
    if (rects.size() > static_cast<size_t>(RecordCapacity)) return false;
    RectL box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (const RectL& r : rects) {
        box.left = std::min(box.left, r.left);
        box.top = std::min(box.top, r.top);
        box.right = std::max(box.right, r.right);
        box.bottom = std::max(box.bottom, r.bottom);
    }
    out.rdh.dwSize = 32;
    out.rdh.iType = RdhRectangles;
    out.rdh.nCount = static_cast<uint32_t>(rects.size());
    out.rdh.nRgnSize = out.rdh.nCount * 16;
    out.rdh.rcBound = rects.empty() ? RectL{0, 0, 0, 0} : box;
    for (size_t i = 0; i < rects.size(); ++i) out.Buffer[i] = rects[i];
    return true;
}

}  // namespace korven
