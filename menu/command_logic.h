// What the capture and exit commands write, as plain data: no window needed.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue.h"
#include "core/settings.h"

namespace korven {

// Upper-case hex, no prefix, no leading zeros: FFFFFF, FF, 0.
std::wstring ColourText(uint32_t colour);

// One piece as the capture command reads it; present is false for a piece that cannot be read or that
// start-up has not set up yet (its stored values stay).
struct PieceSnapshot {
    bool present = false;
    int32_t left = 0, top = 0;      // screen twips
    int32_t kcLeft = 0, kcTop = 0;  // capital dot, piece twips
};

// Position capture: X, Y, 県庁X, 県庁Y of every present piece, piece-number order; pieces[k - 1] is piece k.
// Without the anchor there is nothing to measure offsets from: only the dots are written then.
std::vector<IniEntry> CaptureEntries(const std::vector<PieceSnapshot>& pieces);

// Exit: X and Y of 東京, then C of every piece in PieceIndex order; colours[i] is piece i + 1's fill, or
// nothing for a piece whose stored colour must stay (start-up has not set it up yet).
std::vector<IniEntry> ExitEntries(int32_t anchorLeft, int32_t anchorTop,
                                  const std::vector<std::optional<uint32_t>>& colours);

}  // namespace korven
