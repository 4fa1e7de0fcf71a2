// Starts a program and reports how long it takes until n windows of a class are visible, then how much
// memory the process holds, and ends it. Used by scripts/perf.sh for KORVEN.exe and the baseline.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Count {
    DWORD pid;
    const wchar_t* cls;
    int visible;
};

BOOL CALLBACK CountOne(HWND w, LPARAM param) {
    auto& c = *reinterpret_cast<Count*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != c.pid || !IsWindowVisible(w)) return TRUE;
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (wcscmp(cls, c.cls) == 0) ++c.visible;
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        fwprintf(stderr, L"usage: probe <exe> <window class> <count> [settle ms]\n");
        return 2;
    }
    const int want = _wtoi(argv[3]);
    const int settle = argc > 4 ? _wtoi(argv[4]) : 1000;
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        fwprintf(stderr, L"cannot start %ls\n", argv[1]);
        return 2;
    }
    int seen = 0;
    for (;;) {
        Count c{pi.dwProcessId, argv[2], 0};
        EnumWindows(CountOne, reinterpret_cast<LPARAM>(&c));
        seen = c.visible;
        if (seen >= want) break;
        if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;
        QueryPerformanceCounter(&t1);
        if ((t1.QuadPart - t0.QuadPart) / freq.QuadPart > 120) break;
    }
    QueryPerformanceCounter(&t1);
    const double ms = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart);
    Sleep(static_cast<DWORD>(settle));  // let start-up finish its last messages before memory is read
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc);
    printf("shown=%d ms=%.1f workingset_kb=%lu private_kb=%lu\n", seen, ms,
           static_cast<unsigned long>(pmc.WorkingSetSize / 1024), static_cast<unsigned long>(pmc.PagefileUsage / 1024));
    fflush(stdout);
    TerminateProcess(pi.hProcess, 0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return seen >= want ? 0 : 1;
}
