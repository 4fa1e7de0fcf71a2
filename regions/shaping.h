// The region routines: a record becomes a target's size, window shape and cleared image.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "core/layout.h"

#include "regions/target.h"

namespace korven {

constexpr int16_t ShapeFlagSize = 1;    // SizeToRecord
constexpr int16_t ShapeFlagRegion = 2;  // ShapeWindow
constexpr int16_t ShapeFlagPaint = 4;   // PaintRecordPicture

// The two fatal messages; their words are fixed, whatever the system's language.
extern const wchar_t* const RegionReadFailedText;   // "It failed in reading of region data."
extern const wchar_t* const WindowShapeFailedText;  // "It failed in plastic surgery of a window."

// Start-up's entry at a display other than 96 dpi, where the shapes are made at run time: the target becomes
// width × height pixels, is cut to the rectangles (canonical banded form, any number) and cleared, as
// ApplyRegion does with a record; the same two fatal messages on failure.
void ApplyRects(const std::vector<RectL>& rects, int width, int height, Target& target);

// Start-up's entry: size and shape (and paint, when asked) with no offset and no uniting.
void ApplyRegion(int record, Target& target, bool withPaint);

// x, y: offset of the shape and of the painted picture, twips. unite: add the shape to the current one.
// Loads the region store on its first call; always leaves AutoRedraw on and the image cleared.
void ShapeAndPaint(int record, Target& target, int16_t flags, int32_t x, int32_t y, bool unite);

// Height, then width, from RecordSizeTable; a record without an entry changes nothing.
void SizeToRecord(int record, Target& target);

// The record's region (moved by x, y twips), united with the current one when asked, becomes the target's.
void ShapeWindow(int record, Target& target, int32_t x, int32_t y, bool unite);

// A new region from the record, owned by the caller; empty after the fatal report (only when the fatal
// hook lets the caller go on).
UniqueRgn RegionFromRecord(int record, int32_t x, int32_t y);

// Draws pPicture(record) of frm_RGN_Picture at (x, y) twips, clipped to the record's shape. A record
// without a picture box, or whose box holds no picture, draws nothing: the target keeps its image.
void PaintRecordPicture(int record, Target& target, int32_t x, int32_t y);

}  // namespace korven
