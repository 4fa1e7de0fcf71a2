#include "app/startup.h"

#include <optional>
#include <vector>

#include "app/copy_guard.h"
#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/dpi.h"
#include "core/ini_engine.h"
#include "core/layout.h"
#include "core/modal.h"
#include "core/notice_text.h"
#include "core/notices.h"
#include "core/settings.h"
#include "core/stored_layout.h"
#include "menu/frm_menu.h"
#include "pieces/frm_map.h"
#include "regions/record_sizes.h"
#include "regions/scaled_shapes.h"
#include "regions/shaping.h"

namespace korven {

namespace {

// Reports what start-up cannot use; false: start-up stops.
bool Usable(const std::optional<LayoutError>& error) {
    if (!error) return true;
    FatalExit(LayoutErrorText(*error, IniFilePath()), MB_ICONERROR);
    return false;
}

bool CheckedPosition(int32_t anchor, int32_t offset, const std::wstring& section, const std::wstring& key,
                     int32_t& out) {
    const auto sum = CheckedAdd32(anchor, offset);
    if (!sum) {
        FatalExit(SumTooLargeText(section, key, ReadIni(section, key), anchor, IniFilePath()), MB_ICONERROR);
        return false;
    }
    out = *sum;
    return true;
}

bool Fails(const std::optional<LayoutError>& error, std::initializer_list<const wchar_t*> keys) {
    if (!error) return false;
    for (const wchar_t* k : keys)
        if (error->key == k) return true;
    return false;
}

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM list) {
    reinterpret_cast<std::vector<RectL>*>(list)->push_back(RectL{rect->left, rect->top, rect->right, rect->bottom});
    return TRUE;
}

// Where the stored layout puts piece n, in screen pixels; nothing when its offsets do not read (the set-up
// loop reports them at their turn).
std::optional<RectL> StoredPlace(const StoredLayout& stored, int n, int32_t anchorX, int32_t anchorY) {
    const PieceSettings& p = stored.pieces[static_cast<size_t>(n - 1)];
    if (Fails(p.error, {L"X", L"Y"})) return std::nullopt;
    TwipSize size{};
    if (!RecordSizeTable(PieceIndexOf(n), size)) return std::nullopt;
    const int32_t left = PiecePixel(anchorX, p.offsetX);
    const int32_t top = PiecePixel(anchorY, p.offsetY);
    return RectL{left, top, left + ScreenPixels(size.width), top + ScreenPixels(size.height)};
}

std::vector<RectL> StoredPlaces(const StoredLayout& stored, int32_t anchorX, int32_t anchorY) {
    std::vector<RectL> layout;
    for (int n = 1; n <= PrefCount; ++n)
        if (const auto place = StoredPlace(stored, n, anchorX, anchorY)) layout.push_back(*place);
    return layout;
}

// A layout made for monitors that are gone would leave the map out of reach: then the whole map is placed
// in the primary work area, as far as it fits, for this run only (nothing is written).
void KeepMapReachable(const StoredLayout& stored, int32_t& anchorX, int32_t& anchorY) {
    std::vector<RectL> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    if (!EveryPieceOffEveryMonitor(StoredPlaces(stored, anchorX, anchorY), monitors)) return;
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) work = RECT{0, 0, 0, 0};
    // The map as it stands around an anchor at (0, 0), then moved as a whole.
    const PointL at =
        AnchorPlacingMapIn(StoredPlaces(stored, 0, 0), RectL{work.left, work.top, work.right, work.bottom});
    anchorX = ScreenTwips(at.x);
    anchorY = ScreenTwips(at.y);
}

// Shapes, places, names and colours one piece from the values read before; false when start-up has to stop.
// A value that does not read stops it where that value is first needed: the pieces before stand behind the message.
bool SetUpPiece(int n, const PieceSettings& stored, int32_t anchorX, int32_t anchorY) {
    Piece* piece = PieceAt(n);
    if (!piece) return false;  // shutdown ran while messages were processed
    const int k = PieceIndexOf(n);
    const std::wstring name = SectionOf(n);

    const int dpi = DisplayDpi();
    if (ShapesFromRecords(dpi)) {
        ApplyRegion(FillRecordOf(k), piece->Form(), false);
        ApplyRegion(OutlineRecordOf(k), piece->Picture1(), false);
    } else {
        // Sampled where the window will stand; a place that does not read is reported below, at its turn.
        const bool reads = !Fails(stored.error, {L"X", L"Y"});
        const int32_t left = reads ? CheckedAdd32(anchorX, stored.offsetX).value_or(anchorX) : anchorX;
        const int32_t top = reads ? CheckedAdd32(anchorY, stored.offsetY).value_or(anchorY) : anchorY;
        const ScaledShape shape = ShapeAt(k, dpi, left, top);
        ApplyRects(shape.fill, shape.width, shape.height, piece->Form());
        ApplyRects(shape.outline, shape.width, shape.height, piece->Picture1());
    }

    if (Fails(stored.error, {L"X", L"Y"})) return Usable(stored.error);
    piece->Idx = n;
    piece->offsetX = stored.offsetX;
    piece->offsetY = stored.offsetY;
    int32_t left = 0, top = 0;
    if (!CheckedPosition(anchorX, stored.offsetX, name, L"X", left) ||
        !CheckedPosition(anchorY, stored.offsetY, name, L"Y", top))
        return false;
    piece->MovePixels(PiecePixel(anchorX, stored.offsetX), PiecePixel(anchorY, stored.offsetY));

    piece->SetLnameTip(name);
    SetWindowTextW(piece->hwnd(), name.c_str());
    piece->MoveLname(0, 0, piece->ScaleWidth(), piece->Height());

    if (Fails(stored.error, {L"県庁X", L"県庁Y"})) return Usable(stored.error);
    piece->MoveKC(stored.capX, stored.capY);
    const TwipRect kc = piece->KC();
    piece->MoveLTYOU(stored.capX, stored.capY, kc.width, kc.height);
    piece->SetLtyouTip(stored.capital);

    piece->Show();

    if (!Usable(stored.error)) return false;  // the colour
    piece->SetBackColor(stored.colour);

    piece->ready = true;
    DoEvents();
    return true;
}

// Said once, before the map is built: a map that forgets every change, or that comes up as a heap, would
// otherwise give no word of why.
void SayIfNothingWillBeKept() {
    const IniAccess access = CheckIniAccess();
    if (access == IniAccess::Writable) return;
    const std::wstring folder = ini::ProgramFolderOf(IniFilePath());
    ShowNotice(nullptr, access == IniAccess::Missing ? MissingIniText(folder) : UnwritableIniText(folder),
               MB_OK | MB_ICONWARNING);
}

}  // namespace

bool RunStartup(HINSTANCE instance, const wchar_t* commandLine) {
    AppInstance = instance;
    PieceMenuHandler = PopupPieceMenu;
    SessionEndHandler = EndSession;

    // 1. Any argument at all switches on capture mode.
    CaptureEnabled = commandLine != nullptr && commandLine[0] != L'\0';
    if (CaptureEnabled) ShowSaveItem();

    // 2. The catalogue (PrefNames, PieceOrder) is constant data, there from the start.
    // 3. No settings value may be read before this.
    IniBaseName = L"KORVEN";
    if (!FirstCopyForTheFile()) return false;
    // After an update Windows starts the map again as it ran (any argument at all means capture mode); not
    // after a crash or a hang, which would only come again.
    RegisterApplicationRestart(CaptureEnabled ? L"capture" : nullptr, RESTART_NO_CRASH | RESTART_NO_HANG);
    SayIfNothingWillBeKept();

    // 4. The anchor, and with it everything else start-up takes from the file.
    const StoredLayout stored = ReadStoredLayout(ReadIni);
    if (!Usable(stored.anchorError)) return true;
    int32_t anchorX = stored.anchorX, anchorY = stored.anchorY;
    KeepMapReachable(stored, anchorX, anchorY);
    KeepAnchorPhase(anchorX, anchorY);

    // 5. All 47 windows, hidden, in PieceIndex order.
    Pieces.clear();
    Pieces.reserve(PrefCount);
    for (int i = 0; i < PrefCount; ++i) Pieces.push_back(CreatePiece());

    // 6. Outward from 東京, one piece at a time.
    for (int place = 0; place < PrefCount; ++place) {
        const int n = PieceAtPlace(place);
        if (!SetUpPiece(n, stored.pieces[static_cast<size_t>(n - 1)], anchorX, anchorY)) return true;
    }
    return true;
}

}  // namespace korven
