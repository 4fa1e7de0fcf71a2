#include "build.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "core/catalogue.h"

namespace mapgen {

namespace {

constexpr int kFreePieces[] = {kKagoshima, kOkinawa};  // canvas follows the geography
constexpr int kScreenW = 1024, kScreenH = 768 - 40;
constexpr int kDot = 5;
constexpr double kDotGoal = 2.0;  // pixels between a dot's centre and its office

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

// The warped rings on the 1/16-pixel grid of the map frame, then moved to the canvas: a vertex two
// neighbours share is the same integer in both. Repeated points and points exactly on the line through
// their neighbours change no pixel anywhere and are left out.
std::vector<std::vector<std::vector<std::pair<int, int>>>> Quantised(const PrefShapes& ps, const Field& f, int ox, int oy,
                                                                      int& vertices) {
    std::vector<std::vector<std::vector<std::pair<int, int>>>> out;
    for (const Shape& s : ps.shapes) {
        std::vector<std::vector<std::pair<int, int>>> rings;
        for (const auto& ring : s.rings) {
            std::vector<std::pair<int, int>> q;
            for (const Pt& pt : ring) {
                const Pt w = f.Move(s, pt);
                const std::pair<int, int> v{static_cast<int>(std::lround(w.x * 16)) - ox * 16,
                                            static_cast<int>(std::lround(w.y * 16)) - oy * 16};
                if (q.empty() || q.back() != v) q.push_back(v);
            }
            while (q.size() > 1 && q.front() == q.back()) q.pop_back();
            // A run of such points lies on one line with its two ends, so one pass finds them all.
            std::vector<std::pair<int, int>> kept;
            for (size_t i = 0; i < q.size(); ++i) {
                const auto& a = q[(i + q.size() - 1) % q.size()];
                const auto& b = q[i];
                const auto& c = q[(i + 1) % q.size()];
                const long long cross = static_cast<long long>(b.first - a.first) * (c.second - b.second) -
                                        static_cast<long long>(b.second - a.second) * (c.first - b.first);
                if (cross != 0) kept.push_back(b);
            }
            q = std::move(kept);
            if (q.size() < 3) continue;
            vertices += static_cast<int>(q.size());
            rings.push_back(std::move(q));
        }
        if (!rings.empty()) out.push_back(std::move(rings));
    }
    return out;
}

}  // namespace

int CountOverlaps(const std::vector<PieceOutput>& pieces) {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -(1 << 30), y1 = -(1 << 30);
    for (const PieceOutput& p : pieces) {
        x0 = std::min(x0, p.originX), y0 = std::min(y0, p.originY);
        x1 = std::max(x1, p.originX + p.canvas.width), y1 = std::max(y1, p.originY + p.canvas.height);
    }
    const int w = x1 - x0, h = y1 - y0;
    std::vector<uint8_t> cover(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    int twice = 0;
    for (const PieceOutput& p : pieces)
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
    std::vector<PrefShapes> prefs = Project(g, m.proj);
    m.freedIslets = FreeRemoteIslets(prefs);

    // Which prefectures share a land border in the source.
    std::vector<std::set<int>> arcPrefs(g.arcUsers.size());
    for (const Prefecture& p : g.prefs)
        for (const Polygon& poly : p.polygons)
            for (const Ring& r : poly.rings)
                for (int a : r.arcs) arcPrefs[static_cast<size_t>(a)].insert(p.piece);
    // Shared arcs, projected: the land borders that must stay closed.
    std::vector<std::pair<std::vector<Pt>, std::pair<int, int>>> borders;
    for (size_t a = 0; a < arcPrefs.size(); ++a) {
        if (arcPrefs[a].size() != 2) continue;
        std::vector<Pt> pts;
        for (const LonLat& q : g.arcs[a]) pts.push_back(m.proj(q));
        borders.push_back({std::move(pts), {*arcPrefs[a].begin(), *arcPrefs[a].rbegin()}});
    }
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

    std::vector<ExtentTarget> targets(korven::PrefCount);
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

    // A land border running through a sea pixel (land thinner than a pixel there) would show as a crack
    // between two pieces: such pixels go to one of the two sides, whichever box already holds them.
    // Pixels where the border meets the coast are coast, not cracks.
    {
        std::vector<Box> bx = m.img.Boxes();
        for (const auto& [arc, pair] : borders) {
            std::vector<Pt> wa;
            for (const Pt& q : arc) wa.push_back(f.Warp(q));
            const Pt first = wa.front(), last = wa.back();
            for (size_t i = 0; i + 1 < wa.size(); ++i) {
                const double len = std::hypot(wa[i + 1].x - wa[i].x, wa[i + 1].y - wa[i].y);
                const int steps = std::max(1, static_cast<int>(std::ceil(len * 4)));
                for (int s = 0; s <= steps; ++s) {
                    const double t = static_cast<double>(s) / steps;
                    const double x = wa[i].x + t * (wa[i + 1].x - wa[i].x), y = wa[i].y + t * (wa[i + 1].y - wa[i].y);
                    if (std::hypot(x - first.x, y - first.y) < 1.5 || std::hypot(x - last.x, y - last.y) < 1.5) continue;
                    const int px = static_cast<int>(std::floor(x)), py = static_cast<int>(std::floor(y));
                    if (m.img.Get(px, py) >= 0) continue;
                    bool mended = false;
                    for (int side : {pair.first, pair.second}) {
                        const Box& sb = bx[static_cast<size_t>(side)];
                        if (px < sb.x0 || px > sb.x1 || py < sb.y0 || py > sb.y1) continue;
                        m.img.Set(px, py, static_cast<int8_t>(side));
                        mended = true;
                        break;
                    }
                    if (mended) ++m.bordersMended;
                    else m.borderGaps.push_back({px + 0, py + 0, pair.first, pair.second, true});
                }
            }
        }
    }
    const std::vector<Box> boxes = m.img.Boxes();

    // The named islands each show at least one pixel near their place.
    struct Named { int piece; const char* name; double lon, lat; };
    static const Named named[] = {
        {kHokkaido, "利尻島", 141.24, 45.18}, {kHokkaido, "礼文島", 141.04, 45.38}, {kHokkaido, "奥尻島", 139.47, 42.15},
        {kShimane, "隠岐 島後", 133.32, 36.25}, {kShimane, "隠岐 島前", 133.05, 36.1}, {kShimane, "竹島", 131.87, 37.24},
        {kTokyo, "伊豆大島", 139.39, 34.74}, {kTokyo, "三宅島", 139.53, 34.08}, {kTokyo, "八丈島", 139.79, 33.11},
        {kTokyo, "青ヶ島", 139.76, 32.46}, {kTokyo, "鳥島", 140.30, 30.48}, {kTokyo, "父島", 142.20, 27.08},
        {kTokyo, "母島", 142.16, 26.66}, {kTokyo, "北硫黄島", 141.23, 25.43}, {kTokyo, "硫黄島", 141.32, 24.78},
        {kTokyo, "南硫黄島", 141.46, 24.23},
        {kKagoshima, "奄美大島", 129.45, 28.30}, {kKagoshima, "加計呂麻島", 129.25, 28.12}, {kKagoshima, "喜界島", 129.97, 28.32},
        {kKagoshima, "徳之島", 128.95, 27.78}, {kKagoshima, "沖永良部島", 128.60, 27.37}, {kKagoshima, "与論島", 128.41, 27.04},
        {kKagoshima, "口之島", 129.92, 29.97}, {kKagoshima, "中之島", 129.87, 29.85}, {kKagoshima, "宝島", 129.21, 29.15},
        {kKagoshima, "屋久島", 130.53, 30.35}, {kKagoshima, "種子島", 130.97, 30.60},
        {kOkinawa, "石垣島", 124.16, 24.41}, {kOkinawa, "西表島", 123.82, 24.33}, {kOkinawa, "与那国島", 123.00, 24.45},
        {kOkinawa, "波照間島", 123.78, 24.06}, {kOkinawa, "宮古島", 125.30, 24.78}, {kOkinawa, "魚釣島", 123.48, 25.74},
        {kOkinawa, "北大東島", 131.30, 25.94}, {kOkinawa, "南大東島", 131.25, 25.84}, {kOkinawa, "沖大東島", 131.23, 24.47},
        {kOkinawa, "久米島", 126.78, 26.34},
        {kNagasaki, "対馬", 129.30, 34.40}, {kNagasaki, "壱岐", 129.72, 33.78}, {kNagasaki, "福江島", 128.78, 32.69},
    };
    for (const Named& n : named) {
        const Pt want = m.proj({n.lon, n.lat});
        const Shape* best = nullptr;
        double bd = 1e30;
        for (const Shape& s : prefs[static_cast<size_t>(n.piece)].shapes) {
            const double d = std::hypot(s.centre.x - want.x, s.centre.y - want.y);
            if (d < bd) bd = d, best = &s;
        }
        bool shown = false;
        if (best && bd < 4.0) {
            const Pt at = f.Move(*best, best->centre);
            for (int dy = -2; dy <= 2 && !shown; ++dy)
                for (int dx = -2; dx <= 2 && !shown; ++dx)
                    shown = m.img.Get(static_cast<int>(std::floor(at.x)) + dx, static_cast<int>(std::floor(at.y)) + dy) == n.piece;
        }
        ++m.namedIslands;
        if (!shown) m.problems.push_back(Name(n.piece) + ": " + n.name + " does not show");
    }

    m.pieces.resize(korven::PrefCount);
    // Capital dots: centred on the office, moved inland only as far as they must. Where the land is too
    // narrow for a 5 × 5 dot near the office (a thin island, a spit), the few sea pixels under the dot
    // become coast instead of the dot wandering off.
    std::vector<std::pair<int, int>> dots(korven::PrefCount);
    std::vector<std::vector<std::pair<int, int>>> madeLand(korven::PrefCount);  // sea made land under a dot
    for (int p = 0; p < korven::PrefCount; ++p) {
        PieceOutput& pc = m.pieces[static_cast<size_t>(p)];
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
        if (!best || dist(*best) > kDotGoal) {
            // Within the goal, the place that needs the fewest sea pixels made coast.
            const std::pair<int, int>* coast = nullptr;
            int fewest = kDot * kDot + 1;
            for (const auto& t : tries) {
                if (dist(t) > kDotGoal) break;
                if (!fits(t, true)) continue;
                int sea = 0;
                for (int k = 0; k < kDot * kDot; ++k)
                    sea += m.img.Get(cx + t.first - 2 + k % kDot, cy + t.second - 2 + k / kDot) < 0;
                if (sea < fewest) fewest = sea, coast = &t;
            }
            if (coast) {
                best = coast;
                for (int k = 0; k < kDot * kDot; ++k) {
                    const int x = cx + coast->first - 2 + k % kDot, y = cy + coast->second - 2 + k / kDot;
                    if (m.img.Get(x, y) >= 0) continue;
                    m.img.Set(x, y, static_cast<int8_t>(p)), ++pc.dotCoast;
                    // Beside another piece, a whole pixel of sea could reach into that piece's land at a finer scale.
                    bool beside = false;
                    for (int k2 = 0; k2 < 9; ++k2) {
                        const int8_t q = m.img.Get(x - 1 + k2 % 3, y - 1 + k2 / 3);
                        beside = beside || (q >= 0 && q != p);
                    }
                    if (!beside) madeLand[static_cast<size_t>(p)].push_back({x, y});
                }
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
        PieceOutput& pc = m.pieces[static_cast<size_t>(p)];
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
        pc.polygons = Quantised(prefs[static_cast<size_t>(p)], f, pc.originX, pc.originY, pc.vertices);
        // The coast made under the dot goes with the polygons as whole pixels, or the dot would hang over the
        // sea at other scales.
        for (const auto& [x, y] : madeLand[static_cast<size_t>(p)]) {
            const int x0 = (x - pc.originX) * 16, y0 = (y - pc.originY) * 16;
            pc.polygons.push_back({{{x0, y0}, {x0 + 16, y0}, {x0 + 16, y0 + 16}, {x0, y0 + 16}}});
            pc.vertices += 4;
        }
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

        // How far this piece strays from the common projection: its own translation, the largest
        // displacement of a border point, the same net of the translation, and the stretch of its
        // largest part (the land, not the sea the islands moved across).
        const PrefShapes& ps = prefs[static_cast<size_t>(p)];
        double sx = 0, sy = 0;
        size_t count = 0;
        const Shape* main = nullptr;
        for (const Shape& s : ps.shapes) {
            if (!main || s.rings[0].size() > main->rings[0].size()) main = &s;
            for (const Pt& q : s.rings[0]) {
                const Pt d = f.ShiftOf(s, q);
                sx += d.x, sy += d.y, ++count;
                pc.maxShift = std::max(pc.maxShift, std::hypot(d.x, d.y));
            }
        }
        pc.moveX = sx / static_cast<double>(count);
        pc.moveY = sy / static_cast<double>(count);
        for (const Shape& s : ps.shapes) {
            for (const Pt& q : s.rings[0]) {
                const Pt d = f.ShiftOf(s, q);
                pc.maxWarp = std::max(pc.maxWarp, std::hypot(d.x - pc.moveX, d.y - pc.moveY));
            }
            if (s.island && &s != main) {
                const Pt d = f.ShiftOf(s, s.centre);
                const double moved = std::hypot(d.x - pc.moveX, d.y - pc.moveY);
                if (moved > 2.0) ++pc.islandsMoved, pc.islandShift = std::max(pc.islandShift, moved);
            }
        }
        double ox0 = 1e30, ox1 = -1e30, oy0 = 1e30, oy1 = -1e30, wx0 = 1e30, wx1 = -1e30, wy0 = 1e30, wy1 = -1e30;
        for (const Pt& q : main->rings[0]) {
            const Pt w2 = f.Move(*main, q);
            ox0 = std::min(ox0, q.x), ox1 = std::max(ox1, q.x), oy0 = std::min(oy0, q.y), oy1 = std::max(oy1, q.y);
            wx0 = std::min(wx0, w2.x), wx1 = std::max(wx1, w2.x), wy0 = std::min(wy0, w2.y), wy1 = std::max(wy1, w2.y);
        }
        pc.scaleX = (wx1 - wx0) / (ox1 - ox0);
        pc.scaleY = (wy1 - wy0) / (oy1 - oy0);
    }

    // Screen: the union of all canvases, centred on the part of the screen above the taskbar.
    Box u;
    for (const PieceOutput& pc : m.pieces) {
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
    const PieceOutput& anchor = m.pieces[static_cast<size_t>(korven::PieceIndexOf(korven::AnchorPiece))];
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
    MeasureScales(m);
    return m;
}

}  // namespace mapgen
