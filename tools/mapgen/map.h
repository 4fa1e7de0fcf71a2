// The whole map in one pixel frame: projection, the smooth warp, the label image and its one-pixel touches.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "geo.h"

namespace mapgen {

// PieceIndex of the prefectures the generator treats apart: island groups far out, canvases that follow the
// geography.
constexpr int kHokkaido = 0, kTokyo = 12, kShimane = 33, kNagasaki = 41, kKagoshima = 45, kOkinawa = 46;
// Twips in a pixel at 96 dots per inch, the unit the layout file stores.
constexpr int kTwipsPerPixel = 15;

struct Pt {
    double x, y;
};

struct Shape {  // one polygon of a prefecture, projected
    std::vector<std::vector<Pt>> rings;
    bool island = false;  // shares no border with another prefecture
    int group = -1;       // islands in open sea moved as a whole (see IslandGroup), else -1
    Pt centre{};          // mean of the outer ring's points
};

struct PrefShapes {
    std::vector<Shape> shapes;  // only the parts that go into the piece
    int leftOut = 0;            // parts left out (remote islands)
};

// Plain sinusoidal-like projection: east-west scale follows the cosine of latitude.
struct Projection {
    double lon0 = 137.0, lat0 = 46.0;
    double degX = 0.0324, degY = 0.033;  // degrees per pixel (x in degrees × cos latitude)
    double originX = 0, originY = 0;     // added so the frame starts near 0
    Pt operator()(LonLat p) const;
};

// Island groups in open sea that are moved as a whole instead of stretching land: 小笠原 and the 火山列島
// (東京), 竹島 (島根), 舳倉島 and 七ツ島 (石川), 五島 and 対馬 (長崎), 笠岡諸島 (岡山). -1 for everything else.
constexpr int kIslandGroups = 6;
int IslandGroup(int piece, LonLat centre);
extern const char* const kIslandGroupNames[kIslandGroups];

// Tiny islets beyond the rest of their prefecture on some side would squeeze the land between them
// and the opposite side; each becomes a group of its own so the warp moves it instead.
// Returns how many were freed; groups are numbered after the named ones.
int FreeRemoteIslets(std::vector<PrefShapes>& prefs);

// Leaves out the remote islands no canvas has room for (北方領土, 沖ノ鳥島, 南鳥島, 沖ノ島, 見島, 男女群島).
bool LeftOut(int piece, LonLat centre);

std::vector<PrefShapes> Project(const Geography& g, const Projection& proj);

// Fits degrees per pixel so the prefectures' extents come closest to their fixed bounds.
Projection FitProjection(const Geography& g);

// Displacement on a regular grid, bilinear between nodes.
struct Field {
    double x0 = 0, y0 = 0, step = 4;
    int nx = 0, ny = 0;
    std::vector<double> dx, dy;
    // A group moves as a whole: the field at its anchor plus its own shift.
    std::vector<Pt> groupAnchor, groupShift;
    Pt At(Pt p) const;  // displacement at p
    Pt Warp(Pt p) const { Pt d = At(p); return {p.x + d.x, p.y + d.y}; }
    Pt ShiftOf(const Shape& s, Pt p) const {
        if (s.group < 0) return At(p);
        const Pt a = At(groupAnchor[static_cast<size_t>(s.group)]);
        const Pt g = groupShift[static_cast<size_t>(s.group)];
        return {a.x + g.x, a.y + g.y};
    }
    Pt Move(const Shape& s, Pt p) const { Pt d = ShiftOf(s, p); return {p.x + d.x, p.y + d.y}; }
};

struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -(1 << 30), y1 = -(1 << 30);  // inclusive
    bool Empty() const { return x1 < x0; }
    int W() const { return x1 - x0 + 1; }
    int H() const { return y1 - y0 + 1; }
    void Add(int x, int y);
};

struct LabelImage {
    int w = 0, h = 0;
    std::vector<int8_t> at;  // -1 sea, else PieceIndex
    int overlaps = 0;        // pixel centres claimed twice (should stay 0)
    int8_t Get(int x, int y) const { return (x < 0 || y < 0 || x >= w || y >= h) ? -1 : at[y * w + x]; }
    void Set(int x, int y, int8_t v) { at[y * w + x] = v; }
    std::vector<Box> Boxes() const;
};

struct ForcedIsland {
    int piece;
    int x, y;
};

// Fills every pixel whose centre lies inside a prefecture; then gives a lone pixel to each island the
// pixel-centre rule lost, where it stands alone in the sea.
LabelImage Rasterise(const std::vector<PrefShapes>& prefs, const Field& f, int w, int h,
                     std::vector<ForcedIsland>* forced);

struct ExtentTarget {
    int w = 0, h = 0;  // wanted pixel extent; 0 = free (follows the geography)
};

// Solves the smooth warp that brings every prefecture's extent to its target, a few rounds of
// solve → rasterise → correct.
Field SolveWarp(const std::vector<PrefShapes>& prefs, const std::vector<ExtentTarget>& targets, int w, int h,
                int rounds, std::vector<std::string>& log);

// One-pixel touches at the extremes to remove what the warp left (±1 or so). Returns the pieces that
// still miss their target.
std::vector<int> TouchUp(LabelImage& img, const std::vector<ExtentTarget>& targets, std::vector<std::string>& log);

}  // namespace mapgen
