// ReadIni and WriteIni on a real file beside the test program: code page 932 unless an editor made it UTF-8,
// refusals that write nothing, and failures that leave the old file whole.
#include "core/settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/ini_engine.h"
#include "tests/win/piece_fixture.h"

namespace {

using korven::ReadIni;
using korven::WriteIni;
using namespace korven::test;

std::wstring ExeFolder() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring p(buf, n);
    return p.substr(0, p.find_last_of(L'\\'));
}

class Settings : public ::testing::Test {
protected:
    std::wstring path;
    void SetUp() override {
        korven::IniBaseName = L"korven_settings_test";
        path = korven::IniFilePath();
        Clear();
    }
    void TearDown() override { Clear(); }
    void Clear() { RemoveFile(path); }
    std::string Bytes() { return FileBytes(path); }
    void Put(const std::string& bytes) { ASSERT_FALSE(korven::ini::ReplaceFileContents(std::filesystem::path(path), bytes)); }
    // Files in the folder whose names start with the settings file's name: the file and any leftovers.
    int Siblings() {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((path + L"*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return 0;
        int n = 0;
        do ++n; while (FindNextFileW(h, &fd));
        FindClose(h);
        return n;
    }
};

TEST_F(Settings, PathIsBesideTheProgram) {
    EXPECT_EQ(path, ExeFolder() + L"\\korven_settings_test.ini");
    korven::IniBaseName = L"KORVEN";
    EXPECT_EQ(korven::IniFilePath(), ExeFolder() + L"\\KORVEN.ini");
}

TEST_F(Settings, MissingFileReadsEmptyAndFirstWriteCreatesIt) {
    EXPECT_EQ(ReadIni(L"東京", L"X"), L"");
    korven::IniWriteResult r = WriteIni(L"東京", L"X", L"3000");
    EXPECT_TRUE(r.ok) << std::string(r.reason.begin(), r.reason.end());
    EXPECT_EQ(ReadIni(L"東京", L"X"), L"3000");
    EXPECT_EQ(Bytes(), "[\x93\x8c\x8b\x9e]\r\nX=3000\r\n");  // code page 932 on disk
    EXPECT_EQ(Siblings(), 1);
}

TEST_F(Settings, ValuesComeBackTrimmedAndCut) {
    Put("[A]\r\nX= 120 \r\nY=" + std::string(600, 'v') + "\r\nZ=" + std::string(509, 'z') + "\x8b\x9e\r\n");
    EXPECT_EQ(ReadIni(L"A", L"X"), L"120");
    EXPECT_EQ(korven::ini::ReadNumber(ReadIni(L"a", L"x")).value, 120);
    EXPECT_EQ(ReadIni(L"A", L"Y"), std::wstring(510, L'v'));
    EXPECT_EQ(ReadIni(L"A", L"Z"), std::wstring(509, L'z'));  // 京 would straddle byte 510
}

TEST_F(Settings, JapaneseTextRoundTrips) {
    for (std::string_view name : korven::PrefNames) {
        std::wstring s = Utf16(name);
        ASSERT_TRUE(WriteIni(s, L"県庁所在地", s + L"市　中央区").ok);
    }
    for (std::string_view name : korven::PrefNames) {
        std::wstring s = Utf16(name);
        EXPECT_EQ(ReadIni(s, L"県庁所在地"), s + L"市　中央区");
    }
    // Colours of every piece, as at exit, leave the capital texts as they were.
    for (std::string_view name : korven::PrefNames) ASSERT_TRUE(WriteIni(Utf16(name), L"C", L"FF").ok);
    for (std::string_view name : korven::PrefNames) {
        std::wstring s = Utf16(name);
        EXPECT_EQ(ReadIni(s, L"県庁所在地"), s + L"市　中央区");
        EXPECT_EQ(korven::ini::ReadColor(ReadIni(s, L"C")).value, 0xFFu);
    }
}

TEST_F(Settings, TextCodePage932CannotHoldIsRefusedAndNothingWritten) {
    EXPECT_EQ(korven::UnstorableCharacters(L"札幌市"), L"");
    EXPECT_EQ(korven::UnstorableCharacters(L"caf\u00e9 \u20ac\u00e9 \U0001F600!"), L"\u00e9\u20ac\U0001F600");
    EXPECT_EQ(korven::UnstorableCharacters(std::wstring(1, wchar_t(0xD800))), std::wstring(1, wchar_t(0xD800)));
    Put("[A]\r\nX=old\r\n");
    std::string before = Bytes();
    for (const wchar_t* bad : {L"caf\u00e9", L"\u20ac", L"\U0001F600", L"\u00bd"}) {
        korven::IniWriteResult r = WriteIni(L"A", L"X", bad);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.reason.find(bad[0] == L'c' ? L"\u00e9" : bad), std::wstring::npos);
        r = WriteIni(bad, L"X", L"1");
        EXPECT_FALSE(r.ok);
        r = WriteIni(L"A", bad, L"1");
        EXPECT_FALSE(r.ok);
    }
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(ReadIni(L"A", L"X"), L"old");
}

TEST_F(Settings, LineBreaksAreRefusedAndNothingWritten) {
    Put("[A]\r\nX=old\r\n");
    korven::IniWriteResult r = WriteIni(L"A", L"X", L"two\r\nY=lines");
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.reason.empty());
    EXPECT_FALSE(WriteIni(L"A", L"X=", L"1").ok);
    EXPECT_EQ(Bytes(), "[A]\r\nX=old\r\n");
}

TEST_F(Settings, ReadOnlyFileIsReportedAndKeptWhole) {
    Put("[A]\r\nX=old\r\n");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    korven::IniWriteResult r = WriteIni(L"A", L"X", L"new");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.reason.find(L"読み取り専用"), std::wstring::npos);
    EXPECT_EQ(Bytes(), "[A]\r\nX=old\r\n");
    EXPECT_EQ(Siblings(), 1);  // no temporary file left behind
    // Writing what is already there changes nothing and so succeeds.
    EXPECT_TRUE(WriteIni(L"A", L"X", L"old").ok);
}

TEST_F(Settings, LockedFileIsReportedAndKeptWhole) {
    Put("[A]\r\nX=old\r\n");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    korven::IniWriteResult r = WriteIni(L"A", L"X", L"new");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.reason.find(L"読み取れません"), std::wstring::npos);
    EXPECT_EQ(ReadIni(L"A", L"X"), L"");  // reading never fails: it reads as missing
    CloseHandle(h);
    EXPECT_EQ(Bytes(), "[A]\r\nX=old\r\n");
    EXPECT_EQ(Siblings(), 1);
}

TEST_F(Settings, FileOpenedByAnotherProgramForReadingIsReportedAndKeptWhole) {
    Put("[A]\r\nX=old\r\n");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadIni(L"A", L"X"), L"old");
    korven::IniWriteResult r = WriteIni(L"A", L"X", L"new");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.reason.find(L"使用して"), std::wstring::npos);
    EXPECT_EQ(Siblings(), 1);
    CloseHandle(h);
    EXPECT_EQ(Bytes(), "[A]\r\nX=old\r\n");
    EXPECT_TRUE(WriteIni(L"A", L"X", L"new").ok);
    EXPECT_EQ(ReadIni(L"A", L"X"), L"new");
}

// A scanner or an indexer holds the file for a moment: the save waits for it, within its bound, and a file held
// past the bound is reported and kept whole.
TEST_F(Settings, FileHeldByAnotherProgramIsWaitedForWithinTheBound) {
    const struct {
        DWORD share;
        bool lets_go;
    } holders[] = {{0, true}, {FILE_SHARE_READ, true}, {0, false}};
    for (const auto& holder : holders) {
        Put("[A]\r\nX=old\r\n");
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, holder.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        int retries = 0;
        korven::ini::BeforeRetry = [&] {
            if (++retries == 2 && holder.lets_go) CloseHandle(std::exchange(h, INVALID_HANDLE_VALUE));
        };
        const ULONGLONG t0 = GetTickCount64();
        const bool ok = korven::WriteIniEntries({{L"A", L"X", L"new"}, {L"B", L"Y", L"2"}}).ok;
        const ULONGLONG took = GetTickCount64() - t0;
        korven::ini::BeforeRetry = nullptr;
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        EXPECT_EQ(ok, holder.lets_go) << holder.share;
        EXPECT_EQ(Bytes(), holder.lets_go ? "[A]\r\nX=new\r\n[B]\r\nY=2\r\n" : "[A]\r\nX=old\r\n") << holder.share;
        EXPECT_GE(retries, 2);
        EXPECT_LT(took, 1500u);
        EXPECT_EQ(Siblings(), 1);
    }
}

// A stray name in the folder that no code page holds (Wine makes no such file) must not turn a save that went
// through into an error.
TEST(TemporaryNames, AreToldApartWithoutConvertingStrayNames) {
    const std::filesystem::path ini(L"C:\\m\\KORVEN.ini");
    const struct {
        const wchar_t* name;
        bool temporary;
    } cases[] = {{L"C:\\m\\KORVEN.ini.~123", true}, {L"C:\\m\\KORVEN.ini.~", false}, {L"C:\\m\\KORVEN.ini.~12a", false},
                 {L"C:\\m\\stray\xD800", false}, {L"C:\\m\\KORVEN.ini.~1\xDC00", false}};
    for (const auto& c : cases) {
        bool temporary = !c.temporary;
        EXPECT_NO_THROW(temporary = korven::ini::IsTemporaryOf(c.name, ini));
        EXPECT_EQ(temporary, c.temporary);
    }
}

TEST_F(Settings, FolderWithJapaneseNameWorks) {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    std::wstring folder = std::wstring(tmp) + L"コルベン設定";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::filesystem::path file(korven::ini::IniPathFor(folder, L"KORVEN"));
    ASSERT_FALSE(korven::ini::ReplaceFileContents(file, "[\x93\x8c\x8b\x9e]\r\nX=1\r\n"));
    ASSERT_FALSE(korven::ini::ReplaceFileContents(file, "[\x93\x8c\x8b\x9e]\r\nX=2\r\n"));
    EXPECT_EQ(korven::ini::ReadProfileValue(korven::ini::ReadWholeFile(file).bytes, "\x93\x8c\x8b\x9e", "X"), "2");
    EXPECT_NE(GetFileAttributesW((folder + L"\\KORVEN.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileW((folder + L"\\KORVEN.ini").c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST_F(Settings, FolderInPlaceOfFileIsReported) {
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    EXPECT_EQ(ReadIni(L"A", L"X"), L"");
    korven::IniWriteResult r = WriteIni(L"A", L"X", L"1");
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.reason.empty());
    DWORD a = GetFileAttributesW(path.c_str());
    EXPECT_TRUE(a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY));
}

// How long the start-up reads take is measured by scripts/perf.sh.
TEST_F(Settings, StartUpReadsAndLargeFilesWork) {
    for (std::string_view name : korven::PrefNames) {
        std::wstring s = Utf16(name);
        for (const wchar_t* key : {L"X", L"Y", L"県庁X", L"県庁Y"}) ASSERT_TRUE(WriteIni(s, key, L"-12345").ok);
        ASSERT_TRUE(WriteIni(s, L"県庁所在地", s + L"市").ok);
        ASSERT_TRUE(WriteIni(s, L"C", L"FFFFFF").ok);
    }
    std::size_t total = 0;
    for (int round = 0; round < 2; ++round)
        for (std::string_view name : korven::PrefNames)
            for (const wchar_t* key : {L"X", L"Y", L"県庁X"}) total += ReadIni(Utf16(name), key).size();
    EXPECT_EQ(total, 2u * 47 * 3 * 6);

    std::string big;
    while (big.size() < (10u << 20)) big += "[S" + std::to_string(big.size()) + "]\r\nX=1\r\n";
    Put(big + "[\x93\x8c\x8b\x9e]\r\nX=77\r\n");
    EXPECT_EQ(ReadIni(L"東京", L"X"), L"77");
    ASSERT_TRUE(WriteIni(L"東京", L"Y", L"1").ok);
    EXPECT_EQ(ReadIni(L"東京", L"Y"), L"1");
    EXPECT_EQ(Bytes().substr(0, big.size()), big);
}

// ---- a file an editor saved as UTF-8

// Every prefecture with the keys the program writes, the names and texts in UTF-8.
std::string Utf8Prefectures() {
    std::string f = "; edited in Notepad\r\n";
    for (std::string_view name : korven::PrefNames) {
        f += "[" + std::string(name) + "]\r\nX=-450\r\nY=600\r\n県庁所在地=" + std::string(name) + "市\r\n\r\n";
    }
    return f;
}

std::size_t Headers(const std::string& f) {
    std::size_t n = 0;
    for (std::size_t p = f.find("\n["); p != std::string::npos; p = f.find("\n[", p + 1)) ++n;
    return n;
}

TEST_F(Settings, Utf8FileIsReadAndEveryWriteKeepsItUtf8) {
    for (const std::string mark : {"", "\xEF\xBB\xBF"}) {
        const std::string original = mark + Utf8Prefectures();
        Put(original);
        for (std::string_view name : korven::PrefNames) {
            std::wstring s = Utf16(name);
            ASSERT_EQ(ReadIni(s, L"X"), L"-450") << name;
            EXPECT_EQ(ReadIni(s, L"県庁所在地"), s + L"市");
        }
        // A changed value is the only change, in place.
        ASSERT_TRUE(WriteIni(L"北海道", L"X", L"-12").ok);
        std::string expected = original;
        expected.replace(expected.find("X=-450"), 6, "X=-12");
        EXPECT_EQ(Bytes(), expected);
        // As at exit: a colour for every piece goes into its own section, not into 47 new ones.
        for (std::string_view name : korven::PrefNames) ASSERT_TRUE(WriteIni(Utf16(name), L"C", L"FF").ok);
        const std::string after = Bytes();
        EXPECT_EQ(Headers(after), korven::PrefNames.size());
        EXPECT_EQ(after.substr(0, mark.size() + 2), mark + "; ");
        EXPECT_TRUE(korven::ini::IsValidUtf8(after.substr(mark.size())));
        std::string kept;  // the file without the colour lines
        for (std::size_t p = 0; p < after.size();) {
            std::size_t e = after.find("\r\n", p) + 2;
            if (after.compare(p, 2, "C=") != 0) kept += after.substr(p, e - p);
            p = e;
        }
        EXPECT_EQ(kept, expected);
        EXPECT_EQ(ReadIni(L"北海道", L"X"), L"-12");
        EXPECT_EQ(ReadIni(L"沖縄", L"C"), L"FF");
    }
}

TEST_F(Settings, Utf8FileStoresTextCodePage932CannotHold) {
    Put("\xEF\xBB\xBF[東京]\r\nX=1\r\n");
    const std::wstring text = L"\U00020BB7野家と髙島屋 caf\u00e9 \u20ac \U0001F600";
    EXPECT_EQ(korven::UnstorableCharacters(text), L"");
    ASSERT_TRUE(WriteIni(L"東京", L"県庁所在地", text).ok);
    EXPECT_EQ(ReadIni(L"東京", L"県庁所在地"), text);
    EXPECT_EQ(Bytes(), "\xEF\xBB\xBF[東京]\r\nX=1\r\n県庁所在地=𠮷野家と髙島屋 café € 😀\r\n");
    ASSERT_TRUE(WriteIni(L"\u00c9tat", L"\u00e9", L"\u00e9").ok);  // names too
    EXPECT_EQ(ReadIni(L"\u00c9tat", L"\u00e9"), L"\u00e9");
    // Only what UTF-8 cannot hold is refused, and then nothing is written.
    const std::wstring lone(1, wchar_t(0xD842));
    EXPECT_EQ(korven::UnstorableCharacters(L"a" + lone + L"b"), lone);
    const std::string before = Bytes();
    korven::IniWriteResult r = WriteIni(L"東京", L"県庁所在地", L"a" + lone);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.reason.find(L"UTF-8"), std::wstring::npos);
    EXPECT_FALSE(WriteIni(lone, L"X", L"1").ok);
    EXPECT_EQ(Bytes(), before);
}

TEST_F(Settings, CodePage932FileStaysCodePage932) {
    const std::string original = "[" + Sjis("北海道") + "]\r\nX=1\r\n[A]\r\nX=" + Sjis("札幌") + "\r\n";
    Put(original);
    EXPECT_EQ(korven::UnstorableCharacters(L"\U00020BB7髙\u2603"), L"\U00020BB7\u2603");  // 髙 is there
    EXPECT_FALSE(WriteIni(L"北海道", L"県庁所在地", L"\U00020BB7").ok);
    EXPECT_EQ(ReadIni(L"A", L"X"), L"札幌");
    ASSERT_TRUE(WriteIni(L"北海道", L"県庁所在地", L"札幌市").ok);
    ASSERT_TRUE(WriteIni(L"東京", L"X", L"2").ok);
    EXPECT_EQ(Bytes(), original.substr(0, original.find("[A]")) + Sjis("県庁所在地=札幌市\r\n") + "[A]\r\nX=" + Sjis("札幌") +
                           "\r\n[" + Sjis("東京") + "]\r\nX=2\r\n");
    // UTF-8 that names no prefecture decides nothing: code page 932 as before.
    Put("[A]\r\nX=札幌\r\n");
    EXPECT_NE(korven::UnstorableCharacters(L"\U00020BB7"), L"");
    ASSERT_TRUE(WriteIni(L"東京", L"X", L"3").ok);
    EXPECT_EQ(Bytes(), "[A]\r\nX=札幌\r\n[" + Sjis("東京") + "]\r\nX=3\r\n");
}

// Reads are served from the bytes last read while the file's size and time of last change stay the same.
class KeptSettings : public Settings {
protected:
    void SetTime(ULONGLONG ticks) {
        HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        FILETIME t{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &t));
        CloseHandle(h);
    }
};

TEST_F(KeptSettings, AnUnchangedFileIsNotOpenedAgain) {
    Put("[A]\r\nX=1\r\nY=2\r\n");
    SetTime(133000000000000000ull);  // long ago
    EXPECT_EQ(ReadIni(L"A", L"X"), L"1");
    // Held open with no sharing, the file could not be read again; the values still come.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadIni(L"A", L"Y"), L"2");
    EXPECT_EQ(ReadIni(L"A", L"X"), L"1");
    CloseHandle(h);
}

TEST_F(KeptSettings, AChangeOfTimeOrSizeIsReadAtTheNextRead) {
    const ULONGLONG day = 864000000000ull;
    const ULONGLONG t1 = 133000000000000000ull;
    Put("[A]\r\nX=1\r\n");
    SetTime(t1);
    EXPECT_EQ(ReadIni(L"A", L"X"), L"1");
    Put("[A]\r\nX=2\r\n");  // same size, another program's write
    SetTime(t1 + day);
    EXPECT_EQ(ReadIni(L"A", L"X"), L"2");
    Put("[A]\r\nX=345\r\n");  // same time, another size
    SetTime(t1 + day);
    EXPECT_EQ(ReadIni(L"A", L"X"), L"345");
    Put("[A]\r\nX=6\r\n");
    SetTime(t1);  // an older time counts as a change too
    EXPECT_EQ(ReadIni(L"A", L"X"), L"6");
    ASSERT_TRUE(DeleteFileW(path.c_str()));
    EXPECT_EQ(ReadIni(L"A", L"X"), L"");
}

TEST_F(KeptSettings, AnEditInTheSameTickKeepingTheSizeIsRead) {
    Put("[A]\r\nX=1\r\n");
    WIN32_FILE_ATTRIBUTE_DATA a{};
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a));
    EXPECT_EQ(ReadIni(L"A", L"X"), L"1");
    Put("[A]\r\nX=2\r\n");
    SetTime((static_cast<ULONGLONG>(a.ftLastWriteTime.dwHighDateTime) << 32) | a.ftLastWriteTime.dwLowDateTime);
    EXPECT_EQ(ReadIni(L"A", L"X"), L"2");
}

TEST_F(KeptSettings, AFileSavedAgainAsUtf8IsReadAsUtf8) {
    Put("[" + Sjis("東京") + "]\r\nX=1\r\n");
    EXPECT_EQ(ReadIni(L"東京", L"X"), L"1");
    EXPECT_NE(korven::UnstorableCharacters(L"\U00020BB7"), L"");
    Put("[東京]\r\nX=22\r\n");
    EXPECT_EQ(ReadIni(L"東京", L"X"), L"22");
    EXPECT_EQ(korven::UnstorableCharacters(L"\U00020BB7"), L"");
}

TEST_F(KeptSettings, OwnWritesAreReadBackAtOnceWhateverTheClock) {
    Put("[A]\r\nX=1\r\n");
    SetTime(133000000000000000ull);
    EXPECT_EQ(ReadIni(L"A", L"X"), L"1");
    ASSERT_TRUE(WriteIni(L"A", L"X", L"9").ok);
    SetTime(133000000000000000ull);  // even when the clock has not moved on
    EXPECT_EQ(ReadIni(L"A", L"X"), L"9");
    EXPECT_EQ(ReadIni(L"A", L"Y"), L"");
}

TEST_F(Settings, FileWrittenByThePlatformReadsTheSame) {
    std::string ansiPath(path.begin(), path.end());  // the test folder's path is ASCII
    ASSERT_TRUE(WritePrivateProfileStringA("\x93\x8c\x8b\x9e", "X", " 3000 ", ansiPath.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("\x8d\xe9\x8b\xca", "\x8c\xa7\x92\xa1\x8f\x8a\x8d\xdd\x92\x6e",
                                           "\x82\xb3\x82\xa2\x82\xbd\x82\xdc\x8e\x73", ansiPath.c_str()));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ansiPath.c_str());
    EXPECT_EQ(ReadIni(L"東京", L"X"), L"3000");
    EXPECT_EQ(ReadIni(L"埼玉", L"県庁所在地"), L"さいたま市");
    // And what we write the platform reads.
    ASSERT_TRUE(WriteIni(L"埼玉", L"C", L"FF").ok);
    char buf[64] = {};
    GetPrivateProfileStringA("\x8d\xe9\x8b\xca", "C", "", buf, sizeof buf, ansiPath.c_str());
    EXPECT_STREQ(buf, "FF");
}

}  // namespace
