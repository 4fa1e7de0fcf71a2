// How long the one-time load of the region store takes, in this process, the first time.
#include <windows.h>

#include <cstdio>

#include "regions/region_record.h"

int wmain() {
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    korven::EnsureRegionStore();
    QueryPerformanceCounter(&t1);
    uint32_t rects = 0;
    for (int n = 0; n < korven::PrefCount * 2; ++n) rects += korven::RegionStore[n].rdh.nCount;
    printf("store_load_us=%.1f rectangles=%u\n",
           1e6 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart), rects);
    return 0;
}
