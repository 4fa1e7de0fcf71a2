// How long the one-time load of the region store takes, in this process, the first time; and, to tell the
// copy from the memory it lands in, the same pages of a fresh block merely touched, and a second load into
// pages that are already there.
#include <windows.h>

#include <cstdio>

#include "regions/region_record.h"

namespace {

double Microseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    return 1e6 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

}  // namespace

int wmain() {
    LARGE_INTEGER t0, t1, t2, t3, t4;
    QueryPerformanceCounter(&t0);
    korven::EnsureRegionStore();
    QueryPerformanceCounter(&t1);
    uint32_t rects = 0;
    for (int n = 0; n < korven::PrefCount * 2; ++n) rects += korven::RegionStore[n].rdh.nCount;

    // One write into every page that the load wrote, in a block of the store's size that is new.
    constexpr SIZE_T bytes = sizeof korven::RegionStore;  // and one page, for where the store starts in its first
    auto* fresh = static_cast<volatile char*>(VirtualAlloc(nullptr, bytes + 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!fresh) return 1;
    const auto* base = reinterpret_cast<const char*>(korven::RegionStore);
    const uintptr_t page = 4096, origin = reinterpret_cast<uintptr_t>(base) & ~(page - 1);
    uintptr_t last = ~uintptr_t{0};
    int pages = 0;
    QueryPerformanceCounter(&t2);
    for (int n = 0; n < korven::PrefCount * 2; ++n) {
        const auto* rec = reinterpret_cast<const char*>(&korven::RegionStore[n]);
        const uintptr_t from = reinterpret_cast<uintptr_t>(rec);
        const uintptr_t to = from + korven::RecordByteCount(n);
        for (uintptr_t p = from & ~(page - 1); p < to; p += page) {
            if (p == last) continue;
            fresh[p - origin] = 1;
            last = p;
            ++pages;
        }
    }
    QueryPerformanceCounter(&t3);
    korven::LoadRegionStore();
    QueryPerformanceCounter(&t4);
    printf("store_load_us=%.1f rectangles=%u pages_written=%d first_touch_of_those_pages_us=%.1f "
           "second_load_us=%.1f\n",
           Microseconds(t0, t1), rects, pages, Microseconds(t2, t3), Microseconds(t3, t4));
    VirtualFree(const_cast<char*>(fresh), 0, MEM_RELEASE);
    return 0;
}
