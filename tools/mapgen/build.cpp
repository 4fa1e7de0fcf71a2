#include "build.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "core/catalogue.h"

namespace mapgen {

namespace {

constexpr int kFreePieces[] = {45, 46};  // 鹿児島, 沖縄: canvas follows the geography
constexpr int kScreenW = 1024, kScreenH = 768 - 40;
constexpr int kDot = 5;

bool IsFree(int p) { return p == kFreePieces[0] || p == kFreePieces[1]; }

std::string Name(int p) { return std::string(korven::PrefNames[static_cast<size_t>(p)]); }

std::vector<uint8_t> OutlineOf(const std::vector<uint8_t>& fill, int w, int h) {
    std::vector<uint8_t> out(fill.size(), 0);
    auto at = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && fill[static_cast<size_t>(y * w + x)]; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (at(x, y) && (!at(x - 1, y) || !at(x + 1, y) || !at(x, y - 1) || !at(x, y + 1)))
                out[static_cast<size_t>(y * w + x)] = 1;
    return out;
}

int Count(const std::vector<uint8_t>& m) { return static_cast<int>(std::count(m.begin(), m.end(), 1)); }

}  // namespace

int CountOverlaps(const std::vector<Piece>& pieces) {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -(1 << 30), y1 = -(1 << 30);
    for (const Piece& p : pieces) {
        x0 = std::min(x0, p.originX), y0 = std::min(y0, p.originY);
        x1 = std::max(x1, p.originX + p.canvas.width), y1 = std::max(y1, p.originY + p.canvas.height);
    }
    const int w = x1 - x0, h = y1 - y0;
    std::vector<uint8_t> cover(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    int twice = 0;
    for (const Piece& p : pieces)
        for (uint32_t i = 0; i < p.fill.rdh.nCount; ++i) {
            const korven::RectL& r = p.fill.Buffer[i];
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x) {
                    uint8_t& c = cover[static_cast<size_t>((p.originY + y - y0) * w + (p.originX + x - x0))];
                    if (c) ++twice;
                    c = 1;
                }
        }
    return twice;
}

MapResult BuildMap(const std::string& geodataDir) {
    MapResult m;
    const Geography g = LoadGeography(geodataDir);
    m.proj = FitProjection(g);
    const std::vector<PrefShapes> prefs = Project(g, m.proj);

    // Which prefectures share a land border in the source.
    std::vector<std::set<int>> arcPrefs(g.arcUsers.size());
    for (const Prefecture& p : g.prefs)
        for (const Polygon& poly : p.polygons)
            for (const Ring& r : poly.rings)
                for (int a : r.arcs) arcPrefs[static_cast<size_t>(a)].insert(p.piece);
    std::set<std::pair<int, int>> neighbours;
    for (const auto& s : arcPrefs)
        for (int a : s)
            for (int b : s)
                if (a < b) neighbours.insert({a, b});

    double maxX = 0, maxY = 0;
    for (const PrefShapes& ps : prefs)
        for (const Shape& s : ps.shapes)
            for (const Pt& q : s.rings[0]) maxX = std::max(maxX, q.x), maxY = std::max(maxY, q.y);
    // room below for the island chains that move south
    const int w = static_cast<int>(std::ceil(maxX)) + 24, h = static_cast<int>(std::ceil(maxY)) + 96;

    std::vector<Target> targets(korven::PrefCount);
    for (int p = 0; p < korven::PrefCount; ++p) {
        if (IsFree(p)) continue;
        const korven::RectL& b = korven::PrefCanvas[p].bound;
        targets[static_cast<size_t>(p)] = {b.right - b.left, b.bottom - b.top};
    }
    const Field f = SolveWarp(prefs, targets, w, h, 8, m.log);
    std::vector<ForcedIsland> forced;
    m.img = Rasterise(prefs, f, w, h, &forced);
    if (m.img.overlaps) m.problems.push_back(std::to_string(m.img.overlaps) + " pixel centres claimed twice");
    for (int p : TouchUp(m.img, targets, m.log)) m.problems.push_back(Name(p) + " misses its bound's size");
    const std::vector<Box> boxes = m.img.Boxes();

    m.pieces.resize(korven::PrefCount);
    // Capital dots: centred on the office, moved inland only as far as they must. Where the land is too
    // narrow for a 5 × 5 dot near the office (a thin island, a spit), the few sea pixels under the dot
    // become coast instead of the dot wandering off.
    std::vector<std::pair<int, int>> dots(korven::PrefCount);
    for (int p = 0; p < korven::PrefCount; ++p) {
        Piece& pc = m.pieces[static_cast<size_t>(p)];
        const Box& b = boxes[static_cast<size_t>(p)];
        const Pt at = f.Warp(m.proj(g.offices[static_cast<size_t>(p)].at));
        const int cx = static_cast<int>(std::floor(at.x)), cy = static_cast<int>(std::floor(at.y));
        std::vector<std::pair<int, int>> tries;
        for (int dy = -14; dy <= 14; ++dy)
            for (int dx = -14; dx <= 14; ++dx) tries.push_back({dx, dy});
        auto dist = [&](std::pair<int, int> t) { return std::hypot(cx + t.first + 0.5 - at.x, cy + t.second + 0.5 - at.y); };
        std::stable_sort(tries.begin(), tries.end(), [&](auto a, auto c) { return dist(a) < dist(c); });
        auto fits = [&](std::pair<int, int> t, bool seaToo) {
            for (int k = 0; k < kDot * kDot; ++k) {
                const int x = cx + t.first - 2 + k % kDot, y = cy + t.second - 2 + k / kDot;
                const int v = m.img.Get(x, y);
                if (v == p) continue;
                if (!seaToo || v >= 0 || x < b.x0 || x > b.x1 || y < b.y0 || y > b.y1) return false;
            }
            return true;
        };
        const std::pair<int, int>* best = nullptr;
        for (const auto& t : tries)
            if (fits(t, false)) { best = &t; break; }
        if (!best || dist(*best) > 2.5) {
            for (const auto& t : tries) {
                if (dist(t) > 2.5) break;
                if (!fits(t, true)) continue;
                best = &t;
                for (int k = 0; k < kDot * kDot; ++k) {
                    const int x = cx + t.first - 2 + k % kDot, y = cy + t.second - 2 + k / kDot;
                    if (m.img.Get(x, y) < 0) m.img.Set(x, y, static_cast<int8_t>(p)), ++pc.dotCoast;
                }
                break;
            }
        }
        if (!best) {
            m.problems.push_back(Name(p) + ": no room for the capital dot near the office");
            continue;
        }
        dots[static_cast<size_t>(p)] = {cx + best->first - 2, cy + best->second - 2};
        pc.dotError = dist(*best);
    }

    for (int p = 0; p < korven::PrefCount; ++p) {
        Piece& pc = m.pieces[static_cast<size_t>(p)];
        const Box& b = boxes[static_cast<size_t>(p)];
        pc.leftOut = prefs[static_cast<size_t>(p)].leftOut;
        pc.city = g.offices[static_cast<size_t>(p)].city;
        for (const ForcedIsland& fi : forced)
            if (fi.piece == p && m.img.Get(fi.x, fi.y) == p) ++pc.forced;
        if (IsFree(p)) {
            // Margins like the others': left 3, top 2, right 3, bottom 3.
            pc.canvas = {b.W() + 6, b.H() + 5, {3, 2, 3 + b.W(), 2 + b.H()}};
            const korven::CanvasSpec& c = korven::PrefCanvas[p];
            if (c.width != pc.canvas.width || c.height != pc.canvas.height || c.bound.left != pc.canvas.bound.left ||
                c.bound.top != pc.canvas.bound.top || c.bound.right != pc.canvas.bound.right ||
                c.bound.bottom != pc.canvas.bound.bottom) {
                char line[200];
                std::snprintf(line, sizeof line, "PrefCanvas for %s must be {%d, %d, {%d, %d, %d, %d}}", Name(p).c_str(),
                              pc.canvas.width, pc.canvas.height, pc.canvas.bound.left, pc.canvas.bound.top,
                              pc.canvas.bound.right, pc.canvas.bound.bottom);
                m.problems.push_back(line);
            }
        } else {
            pc.canvas = korven::PrefCanvas[p];
        }
        pc.originX = b.x0 - pc.canvas.bound.left;
        pc.originY = b.y0 - pc.canvas.bound.top;
        pc.dotX = dots[static_cast<size_t>(p)].first - pc.originX;
        pc.dotY = dots[static_cast<size_t>(p)].second - pc.originY;
        const int cw = pc.canvas.width, ch = pc.canvas.height;
        std::vector<uint8_t> fill(static_cast<size_t>(cw) * static_cast<size_t>(ch), 0);
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x)
                fill[static_cast<size_t>(y * cw + x)] = m.img.Get(pc.originX + x, pc.originY + y) == p;
        const std::vector<uint8_t> outline = OutlineOf(fill, cw, ch);
        pc.fillPixels = Count(fill);
        pc.outlinePixels = Count(outline);
        if (!korven::RecordFromMask(fill.data(), cw, ch, pc.fill))
            m.problems.push_back(Name(p) + ": fill needs more than 449 rectangles");
        if (!korven::RecordFromMask(outline.data(), cw, ch, pc.outline))
            m.problems.push_back(Name(p) + ": outline needs more than 449 rectangles");
        for (const korven::RegionRecord* r : {&pc.fill, &pc.outline})
            if (auto why = korven::ValidateRecord(*r)) m.problems.push_back(Name(p) + ": " + *why);
        if (pc.outline.rdh.nCount <= pc.fill.rdh.nCount || pc.outlinePixels >= pc.fillPixels)
            m.problems.push_back(Name(p) + ": outline not richer in rectangles and poorer in pixels than fill");

        // How far this piece strays from the common projection.
        double ox0 = 1e30, ox1 = -1e30, oy0 = 1e30, oy1 = -1e30, wx0 = 1e30, wx1 = -1e30, wy0 = 1e30, wy1 = -1e30;
        for (const Shape& s : prefs[static_cast<size_t>(p)].shapes) {
            for (const Pt& q : s.rings[0]) {
                const Pt d = f.At(q);
                pc.maxShift = std::max(pc.maxShift, std::hypot(d.x, d.y));
                ox0 = std::min(ox0, q.x), ox1 = std::max(ox1, q.x), oy0 = std::min(oy0, q.y), oy1 = std::max(oy1, q.y);
                wx0 = std::min(wx0, q.x + d.x), wx1 = std::max(wx1, q.x + d.x);
                wy0 = std::min(wy0, q.y + d.y), wy1 = std::max(wy1, q.y + d.y);
            }
            if (s.island) {
                const Pt d = f.At(s.centre);
                const double moved = std::hypot(d.x, d.y);
                if (moved > 2.0) ++pc.islandsMoved, pc.islandShift = std::max(pc.islandShift, moved);
            }
        }
        pc.scaleX = (wx1 - wx0) / (ox1 - ox0);
        pc.scaleY = (wy1 - wy0) / (oy1 - oy0);
    }

    // Screen: the union of all canvases, centred on the part of the screen above the taskbar.
    Box u;
    for (const Piece& pc : m.pieces) {
        u.Add(pc.originX, pc.originY);
        u.Add(pc.originX + pc.canvas.width - 1, pc.originY + pc.canvas.height - 1);
    }
    m.screenShiftX = (kScreenW - u.W()) / 2 - u.x0;
    m.screenShiftY = (kScreenH - u.H()) / 2 - u.y0;
    m.extent = {u.x0 + m.screenShiftX, u.y0 + m.screenShiftY, u.x1 + m.screenShiftX, u.y1 + m.screenShiftY};
    if (u.W() > kScreenW || u.H() > kScreenH) m.problems.push_back("the assembled map does not fit the screen");
    for (int p = 0; p < korven::PrefCount; ++p) {
        const Box& b = boxes[static_cast<size_t>(p)];
        m.landExtent.Add(b.x0 + m.screenShiftX, b.y0 + m.screenShiftY);
        m.landExtent.Add(b.x1 + m.screenShiftX, b.y1 + m.screenShiftY);
    }
    const Piece& anchor = m.pieces[static_cast<size_t>(korven::PieceIndexOf(korven::AnchorPiece))];
    m.anchorX = anchor.originX + m.screenShiftX;
    m.anchorY = anchor.originY + m.screenShiftY;

    m.overlaps = CountOverlaps(m.pieces);
    if (m.overlaps) m.problems.push_back(std::to_string(m.overlaps) + " pixels covered by two pieces");
    for (int y = 0; y < m.img.h; ++y)
        for (int x = 0; x < m.img.w; ++x) {
            if (m.img.Get(x, y) >= 0) continue;
            for (int axis = 0; axis < 2; ++axis) {
                const int a = axis ? m.img.Get(x, y - 1) : m.img.Get(x - 1, y);
                const int b = axis ? m.img.Get(x, y + 1) : m.img.Get(x + 1, y);
                if (a < 0 || b < 0 || a == b) continue;
                const bool land = neighbours.count({std::min(a, b), std::max(a, b)}) > 0;
                m.gaps.push_back({x + m.screenShiftX, y + m.screenShiftY, a, b, land});
                break;
            }
        }
    return m;
}

}  // namespace mapgen
