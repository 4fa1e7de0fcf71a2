// Placeholder region data: only record 35 (香川's fill) as the drawing it came from lists it.
// Every other record stays empty until the generated data replaces this file.
#include "regions/region_record.h"

namespace korven {
namespace {
const int16_t kRecord35[] = {
    22, 2, 25, 3,  20, 3, 26, 4,  19, 4, 25, 5,  21, 5, 22, 6,  23, 5, 24, 6,  11, 8, 18, 9,
    6, 9, 20, 10,  2, 10, 22, 11, 2, 11, 23, 12, 3, 12, 25, 13, 3, 13, 24, 14, 3, 14, 23, 15,
    2, 15, 21, 16, 2, 16, 9, 17,  2, 17, 7, 18,  3, 18, 5, 19,
};
}  // namespace

const RegionSource RegionSources[PrefCount * 2] = {
    {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {},
    {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {16, {2, 2, 26, 19}, kRecord35},
};

}  // namespace korven
