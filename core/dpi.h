// The display scale, in one place: the system's dots per inch, read once; twips and pixels for sizes and for
// places, each with its rounding rule; and the one choice between the 96-dpi records and the polygons. The
// conversions at a given dpi need no window (the generator and the native tests use them); the ones at the
// display's scale are the window code's.
#pragma once
#include <cstdint>

namespace korven {

// ---- At a given dpi ----

// The display's dots per inch as the map uses it: 96 when the display reports nonsense.
int DpiOrDefault(int dotsPerInch);
// 1440 / dots per inch, truncated; 15 when the display reports nonsense.
int TwipsPerPixelFromDpi(int dotsPerInch);

// What shapes a piece: the records, cut for 96 dpi, or else the polygons sampled at the dpi (ShapeAt).
bool ShapesFromRecords(int dotsPerInch);

// Sizes: nearest pixel, halves to even. 1440 / dpi need not be whole (7.5 at 192); whole twips convert exactly,
// pixels to twips likewise, so a pixel value survives the way there and back at any dpi up to 1440.
int32_t TwipsToPixelsAt(double twips, int dotsPerInch);
int32_t PixelsToTwipsAt(int64_t pixels, int dotsPerInch);
// The same rule for a whole number of twips per pixel, held inside 32 bits.
int32_t TwipsToPixels(double twips, int twipsPerPixel);
int32_t PixelsToTwips(int64_t pixels, int twipsPerPixel);

// Places: a window's whole pixel for an exact place given in 1/1440 pixel (twips × dpi): nearest, halves up.
// Unlike halves to even, this is the same wherever whole pixels are counted from, so a piece placed from a
// dragged anchor stands where start-up put it against the anchor. Whole twips never fall on a half at 96 dpi.
int32_t PlacedPixel(int64_t at1440);
// What a place of `twips` has beyond its whole pixel PlacedPixel(twips × dpi), in 1/1440 pixel.
int64_t PlacePhase(int32_t twips, int dotsPerInch);

// ---- At the display's scale (window code) ----

// The map's one scale: the system's dots per inch (the primary monitor's at sign-in), fixed for the run.
int DisplayDpi();
// 1440 / DisplayDpi() truncated (15 at 96 dots per inch); whole only at some scales (7.5 at 192), so sizes and
// places do not convert with it: only a record's offset does (RecordOffsetPixels).
int TwipsPerPixelX();
int TwipsPerPixelY();

// Sizes at the map's scale, exact where 1440 / dpi is not whole.
int32_t ScreenPixels(double twips);
int32_t ScreenTwips(int64_t pixels);

// A piece's left (top) in screen pixels for the anchor's place and the piece's offset in twips, as start-up
// places it: the sum, to the nearest pixel, halves up (PlacedPixel), the rule ShapeAt cuts the shapes for.
int32_t PiecePixel(int32_t anchorTwips, int32_t offsetTwips);

// What start-up's anchor had beyond its whole pixel, in 1/1440 pixel, kept so that a gather puts every piece
// at the pixel offset from the anchor that start-up gave it, wherever the anchor was dragged. 0 where the
// records shape the pieces: a gather then rounds the anchor's Left plus the offset, the records being cut for
// whole pixels, with no phase to keep.
void KeepAnchorPhase(int32_t anchorX, int32_t anchorY);
// Whole pixels from the anchor's pixel to a piece's, for its offset in twips.
int32_t OffsetPixelsX(int32_t offsetTwips);
int32_t OffsetPixelsY(int32_t offsetTwips);

// A record's region moved by x (y) twips: x \ TwipsPerPixelX, the settings' integer division (both rounded
// halves to even, the quotient truncated toward zero).
int32_t RecordOffsetPixelsX(int32_t twips);
int32_t RecordOffsetPixelsY(int32_t twips);

// A font's height in pixels for its size in points (tenths allowed): nearest, halves away from zero.
int FontPixels(double points);

}  // namespace korven
