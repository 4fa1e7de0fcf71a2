// Reads KORVEN's windows from outside its process (same Wine server) and prints them as JSON, so the
// black-box tests can check places and shapes exactly.
//   probe pieces            every frmMap window: place, visibility, styles, region vs. its record, a point inside
//   probe windows           every visible top-level window: class, title, place, whether it waits to be painted
//   probe wait N SECONDS    waits until N frmMap windows are visible and painted; exit 1 on time-out
//   probe coverage FILE     the pieces as shown, pixel by pixel over the map's box: overlaps, cracks, the outline's
//                           width, the dpi; FILE gets one byte a pixel (0 none, 1 fill, 2 outline, 3 two pieces)
//   probe controls CLASS    the children of the visible window of that class: class, text, place
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/win_owners.h"
#include "regions/pixel_fill.h"
#include "regions/record_sizes.h"
#include "regions/region_record.h"

using namespace korven;

namespace {

using Json = nlohmann::ordered_json;  // keys in the order written: a piece reads index and title first

int Print(const Json& j) {
    std::printf("%s\n", j.dump().c_str());
    return 0;
}

template <class R>
Json Box(const R& r) {
    return {r.left, r.top, r.right, r.bottom};
}

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring ClassOf(HWND h) {
    wchar_t b[256] = {};
    GetClassNameW(h, b, 256);
    return b;
}
std::wstring TextOf(HWND h) {
    wchar_t b[512] = {};
    GetWindowTextW(h, b, 512);
    return b;
}

// Empty when the window has no region.
std::vector<RectL> WindowRegion(HWND h) {
    UniqueRgn rgn(CreateRectRgn(0, 0, 0, 0));
    const DWORD n = GetWindowRgn(h, rgn.get()) == ERROR ? 0 : GetRegionData(rgn.get(), 0, nullptr);
    std::vector<char> buf(n);
    if (!n || !GetRegionData(rgn.get(), n, reinterpret_cast<RGNDATA*>(buf.data()))) return {};
    const auto* d = reinterpret_cast<const RGNDATA*>(buf.data());
    const auto* rc = reinterpret_cast<const RectL*>(d->Buffer);
    return {rc, rc + d->rdh.nCount};
}

bool SameAsRecord(const std::vector<RectL>& r, int record) {
    const RegionRecord& rec = RecordAt(record);
    return r.size() == rec.rdh.nCount && !r.empty() && std::memcmp(r.data(), rec.Buffer, r.size() * sizeof(RectL)) == 0;
}

// The fill pixel farthest from the sea and the line (chessboard distance), in window coordinates; with
// `away`, the best one at least 6 pixels from that point (so a test can step off the capital dot).
POINT InnerPoint(int record, int outline, const POINT* away = nullptr) {
    const RegionRecord& rec = RecordAt(record);
    const int w = rec.rdh.rcBound.right + 2, h = rec.rdh.rcBound.bottom + 2;
    std::vector<int> d(static_cast<size_t>(w * h), 0);
    auto paint = [&](const RegionRecord& rr, int v) {
        for (uint32_t i = 0; i < rr.rdh.nCount; ++i)
            for (int y = rr.Buffer[i].top; y < rr.Buffer[i].bottom; ++y)
                for (int x = rr.Buffer[i].left; x < rr.Buffer[i].right; ++x) d[y * w + x] = v;
    };
    paint(rec, 1000);
    paint(RecordAt(outline), 0);  // the line is not interior
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < w * h; ++i) {
            int y = pass ? (h - 1 - i / w) : i / w, x = pass ? (w - 1 - i % w) : i % w;
            int& v = d[y * w + x];
            if (!v) continue;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    int nv = (nx < 0 || ny < 0 || nx >= w || ny >= h) ? 0 : d[ny * w + nx];
                    if (nv + 1 < v) v = nv + 1;
                }
        }
    POINT best{-1, -1};
    int bestV = 0;
    for (int i = 0; i < w * h; ++i) {
        if (away && std::max(std::abs(i % w - away->x), std::abs(i / w - away->y)) < 6) continue;
        if (d[i] > bestV) { bestV = d[i]; best = {i % w, i / w}; }
    }
    return best;
}

struct EnumCtx {
    std::vector<HWND>* out;
    const wchar_t* cls;
};

BOOL CALLBACK CollectTopLevel(HWND h, LPARAM p) {
    auto* c = reinterpret_cast<EnumCtx*>(p);
    if (!c->cls || ClassOf(h) == c->cls) c->out->push_back(h);
    return TRUE;
}

std::vector<HWND> TopLevel(const wchar_t* cls) {
    std::vector<HWND> v;
    EnumCtx ctx{&v, cls};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&ctx));
    return v;
}

int Pieces() {
    EnsureRegionStore();
    RECT wa;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0);
    Json out = {{"screen", {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}},
                {"workarea", Box(wa)}, {"pieces", Json::array()}};
    for (HWND h : TopLevel(L"frmMap")) {
        RECT wr;
        GetWindowRect(h, &wr);
        const std::vector<RectL> rg = WindowRegion(h);
        int index = -1;
        for (int p = 0; p < PrefCount && index < 0; ++p)
            if (SameAsRecord(rg, p)) index = p;
        Json pic = nullptr;
        // Picture1 is the child whose region is the outline record.
        for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            RECT cr;
            GetWindowRect(c, &cr);
            bool ok = index >= 0 && SameAsRecord(WindowRegion(c), index + OutlineRecordOffset);
            if (ok || pic.is_null()) pic = {{"class", Utf8(ClassOf(c))}, {"rect", Box(cr)}, {"region_ok", ok}};
            if (ok) break;
        }
        POINT in = index >= 0 ? InnerPoint(index, index + OutlineRecordOffset) : POINT{-1, -1};
        Json& p = out["pieces"].emplace_back(Json{
            {"index", index}, {"title", Utf8(TextOf(h))}, {"rect", Box(wr)}, {"visible", !!IsWindowVisible(h)},
            {"style", static_cast<unsigned long>(GetWindowLongW(h, GWL_STYLE))},
            {"exstyle", static_cast<unsigned long>(GetWindowLongW(h, GWL_EXSTYLE))},
            {"region_rects", rg.size()}, {"region_ok", index >= 0}, {"picture1", pic},
            {"inner", {in.x + wr.left, in.y + wr.top}}});
        if (index >= 0) {
            POINT in2 = InnerPoint(index, index + OutlineRecordOffset, &in);
            const RectL& line = RecordAt(index + OutlineRecordOffset).Buffer[0];
            p["inner2"] = {in2.x + wr.left, in2.y + wr.top};
            p["name"] = std::string(PrefName(index));
            p["canvas"] = {PrefCanvas[index].width, PrefCanvas[index].height};
            p["line"] = {line.left + wr.left, line.top + wr.top};
        }
    }
    return Print(out);
}

BOOL CALLBACK NoteUnpainted(HWND c, LPARAM painted) {
    if (GetUpdateRect(c, nullptr, FALSE)) *reinterpret_cast<bool*>(painted) = false;
    return TRUE;
}

// Nothing of the window or its children is waiting for a WM_PAINT: what is on the screen is what it drew.
bool Painted(HWND h) {
    bool painted = !GetUpdateRect(h, nullptr, FALSE);
    EnumChildWindows(h, NoteUnpainted, reinterpret_cast<LPARAM>(&painted));
    return painted;
}

int Windows() {
    Json out = Json::array();
    for (HWND h : TopLevel(nullptr)) {
        if (!IsWindowVisible(h)) continue;
        RECT wr, cr{};
        GetWindowRect(h, &wr);
        GetClientRect(h, &cr);
        out.push_back(Json{{"class", Utf8(ClassOf(h))}, {"title", Utf8(TextOf(h))}, {"rect", Box(wr)},
                           {"client", {cr.right, cr.bottom}}, {"enabled", !!IsWindowEnabled(h)},
                           {"painted", Painted(h)}});
    }
    return Print(out);
}

// Polls often: a test that acts while the map is still being built has only a few hundred milliseconds.
int Wait(int n, int seconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(seconds) * 1000) {
        int visible = 0;
        for (HWND h : TopLevel(L"frmMap"))
            if (IsWindowVisible(h) && Painted(h)) ++visible;
        if (visible >= n) return 0;
        Sleep(5);
    }
    return 1;
}

// The pixels of a window's region on the screen, offset by the window's place.
std::vector<RectL> ScreenRegion(HWND h) {
    RECT wr;
    GetWindowRect(h, &wr);
    std::vector<RectL> out = WindowRegion(h);
    for (RectL& r : out) r.left += wr.left, r.right += wr.left, r.top += wr.top, r.bottom += wr.top;
    return out;
}

// The box around the rectangles with a pixel to spare on every side.
RectL Around(const std::vector<RectL>& rects) {
    RectL b{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (const RectL& r : rects)
        b = {std::min(b.left, r.left), std::min(b.top, r.top), std::max(b.right, r.right), std::max(b.bottom, r.bottom)};
    return {b.left - 1, b.top - 1, b.right + 1, b.bottom + 1};
}

int Coverage(const char* file) {
    struct Shown {
        std::string name;
        RECT rect;
        std::vector<RectL> fill, line;
    };
    EnsureRegionStore();
    std::vector<Shown> shown;
    std::vector<RectL> all;
    for (HWND h : TopLevel(L"frmMap")) {
        Shown s{Utf8(TextOf(h)), {}, ScreenRegion(h), {}};
        GetWindowRect(h, &s.rect);
        if (HWND c = GetWindow(h, GW_CHILD)) s.line = ScreenRegion(c);
        all.insert(all.end(), s.fill.begin(), s.fill.end());
        shown.push_back(std::move(s));
    }
    if (all.empty()) return 1;
    const RectL box = Around(all);
    const int w = box.right - box.left, h = box.bottom - box.top;
    std::vector<int> owner(static_cast<size_t>(w) * h, -1);
    std::vector<unsigned char> kind(owner.size(), 0);
    auto each = [&](const std::vector<RectL>& rects, auto&& f) {
        for (const RectL& r : rects)
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x) f(static_cast<size_t>(y - box.top) * w + (x - box.left));
    };
    std::vector<PlacedShape> placed;
    for (size_t i = 0; i < shown.size(); ++i) {
        placed.push_back({0, 0, &shown[i].fill});
        each(shown[i].fill, [&](size_t at) {
            if (kind[at] != 0) { kind[at] = 3; return; }
            kind[at] = 1;
            owner[at] = static_cast<int>(i);
        });
    }
    const Tiling tiling = CountTiling(placed);
    for (size_t i = 0; i < shown.size(); ++i)  // a child shows only inside its parent's region
        each(shown[i].line, [&](size_t at) { if (owner[at] == static_cast<int>(i) && kind[at] == 1) kind[at] = 2; });
    // Pieces that meet, and along how many pixel sides: a pixel of one beside a pixel of the other.
    std::map<std::string, int> meet;
    for (size_t at = 0; at + w < owner.size(); ++at)
        for (const size_t next : {at + 1, at + w})
            if (owner[at] >= 0 && owner[next] >= 0 && owner[at] != owner[next]) {
                // By name, not by the windows' order, which changes with activation.
                const std::string& a = shown[static_cast<size_t>(owner[at])].name;
                const std::string& b = shown[static_cast<size_t>(owner[next])].name;
                ++meet[std::min(a, b) + "|" + std::max(a, b)];
            }
    // The outline as a line of `width` pixels on the inside of its fill: exactly the fill pixels within
    // `width` pixels (straight-line distance) of a pixel outside it.
    WindowDc screen(nullptr);
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSX);
    const int width = std::max(1, static_cast<int>(std::lround(dpi / 96.0)));
    Json wrong = Json::object(), places = Json::object();
    for (const Shown& piece : shown) {
        const RectL pb = Around(piece.fill);
        const int pw = pb.right - pb.left, ph = pb.bottom - pb.top;
        std::vector<int> dist(static_cast<size_t>(pw) * ph, 0);
        std::vector<unsigned char> inLine(dist.size(), 0);
        auto local = [&](const std::vector<RectL>& rects, auto&& f) {
            for (const RectL& r : rects)
                for (int y = std::max(r.top, pb.top); y < std::min(r.bottom, pb.bottom); ++y)
                    for (int x = std::max(r.left, pb.left); x < std::min(r.right, pb.right); ++x)
                        f(static_cast<size_t>(y - pb.top) * pw + (x - pb.left));
        };
        local(piece.fill, [&](size_t at) { dist[at] = INT_MAX / 2; });
        local(piece.line, [&](size_t at) { inLine[at] = 1; });
        for (int pass = 0; pass < 2; ++pass)
            for (int k = 0; k < pw * ph; ++k) {
                const int y = pass ? ph - 1 - k / pw : k / pw, x = pass ? pw - 1 - k % pw : k % pw;
                int& v = dist[static_cast<size_t>(y) * pw + x];
                if (!v) continue;
                for (const POINT step : {POINT{-1, 0}, POINT{1, 0}, POINT{0, -1}, POINT{0, 1}}) {
                    const int nx = x + step.x, ny = y + step.y;
                    const int nv = nx < 0 || ny < 0 || nx >= pw || ny >= ph ? 0 : dist[static_cast<size_t>(ny) * pw + nx];
                    v = std::min(v, nv + 1);
                }
            }
        auto nearOutside = [&](size_t at) {
            const int x = static_cast<int>(at % pw), y = static_cast<int>(at / pw);
            for (int dy = -width; dy <= width; ++dy)
                for (int dx = -width; dx <= width; ++dx)
                    if (dx * dx + dy * dy <= width * width &&
                        (x + dx < 0 || y + dy < 0 || x + dx >= pw || y + dy >= ph ||
                         !dist[static_cast<size_t>(y + dy) * pw + x + dx]))
                        return true;
            return false;
        };
        long bad = 0;
        local(piece.fill, [&](size_t at) { bad += nearOutside(at) != (inLine[at] != 0); });
        if (bad) wrong[piece.name] = bad;
        // The pixel farthest from the sea and the line: a place to point at.
        const int in = static_cast<int>(std::max_element(dist.begin(), dist.end()) - dist.begin());
        places[piece.name] = {{"rect", Box(piece.rect)}, {"inner", {pb.left + in % pw, pb.top + in / pw}}};
    }
    if (FILE* f = std::fopen(file, "wb")) {
        std::fwrite(kind.data(), 1, kind.size(), f);
        std::fclose(f);
    }
    return Print({{"dpi", dpi}, {"width", width}, {"box", Box(box)}, {"overlaps", tiling.overlaps},
                  {"cracks", tiling.cracks}, {"outline_wrong", wrong}, {"meet", meet}, {"pieces", places}});
}

int Controls(const char* cls) {
    const std::wstring wcls(cls, cls + std::strlen(cls));
    HWND top = nullptr;
    for (HWND h : TopLevel(wcls.c_str()))
        if (IsWindowVisible(h)) top = h;
    if (!top) return 1;
    RECT client;  // what of a control lies beyond the dialog's client area does not show
    GetClientRect(top, &client);
    MapWindowPoints(top, nullptr, reinterpret_cast<POINT*>(&client), 2);
    Json out = Json::array();
    for (HWND c = GetWindow(top, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT wr;
        GetWindowRect(c, &wr);
        IntersectRect(&wr, &wr, &client);
        out.push_back(Json{{"class", Utf8(ClassOf(c))}, {"text", Utf8(TextOf(c))}, {"rect", Box(wr)}});
    }
    return Print(out);
}

}  // namespace

int main(int argc, char** argv) {
    std::string cmd = argc > 1 ? argv[1] : "";
    int rc = 2;
    if (cmd == "pieces") rc = Pieces();
    else if (cmd == "windows") rc = Windows();
    else if (cmd == "wait" && argc == 4) rc = Wait(std::atoi(argv[2]), std::atoi(argv[3]));
    else if (cmd == "coverage" && argc == 3) rc = Coverage(argv[2]);
    else if (cmd == "controls" && argc == 3) rc = Controls(argv[2]);
    else std::fprintf(stderr, "usage: probe pieces | windows | wait N SECONDS | coverage FILE | controls CLASS\n");
    std::fflush(stdout);
    return rc;
}
