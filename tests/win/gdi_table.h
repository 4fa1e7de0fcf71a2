// Counts a process's live GDI objects from its GDI handle table, the table whose address the process
// environment block holds (GdiSharedHandleTable). Wine's GetGuiResources answers 0, so this is how the leak
// tests and the soak's gauge count GDI objects there. The table is read from memory: the process's own with
// a plain copy, another process's with ReadProcessMemory.
//
// Layout of one entry as Wine keeps it (24 bytes, the same in 32- and 64-bit processes): the object pointer
// (8), the owner (4), a 16-bit "unique" word (type, stock bit, generation) that forms the handle's high word,
// the type byte (1, zero when the slot is free), flags (1), a user pointer (8). A handle is the slot index |
// unique << 16.
#pragma once
#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace korven::gdi {

#pragma pack(push, 1)
struct Entry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t user;
};
#pragma pack(pop)
static_assert(sizeof(Entry) == 24);

constexpr size_t MaxEntries = 0x10000;
constexpr uint8_t StockFlag = 0x80;  // in the low byte of unique

// The PEB's GdiSharedHandleTable field.
constexpr size_t PebTableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;

struct Counts {
    int total = 0;  // every live slot, the stock objects included
    int stock = 0;
    int dc = 0, region = 0, bitmap = 0, font = 0, brush = 0, pen = 0, palette = 0, other = 0;
    bool read = false;  // false: the table could not be found or read
};

inline HGDIOBJ HandleOf(size_t index, const Entry& e) {
    return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(index | (static_cast<uint32_t>(e.unique) << 16)));
}

// The low seven bits of unique are the full object type (the type byte drops what tells a pen from a brush or
// a memory DC from a DC).
inline int& CountOf(Counts& c, const Entry& e) {
    switch (e.unique & 0x7f) {
    case 0x01: case 0x21: case 0x41: return c.dc;
    case 0x04: return c.region;
    case 0x09: return c.bitmap;
    case 0x0a: return c.font;
    case 0x10: return c.brush;
    case 0x30: case 0x50: return c.pen;
    case 0x08: return c.palette;
    default: return c.other;
    }
}

inline Counts Tally(const std::vector<Entry>& table) {
    Counts c;
    c.read = true;
    for (const Entry& e : table) {
        if (!e.type) continue;
        ++c.total;
        if (e.unique & StockFlag) ++c.stock;
        ++CountOf(c, e);
    }
    return c;
}

// Reads up to MaxEntries entries, stopping at the first page that cannot be read (the table is one block
// committed whole, so in practice all of it).
template <typename ReadFn>
std::vector<Entry> ReadTable(uintptr_t base, ReadFn read) {
    std::vector<Entry> table(MaxEntries);
    constexpr size_t chunk = 4096 * 6;  // a whole number of entries and of pages
    auto* bytes = reinterpret_cast<char*>(table.data());
    size_t done = 0;
    while (done < table.size() * sizeof(Entry)) {
        const size_t n = std::min(chunk, table.size() * sizeof(Entry) - done);
        if (!read(base + done, bytes + done, n)) break;
        done += n;
    }
    table.resize(done / sizeof(Entry));
    return table;
}

using QueryFn = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

inline uintptr_t PebOf(HANDLE process) {
    static const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info{};
    if (!query || query(process, ProcessBasicInformation, &info, sizeof info, nullptr) != 0) return 0;
    return reinterpret_cast<uintptr_t>(info.PebBaseAddress);
}

// The table of another process (or of this one through its process handle).
inline std::vector<Entry> TableOf(HANDLE process) {
    auto read = [process](uintptr_t at, void* to, size_t n) {
        SIZE_T got = 0;
        return ReadProcessMemory(process, reinterpret_cast<const void*>(at), to, n, &got) && got == n;
    };
    const uintptr_t peb = PebOf(process);
    uintptr_t base = 0;
    if (!peb || !read(peb + PebTableOffset, &base, sizeof(void*)) || !base) return {};
    return ReadTable(base, read);
}

// This process's own table, read in place.
inline std::vector<Entry> OwnTable() {
    const uintptr_t peb = PebOf(GetCurrentProcess());
    if (!peb) return {};
    const uintptr_t base = *reinterpret_cast<const uintptr_t*>(peb + PebTableOffset);
    if (!base) return {};
    const auto* first = reinterpret_cast<const Entry*>(base);
    return std::vector<Entry>(first, first + MaxEntries);
}

inline bool PublicType(const Entry& e) {
    // Wine's internal kinds (0x05 among them), which GetObjectType does not name, count as other.
    Counts c;
    return &CountOf(c, e) != &c.other;
}

// Live slots of this process's table, of the kinds an application makes, that GetObjectType does not know, as
// "index:unique" (empty when the layout above is the one this Wine uses).
inline std::string Unconfirmed(const std::vector<Entry>& own) {
    std::string bad;
    for (size_t i = 0; i < own.size(); ++i) {
        if (!own[i].type || !PublicType(own[i]) || GetObjectType(HandleOf(i, own[i]))) continue;
        if (bad.size() < 200) bad += std::to_string(i) + ":" + std::to_string(own[i].unique) + " ";
    }
    return bad;
}

// The objects live in after that were not live in before, of the kinds whose number changed (slots reused
// by objects made and deleted meanwhile are left out), as "kind handle" and, for a brush, its style and colour
// and the system colour it matches.
inline std::string Appeared(const std::vector<Entry>& before, const std::vector<Entry>& after) {
    Counts was = Tally(before), is = Tally(after);
    std::string out;
    for (size_t i = 0; i < after.size() && out.size() < 400; ++i) {
        const Entry& e = after[i];
        if (!e.type || CountOf(was, e) == CountOf(is, e)) continue;
        if (i < before.size() && before[i].type && before[i].unique == e.unique) continue;
        char text[96];
        const HGDIOBJ h = HandleOf(i, e);
        snprintf(text, sizeof text, "kind 0x%02x %p", e.unique & 0x7f, h);
        out += text;
        LOGBRUSH lb{};
        if ((e.unique & 0x7f) == 0x10 && GetObjectW(h, sizeof lb, &lb) == sizeof lb) {
            snprintf(text, sizeof text, " style %u colour %06lx", lb.lbStyle, static_cast<unsigned long>(lb.lbColor));
            out += text;
            for (int c = 0; c <= COLOR_MENUBAR; ++c)
                if (lb.lbStyle == BS_SOLID && GetSysColor(c) == lb.lbColor) out += " =COLOR_" + std::to_string(c);
        }
        out += "; ";
    }
    return out;
}

// True when this process's table reads as live objects that GetObjectType confirms.
inline bool LayoutConfirmed(const std::vector<Entry>& own) {
    const Counts c = Tally(own);
    return c.total > c.other && Unconfirmed(own).empty();
}

}  // namespace korven::gdi
