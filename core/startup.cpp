#include "core/startup.h"

#include <optional>
#include <vector>

#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/ini_engine.h"
#include "core/layout.h"
#include "core/settings.h"
#include "menu/command_logic.h"
#include "menu/frm_menu.h"
#include "menu/modal.h"
#include "pieces/frm_map.h"
#include "regions/record_sizes.h"
#include "regions/shaping.h"

namespace korven {

namespace {

constexpr uint32_t White = 0x00FFFFFF;

std::wstring Where(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    return L"\n\nファイル: " + IniFilePath() + L"\nセクション: [" + section + L"]\nキー: " + key + L"\n値: " + value;
}

std::wstring TooLargeText(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    return L"設定ファイルの座標が 32 ビット整数の範囲を超えているため、起動を中止しました。"
           L"設定ファイルは変更していません。" +
           Where(section, key, value);
}

std::wstring SumTooLargeText(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                             int32_t anchor) {
    return L"設定ファイルの位置が 32 ビット整数の範囲を超えるため、起動を中止しました。"
           L"設定ファイルは変更していません。" +
           Where(section, key, value) + L"（[" + SectionOf(AnchorPiece) + L"] の位置 " + std::to_wstring(anchor) +
           L" との和が範囲外です）";
}

std::wstring BadColourText(const std::wstring& section, const std::wstring& value) {
    return L"設定ファイルの色の値が範囲外のため、起動を中止しました。設定ファイルは変更していません。" +
           Where(section, L"C", value);
}

// The number rule; false after the overflow has been reported.
bool ReadCoordinate(const std::wstring& section, const std::wstring& key, int32_t& out) {
    const std::wstring text = ReadIni(section, key);
    const ini::NumberRead n = ini::ReadNumber(text);
    if (n.overflow) {
        FatalExit(TooLargeText(section, key, text));
        return false;
    }
    out = n.value;
    return true;
}

bool CheckedPosition(int32_t anchor, int32_t offset, const std::wstring& section, const std::wstring& key,
                     int32_t& out) {
    const auto sum = CheckedAdd32(anchor, offset);
    if (!sum) {
        FatalExit(SumTooLargeText(section, key, ReadIni(section, key), anchor));
        return false;
    }
    out = *sum;
    return true;
}

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM list) {
    reinterpret_cast<std::vector<RectL>*>(list)->push_back(RectL{rect->left, rect->top, rect->right, rect->bottom});
    return TRUE;
}

// Where the stored layout puts piece n, in screen pixels; nothing when its offsets do not read (the set-up
// loop reports them at their turn).
std::optional<RectL> StoredPlace(int n, int32_t anchorX, int32_t anchorY) {
    ini::NumberRead offX{}, offY{};
    if (n != AnchorPiece) {
        const std::wstring section = SectionOf(n);
        offX = ini::ReadNumber(ReadIni(section, L"X"));
        offY = ini::ReadNumber(ReadIni(section, L"Y"));
        if (offX.overflow || offY.overflow) return std::nullopt;
    }
    TwipSize size{};
    if (!RecordSizeTable(PieceIndexOf(n), size)) return std::nullopt;
    const int tx = TwipsPerPixelX(), ty = TwipsPerPixelY();
    const int32_t left = TwipsToPixels(static_cast<double>(anchorX) + offX.value, tx);
    const int32_t top = TwipsToPixels(static_cast<double>(anchorY) + offY.value, ty);
    return RectL{left, top, left + TwipsToPixels(size.width, tx), top + TwipsToPixels(size.height, ty)};
}

std::vector<RectL> StoredLayout(int32_t anchorX, int32_t anchorY) {
    std::vector<RectL> layout;
    for (int n = 1; n <= PrefCount; ++n)
        if (const auto place = StoredPlace(n, anchorX, anchorY)) layout.push_back(*place);
    return layout;
}

// A layout made for monitors that are gone would leave the map out of reach: then the whole map is placed
// in the primary work area, as far as it fits, for this run only (nothing is written).
void KeepMapReachable(int32_t& anchorX, int32_t& anchorY) {
    std::vector<RectL> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    // An anchor on a monitor settles it without reading the other pieces' offsets.
    const std::optional<RectL> anchor = StoredPlace(AnchorPiece, anchorX, anchorY);
    if (anchor && !EveryPieceOffEveryMonitor({*anchor}, monitors)) return;
    if (!EveryPieceOffEveryMonitor(StoredLayout(anchorX, anchorY), monitors)) return;
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) work = RECT{0, 0, 0, 0};
    // The map as it stands around an anchor at (0, 0), then moved as a whole.
    const PointL at = AnchorPlacingMapIn(StoredLayout(0, 0), RectL{work.left, work.top, work.right, work.bottom});
    anchorX = PixelsToTwips(at.x, TwipsPerPixelX());
    anchorY = PixelsToTwips(at.y, TwipsPerPixelY());
}

// Steps 1 to 15 for one piece; false when start-up has to stop.
bool SetUpPiece(int n, int32_t anchorX, int32_t anchorY) {
    Piece* piece = PieceAt(n);
    if (!piece) return false;  // shutdown ran while messages were processed
    const int k = PieceIndexOf(n);
    const std::wstring name = SectionOf(n);

    ApplyRegion(FillRecordOf(k), piece->Form(), false);
    ApplyRegion(OutlineRecordOf(k), piece->Picture1(), false);

    int32_t offX = 0, offY = 0;
    if (n != AnchorPiece) {
        if (!ReadCoordinate(name, L"X", offX) || !ReadCoordinate(name, L"Y", offY)) return false;
    }
    piece->Idx = n;
    piece->offsetX = offX;
    piece->offsetY = offY;
    int32_t left = 0, top = 0;
    if (!CheckedPosition(anchorX, offX, name, L"X", left) || !CheckedPosition(anchorY, offY, name, L"Y", top))
        return false;
    piece->Move(left, top);

    piece->SetLnameTip(name);
    SetWindowTextW(piece->hwnd(), name.c_str());
    piece->MoveLname(0, 0, piece->ScaleWidth(), piece->Height());

    int32_t capX = 0, capY = 0;
    if (!ReadCoordinate(name, L"県庁X", capX) || !ReadCoordinate(name, L"県庁Y", capY)) return false;
    piece->MoveKC(capX, capY);
    const TwipRect kc = piece->KC();
    piece->MoveLTYOU(capX, capY, kc.width, kc.height);
    piece->SetLtyouTip(ReadIni(name, L"県庁所在地"));

    piece->Show();

    const std::wstring colour = ReadIni(name, L"C");
    if (colour.empty()) {
        piece->SetBackColor(White);
    } else {
        const ini::ColorRead c = ini::ReadColor(colour);
        if (c.kind == ini::ColorRead::Kind::Overflow || !IsColourValue(c.value)) {
            FatalExit(BadColourText(name, colour));
            return false;
        }
        piece->SetBackColor(c.kind == ini::ColorRead::Kind::Value ? c.value : White);
    }

    piece->ready = true;
    DoEvents();
    return true;
}

}  // namespace

void RunStartup(HINSTANCE instance, const wchar_t* commandLine) {
    AppInstance = instance;

    // 1. Any argument at all switches on capture mode.
    CaptureEnabled = commandLine != nullptr && commandLine[0] != L'\0';
    if (CaptureEnabled) ShowSaveItem();

    // 2. The catalogue (PrefNames, PieceOrder) is constant data, there from the start.
    // 3. No settings value may be read before this.
    IniBaseName = L"KORVEN";

    // 4. The anchor.
    const std::wstring anchorSection = SectionOf(AnchorPiece);
    int32_t anchorX = 0, anchorY = 0;
    if (!ReadCoordinate(anchorSection, L"X", anchorX) || !ReadCoordinate(anchorSection, L"Y", anchorY)) return;
    KeepMapReachable(anchorX, anchorY);

    // 5. All 47 windows, hidden, in PieceIndex order.
    Pieces.clear();
    Pieces.reserve(PrefCount);
    for (int i = 0; i < PrefCount; ++i) Pieces.push_back(CreatePiece());

    // 6. Outward from 東京, one piece at a time.
    for (int place = 0; place < PrefCount; ++place)
        if (!SetUpPiece(PieceAtPlace(place), anchorX, anchorY)) return;
}

}  // namespace korven
