#include "menu/command_logic.h"

#include <cstdint>

#include "core/catalogue.h"
#include "core/ini_engine.h"

namespace korven {

std::wstring ColourText(uint32_t colour) {
    const std::string text = ini::FormatColor(colour);  // ASCII only
    return std::wstring(text.begin(), text.end());
}

std::vector<IniEntry> CaptureEntries(const std::vector<PieceSnapshot>& pieces) {
    std::vector<IniEntry> out;
    int64_t ax = 0, ay = 0;
    const bool anchored = pieces.size() >= static_cast<size_t>(AnchorPiece) && pieces[AnchorPiece - 1].present;
    if (anchored) {
        ax = pieces[AnchorPiece - 1].left;
        ay = pieces[AnchorPiece - 1].top;
    }
    for (size_t i = 0; i < pieces.size(); ++i) {
        const PieceSnapshot& p = pieces[i];
        if (!p.present) continue;
        const int number = static_cast<int>(i) + 1;
        const std::wstring section = SectionOf(number);
        // An offset that leaves 32 bits could not be read back at start-up: the stored one is kept instead.
        const int64_t dx = number == AnchorPiece ? ax : p.left - ax;
        const int64_t dy = number == AnchorPiece ? ay : p.top - ay;
        if (anchored && dx >= INT32_MIN && dx <= INT32_MAX && dy >= INT32_MIN && dy <= INT32_MAX) {
            out.push_back({section, L"X", std::to_wstring(dx)});
            out.push_back({section, L"Y", std::to_wstring(dy)});
        }
        out.push_back({section, L"県庁X", std::to_wstring(p.kcLeft)});
        out.push_back({section, L"県庁Y", std::to_wstring(p.kcTop)});
    }
    return out;
}

std::vector<IniEntry> ExitEntries(int32_t anchorLeft, int32_t anchorTop,
                                  const std::vector<std::optional<uint32_t>>& colours) {
    std::vector<IniEntry> out;
    const std::wstring anchor = SectionOf(AnchorPiece);
    out.push_back({anchor, L"X", std::to_wstring(anchorLeft)});
    out.push_back({anchor, L"Y", std::to_wstring(anchorTop)});
    for (size_t i = 0; i < colours.size(); ++i)
        if (colours[i]) out.push_back({SectionOf(static_cast<int>(i) + 1), L"C", ColourText(*colours[i])});
    return out;
}

}  // namespace korven
