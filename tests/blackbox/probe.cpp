// Reads KORVEN's windows from outside its process (same Wine server) and prints them as JSON, so the
// black-box tests can check places and shapes exactly.
//   probe pieces            every frmMap window: place, visibility, styles, region vs. its record, a point inside
//   probe windows           every visible top-level window: class, title, place
//   probe wait N SECONDS    waits until N frmMap windows are visible; exit 1 on time-out
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
#include <string>
#include <vector>

#include "core/win_owners.h"
#include "regions/record_sizes.h"
#include "regions/region_record.h"

using namespace korven;

namespace {

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::string Json(const std::string& s) {
    std::string o = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') { o += '\\'; o += static_cast<char>(c); }
        else if (c < 0x20) { char b[8]; std::snprintf(b, sizeof b, "\\u%04x", c); o += b; }
        else o += static_cast<char>(c);
    }
    return o + "\"";
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

struct Region {
    std::vector<RECT> rects;
    bool present = false;
};

Region WindowRegion(HWND h) {
    Region r;
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    int kind = GetWindowRgn(h, rgn);
    if (kind != ERROR) {
        r.present = true;
        DWORD n = GetRegionData(rgn, 0, nullptr);
        std::vector<char> buf(n);
        if (n && GetRegionData(rgn, n, reinterpret_cast<RGNDATA*>(buf.data()))) {
            auto* d = reinterpret_cast<RGNDATA*>(buf.data());
            auto* rc = reinterpret_cast<RECT*>(d->Buffer);
            r.rects.assign(rc, rc + d->rdh.nCount);
        }
    }
    DeleteObject(rgn);
    return r;
}

bool SameAsRecord(const Region& r, int record) {
    const RegionRecord& rec = RecordAt(record);
    if (r.rects.size() != rec.rdh.nCount || rec.rdh.nCount == 0) return false;
    for (size_t i = 0; i < r.rects.size(); ++i) {
        const RectL& a = rec.Buffer[i];
        if (r.rects[i].left != a.left || r.rects[i].top != a.top || r.rects[i].right != a.right ||
            r.rects[i].bottom != a.bottom)
            return false;
    }
    return true;
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

std::string RectJson(const RECT& r) {
    return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "]";
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
    std::printf("{\"screen\":[%d,%d],", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    RECT wa;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0);
    std::printf("\"workarea\":%s,\"pieces\":[", RectJson(wa).c_str());
    bool first = true;
    for (HWND h : TopLevel(L"frmMap")) {
        RECT wr;
        GetWindowRect(h, &wr);
        Region rg = WindowRegion(h);
        int index = -1;
        for (int p = 0; p < PrefCount && index < 0; ++p)
            if (SameAsRecord(rg, p)) index = p;
        HWND pic = GetWindow(h, GW_CHILD);
        std::string picJson = "null";
        // Picture1 is the child whose region is the outline record.
        for (HWND c = pic; c; c = GetWindow(c, GW_HWNDNEXT)) {
            RECT cr;
            GetWindowRect(c, &cr);
            Region cg = WindowRegion(c);
            bool ok = index >= 0 && SameAsRecord(cg, index + OutlineRecordOffset);
            if (ok || picJson == "null")
                picJson = "{\"class\":" + Json(Utf8(ClassOf(c))) + ",\"rect\":" + RectJson(cr) +
                          ",\"region_ok\":" + (ok ? "true" : "false") + "}";
            if (ok) break;
        }
        POINT in = index >= 0 ? InnerPoint(index, index + OutlineRecordOffset) : POINT{-1, -1};
        std::string extra;
        if (index >= 0) {
            POINT in2 = InnerPoint(index, index + OutlineRecordOffset, &in);
            extra += ",\"inner2\":[" + std::to_string(in2.x + wr.left) + "," + std::to_string(in2.y + wr.top) + "]";
            const RegionRecord& line = RecordAt(index + OutlineRecordOffset);
            extra += ",\"name\":" + Json(std::string(PrefName(index))) + ",\"canvas\":[" + std::to_string(PrefCanvas[index].width) + "," +
                    std::to_string(PrefCanvas[index].height) + "],\"line\":[" +
                    std::to_string(line.Buffer[0].left + wr.left) + "," + std::to_string(line.Buffer[0].top + wr.top) + "]";
        }
        std::printf("%s{\"index\":%d,\"title\":%s,\"rect\":%s,\"visible\":%s,\"style\":%lu,\"exstyle\":%lu,"
                    "\"region_rects\":%zu,\"region_ok\":%s,\"picture1\":%s,\"inner\":[%ld,%ld]%s}",
                    first ? "" : ",", index, Json(Utf8(TextOf(h))).c_str(), RectJson(wr).c_str(),
                    IsWindowVisible(h) ? "true" : "false", static_cast<unsigned long>(GetWindowLongW(h, GWL_STYLE)),
                    static_cast<unsigned long>(GetWindowLongW(h, GWL_EXSTYLE)), rg.rects.size(),
                    index >= 0 ? "true" : "false", picJson.c_str(), in.x + wr.left, in.y + wr.top, extra.c_str());
        first = false;
    }
    std::printf("]}\n");
    return 0;
}

int Windows() {
    std::printf("[");
    bool first = true;
    for (HWND h : TopLevel(nullptr)) {
        if (!IsWindowVisible(h)) continue;
        RECT wr;
        GetWindowRect(h, &wr);
        RECT cr{};
        GetClientRect(h, &cr);
        std::printf("%s{\"class\":%s,\"title\":%s,\"rect\":%s,\"client\":[%ld,%ld],\"enabled\":%s}", first ? "" : ",",
                    Json(Utf8(ClassOf(h))).c_str(), Json(Utf8(TextOf(h))).c_str(), RectJson(wr).c_str(), cr.right,
                    cr.bottom, IsWindowEnabled(h) ? "true" : "false");
        first = false;
    }
    std::printf("]\n");
    return 0;
}

// Polls often: a test that acts while the map is still being built has only a few hundred milliseconds.
int Wait(int n, int seconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(seconds) * 1000) {
        int visible = 0;
        for (HWND h : TopLevel(L"frmMap"))
            if (IsWindowVisible(h)) ++visible;
        if (visible >= n) return 0;
        Sleep(5);
    }
    return 1;
}

// The pixels of a window's region on the screen, offset by the window's place.
std::vector<RECT> ScreenRegion(HWND h) {
    RECT wr;
    GetWindowRect(h, &wr);
    std::vector<RECT> out = WindowRegion(h).rects;
    for (RECT& r : out) OffsetRect(&r, wr.left, wr.top);
    return out;
}

int Coverage(const char* file) {
    struct Shown {
        std::string name;
        RECT rect;
        std::vector<RECT> fill, line;
    };
    EnsureRegionStore();
    std::vector<Shown> shown;
    RECT box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (HWND h : TopLevel(L"frmMap")) {
        Shown s{Utf8(TextOf(h)), {}, ScreenRegion(h), {}};
        GetWindowRect(h, &s.rect);
        if (HWND c = GetWindow(h, GW_CHILD)) s.line = ScreenRegion(c);
        for (const RECT& r : s.fill) UnionRect(&box, &box, &r);
        shown.push_back(std::move(s));
    }
    if (shown.empty() || IsRectEmpty(&box)) return 1;
    InflateRect(&box, 1, 1);
    const int w = box.right - box.left, h = box.bottom - box.top;
    std::vector<int> owner(static_cast<size_t>(w) * h, -1);
    std::vector<unsigned char> kind(owner.size(), 0);
    auto each = [&](const std::vector<RECT>& rects, auto&& f) {
        for (const RECT& r : rects)
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x) f(static_cast<size_t>(y - box.top) * w + (x - box.left));
    };
    long overlaps = 0;
    for (size_t i = 0; i < shown.size(); ++i)
        each(shown[i].fill, [&](size_t at) {
            if (kind[at] == 3) return;
            if (kind[at] != 0) { kind[at] = 3; ++overlaps; return; }
            kind[at] = 1;
            owner[at] = static_cast<int>(i);
        });
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
                ++meet[Json(std::min(a, b) + "|" + std::max(a, b))];
            }
    std::string pairs;
    for (const auto& [m, n] : meet) pairs += (pairs.empty() ? "" : ",") + m + ":" + std::to_string(n);
    // An empty pixel between two different pieces, across or down.
    long cracks = 0;
    for (int y = 1; y + 1 < h; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            const size_t at = static_cast<size_t>(y) * w + x;
            if (kind[at] != 0) continue;
            const int l = owner[at - 1], r = owner[at + 1], u = owner[at - w], d = owner[at + w];
            if ((l >= 0 && r >= 0 && l != r) || (u >= 0 && d >= 0 && u != d)) ++cracks;
        }
    // The outline as a line of `width` pixels on the inside of its fill: exactly the fill pixels within
    // `width` steps across or down of a pixel outside it.
    WindowDc screen(nullptr);
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSX);
    const int width = std::max(1, static_cast<int>(std::lround(dpi / 96.0)));
    std::string wrong, places;
    for (const Shown& piece : shown) {
        RECT pb{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (const RECT& r : piece.fill) UnionRect(&pb, &pb, &r);
        InflateRect(&pb, 1, 1);
        const int pw = pb.right - pb.left, ph = pb.bottom - pb.top;
        std::vector<int> dist(static_cast<size_t>(pw) * ph, 0);
        std::vector<unsigned char> inLine(dist.size(), 0);
        auto local = [&](const std::vector<RECT>& rects, auto&& f) {
            for (const RECT& r : rects)
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
        long bad = 0;
        local(piece.fill, [&](size_t at) { bad += (dist[at] <= width) != (inLine[at] != 0); });
        if (bad) wrong += (wrong.empty() ? "" : ",") + Json(piece.name) + ":" + std::to_string(bad);
        // The pixel farthest from the sea and the line: a place to point at.
        const size_t in = static_cast<size_t>(std::max_element(dist.begin(), dist.end()) - dist.begin());
        places += (places.empty() ? "" : ",") + Json(piece.name) + ":{\"rect\":" + RectJson(piece.rect) +
                  ",\"inner\":[" + std::to_string(pb.left + static_cast<long>(in % pw)) + "," +
                  std::to_string(pb.top + static_cast<long>(in / pw)) + "]}";
    }
    if (FILE* f = std::fopen(file, "wb")) {
        std::fwrite(kind.data(), 1, kind.size(), f);
        std::fclose(f);
    }
    std::printf("{\"dpi\":%d,\"width\":%d,\"box\":%s,\"overlaps\":%ld,\"cracks\":%ld,\"outline_wrong\":{%s},"
                "\"meet\":{%s},\"pieces\":{%s}}\n", dpi, width, RectJson(box).c_str(), overlaps, cracks, wrong.c_str(),
                pairs.c_str(), places.c_str());
    return 0;
}

int Controls(const char* cls) {
    const std::wstring wcls(cls, cls + std::strlen(cls));
    HWND top = nullptr;
    for (HWND h : TopLevel(wcls.c_str()))
        if (IsWindowVisible(h)) top = h;
    if (!top) return 1;
    std::printf("[");
    RECT client;  // what of a control lies beyond the dialog's client area does not show
    GetClientRect(top, &client);
    MapWindowPoints(top, nullptr, reinterpret_cast<POINT*>(&client), 2);
    for (HWND c = GetWindow(top, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT wr;
        GetWindowRect(c, &wr);
        IntersectRect(&wr, &wr, &client);
        std::printf("%s{\"class\":%s,\"text\":%s,\"rect\":%s}", c == GetWindow(top, GW_CHILD) ? "" : ",",
                    Json(Utf8(ClassOf(c))).c_str(), Json(Utf8(TextOf(c))).c_str(), RectJson(wr).c_str());
    }
    std::printf("]\n");
    return 0;
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
