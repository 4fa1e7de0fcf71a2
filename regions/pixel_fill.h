// The pieces' true shapes at any display dpi: the generator's warped polygons (shape_data.cpp) filled by the
// pixel-centre rule in exact integers, and their inner border. Needs no window; the generator uses it too.
#pragma once
#include <cstdint>
#include <vector>

#include "core/dpi.h"
#include "core/layout.h"

namespace korven {

// One piece's polygons: counts holds the number of shapes, then for each shape its number of rings followed
// by each ring's number of points; points holds x, y pairs in 1/16 pixel of the piece's 96-dpi canvas.
// Rings are even-odd within a shape, and shapes are united.
// Rings of neighbours may cross where the source's borders do, so their polygons can share slivers; a piece
// leaves such pixels to the neighbours listed here (the earlier of two keeps them), whose polygons stand
// (dx, dy) 1/16 pixel from its own on the 96-dpi canvas. Each pixel then has one piece at any scale and phase.
struct ShapeSource;
struct ShapeClip {
    const ShapeSource* source;
    int16_t dx, dy;
};
struct ShapeSource {
    const uint16_t* counts;
    const int16_t* points;
    const ShapeClip* clips = nullptr;
    uint16_t clipCount = 0;
};

// A phase unit: 1/23040 pixel, the common denominator of 1/16 pixel × dpi / 96 and twips × dpi / 1440.
constexpr int64_t PhaseUnit = 23040;

// Pixel (x, y) of a width × height mask is set when its centre lies inside the polygons scaled by dpi / 96,
// the canvas origin standing at (phaseX, phaseY) phase units of the mask. A centre on an edge belongs to
// the side to its right (below, for a horizontal edge), so pieces sharing that edge never both take it.
std::vector<uint8_t> FillMask(const ShapeSource& source, int dpi, int64_t phaseX, int64_t phaseY, int width,
                              int height);

// The same pixels as column runs [from, to) of rows, held to no mask: sorted by row and column, the runs of a
// row apart from each other. Both leave out what the clips keep.
struct FillRun {
    int row, from, to;
};
std::vector<FillRun> FillRuns(const ShapeSource& source, int dpi, int64_t phaseX, int64_t phaseY);

// The fill pixels within `lineWidth` pixels (straight-line distance) of a pixel outside the fill or the mask.
std::vector<uint8_t> InnerBorder(const std::vector<uint8_t>& fill, int width, int height, int lineWidth);

// The outline's width at a dpi: one pixel at 96, the scale rounded (halves up) elsewhere.
int OutlineWidthAt(int dpi);

// The canonical banded rectangles of a row-major mask (1 = set), of any number.
std::vector<RectL> BandsFromMask(const uint8_t* mask, int width, int height);

struct ScaledShape {
    int width = 0, height = 0;  // the window, pixels: the record size at the dpi
    std::vector<RectL> fill, outline;  // canonical banded form, window pixels
};

// ShapeAt for any polygons and canvas size (the generator's own, before they are written).
ScaledShape ShapeOf(const ShapeSource& source, int canvasWidth, int canvasHeight, int dpi, int32_t leftTwips,
                    int32_t topTwips);

// Phase units by which a window at pixel PlacedPixel(twips × dpi) falls short of the exact place.
int64_t PhaseAt(int32_t twips, int dpi);

// How pieces lie together: pixels filled by two pieces, and background pixels with two different pieces on
// opposite sides (left and right, or above and below), each counted once.
struct PlacedShape {
    int left, top;  // window, screen pixels
    const std::vector<RectL>* fill;
};
struct Tiling {
    int overlaps = 0, cracks = 0;
};
Tiling CountTiling(const std::vector<PlacedShape>& pieces);

}  // namespace korven
