// A piece's window size, fill and outline at the display's dpi, for the place the window stands at.
#pragma once
#include <cstdint>

#include "core/catalogue.h"
#include "regions/pixel_fill.h"

namespace korven {

extern const ShapeSource ShapeSources[PrefCount];  // generated; see shape_data.cpp

// The window's left (top) stands at pixel P = PlacedPixel(T × dpi): the polygons are sampled at their exact
// place T × dpi / 1440, so pieces placed from one anchor sample one grid and tile. At 96 dpi: the records
// PieceIndex and PieceIndex + 47 as they are. Empty for a piece index outside 0..46.
ScaledShape ShapeAt(int pieceIndex, int dpi, int32_t leftTwips, int32_t topTwips);

}  // namespace korven
