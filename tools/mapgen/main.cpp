// mapgen: builds the 94 region records, the polygons of the shapes at other scales, the shipped layout and a
// review picture from the source geography.
//   mapgen GEODATA_DIR OUT_DIR   writes OUT_DIR/regions/region_data.cpp, OUT_DIR/regions/shape_data.cpp,
//                                OUT_DIR/data/KORVEN.ini and OUT_DIR/docs/map.png, and prints the report.
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

#include "build.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: mapgen GEODATA_DIR OUT_DIR\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    try {
        mapgen::MapResult map = mapgen::BuildMap(argv[1]);
        std::fputs(mapgen::Report(map).c_str(), stdout);
        if (!map.problems.empty()) {
            // A map that misses any requirement is not written: the files there stay as they were.
            for (const std::string& p : map.problems) std::fprintf(stderr, "mapgen: %s\n", p.c_str());
            std::fprintf(stderr, "mapgen: nothing written\n");
            return 1;
        }
        mapgen::WriteOutputs(map, argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mapgen: %s\n", e.what());
        return 1;
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stdout, "time: %.1f s\n", s);  // on stdout after the report, not in any output file
    return 0;
}
