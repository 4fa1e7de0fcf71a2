#include "core/settings.h"

#include <windows.h>

#include <cerrno>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/ini_engine.h"
#include "core/win_owners.h"

namespace korven {
namespace {

// Code page 932 whatever the machine's ANSI code page, unless the file is UTF-8 (ini::EncodingOf).
UINT CodePageOf(ini::Encoding e) { return e == ini::Encoding::Utf8 ? CP_UTF8 : 932; }

// Text → the file's bytes; false when some character has no exact form there (no best-fit look-alikes,
// no question marks, no replacement characters for lone surrogates).
bool ToFileBytes(std::wstring_view text, ini::Encoding enc, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    const UINT cp = CodePageOf(enc);
    // UTF-8 takes neither the best-fit flag nor the default-character report.
    const DWORD flags = enc == ini::Encoding::Utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int n = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    BOOL* report = enc == ini::Encoding::Utf8 ? nullptr : &usedDefault;
    int len = WideCharToMultiByte(cp, flags, text.data(), n, nullptr, 0, nullptr, report);
    if (len <= 0 || usedDefault) return false;
    out.resize(static_cast<std::size_t>(len));
    WideCharToMultiByte(cp, flags, text.data(), n, out.data(), len, nullptr, report);
    if (usedDefault) return false;
    // Some converters map silently to a look-alike despite the flag; only a faithful round trip counts.
    int back = MultiByteToWideChar(cp, 0, out.data(), len, nullptr, 0);
    std::wstring check(static_cast<std::size_t>(back > 0 ? back : 0), L'\0');
    if (back > 0) MultiByteToWideChar(cp, 0, out.data(), len, check.data(), back);
    return check == text;
}

std::wstring FromFileBytes(std::string_view bytes, ini::Encoding enc) {
    if (bytes.empty()) return {};
    const UINT cp = CodePageOf(enc);
    int n = static_cast<int>(bytes.size());
    int len = MultiByteToWideChar(cp, 0, bytes.data(), n, nullptr, 0);
    if (len <= 0) return {};
    std::wstring out(static_cast<std::size_t>(len), L'\0');
    MultiByteToWideChar(cp, 0, bytes.data(), n, out.data(), len);
    return out;
}

// The prefectures' section names in both encodings, to tell which one the file is in.
std::span<const ini::NameForms> PrefectureNames() {
    static const std::vector<std::string> cp932 = [] {
        std::vector<std::string> v;
        for (std::string_view name : PrefNames) {
            std::wstring wide = FromFileBytes(name, ini::Encoding::Utf8);
            std::string bytes;
            ToFileBytes(wide, ini::Encoding::Cp932, bytes);
            v.push_back(std::move(bytes));
        }
        return v;
    }();
    static const std::vector<ini::NameForms> forms = [] {
        std::vector<ini::NameForms> v;
        for (std::size_t i = 0; i < PrefNames.size(); ++i) v.push_back({PrefNames[i], cp932[i]});
        return v;
    }();
    return forms;
}

std::wstring SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring s = n && text ? std::wstring(text, n) : std::wstring();
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' ' || s.back() == L'.' || s.back() == L'。')) s.pop_back();
    if (s.empty()) s = L"エラー " + std::to_wstring(code);
    return s;
}

const wchar_t* const AccessDenied =
    L"アクセスが拒否されました。フォルダーに書き込む権限がないか、ほかのプログラムがファイルを使用している可能性があります";

// The codes a save meets, in words of the user's own; the system's text for the rest.
std::wstring Describe(const std::error_code& ec) {
    if (ec.category() == std::system_category()) {
        switch (ec.value()) {
            case ERROR_ACCESS_DENIED: return AccessDenied;
            case ERROR_SHARING_VIOLATION: case ERROR_LOCK_VIOLATION: return L"ほかのプログラムがファイルを使用しています";
            case ERROR_FILE_READ_ONLY: return L"ファイルが読み取り専用になっています。ファイルのプロパティで読み取り専用を解除してください";
            case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL: return L"ディスクの空き領域が不足しています";
            case ERROR_WRITE_PROTECT: return L"ディスクが書き込み禁止になっています";
            case ERROR_PATH_NOT_FOUND: return L"フォルダーが見つかりません";
            default: return SystemMessage(static_cast<DWORD>(ec.value()));
        }
    }
    switch (ec.value()) {
        case EACCES: case EPERM: return AccessDenied;
        case ENOENT: return L"フォルダーが見つかりません";
        case ENOSPC: return L"ディスクの空き領域が不足しています";
        case EISDIR: return L"同じ名前のフォルダーがあります";
        case EROFS: return L"書き込みのできない場所です";
        case EBUSY: return L"ほかのプログラムがファイルを使用しています";
        case EIO: return L"ディスクの読み書き中にエラーが発生しました";
        default: return L"エラー " + std::to_wstring(ec.value());
    }
}

std::wstring Quoted(const std::wstring& s) { return L"「" + s + L"」"; }

std::wstring ProblemText(ini::StoreProblem p) {
    switch (p) {
        case ini::StoreProblem::None: return {};
        case ini::StoreProblem::EmptyName: return L"セクション名とキー名は空にできません。";
        case ini::StoreProblem::BlankAtNameEnd: return L"セクション名とキー名の前後に空白は置けません。";
        case ini::StoreProblem::LineBreak: return L"改行を含む文字列は設定ファイルに保存できません。";
        case ini::StoreProblem::NulByte: return L"NUL 文字を含む文字列は設定ファイルに保存できません。";
        case ini::StoreProblem::EqualsInKey: return L"キー名に「=」は使えません。";
        case ini::StoreProblem::BracketStartsKey: return L"キー名を「[」で始めることはできません。";
        case ini::StoreProblem::LeadByteAtEnd: return L"セクション名が文字の途中で終わっています。";
        case ini::StoreProblem::NotUtf8: return L"UTF-8 の文字として正しくないバイトがあります。";
    }
    return {};
}

IniWriteResult Fail(std::wstring reason) { return {false, std::move(reason)}; }

// Start-up alone reads some 290 values; opening and reading the whole file for each cost more than all the
// windows took to build. The bytes are kept and read again whenever the file's size or time of last change
// differs from what they were read with, as the platform's own profile functions do.
using FileStamp = std::pair<ULONGLONG, FILETIME>;  // size, time of last change

struct KeptFile {
    std::wstring path;
    FileStamp stamp;
    std::string bytes;
    ini::Encoding encoding = ini::Encoding::Cp932;  // decided once per read of the file
    bool reusable = false;                          // nothing changed while it was read
};
std::optional<KeptFile> kept;

std::optional<FileStamp> StampOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a) || (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return FileStamp{(static_cast<ULONGLONG>(a.nFileSizeHigh) << 32) | a.nFileSizeLow, a.ftLastWriteTime};
}

bool Same(const FileStamp& a, const FileStamp& b) {
    return a.first == b.first && a.second.dwLowDateTime == b.second.dwLowDateTime &&
           a.second.dwHighDateTime == b.second.dwHighDateTime;
}

// A change within the same tick of the time stamp that keeps the size would look like no change at all:
// bytes read while the file's time is that recent are not kept. Two seconds is the coarsest tick (FAT's).
bool ChangedATickAgo(const FILETIME& changed) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return ticks(now) >= ticks(changed) + 20000000ull;
}

struct FileView {
    std::string_view bytes;
    ini::Encoding encoding = ini::Encoding::Cp932;
};

// The file's bytes and encoding, valid until the next call; empty code page 932 when it is missing or
// cannot be read.
FileView CurrentFile(const std::wstring& path) {
    const auto stamp = StampOf(path);
    if (kept && kept->reusable && stamp && kept->path == path && Same(kept->stamp, *stamp)) return {kept->bytes, kept->encoding};
    kept.reset();
    ini::FileRead file = ini::ReadWholeFile(std::filesystem::path(path));
    if (file.error) return {};
    const auto after = StampOf(path);
    const bool reusable =
        stamp && after && Same(*stamp, *after) && file.bytes.size() == stamp->first && ChangedATickAgo(stamp->second);
    const ini::Encoding encoding = ini::EncodingOf(file.bytes, PrefectureNames());
    kept = KeptFile{path, stamp.value_or(FileStamp{}), std::move(file.bytes), encoding, reusable};
    return {kept->bytes, kept->encoding};
}

std::wstring UnstorableIn(const std::wstring& text, ini::Encoding enc) {
    std::wstring bad;
    std::string bytes;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) ? 2 : 1;
        std::wstring_view ch(text.data() + i, n);
        if (!ToFileBytes(ch, enc, bytes) && bad.find(ch) == std::wstring::npos) bad.append(ch);
        i += n;
    }
    return bad;
}

}  // namespace

std::wstring IniFilePath() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return ini::IniPathFor(L"", IniBaseName);
        if (n < buf.size()) {
            return ini::IniPathFor(ini::ProgramFolderOf(std::wstring_view(buf.data(), n)), IniBaseName);
        }
        if (buf.size() >= 32768) return ini::IniPathFor(L"", IniBaseName);
        buf.resize(buf.size() * 2);
    }
}

IniAccess CheckIniAccess() {
    const std::wstring path = IniFilePath();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return IniAccess::Missing;
    } else if (attributes & FILE_ATTRIBUTE_READONLY) {
        return IniAccess::Unwritable;
    } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // Opened for writing and closed unwritten: the file stays as it was, time of last change included.
        const UniqueKernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) return IniAccess::Unwritable;
    }
    // Every save makes a file beside it. This one goes when its handle closes, which the system does for a killed
    // process too; its name is a temporary file's, which the next save would clear all the same.
    const std::wstring probe = path + L".~" + std::to_wstring(GetCurrentProcessId()) + std::to_wstring(GetTickCount());
    const UniqueKernelHandle made(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                              FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
                                              nullptr));
    if (made.get() == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) return IniAccess::Unwritable;
    return IniAccess::Writable;
}

std::wstring UnstorableCharacters(const std::wstring& text) {
    return UnstorableIn(text, CurrentFile(IniFilePath()).encoding);
}

std::wstring ReadIni(const std::wstring& section, const std::wstring& key) {
    const FileView file = CurrentFile(IniFilePath());
    std::string s, k;
    // A name the file cannot hold cannot be in it.
    if (!ToFileBytes(section, file.encoding, s) || !ToFileBytes(key, file.encoding, k)) return {};
    return FromFileBytes(ini::TrimSpaces(ini::ReadProfileValue(file.bytes, s, k, file.encoding)), file.encoding);
}

namespace {

// One entry applied to the file's bytes as WriteIni alone would apply it to the file: in the encoding the bytes
// are in now. A refused entry leaves them as they were.
IniWriteResult Apply(std::string& bytes, const IniEntry& entry) {
    // Written in the encoding it is read in, so one file never holds two.
    const ini::Encoding enc = ini::EncodingOf(bytes, PrefectureNames());
    for (const std::wstring* text : {&entry.section, &entry.key, &entry.value}) {
        std::wstring bad = UnstorableIn(*text, enc);
        if (!bad.empty()) {
            const wchar_t* name = enc == ini::Encoding::Utf8 ? L"（UTF-8）" : L"（シフトJIS）";
            return Fail(Quoted(bad) + L"は設定ファイル" + name + L"に保存できない文字です。");
        }
    }
    std::string s, k, v;
    ToFileBytes(entry.section, enc, s);
    ToFileBytes(entry.key, enc, k);
    ToFileBytes(entry.value, enc, v);
    ini::StoreProblem problem = ini::CheckStorable(s, k, v, enc);
    if (problem != ini::StoreProblem::None) return Fail(ProblemText(problem));
    bytes = ini::WriteProfileValue(bytes, s, k, v, enc);
    return {};
}

}  // namespace

IniWriteResult WriteIni(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    return WriteIniEntries({{section, key, value}});
}

IniWriteResult WriteIniEntries(const std::vector<IniEntry>& entries) {
    std::wstring path = IniFilePath();
    kept.reset();  // a write always starts from what is on disk now
    const ini::Deadline deadline = std::chrono::steady_clock::now() + ini::kHeldFileWait;
    ini::FileRead file;
    ini::RetryWhileHeld([&] { return (file = ini::ReadWholeFile(std::filesystem::path(path))).error; }, deadline);
    if (file.error) {
        // Writing now would drop whatever the unreadable file holds.
        return Fail(L"ファイルを読み取れませんでした（" + Describe(file.error) + L"）。");
    }
    std::string updated = file.bytes;
    IniWriteResult first;
    bool applied = false;
    for (const IniEntry& e : entries) {
        IniWriteResult r = Apply(updated, e);
        applied |= r.ok;
        if (!r.ok && first.ok) first = std::move(r);
    }
    if (!applied || (file.exists && updated == file.bytes)) return first;
    std::error_code ec = ini::ReplaceFileContents(std::filesystem::path(path), updated, deadline);
    if (ec) {
        return Fail(Describe(ec) + L"。");
    }
    return first;
}

}  // namespace korven
