#include "geo.h"

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "core/catalogue.h"

namespace mapgen {

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int PieceOfShortName(const std::string& shortName) {
    for (int i = 0; i < korven::PrefCount; ++i)
        if (korven::PrefNames[i] == shortName) return i;
    return -1;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

Geography Decode(const nlohmann::json& topo, const std::string& topoPath, const std::string& dir);

}  // namespace

std::string ShortName(const std::string& nameJa) {
    if (nameJa == "北海道") return nameJa;
    for (const char* suffix : {"都", "府", "県"})
        if (EndsWith(nameJa, suffix)) return nameJa.substr(0, nameJa.size() - std::string(suffix).size());
    return nameJa;
}

Geography LoadGeography(const std::string& dir) {
    const std::string topoPath = dir + "/japan-prefectures.topojson";
    nlohmann::json topo;
    try {
        topo = nlohmann::json::parse(ReadWhole(topoPath));
    } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(topoPath + " is not valid JSON: " + e.what());
    }
    try {
        return Decode(topo, topoPath, dir);
    } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(topoPath + " does not have the expected TopoJSON form: " + e.what());
    }
}

namespace {

Geography Decode(const nlohmann::json& topo, const std::string& topoPath, const std::string& dir) {
    Geography g;
    g.prefs.resize(korven::PrefCount);
    g.offices.resize(korven::PrefCount);
    const auto& tr = topo.at("transform");
    const double sx = tr.at("scale").at(0), sy = tr.at("scale").at(1);
    const double tx = tr.at("translate").at(0), ty = tr.at("translate").at(1);

    std::vector<std::vector<LonLat>> arcs;
    for (const auto& arc : topo.at("arcs")) {
        std::vector<LonLat> pts;
        long long qx = 0, qy = 0;
        for (const auto& d : arc) {
            qx += d.at(0).get<long long>();
            qy += d.at(1).get<long long>();
            pts.push_back({qx * sx + tx, qy * sy + ty});
        }
        arcs.push_back(std::move(pts));
    }
    g.arcUsers.assign(arcs.size(), 0);

    for (const auto& geom : topo.at("objects").at("japan").at("geometries")) {
        const std::string nameJa = geom.at("properties").at("nam_ja");
        const int piece = PieceOfShortName(ShortName(nameJa));
        if (piece < 0) throw std::runtime_error(topoPath + ": unknown prefecture " + nameJa);
        Prefecture& p = g.prefs[piece];
        if (p.piece >= 0) throw std::runtime_error(topoPath + ": prefecture twice: " + nameJa);
        p.piece = piece;
        p.nameJa = nameJa;
        const std::string type = geom.at("type");
        std::vector<nlohmann::json> polys;
        if (type == "MultiPolygon")
            for (const auto& poly : geom.at("arcs")) polys.push_back(poly);
        else if (type == "Polygon")
            polys.push_back(geom.at("arcs"));
        else
            throw std::runtime_error(topoPath + ": unexpected geometry " + type + " for " + nameJa);
        for (const auto& poly : polys) {
            Polygon out;
            for (const auto& ringArcs : poly) {
                Ring ring;
                for (const auto& a : ringArcs) {
                    const int code = a.get<int>();
                    const int idx = code >= 0 ? code : ~code;
                    if (idx < 0 || idx >= static_cast<int>(arcs.size()))
                        throw std::runtime_error(topoPath + ": arc out of range");
                    ring.arcs.push_back(idx);
                    ++g.arcUsers[idx];
                    const auto& pts = arcs[idx];
                    std::vector<LonLat> seq(pts.begin(), pts.end());
                    if (code < 0) seq.assign(pts.rbegin(), pts.rend());
                    // consecutive arcs share their joining point
                    size_t from = ring.pts.empty() ? 0 : 1;
                    ring.pts.insert(ring.pts.end(), seq.begin() + static_cast<long>(from), seq.end());
                }
                if (ring.pts.size() > 1 && ring.pts.front().lon == ring.pts.back().lon &&
                    ring.pts.front().lat == ring.pts.back().lat)
                    ring.pts.pop_back();
                if (ring.pts.size() >= 3) out.rings.push_back(std::move(ring));
            }
            if (!out.rings.empty()) p.polygons.push_back(std::move(out));
        }
    }
    g.arcs = arcs;
    for (int i = 0; i < korven::PrefCount; ++i)
        if (g.prefs[i].piece < 0)
            throw std::runtime_error(topoPath + ": no shape for " + std::string(korven::PrefNames[i]));

    const std::string csvPath = dir + "/prefectural-offices.csv";
    std::istringstream csv(ReadWhole(csvPath));
    std::string line;
    std::getline(csv, line);  // header
    while (std::getline(csv, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::string> f;
        std::stringstream ls(line);
        for (std::string cell; std::getline(ls, cell, ',');) f.push_back(cell);
        if (f.size() != 5) throw std::runtime_error(csvPath + ": bad line: " + line);
        const int piece = PieceOfShortName(ShortName(f[1]));
        if (piece < 0) throw std::runtime_error(csvPath + ": unknown prefecture " + f[1]);
        double lat = 0, lon = 0;
        try {
            lat = std::stod(f[3]);
            lon = std::stod(f[4]);
        } catch (const std::exception&) {
            throw std::runtime_error(csvPath + ": bad coordinates in line: " + line);
        }
        if (lat < 20 || lat > 46 || lon < 122 || lon > 154)
            throw std::runtime_error(csvPath + ": coordinates outside Japan in line: " + line);
        g.offices[piece] = Office{piece, f[2], {lon, lat}};
    }
    for (int i = 0; i < korven::PrefCount; ++i)
        if (g.offices[i].piece < 0)
            throw std::runtime_error(csvPath + ": no office for " + std::string(korven::PrefNames[i]));
    return g;
}

}  // namespace

}  // namespace mapgen
