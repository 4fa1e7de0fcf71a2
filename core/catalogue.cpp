#include "core/catalogue.h"

#include "core/ini_engine.h"

namespace korven {

const std::array<std::string_view, PrefCount> PrefNames = {
    "北海道", "青森", "秋田", "岩手", "山形", "宮城", "福島", "茨城", "栃木", "千葉",
    "群馬",   "埼玉", "東京", "神奈川", "新潟", "長野", "山梨", "静岡", "富山", "石川",
    "岐阜",   "愛知", "福井", "滋賀", "三重", "奈良", "和歌山", "京都", "大阪", "兵庫",
    "鳥取",   "岡山", "広島", "島根", "山口", "香川", "徳島", "愛媛", "高知", "福岡",
    "佐賀",   "長崎", "大分", "熊本", "宮崎", "鹿児島", "沖縄",
};

const std::array<int16_t, PrefCount> PieceOrder = {
    13, 12, 11, 9,  8,  10, 14, 17, 16, 15, 7,  18, 21, 19, 5,  6,  22, 20, 3,  4,  25, 24, 23, 2,
    26, 28, 27, 29, 30, 32, 31, 33, 34, 35, 36, 37, 39, 38, 43, 45, 46, 44, 40, 41, 42, 47, 1,
};

std::string_view PrefName(int pieceIndex) { return PrefNames[static_cast<size_t>(pieceIndex)]; }
int PieceAtPlace(int place) { return PieceOrder[static_cast<size_t>(place)]; }

std::wstring SectionOf(int pieceNumber) { return ini::WideFromUtf8(PrefName(PieceIndexOf(pieceNumber))); }

}  // namespace korven
