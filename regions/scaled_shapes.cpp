#include "regions/scaled_shapes.h"

#include "core/dpi.h"
#include "regions/record_sizes.h"
#include "regions/region_record.h"

namespace korven {

namespace {

std::vector<RectL> RecordRects(int record) {
    const RegionSource& s = RegionSources[record];
    std::vector<RectL> out;
    for (uint32_t i = 0; i < s.count; ++i)
        out.push_back(RectL{s.rects[4 * i], s.rects[4 * i + 1], s.rects[4 * i + 2], s.rects[4 * i + 3]});
    return out;
}

}  // namespace

ScaledShape ShapeAt(int pieceIndex, int dpi, int32_t leftTwips, int32_t topTwips) {
    if (pieceIndex < 0 || pieceIndex >= PrefCount) return {};
    const CanvasSpec& c = PrefCanvas[pieceIndex];
    if (!ShapesFromRecords(dpi)) return ShapeOf(ShapeSources[pieceIndex], c.width, c.height, dpi, leftTwips, topTwips);
    ScaledShape out;
    out.width = c.width;
    out.height = c.height;
    out.fill = RecordRects(pieceIndex);
    out.outline = RecordRects(pieceIndex + OutlineRecordOffset);
    return out;
}

}  // namespace korven

