// Reads the version record of the built program the way Explorer does.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef KORVEN_EXE_PATH
#error "KORVEN_EXE_PATH must name dist/KORVEN.exe"
#endif

namespace {

std::wstring ExePath() {
    std::string p = KORVEN_EXE_PATH;
    std::wstring w = L"Z:";
    for (char c : p) w += (c == '/') ? L'\\' : static_cast<wchar_t>(c);
    return w;
}

struct VersionInfo {
    std::vector<char> data;
    explicit VersionInfo(const std::wstring& path) {
        DWORD dummy = 0;
        DWORD n = GetFileVersionInfoSizeW(path.c_str(), &dummy);
        data.resize(n);
        if (n == 0 || !GetFileVersionInfoW(path.c_str(), 0, n, data.data())) data.clear();
    }
    std::wstring Text(const wchar_t* key) {
        std::wstring q = std::wstring(L"\\StringFileInfo\\041104B0\\") + key;
        wchar_t* v = nullptr;
        UINT len = 0;
        if (data.empty() || !VerQueryValueW(data.data(), q.c_str(), reinterpret_cast<void**>(&v), &len)) return L"<none>";
        return std::wstring(v);
    }
};

}  // namespace

TEST(VersionResource, CarriesTheProductsVersionRecord) {
    VersionInfo vi(ExePath());
    ASSERT_FALSE(vi.data.empty()) << "no version record in " << KORVEN_EXE_PATH;
    VS_FIXEDFILEINFO* f = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(vi.data.data(), L"\\", reinterpret_cast<void**>(&f), &len));
    EXPECT_EQ(f->dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(f->dwFileVersionLS, 0u);
    EXPECT_EQ(f->dwProductVersionMS, 0x00020000u);
    EXPECT_EQ(vi.Text(L"FileVersion"), L"2.00");
    EXPECT_EQ(vi.Text(L"ProductVersion"), L"2.00");
    EXPECT_EQ(vi.Text(L"InternalName"), L"KORVEN");
    EXPECT_EQ(vi.Text(L"OriginalFilename"), L"KORVEN.exe");
    EXPECT_EQ(vi.Text(L"ProductName"), L"\x30b3\x30eb\x30d9\x30f3");  // コルベン
}

TEST(VersionResource, HasTheProgramIcon) {
    HMODULE m = LoadLibraryExW(ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(m, nullptr);
    HRSRC icon = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(3 /* RT_ICON */));
    EXPECT_NE(icon, nullptr);
    if (icon) EXPECT_EQ(SizeofResource(m, icon), 40u + 64 + 512 + 128);  // 32 × 32, 16 colours
    HRSRC manifest = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24 /* RT_MANIFEST */));
    EXPECT_NE(manifest, nullptr);
    FreeLibrary(m);
}
