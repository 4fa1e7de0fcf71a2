#include "regions/shaping.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/dpi.h"
#include "core/notices.h"
#include "regions/frm_rgn_picture.h"
#include "regions/record_sizes.h"
#include "regions/region_record.h"

namespace korven {

const wchar_t* const RegionReadFailedText = L"It failed in reading of region data.";
const wchar_t* const WindowShapeFailedText = L"It failed in plastic surgery of a window.";

namespace {

// The bytes of a record that ExtCreateRegion may read; 0 when its header claims more than it holds.
DWORD SafeByteCount(int record) {
    const RegionHeader& h = RecordAt(record).rdh;
    if (h.dwSize != sizeof(RegionHeader) || h.nCount > RecordCapacity || h.nRgnSize != h.nCount * sizeof(RectL))
        return 0;
    return RecordByteCount(record);
}

}  // namespace

void ApplyRects(const std::vector<RectL>& rects, int width, int height, Target& target) {
    if (!target.AutoRedraw()) target.SetAutoRedraw(true);
    SetWindowPos(target.hwnd, nullptr, 0, 0, std::max(width, 0), std::max(height, 0),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    RegionHeader header{sizeof(RegionHeader), RdhRectangles, static_cast<uint32_t>(rects.size()),
                        static_cast<uint32_t>(rects.size() * sizeof(RectL)), RectL{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN}};
    for (const RectL& r : rects) {
        header.rcBound.left = std::min(header.rcBound.left, r.left);
        header.rcBound.top = std::min(header.rcBound.top, r.top);
        header.rcBound.right = std::max(header.rcBound.right, r.right);
        header.rcBound.bottom = std::max(header.rcBound.bottom, r.bottom);
    }
    if (rects.empty()) header.rcBound = RectL{0, 0, 0, 0};
    // The header is two rectangles long, so one buffer of rectangles holds the whole RGNDATA, aligned.
    static_assert(sizeof(RegionHeader) == 2 * sizeof(RectL));
    std::vector<RectL> data(rects.size() + 2);
    std::memcpy(data.data(), &header, sizeof header);
    std::copy(rects.begin(), rects.end(), data.begin() + 2);
    static const XFORM identity{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
    UniqueRgn region(ExtCreateRegion(&identity, static_cast<DWORD>(data.size() * sizeof(RectL)),
                                     reinterpret_cast<const RGNDATA*>(data.data())));
    if (!region) {
        FatalExit(RegionReadFailedText);
        return;
    }
    if (!SetWindowRgn(target.hwnd, region.get(), TRUE)) {
        FatalExit(WindowShapeFailedText);
        return;
    }
    region.release();  // the window system owns it now
    target.Cls();
}

void ApplyRegion(int record, Target& target, bool withPaint) {
    const int16_t flags = withPaint ? (ShapeFlagSize | ShapeFlagRegion | ShapeFlagPaint)
                                    : (ShapeFlagSize | ShapeFlagRegion);
    ShapeAndPaint(record, target, flags, 0, 0, false);
}

void ShapeAndPaint(int record, Target& target, int16_t flags, int32_t x, int32_t y, bool unite) {
    EnsureRegionStore();
    if (!target.AutoRedraw()) target.SetAutoRedraw(true);
    if (flags & ShapeFlagSize) SizeToRecord(record, target);
    if (flags & ShapeFlagRegion) ShapeWindow(record, target, x, y, unite);
    target.Cls();
    if (flags & ShapeFlagPaint) PaintRecordPicture(record, target, x, y);
}

void SizeToRecord(int record, Target& target) {
    TwipSize size{};
    if (!RecordSizeTable(record, size)) return;
    target.SetHeight(size.height);
    target.SetWidth(size.width);
}

UniqueRgn RegionFromRecord(int record, int32_t x, int32_t y) {
    static const XFORM identity{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
    const DWORD bytes = SafeByteCount(record);
    UniqueRgn region;
    if (bytes != 0)
        region.reset(ExtCreateRegion(&identity, bytes, reinterpret_cast<const RGNDATA*>(&RecordAt(record))));
    if (!region) {
        FatalExit(RegionReadFailedText);
        return region;
    }
    if (x != 0 || y != 0)
        OffsetRgn(region.get(), RecordOffsetPixelsX(x), RecordOffsetPixelsY(y));
    return region;
}

void ShapeWindow(int record, Target& target, int32_t x, int32_t y, bool unite) {
    UniqueRgn region = RegionFromRecord(record, x, y);
    if (!region) return;
    if (unite) {
        UniqueRgn copy(CreateRectRgn(0, 0, 0, 0));
        GetWindowRgn(target.hwnd, copy.get());  // stays empty when the target has no region
        CombineRgn(region.get(), copy.get(), region.get(), RGN_OR);
    }
    if (!SetWindowRgn(target.hwnd, region.get(), TRUE)) {
        FatalExit(WindowShapeFailedText);
        return;
    }
    region.release();  // the window system owns it now
}

void PaintRecordPicture(int record, Target& target, int32_t x, int32_t y) {
    UniqueRgn region = RegionFromRecord(record, 0, 0);
    if (!region) return;
    OffsetRgn(region.get(), RecordOffsetPixelsX(x), RecordOffsetPixelsY(y));
    HDC dc = target.hdc();
    SelectClipRgn(dc, region.get());
    target.PaintPicture(RgnPictureImage(record), x, y, SRCCOPY);
    SelectClipRgn(dc, nullptr);
}

}  // namespace korven
