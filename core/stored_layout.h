// What start-up takes from the settings file, read before any window is touched: the anchor, then every
// piece's offsets, dot, capital text and colour under the number and colour rules. Needs no window, so the
// reading and the messages it leads to are tested natively; start-up applies the result piece by piece.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korven {

using IniReader = std::function<std::wstring(const std::wstring& section, const std::wstring& key)>;

// A value start-up cannot use: the program stops with a message naming it.
struct LayoutError {
    enum class Kind { TooLarge, BadColour };
    Kind kind;
    std::wstring section, key, value;
};

// One piece's stored values. A piece whose values do not read carries the first error, found in the order
// X, Y, 県庁X, 県庁Y, C; the values before it are read, the ones after it are not.
struct PieceSettings {
    int32_t offsetX = 0, offsetY = 0;  // twips from the anchor; 0 and 0 for the anchor itself
    int32_t capX = 0, capY = 0;        // the dot, twips in the piece
    std::wstring capital;              // the dot's tip
    uint32_t colour = 0x00FFFFFF;      // white when nothing is stored
    std::optional<LayoutError> error;
};

struct StoredLayout {
    int32_t anchorX = 0, anchorY = 0;
    std::optional<LayoutError> anchorError;  // then nothing else is read
    std::vector<PieceSettings> pieces;       // pieces[n - 1] is piece number n
};

StoredLayout ReadStoredLayout(const IniReader& read);

// A colour the program can show: 0x00BBGGRR, or one of the system colours (0x80000000 + index).
bool IsColourValue(uint32_t colour);

// The message start-up stops with, naming the file, section, key and value.
std::wstring LayoutErrorText(const LayoutError& error, const std::wstring& iniPath);
// The anchor plus a piece's offset leaves 32 bits.
std::wstring SumTooLargeText(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                             int32_t anchor, const std::wstring& iniPath);

}  // namespace korven
