// Reads KORVEN's windows from outside its process (same Wine server) and prints them as JSON, so the
// black-box tests can check places and shapes exactly.
//   probe pieces            every frmMap window: place, visibility, styles, region vs. its record, a point inside
//   probe windows           every visible top-level window: class, title, place
//   probe wait N SECONDS    waits until N frmMap windows are visible; exit 1 on time-out
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

}  // namespace

int main(int argc, char** argv) {
    std::string cmd = argc > 1 ? argv[1] : "";
    int rc = 2;
    if (cmd == "pieces") rc = Pieces();
    else if (cmd == "windows") rc = Windows();
    else if (cmd == "wait" && argc == 4) rc = Wait(std::atoi(argv[2]), std::atoi(argv[3]));
    else std::fprintf(stderr, "usage: probe pieces | windows | wait N SECONDS\n");
    std::fflush(stdout);
    return rc;
}
