// What a process can measure of itself between rounds of opening and closing dialogs: GDI objects (its GDI
// handle table), its windows, its memory as the system counts it, and the blocks in use on its Windows heaps.
// Wine's own Unix-side allocations (the display driver, fonts) are not on those heaps: memory that grows while
// the heaps do not was taken below the Windows side.
#pragma once
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "tests/win/gdi_table.h"

namespace korven::soak {

struct Sample {
    int gdi = 0;
    int windows = 0;
    unsigned long long workingSet = 0, privateBytes = 0;
    unsigned long long heapBusy = 0, heapCommitted = 0;
    long heapBlocks = 0;
    int heaps = 0;
};

inline BOOL CALLBACK CountChild(HWND, LPARAM p) {
    ++*reinterpret_cast<int*>(p);
    return TRUE;
}

inline BOOL CALLBACK CountTop(HWND h, LPARAM p) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != GetCurrentProcessId()) return TRUE;
    ++*reinterpret_cast<int*>(p);
    EnumChildWindows(h, CountChild, p);
    return TRUE;
}

// Every window of this process, top-level and child.
inline int WindowCount() {
    int n = 0;
    EnumWindows(CountTop, reinterpret_cast<LPARAM>(&n));
    return n;
}

inline int GdiCount() { return gdi::Tally(gdi::OwnTable()).total; }

inline Sample Take() {
    Sample s;
    s.gdi = GdiCount();
    s.windows = WindowCount();
    PROCESS_MEMORY_COUNTERS_EX m{};
    m.cb = sizeof m;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m)) {
        s.workingSet = m.WorkingSetSize;
        s.privateBytes = m.PrivateUsage ? m.PrivateUsage : m.PagefileUsage;
    }
    HANDLE heaps[64];
    const DWORD n = GetProcessHeaps(64, heaps);
    s.heaps = static_cast<int>(n);
    for (DWORD i = 0; i < n && i < 64; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY e{};
        while (HeapWalk(heaps[i], &e)) {
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                s.heapBusy += e.cbData;
                ++s.heapBlocks;
            } else if (e.wFlags & PROCESS_HEAP_REGION) {
                s.heapCommitted += e.Region.dwCommittedSize;
            }
        }
        HeapUnlock(heaps[i]);
    }
    return s;
}

inline void Print(const char* what, int round, const Sample& s) {
    std::printf("%-10s round %4d  gdi %4d  windows %4d  working set %7.2f MB  private %7.2f MB  heap in use %7.2f MB"
                " in %6ld blocks of %d heaps, committed %7.2f MB\n",
                what, round, s.gdi, s.windows, s.workingSet / 1048576.0, s.privateBytes / 1048576.0,
                s.heapBusy / 1048576.0, s.heapBlocks, s.heaps, s.heapCommitted / 1048576.0);
    std::fflush(stdout);
}

}  // namespace korven::soak
