// From source geography to finished pieces: records, layout, capital dots and the figures of the report.
#pragma once
#include <string>
#include <vector>

#include "map.h"
#include "regions/record_sizes.h"
#include "regions/region_record.h"

namespace mapgen {

struct PieceOutput {
    korven::CanvasSpec canvas{};
    int originX = 0, originY = 0;  // canvas top-left in the map frame (pixels)
    korven::RegionRecord fill{}, outline{};
    int fillPixels = 0, outlinePixels = 0;
    int dotX = 0, dotY = 0;        // capital dot's top-left, piece pixels
    double dotError = 0;           // pixels between the dot's centre and the office
    int dotCoast = 0;              // sea pixels under the dot made coast
    double scaleX = 1, scaleY = 1; // extent of the largest part against the common projection's
    double moveX = 0, moveY = 0;   // mean displacement of the border points (the piece's translation)
    double maxShift = 0;           // largest displacement of a border point (pixels)
    double maxWarp = 0;            // the same, net of the piece's translation
    int islandsMoved = 0;          // islands moved more than 2 px against the piece's translation
    double islandShift = 0;        // the largest such move
    int leftOut = 0, forced = 0;   // remote parts left out; lone pixels given to lost islands
    std::string city;
    // The warped polygons the label image was filled from, canvas coordinates in 1/16 pixel: shapes, each
    // a list of rings (even-odd within a shape, shapes united).
    std::vector<std::vector<std::vector<std::pair<int, int>>>> polygons;
    int vertices = 0;
};

struct Gap {
    int x, y;  // map frame
    int a, b;  // the two pieces either side
    bool landBorder;
};

// The shipped layout at one display dpi.
struct ScaleFigures {
    int dpi = 0, overlaps = 0, cracks = 0, cutOff = 0;  // cutOff: land pixels beyond the window
    size_t rectangles = 0;                               // fills and outlines together
};

// Overlaps and cut-off land at one dpi, at each of the anchor phases checked.
constexpr int kSweepPhases = 4;
struct SweepFigures {
    int dpi = 0, overlaps[kSweepPhases] = {}, cutOff[kSweepPhases] = {};
};

struct MapResult {
    Projection proj;
    std::vector<PieceOutput> pieces;  // by PieceIndex
    LabelImage img;             // the assembled map, map frame
    int anchorX = 0, anchorY = 0;  // screen pixels of 東京's canvas
    int screenShiftX = 0, screenShiftY = 0;  // map frame → screen
    Box extent;                 // assembled pieces (canvases) on the screen
    Box landExtent;             // land pixels on the screen
    int overlaps = 0;
    std::vector<Gap> gaps;        // sea pixels with two different pieces either side
    std::vector<Gap> borderGaps;  // sea pixels a land border runs through that could not be mended
    int bordersMended = 0;        // such pixels given to one side
    int freedIslets = 0;          // tiny remote islets moved on their own
    int namedIslands = 0;         // named islands checked (each one missing is a problem)
    std::vector<ScaleFigures> scales;  // 96 dpi first
    std::vector<SweepFigures> sweep;   // every dpi above 96 to 500 %
    std::vector<std::string> log, problems;
};

MapResult BuildMap(const std::string& geodataDir);

// Re-assembles the records at their offsets and counts pixels covered twice (the check that matters).
int CountOverlaps(const std::vector<PieceOutput>& pieces);

// The shapes at every reported scale, from the polygons: figures, and problems where pieces overlap, crack
// more than at 96 dpi (scaled) or reach beyond their windows; and at every dpi to 500 % at four anchor
// phases, problems where pieces overlap or reach beyond their windows.
void MeasureScales(MapResult& m);

void WriteOutputs(const MapResult& m, const std::string& outDir);
std::string Report(const MapResult& m);

}  // namespace mapgen
