#include "regions/pixel_fill.h"

#include <algorithm>
#include <cstdint>
#include <climits>
#include <utility>

#include "core/dpi.h"

namespace korven {

namespace {

int64_t FloorDiv(int64_t n, int64_t d) {  // d > 0
    const int64_t q = n / d;
    return q * d > n ? q - 1 : q;
}
int64_t CeilDiv(int64_t n, int64_t d) { return -FloorDiv(-n, d); }

}  // namespace

namespace {

// The polygons' own runs, rows from rowFrom to before rowTo.
std::vector<FillRun> PolygonRuns(const ShapeSource& source, int dpi, int64_t phaseX, int64_t phaseY, int64_t rowFrom,
                                 int64_t rowTo) {
    std::vector<FillRun> runs;
    if (!source.counts) return runs;
    // A point of 1/16 pixel at 96 dpi is dpi × 15 phase units on the mask.
    const int64_t scale = int64_t{DpiOrDefault(dpi)} * 15, half = PhaseUnit / 2;
    std::vector<std::pair<int, int64_t>> cross;  // row, first column whose centre lies at or right of the edge
    const uint16_t* c = source.counts;
    const int16_t* pt = source.points;
    const int shapes = *c++;
    for (int s = 0; s < shapes; ++s) {
        cross.clear();
        const int rings = *c++;
        for (int r = 0; r < rings; ++r) {
            const int n = *c++;
            for (int i = 0; i < n; ++i) {
                const int16_t* a = pt + 2 * i;
                const int16_t* b = pt + 2 * ((i + 1) % n);
                int64_t ax = a[0] * scale + phaseX, ay = a[1] * scale + phaseY;
                int64_t bx = b[0] * scale + phaseX, by = b[1] * scale + phaseY;
                if (ay == by) continue;
                if (ay > by) std::swap(ax, bx), std::swap(ay, by);  // the same edge gives the same crossings on both sides
                // Rows whose centre y satisfies ay <= y < by.
                const int64_t r0 = std::max(rowFrom, CeilDiv(ay - half, PhaseUnit));
                const int64_t r1 = std::min(rowTo, CeilDiv(by - half, PhaseUnit));
                const int64_t dy = by - ay, dx = bx - ax;
                for (int64_t row = r0; row < r1; ++row) {
                    const int64_t yc = row * PhaseUnit + half;
                    // centre x >= ax + (yc - ay) dx / dy, times dy
                    const int64_t col = CeilDiv(ax * dy + (yc - ay) * dx - half * dy, PhaseUnit * dy);
                    cross.emplace_back(static_cast<int>(row), col);
                }
            }
            pt += 2 * n;
        }
        std::sort(cross.begin(), cross.end());
        for (size_t k = 0; k + 1 < cross.size(); k += 2)
            if (cross[k].second < cross[k + 1].second)
                runs.push_back({cross[k].first, static_cast<int>(cross[k].second), static_cast<int>(cross[k + 1].second)});
    }
    // Shapes are united: runs of one row that meet become one.
    std::sort(runs.begin(), runs.end(), [](const FillRun& l, const FillRun& r) {
        return l.row != r.row ? l.row < r.row : l.from < r.from;
    });
    size_t kept = 0;
    for (const FillRun& run : runs) {
        if (kept && runs[kept - 1].row == run.row && run.from <= runs[kept - 1].to)
            runs[kept - 1].to = std::max(runs[kept - 1].to, run.to);
        else
            runs[kept++] = run;
    }
    runs.resize(kept);
    return runs;
}

}  // namespace

std::vector<FillRun> FillRuns(const ShapeSource& source, int dpi, int64_t phaseX, int64_t phaseY) {
    std::vector<FillRun> own = PolygonRuns(source, dpi, phaseX, phaseY, INT32_MIN, INT32_MAX);
    if (own.empty() || !source.clips) return own;
    const int64_t scale = int64_t{DpiOrDefault(dpi)} * 15;
    std::vector<FillRun> taken;
    for (uint16_t i = 0; i < source.clipCount; ++i) {
        const ShapeClip& c = source.clips[i];
        const std::vector<FillRun> r = PolygonRuns(*c.source, dpi, phaseX + c.dx * scale, phaseY + c.dy * scale,
                                                   own.front().row, own.back().row + 1);
        taken.insert(taken.end(), r.begin(), r.end());
    }
    std::sort(taken.begin(), taken.end(), [](const FillRun& l, const FillRun& r) {
        return l.row != r.row ? l.row < r.row : l.from < r.from;
    });
    std::vector<FillRun> out;
    size_t t = 0;
    for (FillRun run : own) {
        while (t < taken.size() && (taken[t].row < run.row || (taken[t].row == run.row && taken[t].to <= run.from))) ++t;
        for (size_t k = t; k < taken.size() && taken[k].row == run.row && taken[k].from < run.to; ++k) {
            if (taken[k].from > run.from) out.push_back({run.row, run.from, taken[k].from});
            run.from = std::max(run.from, taken[k].to);
        }
        if (run.from < run.to) out.push_back(run);
    }
    return out;
}

std::vector<uint8_t> FillMask(const ShapeSource& source, int dpi, int64_t phaseX, int64_t phaseY, int width,
                              int height) {
    std::vector<uint8_t> mask(static_cast<size_t>(std::max(0, width)) * static_cast<size_t>(std::max(0, height)), 0);
    if (width <= 0 || height <= 0) return mask;
    for (const FillRun& run : FillRuns(source, dpi, phaseX, phaseY)) {
        if (run.row < 0 || run.row >= height) continue;
        for (int x = std::max(0, run.from); x < std::min(width, run.to); ++x)
            mask[static_cast<size_t>(run.row) * static_cast<size_t>(width) + static_cast<size_t>(x)] = 1;
    }
    return mask;
}

std::vector<uint8_t> InnerBorder(const std::vector<uint8_t>& fill, int width, int height, int lineWidth) {
    std::vector<uint8_t> out(fill.size(), 0);
    std::vector<std::pair<int, int>> disc;
    for (int dy = -lineWidth; dy <= lineWidth; ++dy)
        for (int dx = -lineWidth; dx <= lineWidth; ++dx)
            if ((dx || dy) && dx * dx + dy * dy <= lineWidth * lineWidth) disc.emplace_back(dx, dy);
    auto in = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < width && y < height && fill[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (!in(x, y)) continue;
            for (const auto& [dx, dy] : disc)
                if (!in(x + dx, y + dy)) {
                    out[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = 1;
                    break;
                }
        }
    return out;
}

int OutlineWidthAt(int dpi) { return std::max(1, (DpiOrDefault(dpi) + 48) / 96); }

std::vector<RectL> BandsFromMask(const uint8_t* mask, int width, int height) {
    std::vector<RectL> rects;
    std::vector<std::pair<int, int>> runs, prevRuns;
    size_t prevBandStart = 0;
    for (int y = 0; y < height; ++y) {
        runs.clear();
        const uint8_t* row = mask + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int x = 0; x < width;) {
            if (!row[x]) { ++x; continue; }
            const int a = x;
            while (x < width && row[x]) ++x;
            runs.emplace_back(a, x);
        }
        if (!runs.empty() && runs == prevRuns && !rects.empty() && rects.back().bottom == y) {
            for (size_t i = prevBandStart; i < rects.size(); ++i) rects[i].bottom = y + 1;
        } else if (!runs.empty()) {
            prevBandStart = rects.size();
            for (auto [a, b] : runs) rects.push_back(RectL{a, y, b, y + 1});
        }
        prevRuns = runs;
    }
    return rects;
}

int64_t PhaseAt(int32_t twips, int dpi) {
    return 16 * PlacePhase(twips, DpiOrDefault(dpi));  // a phase unit is 1/16 of 1/1440 pixel
}

ScaledShape ShapeOf(const ShapeSource& source, int canvasWidth, int canvasHeight, int dpi, int32_t leftTwips,
                    int32_t topTwips) {
    const int d = DpiOrDefault(dpi);
    ScaledShape out;
    out.width = TwipsToPixelsAt(canvasWidth * 15, d);
    out.height = TwipsToPixelsAt(canvasHeight * 15, d);
    const std::vector<uint8_t> fill =
        FillMask(source, d, PhaseAt(leftTwips, d), PhaseAt(topTwips, d), out.width, out.height);
    const std::vector<uint8_t> outline = InnerBorder(fill, out.width, out.height, OutlineWidthAt(d));
    out.fill = BandsFromMask(fill.data(), out.width, out.height);
    out.outline = BandsFromMask(outline.data(), out.width, out.height);
    return out;
}

Tiling CountTiling(const std::vector<PlacedShape>& pieces) {
    int x0 = INT32_MAX, y0 = INT32_MAX, x1 = INT32_MIN, y1 = INT32_MIN;
    for (const PlacedShape& p : pieces)
        for (const RectL& r : *p.fill) {
            x0 = std::min(x0, p.left + r.left), y0 = std::min(y0, p.top + r.top);
            x1 = std::max(x1, p.left + r.right), y1 = std::max(y1, p.top + r.bottom);
        }
    Tiling t;
    if (x1 <= x0) return t;
    const int w = x1 - x0, h = y1 - y0;
    std::vector<int16_t> at(static_cast<size_t>(w) * static_cast<size_t>(h), -1);
    for (size_t k = 0; k < pieces.size(); ++k)
        for (const RectL& r : *pieces[k].fill)
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x) {
                    int16_t& v = at[static_cast<size_t>(pieces[k].top + y - y0) * static_cast<size_t>(w) +
                                    static_cast<size_t>(pieces[k].left + x - x0)];
                    if (v >= 0) ++t.overlaps;
                    v = static_cast<int16_t>(k);
                }
    auto get = [&](int x, int y) {
        return x < 0 || y < 0 || x >= w || y >= h ? -1 : at[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (get(x, y) >= 0) continue;
            const int l = get(x - 1, y), r = get(x + 1, y), u = get(x, y - 1), d = get(x, y + 1);
            t.cracks += (l >= 0 && r >= 0 && l != r) || (u >= 0 && d >= 0 && u != d);
        }
    return t;
}

}  // namespace korven
