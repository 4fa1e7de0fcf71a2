// Target sizes of the records and the bounds their shapes were drawn to.
#pragma once
#include <cstdint>

#include "regions/region_record.h"

namespace korven {

struct TwipSize {
    int32_t height, width;  // twips, in the order SizeToRecord sets them
};

// Size for record 0..93 (fill and outline of a prefecture share it); false for any other number.
bool RecordSizeTable(int record, TwipSize& out);

// Canvas in pixels and rcBound of each prefecture's records, by PieceIndex.
struct CanvasSpec {
    int width, height;
    RectL bound;
};
extern const CanvasSpec PrefCanvas[PrefCount];

}  // namespace korven
