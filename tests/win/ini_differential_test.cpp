// Our settings-file reader and writer against the platform's GetPrivateProfileStringA and
// WritePrivateProfileStringA, in a Japanese locale, on a corpus of tricky files generated here.
//
// Deliberate differences, settled by corpus file in SettledDifferences() (the test fails if a settled
// file stops differing, so the list stays true):
//  - UTF-8 without a byte-order mark, naming the prefectures in UTF-8: ours reads and writes it as UTF-8
//    (ini::EncodingOf); the platform's ANSI functions read it as code page 932, find none of its sections
//    and append new ones in code page 932. With a mark the platform decodes UTF-8 as ours does, and a marked
//    file that names no prefecture is UTF-8 to both, so those files read alike.
//  - UTF-16 byte-order mark (a file starting FF FE): the platform reads UTF-16; ours reads bytes.
//  - Invalid Shift_JIS: the platform converts through UTF-16, so a lone lead byte comes back as 81 45
//    and takes the next byte with it even when that is a blank, an "=" or a line break (two lines become
//    one); ours hands back the stored bytes and a lead byte pairs only with a valid trail byte.
//  - A value in enclosing quotes: the platform stores it as it is and then drops the quotes on reading;
//    ours stores one more pair, so the value reads back whole (by the platform's reader too).
//  - Writes: the platform rewrites the whole file (normalising line endings and blank lines), ours keeps
//    every other byte; so written files are compared by what they read back, not byte for byte.
// Checked and found equal, though other platforms differ: full-width letters are not case-folded, and a
// full-width space around a value is kept.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/ini_engine.h"
#include "core/settings.h"
#include "tests/win/piece_fixture.h"

namespace {

namespace ini = korven::ini;
using namespace korven::test;

// Our side sees a file as ReadIni and WriteIni do: in the encoding its content decides.
ini::Encoding EncodingOf(std::string_view file) {
    static const std::vector<std::string> cp932 = [] {
        std::vector<std::string> v;
        for (auto name : korven::PrefNames) v.push_back(Sjis(name));
        return v;
    }();
    static const std::vector<ini::NameForms> names = [] {
        std::vector<ini::NameForms> v;
        for (std::size_t i = 0; i < korven::PrefNames.size(); ++i) v.push_back({korven::PrefNames[i], cp932[i]});
        return v;
    }();
    return ini::EncodingOf(file, names);
}

// The queries and writes are code page 932 bytes, as the platform's ANSI functions take them; for a UTF-8
// file they are converted as ReadIni converts its wide text. False when the bytes are no code page 932 text.
bool ForFile(const std::string& cp932, ini::Encoding enc, std::string& out) {
    if (enc == ini::Encoding::Cp932 || cp932.empty()) {
        out = cp932;
        return true;
    }
    std::wstring w = Wide(cp932, 932, MB_ERR_INVALID_CHARS);
    out = Narrow(w, CP_UTF8);
    return !w.empty() && Narrow(w, 932) == cp932;
}

std::string Hex(std::string_view s) {
    std::string out;
    char buf[4];
    for (unsigned char c : s.substr(0, 80)) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            std::snprintf(buf, sizeof buf, "\\%02X", c);
            out += buf;
        }
    }
    if (s.size() > 80) out += "...(" + std::to_string(s.size()) + " bytes)";
    return out;
}

struct Query {
    std::string section, key;
};

struct CorpusFile {
    std::string name;
    std::string bytes;
    bool fewQueries = false;  // the 10 MB file: a handful of queries is enough
};

std::vector<Query> GeneralQueries() {
    std::vector<std::string> sections = {"A", "a", "B", "Tokyo", "TOKYO", "tokyo", "\x83\x41", "\x83\x61", "\x82\x60",
                                         "\x82\x81", "a]b", "\x83\x5D", "[broken", " A ", "", "S0", "S1000", "Last",
                                         Sjis("東京"), Sjis("埼玉"), Sjis("北海道"), Sjis("和歌山"), "NEW"};
    std::vector<std::string> keys = {"X", "x", "Y", "Z", "C", "k", "Key", "KEY", "\x9F", "\x82\x60", "\x82\x81",
                                     Sjis("県庁所在地"), Sjis("県庁X"), Sjis("県庁y"), "Q", ";X"};
    std::vector<Query> q;
    for (auto& s : sections)
        for (auto& k : keys) q.push_back({s, k});
    return q;
}

// After a write: fewer names, every kind still there.
std::vector<Query> WriteQueries() {
    std::vector<std::string> sections = {"A", "a", "B", "Tokyo", "\x83\x41", "\x83\x61", "", Sjis("東京"), Sjis("埼玉"), "NEW"};
    std::vector<std::string> keys = {"X", "x", "Y", "Z", "C", "k", "Key", "\x82\x60", "\x82\x81", Sjis("県庁所在地")};
    std::vector<Query> q;
    for (auto& s : sections)
        for (auto& k : keys) q.push_back({s, k});
    return q;
}

std::vector<CorpusFile> Corpus() {
    std::vector<CorpusFile> c;
    auto add = [&](std::string name, std::string bytes) { c.push_back({std::move(name), std::move(bytes)}); };
    const std::string T = Sjis("東京"), S = Sjis("埼玉");
    add("basic", "[" + T + "]\r\nX=3000\r\nY=1500\r\nC=FF\r\n[" + S + "]\r\nX=-450\r\nY=-600\r\n" + Sjis("県庁所在地=さいたま市\r\n県庁X=15\r\n"));
    add("empty", "");
    add("only_newlines", "\r\n\r\n\n\r");
    add("blanks", "  [A]  \r\n\t X \t=\t 120\t \r\nY= 1 2 \r\n[ A ]\r\nX=inner\r\n[B]\r\nX=   \r\nY\t=\t\t\r\n");
    add("quotes", "[A]\r\nX=\"abc\"\r\nY='abc'\r\nZ=\"abc'\r\nk=\"\r\nC=\"\"\r\nKey=\" 120 \"\r\nQ='\"'\r\n");
    add("ascii_case", "[Tokyo]\r\nKey=v\r\nkey=w\r\nX=1\r\n[TOKYO]\r\nY=2\r\n");
    add("dbcs_trail_case", "[\x83\x61]\r\nX=small\r\n[\x83\x41]\r\nX=large\r\n[A]\r\n\x82\x60=full A\r\n\x82\x81=full a\r\n");
    add("fullwidth_section", "[\x82\x60]\r\nX=1\r\n");
    add("duplicates", "[A]\r\nX=1\r\nX=2\r\n[a]\r\nX=3\r\nY=4\r\n[B]\r\nX\r\nX=5\r\n");
    add("brackets", "[a]b]junk\r\nX=1\r\n[\x83\x5D\r\nX=2\r\n[\x83\x5D]\r\nX=3\r\n[broken\r\nX=4\r\n[A]\r\nX=[v]\r\nY=a=b\r\n");
    add("before_any_section", "X=top\r\nY=7\r\n[A]\r\nX=1\r\n");
    std::string v600(600, 'x'), y509 = std::string(509, 'y') + "\x93\x8c" + "zz", y508 = std::string(508, 'y') + "\x93\x8c" + "zz";
    std::string kyo;
    for (int i = 0; i < 300; ++i) kyo += "\x8b\x9e";
    add("long_values", "[A]\r\nX=" + v600 + "\r\nY=" + y509 + "\r\nZ=" + y508 + "\r\nk=" + kyo + "\r\nC=" + std::string(511, 'c') + "\r\n");
    add("nul_bytes", std::string("[A]\r\nX=12\0abc\r\nY=3\r\n[B\0junk]\r\nX=b\r\nk\0x=5\r\n", 41));
    add("no_equals", "[A]\r\njunk line\r\n\x93\x8c\x8b\x9e\r\nX=7\r\n;comment\r\n;X=8\r\n#Y=9\r\n");
    add("utf8_bom", "\xEF\xBB\xBF[A]\r\nX=1\r\n[B]\r\nX=2\r\n");
    add("utf8_bom_japanese", "\xEF\xBB\xBF[東京]\r\nX=1\r\n[A]\r\nX=2\r\n");
    std::string utf8Prefs = "; saved as UTF-8\r\n";
    for (auto name : korven::PrefNames) {
        std::string s(name);
        utf8Prefs += "[" + s + "]\r\nX=-450\r\nY=600\r\n県庁X=15\r\n県庁所在地=" + s + "市\r\nC=FFFFFF\r\n\r\n";
    }
    add("utf8_prefectures", utf8Prefs);
    add("utf8_bom_prefectures", "\xEF\xBB\xBF" + utf8Prefs);
    add("utf16_bom", std::string("\xFF\xFE[\0A\0]\0\r\0\n\0X\0=\0" "1\0", 20));
    add("mixed_eol", "[A]\rX=1\nY=2\r\nZ=3\n\r\n\r[B]\rX=4");
    add("invalid_sjis", "[A]\r\nX=\x81\r\nY=\xFC\x20ok\r\n\x9F=lead\r\nZ=\xE0");
    add("lead_before_lf", "[A]\nX=\x81\nY=2\n");
    add("single_bytes", "[A]\r\nX=\x80\r\nY=\xA0\r\nZ=\xFD\xFE\xFF\r\nk=\xB1\xB2\r\n");
    add("ctrl_z", "[A]\r\nX=5\x1A\r\nY=\x1A" "6\r\n\x1A");
    add("fullwidth_space", "[A]\r\nX=\x81\x40" + Sjis("札幌") + "\x81\x40\r\nY=" + Sjis("札　幌") + "\r\n");
    add("tabs_in_names", "[A]\r\nX\t=1\r\n\tY=2\r\nZ \t = \t3\r\n");
    add("no_final_newline", "[A]\r\nX=1");
    std::string longLines = "[A]\r\n" + std::string(100000, 'k') + "=v\r\nX=" + std::string(100000, 'w') + "\r\nY=2\r\n";
    add("long_lines", longLines);
    std::string prefs = "; layout\r\n";
    for (auto name : korven::PrefNames) {
        std::string s = Sjis(name);
        prefs += "[" + s + "]\r\nX=-450\r\nY=600\r\n" + Sjis("県庁X=15\r\n県庁Y=30\r\n県庁所在地=") + s + Sjis("市\r\n") + "C=FFFFFF\r\n\r\n";
    }
    add("prefectures", prefs);
    std::string junk;
    unsigned seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        junk += static_cast<char>(seed >> 16);
        if (i % 997 == 0) junk += "\r\n[A]\r\nX=" + std::to_string(i) + "\r\n";
    }
    add("binary_junk", junk);
    std::string big;
    for (int i = 0; big.size() < (10u << 20); ++i) big += "[S" + std::to_string(i) + "]\r\nX=" + std::to_string(i) + "\r\n";
    big += "[Last]\r\nX=-5\r\n";
    c.push_back({"ten_megabytes", big, true});
    return c;
}

// The platform's side, exactly as ReadIni calls it: 512 blanks, size 511, text before the NUL, spaces trimmed.
std::string PlatformRead(const std::string& path, const Query& q) {
    std::string buf(512, ' ');
    GetPrivateProfileStringA(q.section.c_str(), q.key.c_str(), nullptr, buf.data(), 511, path.c_str());
    return ini::TrimSpaces(std::string_view(buf.c_str()));
}

std::string OurRead(const ini::FileRead& f, const Query& q) {
    EXPECT_FALSE(f.error);
    const ini::Encoding enc = EncodingOf(f.bytes);
    std::string section, key;
    if (!ForFile(q.section, enc, section) || !ForFile(q.key, enc, key)) return {};
    std::string value = ini::TrimSpaces(ini::ReadProfileValue(f.bytes, section, key, enc));
    return enc == ini::Encoding::Utf8 ? Narrow(Wide(value, CP_UTF8), 932) : value;
}

std::string Folder() {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    std::string dir = std::string(tmp) + "korven-ini-diff";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir + "\\";
}

void Put(const std::string& path, const std::string& bytes) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_FALSE(ini::ReplaceFileContents(path, bytes)) << path;
}

// Differences that are expected, by corpus file and query, with the reason in the comment at the top.
struct Settled {
    std::string file;
    const char* reason;
};
std::vector<Settled> SettledDifferences() {
    return {
        {"utf8_prefectures", "the platform reads UTF-8 without a mark as code page 932; ours reads it as UTF-8"},
        {"utf16_bom", "the platform reads UTF-16 after FF FE; ours reads bytes"},
        {"invalid_sjis", "the platform substitutes 81 45 and lets a lone lead byte swallow the next byte"},
        {"lead_before_lf", "the platform lets a lone lead byte swallow the line break"},
    };
}

struct Mismatch {
    std::string file, section, key, platform, ours;
};

void Report(const std::vector<Mismatch>& found, std::size_t queries, std::size_t files, const char* what) {
    std::vector<Settled> settled = SettledDifferences();
    std::set<std::size_t> used;
    std::size_t unexplained = 0;
    for (const Mismatch& m : found) {
        bool ok = false;
        for (std::size_t i = 0; i < settled.size(); ++i) {
            const std::string& f = settled[i].file;
            if (m.file == f || m.file == "write_" + f) {
                ok = true;
                used.insert(i);
            }
        }
        if (!ok) {
            ++unexplained;
            ADD_FAILURE() << what << " differs: file " << m.file << " [" << Hex(m.section) << "] " << Hex(m.key)
                          << "\n  platform: " << Hex(m.platform) << "\n  ours:     " << Hex(m.ours);
        }
    }
    std::printf("%s: %zu files, %zu queries compared, %zu differences, %zu settled as deliberate, %zu unexplained\n",
                what, files, queries, found.size(), found.size() - unexplained, unexplained);
}

TEST(IniDifferential, PlatformIsJapanese) { ASSERT_EQ(GetACP(), 932u); }

TEST(IniDifferential, ReadsMatchThePlatform) {
    ASSERT_EQ(GetACP(), 932u);
    std::string dir = Folder();
    std::vector<Query> general = GeneralQueries();
    std::vector<Mismatch> found;
    std::size_t queries = 0, files = 0;
    for (const CorpusFile& f : Corpus()) {
        std::string path = dir + "read_" + f.name + ".ini";
        Put(path, f.bytes);
        ++files;
        ini::FileRead mine = ini::ReadWholeFile(path);
        ASSERT_EQ(mine.bytes, f.bytes);
        std::vector<Query> qs = f.fewQueries ? std::vector<Query>{{"S0", "X"}, {"S1000", "X"}, {"Last", "X"}, {"last", "x"}, {"None", "X"}}
                                             : general;
        for (const Query& q : qs) {
            ++queries;
            std::string p = PlatformRead(path, q), o = OurRead(mine, q);
            if (p != o) found.push_back({f.name, q.section, q.key, p, o});
        }
    }
    Report(found, queries, files, "read");
    for (const Settled& s : SettledDifferences()) {
        bool seen = false;
        for (const Mismatch& m : found) seen |= m.file == s.file;
        EXPECT_TRUE(seen) << "settled difference no longer happens: " << s.file << " (" << s.reason << ")";
    }
}

struct WriteOp {
    std::string section, key, value;
};

TEST(IniDifferential, WritesReadBackLikeThePlatform) {
    ASSERT_EQ(GetACP(), 932u);
    std::string dir = Folder();
    const std::string T = Sjis("東京"), S = Sjis("埼玉");
    std::vector<WriteOp> ops = {
        {T, "X", "3100"},
        {"A", "X", "new"},
        {"a", "x", "case"},
        {"A", "NEW", "v"},
        {"NEW", "X", "1"},
        {S, Sjis("県庁所在地"), Sjis("さいたま市")},
        {"B", "X", "-2147483648"},
        {"A", "Y", ""},
        {"A", "k", std::string(600, 'L')},
        {"\x83\x41", "X", "kana"},
        {"A", "\x82\x81", "w"},
        {"A", "X", "\"quoted\""},
    };
    std::vector<Query> general = WriteQueries();
    std::vector<Mismatch> found;
    std::size_t queries = 0, files = 0, identical = 0, quotesKept = 0, keptUtf8 = 0;
    int n = 0;
    for (const CorpusFile& f : Corpus()) {
        if (f.fewQueries) continue;
        for (const WriteOp& op : ops) {
            std::string tag = std::to_string(n++);
            std::string theirs = dir + "w" + tag + "_platform.ini", ours = dir + "w" + tag + "_ours.ini";
            Put(theirs, f.bytes);
            Put(ours, f.bytes);
            ASSERT_TRUE(WritePrivateProfileStringA(op.section.c_str(), op.key.c_str(), op.value.c_str(), theirs.c_str()));
            WritePrivateProfileStringA(nullptr, nullptr, nullptr, theirs.c_str());
            ini::FileRead before = ini::ReadWholeFile(ours);
            const ini::Encoding enc = EncodingOf(before.bytes);
            std::string section, key, value;
            ASSERT_TRUE(ForFile(op.section, enc, section) && ForFile(op.key, enc, key) && ForFile(op.value, enc, value));
            ASSERT_EQ(ini::CheckStorable(section, key, value, enc), ini::StoreProblem::None);
            ASSERT_FALSE(ini::ReplaceFileContents(ours, ini::WriteProfileValue(before.bytes, section, key, value, enc)));
            if (enc == ini::Encoding::Utf8) {
                EXPECT_EQ(EncodingOf(ini::ReadWholeFile(ours).bytes), enc) << f.name;
                ++keptUtf8;
            }
            files += 2;
            ini::FileRead mine = ini::ReadWholeFile(ours);
            if (ini::ReadWholeFile(theirs).bytes == mine.bytes) ++identical;
            std::vector<Query> qs = general;
            qs.push_back({op.section, op.key});
            for (const Query& q : qs) {
                ++queries;
                std::string p = PlatformRead(theirs, q);
                std::string pOurs = PlatformRead(ours, q);
                std::string o = OurRead(mine, q);
                bool quoted = op.value.size() >= 2 && op.value.front() == '"' && op.value.back() == '"';
                if (quoted && o == op.value && pOurs == o && p == op.value.substr(1, op.value.size() - 2)) {
                    ++quotesKept;
                    continue;
                }
                if (p != pOurs || p != o) found.push_back({"write_" + f.name, q.section, q.key, p, o + " / platform on ours: " + pOurs});
            }
        }
    }
    // The read differences of a corpus file carry over to what is written into it.
    Report(found, queries, files, "write");
    std::printf("write: %zu of %zu written files byte-identical to the platform's; %zu reads keep quotes the platform drops; "
                "%zu writes into UTF-8 files kept them UTF-8\n", identical, files / 2, quotesKept, keptUtf8);
    EXPECT_GT(quotesKept, 0u);
    EXPECT_GT(keptUtf8, 0u);
}

// A save is one replacement of the file; its bytes must be those one WriteIni after another leaves, refusals
// included, on every corpus file and on one with CR-only lines.
TEST(IniDifferential, OneWriteOfManyEntriesLeavesWhatOneWriteAfterAnotherLeaves) {
    const std::vector<korven::IniEntry> entries = {
        {L"東京", L"X", L"3100"}, {L"東京", L"Y", L"-15"}, {L"埼玉", L"C", L"FF"}, {L"A", L"X", L"new"},
        {L"a", L"x", L"case"}, {L"NEW", L"C", L"0"}, {L"B", L"k", L"a\nb"}, {L"埼玉", L"県庁所在地", L"市\U0001F600"},
        {L"A", L"Y", L""}, {L"北海道", L"C", L"FFFFFF"}, {L"A", L"X", L"\"q\""}};
    std::vector<CorpusFile> corpus = Corpus();
    corpus.push_back({"cr_only", "[A]\rX=1\r\r[B]\rY=2\r"});
    for (const CorpusFile& f : corpus) {
        if (f.fewQueries) continue;
        const auto saved = [&](const wchar_t* base, auto write) {
            korven::IniBaseName = base;
            const std::filesystem::path path(korven::IniFilePath());
            EXPECT_FALSE(ini::ReplaceFileContents(path, f.bytes));
            const bool ok = write();
            return std::make_pair(ok, ini::ReadWholeFile(path).bytes);
        };
        const auto each = saved(L"korven_diff_each", [&] {
            bool ok = true;
            for (const korven::IniEntry& e : entries) ok &= korven::WriteIni(e.section, e.key, e.value).ok;
            return ok;
        });
        const auto one = saved(L"korven_diff_one", [&] { return korven::WriteIniEntries(entries).ok; });
        EXPECT_TRUE(one == each && one.second != f.bytes && !one.first)
            << f.name << "\n one:  " << Hex(one.second) << "\n each: " << Hex(each.second);
    }
}

}  // namespace
