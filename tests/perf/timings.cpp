// What the unit suites used to time, timed here on the Release build instead, so that a slow or shared machine
// fails no test and a sanitizer build does not stand in for the program:
//   perf_timings [RUNS]
// One line a measurement, "name=median_ms best=best_ms" and what it was measured on; a wrong answer from the
// code being timed ends the probe with status 1, so no figure stands for broken code.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/ini_engine.h"
#include "core/random_source.h"
#include "core/settings.h"
#include "menu/frm_menu.h"
#include "tests/win/piece_fixture.h"

using namespace korven;
using namespace korven::test;

namespace {

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

bool failed = false;

void Expect(bool ok, const char* what) {
    if (ok) return;
    std::printf("wrong: %s\n", what);
    failed = true;
}

void Print(const char* name, std::vector<double> ms, const std::string& about) {
    std::sort(ms.begin(), ms.end());
    std::printf("%s=%.2f best=%.2f %s\n", name, ms[ms.size() / 2], ms.front(), about.c_str());
    std::fflush(stdout);
}

// Runs body runs times; the median and the best, in milliseconds.
void Time(const char* name, int runs, const std::string& about, const std::function<void()>& body) {
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        const double t0 = Now();
        body();
        ms.push_back(Now() - t0);
    }
    Print(name, ms, about);
}

std::string Read(std::string_view file, std::string_view section, std::string_view key) {
    return ini::TrimSpaces(ini::ReadProfileValue(file, section, key));
}

void InMemoryReads(int runs) {
    // Lines without "=" must not make each line look far ahead for one.
    std::string noEquals;
    while (noEquals.size() < (4u << 20)) noEquals += "junk line\r\n";
    noEquals += "[Z]\r\nX=1\r\n";
    Time("ini_no_equals_ms", runs, "(4 MB of lines without =, one read)",
         [&] { Expect(Read(noEquals, "Z", "X") == "1", "the key after 4 MB of lines without ="); });

    std::string big;
    for (int i = 0; big.size() < (10u << 20); ++i) big += "[S" + std::to_string(i) + "]\r\nX=" + std::to_string(i) + "\r\n";
    big += "[Last]\r\nX=-5\r\n";
    Time("ini_large_ms", runs, "(10 MB of sections, two reads)", [&] {
        Expect(Read(big, "Last", "X") == "-5", "the last section of 10 MB");
        Expect(Read(big, "S1000", "X") == "1000", "section S1000 of 10 MB");
    });

    // About the shipped file: 47 sections of six keys, read 280 times anew.
    std::string f;
    for (int i = 0; i < 47; ++i)
        f += Sjis("[県") + std::to_string(i) + "]\r\nX=1\r\nY=2\r\n" + Sjis("県庁X=3\r\n県庁Y=4\r\n県庁所在地=市\r\n") +
             "C=FFFFFF\r\n";
    Time("ini_startup_reads_ms", runs, "(280 reads of a " + std::to_string(f.size()) + "-byte file)", [&] {
        std::size_t total = 0;
        for (int r = 0; r < 280; ++r) total += Read(f, Sjis("県46"), "C").size();
        Expect(total == 280u * 6, "280 reads of a start-up sized file");
    });
}

void SettingsFileReads(int runs) {
    IniBaseName = L"korven_perf_reads";
    RemoveIni();
    for (std::string_view name : PrefNames) {
        const std::wstring s = Utf16(name);
        for (const wchar_t* key : {L"X", L"Y", L"県庁X", L"県庁Y"}) Expect(WriteIni(s, key, L"-12345").ok, "a write");
        Expect(WriteIni(s, L"県庁所在地", s + L"市").ok, "a write");
        Expect(WriteIni(s, L"C", L"FFFFFF").ok, "a write");
    }
    Time("settings_reads_ms", runs, "(282 reads through ReadIni of a " + std::to_string(IniBytes().size()) + "-byte file)",
         [&] {
             std::size_t total = 0;
             for (int round = 0; round < 2; ++round)
                 for (std::string_view name : PrefNames)
                     for (const wchar_t* key : {L"X", L"Y", L"県庁X"}) total += ReadIni(Utf16(name), key).size();
             Expect(total == 2u * 47 * 3 * 6, "282 reads of the settings file");
         });
    RemoveIni();
}

int PiecesAtHome() {
    int n = 0;
    for (int k = 1; k <= PrefCount; ++k)
        if (P(k).Left() == AnchorLeft + HomeOf(k).offsetX && P(k).Top() == AnchorTop + HomeOf(k).offsetY) ++n;
    return n;
}

void ScatterAndGather(int runs) {
    BuildPieces();
    ResetRandom();
    std::vector<double> scatter, gather;
    for (int r = 0; r < runs; ++r) {
        const double t0 = Now();
        mban_Click();
        const double t1 = Now();
        Expect(PiecesAtHome() < 8, "a scatter left many pieces at home");
        mgo_Click();
        const double t2 = Now();
        Expect(PiecesAtHome() == PrefCount, "a gather left a piece away from home");
        scatter.push_back(t1 - t0);
        gather.push_back(t2 - t1);
    }
    Print("scatter_ms", scatter, "(46 pieces)");
    Print("gather_ms", gather, "(46 pieces, from a scattered map)");
    Pieces.clear();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    InMemoryReads(runs);
    SettingsFileReads(runs);
    ScatterAndGather(runs);
    return failed ? 1 : 0;
}
