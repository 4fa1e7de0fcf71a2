#include "map.h"

#include <Eigen/Sparse>
#include <Eigen/SparseCholesky>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/catalogue.h"
#include "regions/record_sizes.h"

namespace mapgen {

namespace {
constexpr double kDeg = 3.14159265358979323846 / 180.0;

Pt Centre(const std::vector<LonLat>& pts) {
    double x = 0, y = 0;
    for (const LonLat& p : pts) x += p.lon, y += p.lat;
    return {x / static_cast<double>(pts.size()), y / static_cast<double>(pts.size())};
}
}  // namespace

Pt Projection::operator()(LonLat p) const {
    return {(p.lon - lon0) * std::cos(p.lat * kDeg) / degX + originX, (lat0 - p.lat) / degY + originY};
}

bool LeftOut(int piece, LonLat c) {
    switch (piece) {
    case 0: return c.lon > 145.84 || (c.lon > 145.4 && c.lat > 43.55);  // 北方領土
    case 12: return c.lat < 21.0 || c.lon > 150.0;                      // 沖ノ鳥島, 南鳥島
    case 39: return c.lat > 34.1;                                        // 沖ノ島
    case 34: return std::hypot(c.lon - 131.14, c.lat - 34.77) < 0.1;     // 見島
    case 41: return c.lat < 32.1 && c.lon < 128.5;                       // 男女群島
    default: return false;
    }
}

const char* const kIslandGroupNames[kIslandGroups] = {"小笠原・火山列島", "竹島", "舳倉島・七ツ島", "五島", "対馬", "笠岡諸島"};

int IslandGroup(int piece, LonLat c) {
    switch (piece) {
    case 12: return c.lat < 31.0 ? 0 : -1;
    case 33: return c.lat > 37.0 ? 1 : -1;
    case 19: return c.lat > 37.56 ? 2 : -1;
    case 41: return c.lat > 34.0 ? 4 : (c.lon < 129.25 && c.lat < 33.4) ? 3 : -1;
    case 31: return c.lat < 34.42 && c.lon < 133.65 ? 5 : -1;
    default: return -1;
    }
}

int FreeRemoteIslets(std::vector<PrefShapes>& prefs) {
    int next = kIslandGroups;
    for (const PrefShapes& ps : prefs)
        for (const Shape& s : ps.shapes) next = std::max(next, s.group + 1);
    const int first = next;
    for (PrefShapes& ps : prefs) {
        auto area = [](const Shape& s) {
            double a = 0;
            const auto& r = s.rings[0];
            for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++) a += (r[j].x + r[i].x) * (r[j].y - r[i].y);
            return std::fabs(a) / 2;
        };
        auto tiny = [&](const Shape& s) { return s.island && s.group < 0 && area(s) < 6.0; };
        double x0 = 1e30, x1 = -1e30, y0 = 1e30, y1 = -1e30;  // the rest of the prefecture
        for (const Shape& s : ps.shapes)
            if (!tiny(s))
                for (const Pt& q : s.rings[0]) x0 = std::min(x0, q.x), x1 = std::max(x1, q.x), y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
        if (x0 > x1) continue;
        for (Shape& s : ps.shapes) {
            if (!tiny(s)) continue;
            const Pt c = s.centre;
            if (c.x < x0 - 1 || c.x > x1 + 1 || c.y < y0 - 1 || c.y > y1 + 1) s.group = next++;
        }
    }
    return next - first;
}

std::vector<PrefShapes> Project(const Geography& g, const Projection& proj) {
    std::vector<PrefShapes> out(g.prefs.size());
    for (const Prefecture& p : g.prefs) {
        PrefShapes& ps = out[static_cast<size_t>(p.piece)];
        for (const Polygon& poly : p.polygons) {
            Pt c = Centre(poly.rings[0].pts);
            if (LeftOut(p.piece, {c.x, c.y})) { ++ps.leftOut; continue; }
            Shape s;
            s.island = true;
            s.group = IslandGroup(p.piece, {c.x, c.y});
            for (const Ring& r : poly.rings) {
                std::vector<Pt> pts;
                pts.reserve(r.pts.size());
                for (const LonLat& q : r.pts) pts.push_back(proj(q));
                s.rings.push_back(std::move(pts));
                for (int a : r.arcs)
                    if (g.arcUsers[static_cast<size_t>(a)] > 1) s.island = false;
            }
            double sx = 0, sy = 0;
            for (const Pt& q : s.rings[0]) sx += q.x, sy += q.y;
            s.centre = {sx / static_cast<double>(s.rings[0].size()), sy / static_cast<double>(s.rings[0].size())};
            ps.shapes.push_back(std::move(s));
        }
    }
    return out;
}

Projection FitProjection(const Geography& g) {
    // Extents in degrees (x in degrees × cos latitude) of the parts that go into each piece.
    Projection unit;
    unit.degX = unit.degY = 1.0;
    std::vector<PrefShapes> deg = Project(g, unit);
    std::vector<double> ex(deg.size()), ey(deg.size());
    for (size_t i = 0; i < deg.size(); ++i) {
        double x0 = 1e30, x1 = -1e30, y0 = 1e30, y1 = -1e30;
        for (const Shape& s : deg[i].shapes)
            for (const Pt& q : s.rings[0]) {
                x0 = std::min(x0, q.x), x1 = std::max(x1, q.x);
                y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
            }
        ex[i] = x1 - x0;
        ey[i] = y1 - y0;
    }
    // The island prefectures' bounds come from a drawing that placed islands differently; they do not
    // say anything about the scale.
    auto fit = [&](const std::vector<double>& e, bool horizontal, double prev) {
        double see = 0, sew = 0;
        for (int i = 0; i < korven::PrefCount; ++i) {
            if (i == kTokyo || i == kShimane || i == kNagasaki || i == kKagoshima || i == kOkinawa) continue;
            const korven::RectL& b = korven::PrefCanvas[i].bound;
            const double want = horizontal ? b.right - b.left : b.bottom - b.top;
            if (prev > 0 && std::fabs(e[i] / prev / want - 1.0) > 0.08) continue;  // outliers
            see += e[i] * e[i];
            sew += e[i] * want;
        }
        return see / sew;
    };
    Projection p;
    p.degX = fit(ex, true, fit(ex, true, 0));
    p.degY = fit(ey, false, fit(ey, false, 0));
    // Frame origin: everything that goes into a piece starts 24 px inside the frame.
    std::vector<PrefShapes> raw = Project(g, p);
    double x0 = 1e30, y0 = 1e30;
    for (const PrefShapes& ps : raw)
        for (const Shape& s : ps.shapes)
            for (const Pt& q : s.rings[0]) x0 = std::min(x0, q.x), y0 = std::min(y0, q.y);
    p.originX = 24.0 - std::floor(x0);
    p.originY = 24.0 - std::floor(y0);
    return p;
}

Pt Field::At(Pt p) const {
    double fx = (p.x - x0) / step, fy = (p.y - y0) / step;
    int i = static_cast<int>(std::floor(fx)), j = static_cast<int>(std::floor(fy));
    i = std::clamp(i, 0, nx - 2);
    j = std::clamp(j, 0, ny - 2);
    const double u = std::clamp(fx - i, 0.0, 1.0), v = std::clamp(fy - j, 0.0, 1.0);
    const size_t a = static_cast<size_t>(j * nx + i), b = a + 1, c = a + static_cast<size_t>(nx), d = c + 1;
    const double wa = (1 - u) * (1 - v), wb = u * (1 - v), wc = (1 - u) * v, wd = u * v;
    return {wa * dx[a] + wb * dx[b] + wc * dx[c] + wd * dx[d], wa * dy[a] + wb * dy[b] + wc * dy[c] + wd * dy[d]};
}

void Box::Add(int x, int y) {
    x0 = std::min(x0, x), x1 = std::max(x1, x);
    y0 = std::min(y0, y), y1 = std::max(y1, y);
}

std::vector<Box> LabelImage::Boxes() const {
    std::vector<Box> b(korven::PrefCount);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (at[static_cast<size_t>(y * w + x)] >= 0) b[static_cast<size_t>(at[static_cast<size_t>(y * w + x)])].Add(x, y);
    return b;
}

namespace {

bool Inside(const std::vector<std::vector<Pt>>& rings, double px, double py) {
    bool in = false;
    for (const auto& r : rings)
        for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++) {
            const Pt& a = r[i];
            const Pt& b = r[j];
            if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x) in = !in;
        }
    return in;
}

}  // namespace

LabelImage Rasterise(const std::vector<PrefShapes>& prefs, const Field& f, int w, int h,
                     std::vector<ForcedIsland>* forced) {
    LabelImage img;
    img.w = w;
    img.h = h;
    img.at.assign(static_cast<size_t>(w) * static_cast<size_t>(h), -1);
    std::vector<std::vector<double>> cross(static_cast<size_t>(h));
    std::vector<std::vector<std::vector<std::vector<Pt>>>> warped(prefs.size());
    for (size_t p = 0; p < prefs.size(); ++p) {
        for (const Shape& s : prefs[p].shapes) {
            // One shape at a time: parts of one prefecture that a move brought together add up instead of
            // cancelling each other out.
            for (auto& row : cross) row.clear();
            std::vector<std::vector<Pt>> wr;
            for (const auto& ring : s.rings) {
                std::vector<Pt> pts;
                pts.reserve(ring.size());
                for (const Pt& q : ring) pts.push_back(f.Move(s, q));
                for (size_t i = 0; i < pts.size(); ++i) {
                    Pt a = pts[i], b = pts[(i + 1) % pts.size()];
                    if (a.y == b.y) continue;
                    if (a.y > b.y) std::swap(a, b);  // the same edge gives the same crossings on both sides
                    const int r0 = std::max(0, static_cast<int>(std::ceil(a.y - 0.5)));
                    const int r1 = std::min(h - 1, static_cast<int>(std::ceil(b.y - 0.5)) - 1);
                    for (int r = r0; r <= r1; ++r) {
                        const double yc = r + 0.5;
                        cross[static_cast<size_t>(r)].push_back(a.x + (yc - a.y) * (b.x - a.x) / (b.y - a.y));
                    }
                }
                wr.push_back(std::move(pts));
            }
            warped[p].push_back(std::move(wr));
            for (int r = 0; r < h; ++r) {
                auto& xs = cross[static_cast<size_t>(r)];
                if (xs.empty()) continue;
                std::sort(xs.begin(), xs.end());
                for (size_t k = 0; k + 1 < xs.size(); k += 2) {
                    const int c0 = std::max(0, static_cast<int>(std::ceil(xs[k] - 0.5)));
                    const int c1 = std::min(w - 1, static_cast<int>(std::ceil(xs[k + 1] - 0.5)) - 1);
                    for (int c = c0; c <= c1; ++c) {
                        int8_t& v = img.at[static_cast<size_t>(r * w + c)];
                        if (v >= 0 && v != static_cast<int8_t>(p)) ++img.overlaps;
                        else v = static_cast<int8_t>(p);
                    }
                }
            }
        }
    }
    // Islands the pixel-centre rule lost: one pixel where they stand alone in the sea.
    for (size_t p = 0; p < prefs.size(); ++p) {
        for (size_t k = 0; k < prefs[p].shapes.size(); ++k) {
            const Shape& s = prefs[p].shapes[k];
            if (!s.island) continue;
            const auto& wr = warped[p][k];
            double bx0 = 1e30, bx1 = -1e30, by0 = 1e30, by1 = -1e30, cx = 0, cy = 0;
            for (const Pt& q : wr[0]) {
                bx0 = std::min(bx0, q.x), bx1 = std::max(bx1, q.x);
                by0 = std::min(by0, q.y), by1 = std::max(by1, q.y);
                cx += q.x, cy += q.y;
            }
            if (bx1 - bx0 > 6 || by1 - by0 > 6) continue;
            bool hit = false;
            for (int y = static_cast<int>(std::floor(by0)); y <= static_cast<int>(std::floor(by1)) && !hit; ++y)
                for (int x = static_cast<int>(std::floor(bx0)); x <= static_cast<int>(std::floor(bx1)) && !hit; ++x)
                    if (Inside(wr, x + 0.5, y + 0.5)) hit = true;
            if (hit) continue;
            cx /= static_cast<double>(wr[0].size());
            cy /= static_cast<double>(wr[0].size());
            const int x = static_cast<int>(std::floor(cx)), y = static_cast<int>(std::floor(cy));
            if (x < 1 || y < 1 || x >= w - 1 || y >= h - 1) continue;
            bool alone = true;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (img.Get(x + dx, y + dy) >= 0) alone = false;
            if (!alone) continue;
            img.Set(x, y, static_cast<int8_t>(p));
            if (forced) forced->push_back({static_cast<int>(p), x, y});
        }
    }
    return img;
}

namespace {

struct Extreme {
    Pt orig;  // in the unwarped frame, where the field is sampled
    bool valid = false;
};

// Adds the bilinear weights of the field at p, times sign, to a sparse row.
void AddWeights(const Field& f, Pt p, double sign, std::vector<std::pair<int, double>>& row) {
    double fx = (p.x - f.x0) / f.step, fy = (p.y - f.y0) / f.step;
    int i = std::clamp(static_cast<int>(std::floor(fx)), 0, f.nx - 2);
    int j = std::clamp(static_cast<int>(std::floor(fy)), 0, f.ny - 2);
    const double u = std::clamp(fx - i, 0.0, 1.0), v = std::clamp(fy - j, 0.0, 1.0);
    const int a = j * f.nx + i;
    row.push_back({a, sign * (1 - u) * (1 - v)});
    row.push_back({a + 1, sign * u * (1 - v)});
    row.push_back({a + f.nx, sign * (1 - u) * v});
    row.push_back({a + f.nx + 1, sign * u * v});
}

void AddRow(const std::vector<std::pair<int, double>>& row, double weight, double rhs,
            std::vector<Eigen::Triplet<double>>& trip, Eigen::VectorXd& b) {
    const double w2 = weight * weight;
    for (const auto& [ia, va] : row) {
        b[ia] += w2 * va * rhs;
        for (const auto& [ib, vb] : row) trip.emplace_back(ia, ib, w2 * va * vb);
    }
}

}  // namespace

namespace {
constexpr double kSeaStiffness = 0.1;  // open sea against land
constexpr double kStretch = 0.15;      // first differences against the bending terms
}  // namespace

Field SolveWarp(const std::vector<PrefShapes>& prefs, const std::vector<ExtentTarget>& targets, int w, int h,
                int rounds, std::vector<std::string>& log) {
    Field f;
    f.step = 4;
    f.x0 = 0;
    f.y0 = 0;
    f.nx = w / 4 + 2;
    f.ny = h / 4 + 2;
    const int n = f.nx * f.ny;
    f.dx.assign(static_cast<size_t>(n), 0.0);
    f.dy.assign(static_cast<size_t>(n), 0.0);
    int groups = 0;
    for (const PrefShapes& ps : prefs)
        for (const Shape& s : ps.shapes) groups = std::max(groups, s.group + 1);
    f.groupAnchor.assign(static_cast<size_t>(groups), Pt{0, 0});
    f.groupShift.assign(static_cast<size_t>(groups), Pt{0, 0});
    std::vector<int> anchored(static_cast<size_t>(groups), 0);
    for (const PrefShapes& ps : prefs)
        for (const Shape& s : ps.shapes)
            if (s.group >= 0 && !anchored[static_cast<size_t>(s.group)]++) f.groupAnchor[static_cast<size_t>(s.group)] = s.centre;

    // Smoothness (bending and a little stretching) and small displacement, the same for both axes. Land
    // is stiff and open sea soft, so the strain goes into the sea between coasts and islands rather than
    // into the prefectures' own shapes.
    std::vector<double> stiff(static_cast<size_t>(n), kSeaStiffness);
    {
        const LabelImage still = Rasterise(prefs, f, w, h, nullptr);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (still.Get(x, y) < 0) continue;
                const int i = (x + 2) / 4, j = (y + 2) / 4;  // nearest node
                for (int dj = -1; dj <= 1; ++dj)
                    for (int di = -1; di <= 1; ++di) {
                        const int ii = i + di, jj = j + dj;
                        if (ii >= 0 && jj >= 0 && ii < f.nx && jj < f.ny) stiff[static_cast<size_t>(jj * f.nx + ii)] = 1.0;
                    }
            }
    }
    std::vector<Eigen::Triplet<double>> regular;
    {
        Eigen::VectorXd dummy = Eigen::VectorXd::Zero(n);
        auto id = [&](int i, int j) { return j * f.nx + i; };
        auto add = [&](std::vector<std::pair<int, double>> row, double weight) {
            double s = 0;
            for (const auto& e : row) s += stiff[static_cast<size_t>(e.first)];
            AddRow(row, weight * std::sqrt(s / static_cast<double>(row.size())), 0, regular, dummy);
        };
        for (int j = 0; j < f.ny; ++j)
            for (int i = 0; i < f.nx; ++i) {
                if (i + 2 < f.nx) add({{id(i, j), 1}, {id(i + 1, j), -2}, {id(i + 2, j), 1}}, 1.0);
                if (j + 2 < f.ny) add({{id(i, j), 1}, {id(i, j + 1), -2}, {id(i, j + 2), 1}}, 1.0);
                if (i + 1 < f.nx && j + 1 < f.ny)
                    add({{id(i, j), 1}, {id(i + 1, j), -1}, {id(i, j + 1), -1}, {id(i + 1, j + 1), 1}}, 1.414);
                if (i + 1 < f.nx) add({{id(i, j), 1}, {id(i + 1, j), -1}}, kStretch);
                if (j + 1 < f.ny) add({{id(i, j), 1}, {id(i, j + 1), -1}}, kStretch);
                AddRow({{id(i, j), 1}}, 0.01, 0, regular, dummy);
            }
    }

    const size_t np = prefs.size();
    const int unknowns = n + groups;
    for (int g = 0; g < groups; ++g) {  // groups move freely, but no further than they must
        const Eigen::Index k = n + g;
        regular.emplace_back(k, k, 0.02 * 0.02);
    }
    // Round 1 brings each extent to its size wherever it lies; later rounds pin each side to the pixel
    // it reached, a little beyond the pixel centre, and nudge the pin by what the pixels still miss.
    std::vector<double> wantW(np), wantH(np);
    for (size_t p = 0; p < np; ++p) wantW[p] = targets[p].w, wantH[p] = targets[p].h;
    std::vector<Box> pinBox(np);
    std::vector<std::array<double, 4>> slack(np, {0.3, 0.3, 0.3, 0.3});  // lo x, hi x, lo y, hi y

    auto addPoint = [&](const Shape& s, Pt q, double sign, std::vector<std::pair<int, double>>& row) {
        if (s.group >= 0) {
            row.push_back({n + s.group, sign});
            AddWeights(f, f.groupAnchor[static_cast<size_t>(s.group)], sign, row);
        } else {
            AddWeights(f, q, sign, row);
        }
    };
    for (int round = 0; round < rounds; ++round) {
        for (int axis = 0; axis < 2; ++axis) {
            std::vector<Eigen::Triplet<double>> trip = regular;
            Eigen::VectorXd b = Eigen::VectorXd::Zero(unknowns);
            for (size_t p = 0; p < np; ++p) {
                const double want = axis == 0 ? wantW[p] : wantH[p];
                if (want <= 0) continue;
                const Shape* sl = nullptr;
                const Shape* sh = nullptr;
                Pt lo{}, hi{};
                double vlo = 1e30, vhi = -1e30;
                for (const Shape& s : prefs[p].shapes)
                    for (const Pt& q : s.rings[0]) {
                        const Pt wq = f.Move(s, q);
                        const double v = axis == 0 ? wq.x : wq.y;
                        if (v < vlo) vlo = v, lo = q, sl = &s;
                        if (v > vhi) vhi = v, hi = q, sh = &s;
                    }
                if (!sl) continue;
                const double olo = axis == 0 ? lo.x : lo.y, ohi = axis == 0 ? hi.x : hi.y;
                if (round == 0) {
                    std::vector<std::pair<int, double>> row;
                    addPoint(*sh, hi, 1.0, row);
                    addPoint(*sl, lo, -1.0, row);
                    AddRow(row, 30.0, want - (ohi - olo), trip, b);
                } else {
                    const Box& pb = pinBox[p];
                    const int k = axis == 0 ? pb.x0 : pb.y0;
                    const double tlo = k + 0.5 - slack[p][static_cast<size_t>(2 * axis)];
                    const double thi = k + want - 1 + 0.5 + slack[p][static_cast<size_t>(2 * axis + 1)];
                    // Pin the extreme of every part that reaches the side (or nearly): pinning only the
                    // outermost lets the next one slip out in the following round.
                    for (const Shape& s : prefs[p].shapes) {
                        Pt slo{}, shi{};
                        double wlo = 1e30, whi = -1e30;
                        for (const Pt& q : s.rings[0]) {
                            const Pt wq = f.Move(s, q);
                            const double v = axis == 0 ? wq.x : wq.y;
                            if (v < wlo) wlo = v, slo = q;
                            if (v > whi) whi = v, shi = q;
                        }
                        if (&s == sl || wlo < tlo + 0.7) {
                            std::vector<std::pair<int, double>> row;
                            addPoint(s, slo, 1.0, row);
                            AddRow(row, 30.0, tlo - (axis == 0 ? slo.x : slo.y), trip, b);
                        }
                        if (&s == sh || whi > thi - 0.7) {
                            std::vector<std::pair<int, double>> row;
                            addPoint(s, shi, 1.0, row);
                            AddRow(row, 30.0, thi - (axis == 0 ? shi.x : shi.y), trip, b);
                        }
                    }
                }
            }
            Eigen::SparseMatrix<double> A(unknowns, unknowns);
            A.setFromTriplets(trip.begin(), trip.end());
            Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> solver(A);
            if (solver.info() != Eigen::Success) throw std::runtime_error("warp: factorisation failed");
            Eigen::VectorXd d = solver.solve(b);
            auto& dst = axis == 0 ? f.dx : f.dy;
            for (int k = 0; k < n; ++k) dst[static_cast<size_t>(k)] = d[k];
            for (int g = 0; g < groups; ++g) (axis == 0 ? f.groupShift[static_cast<size_t>(g)].x : f.groupShift[static_cast<size_t>(g)].y) = d[n + g];
        }
        // Measure what the pixels make of it.
        LabelImage img = Rasterise(prefs, f, w, h, nullptr);
        std::vector<Box> boxes = img.Boxes();
        int off = 0, worst = 0;
        for (size_t p = 0; p < np; ++p) {
            if (targets[p].w <= 0 || targets[p].h <= 0) continue;
            const Box& bx = boxes[p];
            if (round == 0) {
                pinBox[p] = bx;
            } else {
                const Box& pb = pinBox[p];
                const int e[4] = {bx.x0 - pb.x0, pb.x0 + targets[p].w - 1 - bx.x1, bx.y0 - pb.y0, pb.y0 + targets[p].h - 1 - bx.y1};
                for (int s = 0; s < 4; ++s) slack[p][static_cast<size_t>(s)] = std::clamp(slack[p][static_cast<size_t>(s)] + 0.25 * e[s], -0.4, 1.6);
            }
            const int ew = targets[p].w - bx.W(), eh = targets[p].h - bx.H();
            off += (ew != 0) + (eh != 0);
            worst = std::max({worst, std::abs(ew), std::abs(eh)});
        }
        char line[128];
        std::snprintf(line, sizeof line, "warp round %d: %d extents off, worst by %d px", round + 1, off, worst);
        log.push_back(line);
    }
    return f;
}

namespace {

// Gives p's pixels in one extreme column (or row) away: to a neighbour whose box does not grow, or to
// the sea where nobody else touches them. False (and nothing changed) when that is not possible.
bool Shrink(LabelImage& img, int p, bool vertical, bool lowSide) {
    std::vector<Box> boxes = img.Boxes();
    const Box bp = boxes[static_cast<size_t>(p)];
    const int line = vertical ? (lowSide ? bp.y0 : bp.y1) : (lowSide ? bp.x0 : bp.x1);
    std::vector<std::pair<int, int8_t>> changes;  // pixel index, new value
    const int from = vertical ? bp.x0 : bp.y0, to = vertical ? bp.x1 : bp.y1;
    for (int t = from; t <= to; ++t) {
        const int x = vertical ? t : line, y = vertical ? line : t;
        if (img.Get(x, y) != p) continue;
        int8_t give = -1;
        bool touched = false;
        const int nb[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
        for (const auto& d : nb) {
            const int8_t q = img.Get(x + d[0], y + d[1]);
            if (q < 0 || q == p) continue;
            touched = true;
            const Box& bq = boxes[static_cast<size_t>(q)];
            if (give < 0 && x >= bq.x0 && x <= bq.x1 && y >= bq.y0 && y <= bq.y1) give = q;
        }
        if (touched && give < 0) return false;
        changes.push_back({y * img.w + x, give});
    }
    std::vector<int8_t> saved;
    for (auto& [i, v] : changes) saved.push_back(img.at[static_cast<size_t>(i)]), img.at[static_cast<size_t>(i)] = v;
    std::vector<Box> after = img.Boxes();
    const Box& ap = after[static_cast<size_t>(p)];
    bool ok = !ap.Empty() && (vertical ? ap.W() == bp.W() && ap.H() == bp.H() - 1 : ap.H() == bp.H() && ap.W() == bp.W() - 1);
    for (size_t q = 0; q < boxes.size() && ok; ++q)
        if (static_cast<int>(q) != p && (after[q].x0 != boxes[q].x0 || after[q].x1 != boxes[q].x1 ||
                                         after[q].y0 != boxes[q].y0 || after[q].y1 != boxes[q].y1))
            ok = false;
    if (!ok)
        for (size_t k = 0; k < changes.size(); ++k) img.at[static_cast<size_t>(changes[k].first)] = saved[k];
    return ok;
}

// Adds one pixel just beyond p's extreme column (or row): sea first, else a neighbour's pixel that the
// neighbour's box does not need.
bool Grow(LabelImage& img, int p, bool vertical, bool lowSide) {
    std::vector<Box> boxes = img.Boxes();
    const Box bp = boxes[static_cast<size_t>(p)];
    const int line = vertical ? (lowSide ? bp.y0 : bp.y1) : (lowSide ? bp.x0 : bp.x1);
    const int out = line + (lowSide ? -1 : 1);
    const int from = vertical ? bp.x0 : bp.y0, to = vertical ? bp.x1 : bp.y1;
    const int mid = (from + to) / 2;
    for (int pass = 0; pass < 2; ++pass) {
        // from the middle of the side outwards, so the bump sits where the side is
        for (int k = 0; k <= to - from; ++k) {
            const int t = mid + ((k & 1) ? (k + 1) / 2 : -(k / 2));
            if (t < from || t > to) continue;
            const int x = vertical ? t : line, y = vertical ? line : t;
            const int ox = vertical ? t : out, oy = vertical ? out : t;
            if (img.Get(x, y) != p || ox < 0 || oy < 0 || ox >= img.w || oy >= img.h) continue;
            const int8_t q = img.Get(ox, oy);
            if (pass == 0 && q >= 0) continue;
            if (pass == 1 && (q < 0 || q == p)) continue;
            img.Set(ox, oy, static_cast<int8_t>(p));
            if (q >= 0) {
                std::vector<Box> after = img.Boxes();
                const Box& a = after[static_cast<size_t>(q)];
                const Box& bq = boxes[static_cast<size_t>(q)];
                if (a.x0 != bq.x0 || a.x1 != bq.x1 || a.y0 != bq.y0 || a.y1 != bq.y1) {
                    img.Set(ox, oy, q);
                    continue;
                }
            }
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<int> TouchUp(LabelImage& img, const std::vector<ExtentTarget>& targets, std::vector<std::string>& log) {
    std::vector<int> touches(targets.size() * 2, 0);
    for (int round = 0; round < 6; ++round) {
        bool changed = false;
        for (int p = 0; p < static_cast<int>(targets.size()); ++p) {
            for (int axis = 0; axis < 2; ++axis) {
                const int want = axis == 0 ? targets[static_cast<size_t>(p)].w : targets[static_cast<size_t>(p)].h;
                if (want <= 0) continue;
                // A touch is one pixel; what needs more is the warp's job and is reported.
                for (int guard = 0; guard < 4 && touches[static_cast<size_t>(2 * p + axis)] < 3; ++guard) {
                    const Box b = img.Boxes()[static_cast<size_t>(p)];
                    const int have = axis == 0 ? b.W() : b.H();
                    if (have == want) break;
                    const bool vertical = axis == 1;
                    bool done = false;
                    for (int side = 0; side < 2 && !done; ++side) {
                        const bool low = ((guard + side) & 1) == 0;
                        done = have > want ? Shrink(img, p, vertical, low) : Grow(img, p, vertical, low);
                        if (done) {
                            char line[160];
                            std::snprintf(line, sizeof line, "touch: %s %s %s side", std::string(korven::PrefNames[static_cast<size_t>(p)]).c_str(),
                                          have > want ? "gives up its" : "takes one pixel beyond its",
                                          vertical ? (low ? "top" : "bottom") : (low ? "left" : "right"));
                            log.push_back(line);
                        }
                    }
                    if (!done) break;
                    ++touches[static_cast<size_t>(2 * p + axis)];
                    changed = true;
                }
            }
        }
        if (!changed) break;
    }
    std::vector<int> missing;
    std::vector<Box> boxes = img.Boxes();
    for (size_t p = 0; p < targets.size(); ++p)
        if ((targets[p].w > 0 && boxes[p].W() != targets[p].w) || (targets[p].h > 0 && boxes[p].H() != targets[p].h))
            missing.push_back(static_cast<int>(p));
    return missing;
}

}  // namespace mapgen
