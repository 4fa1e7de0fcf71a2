// The prefectures' identities: one index ties name, settings section, piece window and records together.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace korven {

constexpr int PrefCount = 47;
constexpr int AnchorPiece = 13;          // piece number of "東京"
constexpr int OutlineRecordOffset = 47;  // outline record = fill record + this
constexpr int RecordSlots = 95;          // 0..93 filled, 94 always empty

// The system's own order, not JIS X 0401: records, sections and PieceOrder rest on it. UTF-8.
extern const std::array<std::string_view, PrefCount> PrefNames;
// Piece numbers in the order the map is built, scattered and gathered: 東京 first, 北海道 last.
extern const std::array<int16_t, PrefCount> PieceOrder;

// Lookups are direct indices; callers pass valid values (0..46 or 1..47).
constexpr int PieceNumberOf(int pieceIndex) { return pieceIndex + 1; }
constexpr int PieceIndexOf(int pieceNumber) { return pieceNumber - 1; }
constexpr int FillRecordOf(int pieceIndex) { return pieceIndex; }
constexpr int OutlineRecordOf(int pieceIndex) { return pieceIndex + OutlineRecordOffset; }
std::string_view PrefName(int pieceIndex);
int PieceAtPlace(int place);

// Settings section of piece number 1..47: the prefecture's name.
std::wstring SectionOf(int pieceNumber);

}  // namespace korven
