#include "core/stored_layout.h"

#include "core/catalogue.h"
#include "core/ini_engine.h"

namespace korven {

namespace {

constexpr uint32_t LastSystemColour = 30;  // COLOR_MENUBAR

std::wstring Where(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                   const std::wstring& iniPath) {
    return L"\n\nファイル: " + iniPath + L"\nセクション: [" + section + L"]\nキー: " + key + L"\n値: " + value;
}

// A value no one types by hand came from an edit gone wrong: the line can be mended or dropped.
std::wstring MendAdvice(const std::wstring& key, const std::wstring& value) {
    return L"\n\nメモ帳で設定ファイルを開き、この県の「" + key + L"=" + value +
           L"」の行を正しい値に直すか、行ごと削除して保存してから、もう一度起動してください。";
}

// The number rule; false, with the error, when the number leaves 32 bits.
bool ReadCoordinate(const IniReader& read, const std::wstring& section, const std::wstring& key, int32_t& out,
                    std::optional<LayoutError>& error) {
    const std::wstring text = read(section, key);
    const ini::NumberRead n = ini::ReadNumber(text);
    if (n.overflow) {
        error = LayoutError{LayoutError::Kind::TooLarge, section, key, text};
        return false;
    }
    out = n.value;
    return true;
}

PieceSettings ReadPiece(const IniReader& read, int n) {
    PieceSettings p;
    const std::wstring section = SectionOf(n);
    // The anchor's own X and Y are its place, never an offset from itself.
    if (n != AnchorPiece &&
        (!ReadCoordinate(read, section, L"X", p.offsetX, p.error) ||
         !ReadCoordinate(read, section, L"Y", p.offsetY, p.error)))
        return p;
    if (!ReadCoordinate(read, section, L"県庁X", p.capX, p.error) ||
        !ReadCoordinate(read, section, L"県庁Y", p.capY, p.error))
        return p;
    p.capital = read(section, L"県庁所在地");
    const std::wstring colour = read(section, L"C");
    if (!colour.empty()) {
        const ini::ColorRead c = ini::ReadColor(colour);
        if (c.kind == ini::ColorRead::Kind::Overflow || !IsColourValue(c.value)) {
            p.error = LayoutError{LayoutError::Kind::BadColour, section, L"C", colour};
            return p;
        }
        if (c.kind == ini::ColorRead::Kind::Value) p.colour = c.value;
    }
    return p;
}

}  // namespace

StoredLayout ReadStoredLayout(const IniReader& read) {
    StoredLayout layout;
    const std::wstring anchor = SectionOf(AnchorPiece);
    if (!ReadCoordinate(read, anchor, L"X", layout.anchorX, layout.anchorError) ||
        !ReadCoordinate(read, anchor, L"Y", layout.anchorY, layout.anchorError))
        return layout;
    layout.pieces.resize(PrefCount);
    // In the order the map is built, so the file is read in the order start-up uses it.
    for (int place = 0; place < PrefCount; ++place) {
        const int n = PieceAtPlace(place);
        layout.pieces[static_cast<size_t>(n - 1)] = ReadPiece(read, n);
    }
    return layout;
}

bool IsColourValue(uint32_t colour) {
    if (colour <= 0x00FFFFFF) return true;
    return (colour & 0xFFFFFF00u) == 0x80000000u && (colour & 0xFF) <= LastSystemColour;
}

std::wstring LayoutErrorText(const LayoutError& error, const std::wstring& iniPath) {
    const std::wstring where = Where(error.section, error.key, error.value, iniPath);
    const wchar_t* what = error.kind == LayoutError::Kind::BadColour ? L"色の値が、色として使える範囲を超えています。"
                                                                      : L"位置の値が大きすぎます。";
    return L"設定ファイルに読み取れない値があるため、地図を起動できませんでした。設定ファイルは変更されていません。\n\n" +
           std::wstring(what) + where + MendAdvice(error.key, error.value);
}

std::wstring SumTooLargeText(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                             int32_t anchor, const std::wstring& iniPath) {
    return L"設定ファイルに読み取れない値があるため、地図を起動できませんでした。設定ファイルは変更されていません。\n\n"
           L"[" + SectionOf(AnchorPiece) + L"] の位置 " + std::to_wstring(anchor) + L" に足すと、位置の値が大きすぎます。" +
           Where(section, key, value, iniPath) + MendAdvice(key, value);
}

}  // namespace korven
