// Measures a running process from outside, under the same Wine server, and prints one JSON line:
//   gauge NAME|PID   GDI objects (from its GDI handle table), windows (top-level, children, message-only,
//                    by class), kernel handles and memory (working set, private bytes)
//   gauge at X Y     the title of the top-level window under a screen point
// Wine's GetGuiResources answers 0 for every process, hence the table. Exit 1 when no such process runs or
// the table cannot be read.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "tests/win/gdi_table.h"

using namespace korven;

namespace {

DWORD FindProcess(const wchar_t* what) {
    wchar_t* end = nullptr;
    const unsigned long pid = std::wcstoul(what, &end, 10);
    if (end && *end == L'\0' && pid) return static_cast<DWORD>(pid);
    DWORD found = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e))
        if (_wcsicmp(e.szExeFile, what) == 0) found = e.th32ProcessID;
    CloseHandle(snap);
    return found;
}

// Kernel handles of a process as the system's process list gives them (GetProcessHandleCount answers 0 for
// another process under Wine); -1 when not found.
long HandleCount(DWORD pid) {
    using QueryFn = NTSTATUS(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return -1;
    std::vector<char> buf(1 << 20);
    ULONG need = 0;
    while (query(SystemProcessInformation, buf.data(), static_cast<ULONG>(buf.size()), &need) != 0) {
        if (buf.size() >= (64u << 20)) return -1;
        buf.resize(buf.size() * 2);
    }
    for (size_t at = 0;;) {
        const auto* p = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buf.data() + at);
        if (static_cast<DWORD>(reinterpret_cast<uintptr_t>(p->UniqueProcessId)) == pid)
            return static_cast<long>(p->HandleCount);
        if (!p->NextEntryOffset) return -1;
        at += p->NextEntryOffset;
    }
}

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::string Quoted(const std::wstring& w) {
    std::string o = "\"";
    for (char c : Utf8(w)) {
        if (c == '"' || c == '\\') o += '\\';
        o += c;
    }
    return o + "\"";
}

struct Windows {
    DWORD pid = 0;
    int top = 0, visibleTop = 0, children = 0, messageOnly = 0;
    std::map<std::wstring, int> byClass;
    void Note(HWND h) {
        wchar_t cls[128] = {};
        GetClassNameW(h, cls, 128);
        ++byClass[cls];
    }
};

BOOL CALLBACK OneChild(HWND h, LPARAM p) {
    auto& w = *reinterpret_cast<Windows*>(p);
    ++w.children;  // EnumChildWindows walks every descendant
    w.Note(h);
    return TRUE;
}

BOOL CALLBACK OneTop(HWND h, LPARAM p) {
    auto& w = *reinterpret_cast<Windows*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != w.pid) return TRUE;
    ++w.top;
    if (IsWindowVisible(h)) ++w.visibleTop;
    w.Note(h);
    EnumChildWindows(h, OneChild, p);
    return TRUE;
}

Windows CountWindows(DWORD pid) {
    Windows w;
    w.pid = pid;
    EnumWindows(OneTop, reinterpret_cast<LPARAM>(&w));
    for (HWND h = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); h;
         h = FindWindowExW(HWND_MESSAGE, h, nullptr, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner != pid) continue;
        ++w.messageOnly;
        w.Note(h);
        EnumChildWindows(h, OneChild, reinterpret_cast<LPARAM>(&w));
    }
    return w;
}

int At(int x, int y) {
    HWND h = WindowFromPoint(POINT{x, y});
    HWND root = h ? GetAncestor(h, GA_ROOT) : nullptr;
    wchar_t title[256] = {}, cls[128] = {};
    if (root) {
        GetWindowTextW(root, title, 256);
        GetClassNameW(root, cls, 128);
    }
    std::printf("{\"title\":%s,\"class\":%s}\n", Quoted(title).c_str(), Quoted(cls).c_str());
    std::fflush(stdout);
    return root ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wcscmp(argv[1], L"at") == 0) return At(_wtoi(argv[2]), _wtoi(argv[3]));
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: gauge NAME|PID | gauge at X Y\n");
        return 2;
    }
    const DWORD pid = FindProcess(argv[1]);
    if (!pid) {
        std::printf("{\"error\":\"no such process\"}\n");
        return 1;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) {
        std::printf("{\"error\":\"cannot open process %lu\"}\n", static_cast<unsigned long>(pid));
        return 1;
    }
    // The same reading of this tool's own table, checked object by object, shows the layout is right.
    const bool layoutOk = gdi::LayoutConfirmed(gdi::OwnTable());
    const gdi::Counts g = gdi::Tally(gdi::TableOf(process));
    const Windows w = CountWindows(pid);
    PROCESS_MEMORY_COUNTERS_EX m{};
    m.cb = sizeof m;
    const bool memOk = GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m);
    const long handles = HandleCount(pid);
    DWORD exitCode = 0;
    GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);

    std::printf("{\"pid\":%lu,\"alive\":%s,\"gdi\":{\"read\":%s,\"layout_ok\":%s,\"total\":%d,\"stock\":%d,\"dc\":%d,"
                "\"region\":%d,\"bitmap\":%d,\"font\":%d,\"brush\":%d,\"pen\":%d,\"palette\":%d,\"other\":%d},",
                static_cast<unsigned long>(pid), exitCode == STILL_ACTIVE ? "true" : "false",
                g.read && g.total ? "true" : "false", layoutOk ? "true" : "false", g.total, g.stock, g.dc, g.region,
                g.bitmap, g.font, g.brush, g.pen, g.palette, g.other);
    std::printf("\"user\":{\"windows\":%d,\"top\":%d,\"visible_top\":%d,\"children\":%d,\"message_only\":%d,\"classes\":{",
                w.top + w.children + w.messageOnly, w.top, w.visibleTop, w.children, w.messageOnly);
    bool first = true;
    for (const auto& [cls, n] : w.byClass) {
        std::printf("%s%s:%d", first ? "" : ",", Quoted(cls).c_str(), n);
        first = false;
    }
    std::printf("}},\"handles\":%ld,", handles);
    // For another process Wine fills only PagefileUsage (its resident anonymous memory plus swap) and leaves
    // PrivateUsage at 0: that is the private bytes here.
    const unsigned long long priv = m.PrivateUsage ? m.PrivateUsage : m.PagefileUsage;
    std::printf("\"mem\":{\"read\":%s,\"working_set\":%llu,\"peak_working_set\":%llu,\"private\":%llu}}\n",
                memOk ? "true" : "false", static_cast<unsigned long long>(m.WorkingSetSize),
                static_cast<unsigned long long>(m.PeakWorkingSetSize), priv);
    std::fflush(stdout);
    return g.read && g.total ? 0 : 1;
}
