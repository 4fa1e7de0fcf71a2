// Source geography as read from the TopoJSON and the offices CSV: rings of lon/lat per prefecture.
#pragma once
#include <string>
#include <vector>

namespace mapgen {

struct LonLat {
    double lon, lat;
};

struct Ring {
    std::vector<LonLat> pts;  // closed implicitly: last point joins the first
    std::vector<int> arcs;    // arc numbers (non-negative) the ring is made of
};

struct Polygon {
    std::vector<Ring> rings;  // first the outer ring, then holes
};

struct Prefecture {
    int piece = -1;            // PieceIndex
    std::string nameJa;        // as in the source, e.g. "京都府"
    std::vector<Polygon> polygons;
};

struct Office {
    int piece = -1;
    std::string city;
    LonLat at{};
};

struct Geography {
    std::vector<Prefecture> prefs;   // by PieceIndex
    std::vector<std::vector<LonLat>> arcs;  // decoded, as stored
    std::vector<int> arcUsers;       // per arc: how many prefecture rings use it
    std::vector<Office> offices;     // by PieceIndex
};

// Throws std::runtime_error with the reason when a file is missing or does not have the expected form.
Geography LoadGeography(const std::string& dir);

// "京都府" → "京都", "北海道" stays.
std::string ShortName(const std::string& nameJa);

}  // namespace mapgen
