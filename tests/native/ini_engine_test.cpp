// The settings file format, its number and colour rules and its file layer, on plain bytes.
#include "core/ini_engine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "tests/native/support.h"

namespace {

using namespace korven::ini;
namespace fs = std::filesystem;

using korven::test::Sjis;

std::string Read(std::string_view file, std::string_view section, std::string_view key) {
    return TrimSpaces(ReadProfileValue(file, section, key));
}

// ---- path rule

TEST(IniPath, DriveRootGetsNoSecondBackslash) {
    EXPECT_EQ(ProgramFolderOf(L"C:\\KORVEN.exe"), L"C:\\");
    EXPECT_EQ(IniPathFor(ProgramFolderOf(L"C:\\KORVEN.exe"), L"KORVEN"), L"C:\\KORVEN.ini");
    EXPECT_EQ(IniPathFor(L"D:\\", L"KORVEN"), L"D:\\KORVEN.ini");
}

TEST(IniPath, FolderGetsOneBackslash) {
    EXPECT_EQ(ProgramFolderOf(L"C:\\Games\\コルベン\\KORVEN.exe"), L"C:\\Games\\コルベン");
    EXPECT_EQ(IniPathFor(L"C:\\Games\\コルベン", L"KORVEN"), L"C:\\Games\\コルベン\\KORVEN.ini");
    EXPECT_EQ(IniPathFor(ProgramFolderOf(L"\\\\server\\share\\KORVEN.exe"), L"KORVEN"), L"\\\\server\\share\\KORVEN.ini");
}

// ---- reading

TEST(IniRead, MissingFileSectionOrKeyIsEmpty) {
    EXPECT_EQ(Read("", "A", "X"), "");
    EXPECT_EQ(Read("[A]\r\nX=1\r\n", "B", "X"), "");
    EXPECT_EQ(Read("[A]\r\nX=1\r\n", "A", "Y"), "");
    EXPECT_EQ(Read("[A]\r\nX\r\n", "A", "X"), "");  // a key without "=" has no value
}

TEST(IniRead, BlanksAroundValueAndNamesDropped) {
    EXPECT_EQ(Read("[A]\r\nX= 120 \r\n", "A", "X"), "120");
    EXPECT_EQ(Read("  [A]  \r\n\t X \t=\t 120\t \r\n", "A", "X"), "120");
    EXPECT_EQ(ReadNumber(Read("[A]\r\nX= 120 \r\n", "A", "X")).value, 120);
    EXPECT_EQ(Read("[A]\r\nX=a b  c\r\n", "A", "X"), "a b  c");
    EXPECT_EQ(Read("[A]\r\nX=1=2\r\n", "A", "X"), "1=2");
}

TEST(IniRead, EnclosingQuotesDropped) {
    EXPECT_EQ(Read("[A]\nX=\"abc\"\n", "A", "X"), "abc");
    EXPECT_EQ(Read("[A]\nX='abc'\n", "A", "X"), "abc");
    EXPECT_EQ(Read("[A]\nX=\" 120 \"\n", "A", "X"), "120");
    EXPECT_EQ(Read("[A]\nX=\"abc'\n", "A", "X"), "\"abc'");
    EXPECT_EQ(Read("[A]\nX=\"\n", "A", "X"), "\"");
}

TEST(IniRead, AsciiCaseIgnoredInNames) {
    std::string f = "[Tokyo]\r\nKey=v\r\n";
    EXPECT_EQ(Read(f, "TOKYO", "key"), "v");
    EXPECT_EQ(Read(f, "tokyo", "KEY"), "v");
    EXPECT_EQ(Read(Sjis("[東京]\r\n県庁X=5\r\n"), Sjis("東京"), Sjis("県庁x")), "5");
}

TEST(IniRead, TrailByteOfDoubleByteCharacterNeverCaseFolded) {
    // 0x83 0x61 and 0x83 0x41 are two different katakana; folding the trail byte would merge them.
    std::string f = "[\x83\x61]\r\nX=small\r\n[\x83\x41]\r\nX=large\r\n";
    EXPECT_EQ(Read(f, "\x83\x41", "X"), "large");
    EXPECT_EQ(Read(f, "\x83\x61", "X"), "small");
    std::string keys = "[A]\r\n\x82\x60=full-width A\r\n\x82\x81=full-width a\r\n";
    EXPECT_EQ(Read(keys, "A", "\x82\x81"), "full-width a");
    // Full-width letters are not ASCII: no folding between them either.
    EXPECT_EQ(Read("[\x82\x60]\r\nX=1\r\n", "\x82\x81", "X"), "");
}

TEST(IniRead, FirstMatchingSectionAndKeyWin) {
    std::string f = "[A]\r\nX=1\r\nX=2\r\n[a]\r\nX=3\r\nY=4\r\n";
    EXPECT_EQ(Read(f, "A", "X"), "1");
    EXPECT_EQ(Read(f, "a", "Y"), "");  // the first "A" section is the only one read
    EXPECT_EQ(Read("[A]\r\nX\r\nX=2\r\n", "A", "X"), "");
}

TEST(IniRead, SectionNameRunsToLastBracket) {
    EXPECT_EQ(Read("[a]b]junk\r\nX=1\r\n", "a]b", "X"), "1");
    // 0x83 0x5D is one katakana whose trail byte looks like "]": no header here.
    EXPECT_EQ(Read("[\x83\x5D\r\nX=1\r\n", "", "X"), "1");
    EXPECT_EQ(Read("[\x83\x5D]\r\nX=1\r\n", "\x83\x5D", "X"), "1");
    EXPECT_EQ(Read("[ A ]\r\nX=1\r\n", "A", "X"), "");  // blanks inside brackets are part of the name
}

TEST(IniRead, ValueCutTo510BytesWithoutSplittingACharacter) {
    std::string v600(600, 'x');
    std::string f = "[A]\r\nX=" + v600 + "\r\n";
    EXPECT_EQ(Read(f, "A", "X"), v600.substr(0, 510));
    std::string straddle = std::string(509, 'y') + "\x93\x8c" + "zz";  // a double-byte char over byte 510
    EXPECT_EQ(ReadProfileValue("[A]\r\nX=" + straddle + "\r\n", "A", "X"), std::string(509, 'y'));
    std::string exact = std::string(508, 'y') + "\x93\x8c" + "zz";
    EXPECT_EQ(ReadProfileValue("[A]\r\nX=" + exact + "\r\n", "A", "X"), std::string(508, 'y') + "\x93\x8c");
    std::string dbcs;
    for (int i = 0; i < 300; ++i) dbcs += "\x8b\x9e";  // 600 bytes of 京
    EXPECT_EQ(ReadProfileValue("[A]\r\nX=" + dbcs + "\r\n", "A", "X"), dbcs.substr(0, 510));
}

TEST(IniRead, DamagedFilesReadWithoutFault) {
    // NUL bytes end a name or value.
    EXPECT_EQ(Read(std::string("[A]\r\nX=12\0abc\r\nY=3\r\n", 20), "A", "X"), "12");
    EXPECT_EQ(Read(std::string("[A]\r\nX=12\0abc\r\nY=3\r\n", 20), "A", "Y"), "3");
    EXPECT_EQ(Read(std::string("[A\0junk]\r\nX=1\r\n", 16), "A", "X"), "1");
    // Lines without "=", and a "[" without "]", are skipped over.
    EXPECT_EQ(Read("[A]\r\njunk line\r\n[broken\r\nX=7\r\n", "A", "X"), "7");
    // A UTF-8 byte-order mark is bytes like any other: the header behind it is not a header.
    EXPECT_EQ(Read("\xEF\xBB\xBF[A]\r\nX=1\r\n[B]\r\nX=2\r\n", "A", "X"), "");
    EXPECT_EQ(Read("\xEF\xBB\xBF[A]\r\nX=1\r\n[B]\r\nX=2\r\n", "B", "X"), "2");
    // CR, LF and CRLF mixed.
    std::string mixed = "[A]\rX=1\nY=2\r\nZ=3\n\r\n\r[B]\rX=4";
    EXPECT_EQ(Read(mixed, "A", "X"), "1");
    EXPECT_EQ(Read(mixed, "A", "Y"), "2");
    EXPECT_EQ(Read(mixed, "A", "Z"), "3");
    EXPECT_EQ(Read(mixed, "B", "X"), "4");
    // Invalid Shift_JIS: lone lead bytes before a line break, at the end of the file, before "=".
    std::string bad = "[A]\r\nX=\x81\r\nY=\xFC\x20ok\r\n\x9F=lead\r\nZ=\xE0";
    EXPECT_EQ(Read(bad, "A", "X"), "\x81");
    EXPECT_EQ(Read(bad, "A", "Y"), "\xFC ok");
    EXPECT_EQ(Read(bad, "A", "\x9F"), "lead");
    EXPECT_EQ(Read(bad, "A", "Z"), "\xE0");
}

TEST(IniRead, BinaryJunkNeverFaults) {
    std::string junk;
    unsigned seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        junk += static_cast<char>(seed >> 16);
    }
    junk += "\r\n[A]\r\nX=9\r\n";
    // Whatever the junk turns into, the section after it is found unless the junk itself holds an "A".
    std::string v = Read(junk, "A", "X");
    EXPECT_LE(v.size(), kMaxValueBytes);
    EXPECT_EQ(Read(junk, "no such section", "X"), "");
}

TEST(IniRead, LongLinesAndLargeFiles) {
    std::string longLine = "[A]\r\n" + std::string(100000, 'k') + "=v\r\nX=" + std::string(100000, 'w') + "\r\nY=2\r\n";
    EXPECT_EQ(Read(longLine, "A", "Y"), "2");
    EXPECT_EQ(Read(longLine, "A", "X"), std::string(510, 'w'));

    std::string big;
    big.reserve(10 << 20);
    for (int i = 0; big.size() < (10u << 20); ++i) big += "[S" + std::to_string(i) + "]\r\nX=" + std::to_string(i) + "\r\n";
    big += "[Last]\r\nX=-5\r\n";
    // Lines without "=" must not make each line look far ahead for one.
    std::string noEquals;
    while (noEquals.size() < (4u << 20)) noEquals += "junk line\r\n";
    noEquals += "[Z]\r\nX=1\r\n";
    EXPECT_EQ(Read(noEquals, "Z", "X"), "1");
    EXPECT_EQ(Read(big, "Last", "X"), "-5");
    EXPECT_EQ(Read(big, "S1000", "X"), "1000");
}

// How long these reads take is measured by scripts/perf.sh.
TEST(IniRead, StartUpSizedFileReadsAlikeEveryTime) {
    // About the shipped file: 47 sections of six keys, read 280 times anew.
    std::string f;
    for (int i = 0; i < 47; ++i) {
        f += Sjis("[県") + std::to_string(i) + "]\r\nX=1\r\nY=2\r\n" + Sjis("県庁X=3\r\n県庁Y=4\r\n県庁所在地=市\r\n") + "C=FFFFFF\r\n";
    }
    ASSERT_LT(f.size(), 12000u);
    std::size_t total = 0;
    for (int r = 0; r < 280; ++r) total += Read(f, Sjis("県46"), "C").size();
    EXPECT_EQ(total, 280u * 6);
}

// ---- writing

TEST(IniWrite, ReplacesValueInPlaceKeepingEveryOtherByte) {
    std::string f = "; comment\r\n\r\n[A]\r\n  X = 1   \r\nunknown=k\r\n\r\n[Other]\nZ=z\n";
    EXPECT_EQ(WriteProfileValue(f, "a", "x", "22"), "; comment\r\n\r\n[A]\r\n  X = 22   \r\nunknown=k\r\n\r\n[Other]\nZ=z\n");
    EXPECT_EQ(WriteProfileValue("[A]\r\nX=\r\n", "A", "X", "5"), "[A]\r\nX=5\r\n");
    EXPECT_EQ(WriteProfileValue("[A]\r\nX\r\n", "A", "X", "5"), "[A]\r\nX=5\r\n");
    EXPECT_EQ(WriteProfileValue("[A]\r\nX=1", "A", "X", ""), "[A]\r\nX=");
}

TEST(IniWrite, QuotedValueKeepsItsQuotes) {
    // Reading drops one pair of enclosing quotes, so writing adds one.
    EXPECT_EQ(WriteProfileValue("", "A", "X", "\"abc\""), "[A]\r\nX=\"\"abc\"\"\r\n");
    for (std::string v : std::initializer_list<std::string>{"\"abc\"", "'abc'", "\"'\"", "''", "\"\"", "\"a\" b \"c\"",
                                                            "\"" + std::string(508, 'q') + "\""}) {
        EXPECT_EQ(ReadProfileValue(WriteProfileValue("[A]\r\nX=1\r\n", "A", "X", v), "A", "X"), v) << v;
    }
    EXPECT_EQ(WriteProfileValue("", "A", "X", "\"abc'"), "[A]\r\nX=\"abc'\r\n");  // not enclosed: as is
}

TEST(IniWrite, AddsKeyAtEndOfItsSection) {
    EXPECT_EQ(WriteProfileValue("[A]\r\nX=1\r\n\r\n[B]\r\nX=2\r\n", "A", "Y", "3"),
              "[A]\r\nX=1\r\nY=3\r\n\r\n[B]\r\nX=2\r\n");
    EXPECT_EQ(WriteProfileValue("[A]\r\n[B]\r\n", "A", "Y", "3"), "[A]\r\nY=3\r\n[B]\r\n");
    EXPECT_EQ(WriteProfileValue("[A]", "A", "Y", "3"), "[A]\r\nY=3\r\n");
    EXPECT_EQ(WriteProfileValue("[A]\nX=1", "A", "Y", "3"), "[A]\nX=1\nY=3\n");
    // Only the first of two same-named sections is touched.
    EXPECT_EQ(WriteProfileValue("[A]\nX=1\n[A]\nY=2\n", "A", "Y", "3"), "[A]\nX=1\nY=3\n[A]\nY=2\n");
}

TEST(IniWrite, AddsSectionAtEndAndCreatesFile) {
    EXPECT_EQ(WriteProfileValue("", "A", "X", "1"), "[A]\r\nX=1\r\n");
    EXPECT_EQ(WriteProfileValue("[B]\nX=2\n", "A", "X", "1"), "[B]\nX=2\n[A]\nX=1\n");
    EXPECT_EQ(WriteProfileValue("[B]\rX=2", "A", "X", "1"), "[B]\rX=2\r[A]\rX=1\r");
}

TEST(IniWrite, WhatIsWrittenReadsBack) {
    std::string f = "\xEF\xBB\xBFjunk\r\n[A]\r\nX=old\r\n";
    for (std::string v : std::initializer_list<std::string>{"", "0", "-450", "FFFFFF", "a=b", "\x93\x8c\x8b\x9e", std::string(510, 'q'), "[x]", ";x"}) {
        std::string g = WriteProfileValue(f, Sjis("埼玉"), Sjis("県庁所在地"), v);
        EXPECT_EQ(ReadProfileValue(g, Sjis("埼玉"), Sjis("県庁所在地")), v);
        g = WriteProfileValue(g, "A", "X", v);
        EXPECT_EQ(ReadProfileValue(g, "A", "X"), v);
    }
}

// Every line of the file but the "C=" ones a colour write adds.
std::string WithoutColourLines(const std::string& file) {
    std::string kept;
    for (std::size_t p = 0; p < file.size();) {
        std::size_t e = file.find("\r\n", p);
        std::string line = file.substr(p, e - p + 2);
        if (line.rfind("C=", 0) != 0) kept += line;
        p = e + 2;
    }
    return kept;
}

TEST(IniWrite, ColourOfEverySectionLeavesOtherKeysAsTheyWere) {
    std::string f = "; layout\r\n";
    for (std::string_view utf8 : korven::PrefNames) {
        std::string s = Sjis(utf8);
        f += "[" + s + "]\r\nX=-450\r\nY=600\r\n" + Sjis("県庁X=15\r\n県庁Y=30\r\n県庁所在地=") + s + Sjis("市\r\n") + "\r\n";
    }
    std::string g = f;
    for (std::size_t i = 0; i < korven::PrefNames.size(); ++i) {
        g = WriteProfileValue(g, Sjis(korven::PrefNames[i]), "C", FormatColor(static_cast<std::uint32_t>(i * 0x10101)));
    }
    for (std::size_t i = 0; i < korven::PrefNames.size(); ++i) {
        std::string s = Sjis(korven::PrefNames[i]);
        EXPECT_EQ(ReadColor(Read(g, s, "C")).value, i * 0x10101);
        for (const char* key : {"X", "Y", "県庁X", "県庁Y", "県庁所在地"}) {
            std::string k = Sjis(key);
            EXPECT_EQ(Read(g, s, k), Read(f, s, k)) << korven::PrefNames[i] << " " << key;
        }
    }
    // Removing the added lines gives back the original file byte for byte.
    EXPECT_EQ(WithoutColourLines(g), f);
}

TEST(IniWrite, NamesAndValuesThatCannotBeStoredAreRefused) {
    EXPECT_EQ(CheckStorable("A", "X", "ok value"), StoreProblem::None);
    EXPECT_EQ(CheckStorable("A", "X", " blanks are trimmed on read, not refused "), StoreProblem::None);
    EXPECT_EQ(CheckStorable("A", "X", "two\r\nlines"), StoreProblem::LineBreak);
    EXPECT_EQ(CheckStorable("A", "X", "two\nlines"), StoreProblem::LineBreak);
    EXPECT_EQ(CheckStorable("A\r", "X", ""), StoreProblem::LineBreak);
    EXPECT_EQ(CheckStorable("A", "X", std::string("a\0b", 3)), StoreProblem::NulByte);
    EXPECT_EQ(CheckStorable("", "X", ""), StoreProblem::EmptyName);
    EXPECT_EQ(CheckStorable("A", "", ""), StoreProblem::EmptyName);
    EXPECT_EQ(CheckStorable(" A", "X", ""), StoreProblem::BlankAtNameEnd);
    EXPECT_EQ(CheckStorable("A", "X\t", ""), StoreProblem::BlankAtNameEnd);
    EXPECT_EQ(CheckStorable("A", "X=Y", ""), StoreProblem::EqualsInKey);
    EXPECT_EQ(CheckStorable("A", "[K]", ""), StoreProblem::BracketStartsKey);
    // "[" + "\xEC" + "]" would read as "[" and one double-byte character.
    EXPECT_EQ(CheckStorable("\xEC", "X", ""), StoreProblem::LeadByteAtEnd);
    EXPECT_EQ(CheckStorable("a\x81", "X", ""), StoreProblem::LeadByteAtEnd);
    EXPECT_EQ(CheckStorable("\x81\x81", "X", ""), StoreProblem::None);  // one whole character
    EXPECT_EQ(CheckStorable("\x81\x81\x81", "X", ""), StoreProblem::LeadByteAtEnd);
    // What passes the check reads back as written.
    for (std::string s : std::initializer_list<std::string>{"a]b", "[a", "\x83\x5D", "x;y"}) {
        ASSERT_EQ(CheckStorable(s, "k]", "v"), StoreProblem::None) << s;
        EXPECT_EQ(ReadProfileValue(WriteProfileValue("[z]\r\n", s, "k]", "v"), s, "k]"), "v") << s;
    }
}

// ---- UTF-8 files

// The 47 prefecture names in both spellings, as the program looks for them.
const std::vector<NameForms>& Prefectures() {
    static const std::vector<std::string> cp932 = [] {
        std::vector<std::string> v;
        for (std::string_view n : korven::PrefNames) v.push_back(Sjis(n));
        return v;
    }();
    static const std::vector<NameForms> forms = [] {
        std::vector<NameForms> v;
        for (std::size_t i = 0; i < korven::PrefNames.size(); ++i) v.push_back({korven::PrefNames[i], cp932[i]});
        return v;
    }();
    return forms;
}

Encoding Decide(std::string_view file) { return EncodingOf(file, Prefectures()); }

// A settings file as the program lays it out, its names converted by convert.
template <class Convert>
std::string Layout(Convert convert) {
    std::string f = "; layout\r\n";
    for (std::string_view name : korven::PrefNames) {
        std::string s = convert(name);
        f += "[" + s + "]\r\nX=-450\r\nY=600\r\n" + convert("県庁X=15\r\n県庁Y=30\r\n県庁所在地=") + s + convert("市\r\n") + "\r\n";
    }
    return f;
}
std::string Utf8Layout() { return Layout([](std::string_view s) { return std::string(s); }); }
std::string Cp932Layout() { return Layout([](std::string_view s) { return Sjis(s); }); }

const std::string kBom(kUtf8Bom);

TEST(IniEncoding, ValidUtf8IsWellFormedUtf8Only) {
    for (std::string ok : {"", "plain", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
                           "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "北海道", "𠮷"}) {
        EXPECT_TRUE(IsValidUtf8(ok)) << ok;
    }
    for (std::string bad : {"\x80", "a\xBF", "\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF",
                            "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xE5\x8C", "\xE5\x8C" "a",
                            "\xF0\xA0\xAE", "\xE5\x8C\x97\x97"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << ::testing::PrintToString(bad);
    }
    EXPECT_FALSE(IsValidUtf8(Sjis("東京")));
}

TEST(IniEncoding, Utf8OnlyWhenItsReadingFindsThePrefectures) {
    const std::string utf8 = Utf8Layout(), cp932 = Cp932Layout();
    EXPECT_EQ(Decide(utf8), Encoding::Utf8);
    EXPECT_EQ(Decide(kBom + utf8), Encoding::Utf8);
    EXPECT_EQ(Decide(cp932), Encoding::Cp932);
    EXPECT_EQ(Decide(kBom + cp932), Encoding::Cp932);
    // The broken file this guards against: UTF-8 sections with the program's code page 932 ones appended.
    EXPECT_EQ(Decide(utf8 + cp932), Encoding::Cp932);
    EXPECT_EQ(Decide(cp932 + utf8), Encoding::Cp932);
    // One section is enough when the other reading finds none.
    EXPECT_EQ(Decide("[北海道]\r\nX=1\r\n"), Encoding::Utf8);
    EXPECT_EQ(Decide("[a]\r\nX=1\r\n[沖縄]\r\n"), Encoding::Utf8);
    // Japanese that names no prefecture's section decides nothing.
    EXPECT_EQ(Decide("[A]\r\nX=札幌市\r\n"), Encoding::Cp932);
    EXPECT_EQ(Decide("[A]\r\n北海道=1\r\n"), Encoding::Cp932);
    EXPECT_EQ(Decide("[北海道地方]\r\nX=1\r\n"), Encoding::Cp932);
    EXPECT_EQ(Decide("[東京] \r\nX=1\r\n"), Encoding::Utf8);  // blanks after "]" are not part of the name
}

TEST(IniEncoding, InvalidUtf8EmptyAndAsciiFilesStayCodePage932) {
    const std::string utf8 = Utf8Layout();
    for (std::string junk : {"\xFF", "\x80", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE5\x8C"}) {
        EXPECT_EQ(Decide(utf8 + "[A]\r\nX=" + junk + "\r\n"), Encoding::Cp932) << ::testing::PrintToString(junk);
        EXPECT_EQ(Decide(kBom + junk + utf8), Encoding::Cp932) << ::testing::PrintToString(junk);
    }
    EXPECT_EQ(Decide(""), Encoding::Cp932);
    EXPECT_EQ(Decide("\r\n\r\n"), Encoding::Cp932);
    EXPECT_EQ(Decide("[A]\r\nX=1\r\n[Tokyo]\r\nC=FF\r\n"), Encoding::Cp932);
    // A byte-order mark declares UTF-8: it decides when neither reading finds a prefecture.
    EXPECT_EQ(Decide(kBom), Encoding::Utf8);
    EXPECT_EQ(Decide(kBom + "[A]\r\nX=1\r\n"), Encoding::Utf8);
    EXPECT_EQ(Decide("\xEF\xBB[A]\r\nX=1\r\n"), Encoding::Cp932);  // half a mark is not one
    // Other names can be asked about; none at all gives code page 932 unless marked.
    const NameForms ascii[] = {{"A", "A"}};
    EXPECT_EQ(EncodingOf("[A]\r\n", ascii), Encoding::Cp932);
    EXPECT_EQ(EncodingOf("[北海道]\r\n", {}), Encoding::Cp932);
}

TEST(IniUtf8, SectionNamesEndWhereUtf8SaysTheyDo) {
    // 北海道 ends in byte 93, a code page 932 lead byte: read as code page 932 it swallows its "]".
    const std::string f = "[北海道]\r\nX=1\r\n[青森]\r\nX=2\r\n";
    EXPECT_EQ(ReadProfileValue(f, "北海道", "X", Encoding::Cp932), "");
    EXPECT_EQ(ReadProfileValue(f, "北海道", "X", Encoding::Utf8), "1");
    EXPECT_EQ(ReadProfileValue(f, "青森", "X", Encoding::Utf8), "2");
    const std::string utf8 = Utf8Layout();
    for (std::string_view name : korven::PrefNames) {
        EXPECT_EQ(TrimSpaces(ReadProfileValue(utf8, name, "県庁所在地", Encoding::Utf8)), std::string(name) + "市") << name;
        EXPECT_EQ(ReadProfileValue(kBom + utf8, name, "X", Encoding::Utf8), "-450") << name;
    }
    // Keys too, and a "]" after the name's last byte inside a key line.
    EXPECT_EQ(ReadProfileValue("[A]\r\n県庁X=15\r\n", "A", "県庁X", Encoding::Utf8), "15");
    EXPECT_EQ(ReadProfileValue("[北]x]\r\nX=1\r\n", "北]x", "X", Encoding::Utf8), "1");
}

TEST(IniUtf8, MarkIsNoPartOfTheFirstLine) {
    EXPECT_EQ(ReadProfileValue(kBom + "[東京]\r\nX=1\r\n", "東京", "X", Encoding::Utf8), "1");
    EXPECT_EQ(ReadProfileValue(kBom + "X=top\r\n[A]\r\nX=1\r\n", "", "X", Encoding::Utf8), "top");
    EXPECT_EQ(ReadProfileValue(kBom + "  [A]\r\nX=1\r\n", "A", "X", Encoding::Utf8), "1");
    // Only one mark is skipped; a second is part of the text.
    EXPECT_EQ(ReadProfileValue(kBom + kBom + "[A]\r\nX=1\r\n", "A", "X", Encoding::Utf8), "");
}

TEST(IniUtf8, NamesFoldAsciiOnlyAndMatchOtherCharactersExactly) {
    const std::string f = "[Ｔｏｋｙｏ]\r\nX=full\r\n[Tokyo]\r\nkey=ascii\r\n";
    EXPECT_EQ(ReadProfileValue(f, "TOKYO", "KEY", Encoding::Utf8), "ascii");
    EXPECT_EQ(ReadProfileValue(f, "ＴＯＫＹＯ", "X", Encoding::Utf8), "");
    EXPECT_EQ(ReadProfileValue(f, "Ｔｏｋｙｏ", "X", Encoding::Utf8), "full");
    // Invalid bytes are single characters; they neither fault nor match anything else.
    const std::string bad = "[\xE5]\r\nX=1\r\n[\xE5\x8C]\r\nX=2\r\n";
    EXPECT_EQ(ReadProfileValue(bad, "\xE5", "X", Encoding::Utf8), "1");
    EXPECT_EQ(ReadProfileValue(bad, "\xE5\x8C", "X", Encoding::Utf8), "2");
}

TEST(IniUtf8, ValueCutTo510BytesWithoutSplittingASequence) {
    auto read = [](const std::string& v) { return ReadProfileValue("[A]\r\nX=" + v + "\r\n", "A", "X", Encoding::Utf8); };
    const std::string kyo = "京", yoshi = "𠮷";  // 3 and 4 bytes
    EXPECT_EQ(read(std::string(509, 'y') + kyo), std::string(509, 'y'));
    EXPECT_EQ(read(std::string(508, 'y') + kyo), std::string(508, 'y'));
    EXPECT_EQ(read(std::string(507, 'y') + kyo + "z"), std::string(507, 'y') + kyo);
    EXPECT_EQ(read(std::string(507, 'y') + yoshi), std::string(507, 'y'));
    EXPECT_EQ(read(std::string(506, 'y') + yoshi + "z"), std::string(506, 'y') + yoshi);
    std::string many;
    for (int i = 0; i < 200; ++i) many += kyo;
    EXPECT_EQ(read(many), many.substr(0, 510));
    EXPECT_EQ(read(std::string(1, 'y') + many), "y" + many.substr(0, 507));
    // In code page 932 the same bytes cut elsewhere: 京's last byte AC is no trail byte there.
    EXPECT_EQ(ReadProfileValue("[A]\r\nX=" + std::string(508, 'y') + kyo + "\r\n", "A", "X").size(), 510u);
}

TEST(IniUtf8, WritesKeepTheMarkOrItsAbsence) {
    auto write = [](std::string_view f, std::string_view s, std::string_view k, std::string_view v) {
        return WriteProfileValue(f, s, k, v, Encoding::Utf8);
    };
    EXPECT_EQ(write(kBom + "[北海道]\r\nX=1\r\n", "北海道", "X", "2"), kBom + "[北海道]\r\nX=2\r\n");
    EXPECT_EQ(write(kBom, "東京", "X", "1"), kBom + "[東京]\r\nX=1\r\n");
    EXPECT_EQ(write(kBom + "X=top", "", "Y", "1"), kBom + "X=top\r\nY=1\r\n");
    EXPECT_EQ(write("", "東京", "X", "1"), "[東京]\r\nX=1\r\n");
    EXPECT_EQ(write("[A]\nX=1\n", "東京", "X", "1"), "[A]\nX=1\n[東京]\nX=1\n");
    // A key goes into the section whose name ends in a code page 932 lead byte, not into a second one.
    EXPECT_EQ(write("[北海道]\r\nX=1\r\n[青森]\r\nX=2\r\n", "北海道", "Y", "3"), "[北海道]\r\nX=1\r\nY=3\r\n[青森]\r\nX=2\r\n");
    // Text code page 932 has no place for is stored as it is.
    const std::string text = "𠮷野家と髙島屋 ☃ é";
    std::string g = write(kBom + "[東京]\r\nX=1\r\n", "東京", "県庁所在地", text);
    EXPECT_EQ(ReadProfileValue(g, "東京", "県庁所在地", Encoding::Utf8), text);
    EXPECT_EQ(g, kBom + "[東京]\r\nX=1\r\n県庁所在地=" + text + "\r\n");
}

TEST(IniUtf8, ColourOfEveryPrefectureKeepsTheFileUtf8) {
    for (const std::string& mark : {std::string(), kBom}) {
        const std::string f = mark + Utf8Layout();
        std::string g = f;
        for (std::size_t i = 0; i < korven::PrefNames.size(); ++i) {
            g = WriteProfileValue(g, korven::PrefNames[i], "C", FormatColor(static_cast<std::uint32_t>(i * 0x10101)), Encoding::Utf8);
        }
        ASSERT_EQ(Decide(g), Encoding::Utf8);
        for (std::size_t i = 0; i < korven::PrefNames.size(); ++i) {
            EXPECT_EQ(ReadColor(ReadProfileValue(g, korven::PrefNames[i], "C", Encoding::Utf8)).value, i * 0x10101);
        }
        // Forty-seven new lines and not one section more: taking the lines out gives back the file.
        EXPECT_EQ(WithoutColourLines(g), f);
    }
}

TEST(IniUtf8, OnlyWhatKeepsTheFileUtf8IsStored) {
    auto check = [](std::string_view s, std::string_view k, std::string_view v) { return CheckStorable(s, k, v, Encoding::Utf8); };
    EXPECT_EQ(check("北海道", "県庁所在地", "𠮷"), StoreProblem::None);
    // 北 ends in 97, a lead byte in code page 932, where the same bytes are refused.
    EXPECT_EQ(CheckStorable("北", "X", ""), StoreProblem::LeadByteAtEnd);
    EXPECT_EQ(check("北", "X", ""), StoreProblem::None);
    // A section cut inside a character, and other invalid bytes anywhere.
    EXPECT_EQ(check("\xE5\x8C", "X", ""), StoreProblem::LeadByteAtEnd);
    EXPECT_EQ(check("a\xE5", "X", ""), StoreProblem::LeadByteAtEnd);
    EXPECT_EQ(check("\xF0\xA0\xAE", "X", ""), StoreProblem::LeadByteAtEnd);
    EXPECT_EQ(check("\xE5\x8C" "a", "X", ""), StoreProblem::NotUtf8);
    EXPECT_EQ(check("\xED\xA0", "X", ""), StoreProblem::NotUtf8);  // would be a surrogate
    EXPECT_EQ(check("\xFF", "X", ""), StoreProblem::NotUtf8);
    EXPECT_EQ(check(Sjis("東京"), "X", ""), StoreProblem::NotUtf8);
    EXPECT_EQ(check("A", "\xC0\xAF", ""), StoreProblem::NotUtf8);
    EXPECT_EQ(check("A", "X", "\xED\xA0\x80"), StoreProblem::NotUtf8);
    EXPECT_EQ(check("A", "X", "ok\xE5\x8C"), StoreProblem::NotUtf8);
    // The rules common to both encodings still hold.
    EXPECT_EQ(check("A", "X", "two\nlines"), StoreProblem::LineBreak);
    EXPECT_EQ(check(" 北海道", "X", ""), StoreProblem::BlankAtNameEnd);
    EXPECT_EQ(check("A", "県=庁", ""), StoreProblem::EqualsInKey);
    EXPECT_EQ(check("A", "[県", ""), StoreProblem::BracketStartsKey);
}

// ---- number rule

TEST(NumberRule, LeadingDecimalNumberRoundedHalvesToEven) {
    EXPECT_EQ(ReadNumber("120").value, 120);
    EXPECT_EQ(ReadNumber("12.5").value, 12);
    EXPECT_EQ(ReadNumber("13.5").value, 14);
    EXPECT_EQ(ReadNumber("-2.5").value, -2);
    EXPECT_EQ(ReadNumber("-3.5").value, -4);
    EXPECT_EQ(ReadNumber("0.5").value, 0);
    EXPECT_EQ(ReadNumber("2.51").value, 3);
    EXPECT_EQ(ReadNumber("7abc").value, 7);
    EXPECT_EQ(ReadNumber("abc").value, 0);
    EXPECT_EQ(ReadNumber("").value, 0);
    EXPECT_EQ(ReadNumber("  \t-450").value, -450);
    EXPECT_EQ(ReadNumber("+15").value, 15);
    EXPECT_EQ(ReadNumber(".5").value, 0);
    EXPECT_EQ(ReadNumber(".51").value, 1);
    EXPECT_EQ(ReadNumber("5.").value, 5);
    EXPECT_EQ(ReadNumber("1.5e3").value, 1500);
    EXPECT_EQ(ReadNumber("15E-1").value, 2);
    EXPECT_EQ(ReadNumber("1e").value, 1);
    EXPECT_EQ(ReadNumber("1e+").value, 1);
    EXPECT_EQ(ReadNumber("2e1x").value, 20);
    EXPECT_EQ(ReadNumber("-").value, 0);
    EXPECT_EQ(ReadNumber(".").value, 0);
    EXPECT_EQ(ReadNumber("- 5").value, 0);
    EXPECT_EQ(ReadNumber("1 2").value, 1);
    EXPECT_EQ(ReadNumber("1,000").value, 1);
    EXPECT_EQ(ReadNumber("&h10").value, 0);
    EXPECT_EQ(ReadNumber("0x10").value, 0);
    EXPECT_EQ(ReadNumber("-0").value, 0);
    EXPECT_EQ(ReadNumber("1e-400").value, 0);
    EXPECT_FALSE(ReadNumber("1e-400").overflow);
    EXPECT_EQ(ReadNumber("0.000000000000000000000000000000000000000000000000000001").value, 0);
    EXPECT_EQ(ReadNumber(L"  -450").value, -450);
    EXPECT_EQ(ReadNumber(L"１２").value, 0);  // full-width digits are not digits here
}

TEST(NumberRule, OutOfRangeIsAnErrorNotAWrap) {
    EXPECT_EQ(ReadNumber("2147483647").value, 2147483647);
    EXPECT_FALSE(ReadNumber("2147483647").overflow);
    EXPECT_EQ(ReadNumber("-2147483648").value, -2147483647 - 1);
    EXPECT_FALSE(ReadNumber("-2147483648.5").overflow);  // rounds to the even -2147483648
    EXPECT_EQ(ReadNumber("2147483647.4").value, 2147483647);
    for (const char* t : {"2147483648", "2147483647.5", "-2147483649", "-2147483648.51", "4294967296", "1e10",
                          "1e400", "-1e99999999999999999999", "99999999999999999999999999999999"}) {
        NumberRead r = ReadNumber(t);
        EXPECT_TRUE(r.overflow) << t;
        EXPECT_EQ(r.value, 0) << t;
    }
    std::string huge(5000, '9');
    EXPECT_TRUE(ReadNumber(huge).overflow);
    EXPECT_FALSE(ReadNumber("0000000000000000000000000000000000000000012").overflow);
    EXPECT_EQ(ReadNumber("0000000000000000000000000000000000000000012").value, 12);
}

// ---- colour rule

TEST(ColourRule, HexDigitsEitherCase) {
    EXPECT_EQ(ReadColor("ff").kind, ColorRead::Kind::Value);
    EXPECT_EQ(ReadColor("ff").value, 0xFFu);
    EXPECT_EQ(ReadColor("FF").value, 0xFFu);
    EXPECT_EQ(ReadColor("FFFFFF").value, 0xFFFFFFu);
    EXPECT_EQ(ReadColor("c0ffee").value, 0xC0FFEEu);
    EXPECT_EQ(ReadColor("FFg7").value, 0xFFu);
    EXPECT_EQ(ReadColor("FFFFFFFF").value, 0xFFFFFFFFu);
    EXPECT_EQ(ReadColor("00000000FF").value, 0xFFu);  // leading zeros do not overflow
    EXPECT_EQ(ReadColor(L"ff").value, 0xFFu);
}

TEST(ColourRule, EmptyIsNoneNoDigitIsBlackTooManyIsOverflow) {
    EXPECT_EQ(ReadColor("").kind, ColorRead::Kind::None);
    EXPECT_EQ(ReadColor("zz").kind, ColorRead::Kind::Value);
    EXPECT_EQ(ReadColor("zz").value, 0u);
    EXPECT_EQ(ReadColor(" ff").value, 0u);
    EXPECT_EQ(ReadColor("&hFF").value, 0u);
    EXPECT_EQ(ReadColor("123456789").kind, ColorRead::Kind::Overflow);
    EXPECT_EQ(ReadColor("FFFFFFFFF").kind, ColorRead::Kind::Overflow);
    EXPECT_EQ(ReadColor(std::string(100000, 'F')).kind, ColorRead::Kind::Overflow);
    EXPECT_EQ(ReadColor(L"ｆｆ").value, 0u);
}

TEST(ColourRule, WriterFormatReadsBack) {
    EXPECT_EQ(FormatColor(0xFFFFFF), "FFFFFF");
    EXPECT_EQ(FormatColor(0xFF), "FF");
    EXPECT_EQ(FormatColor(0), "0");
    EXPECT_EQ(FormatColor(0xABCDEF), "ABCDEF");
    for (std::uint32_t c : {0u, 1u, 0xFu, 0x10u, 0x80FF00u, 0xFFFFFFu, 0xFFFFFFFFu}) {
        EXPECT_EQ(ReadColor(FormatColor(c)).value, c);
    }
    EXPECT_EQ(FormatNumber(-450), "-450");
    EXPECT_EQ(FormatNumber(-2147483647 - 1), "-2147483648");
    for (std::int32_t n : {0, 1, -1, 3000, -2147483647 - 1, 2147483647}) EXPECT_EQ(ReadNumber(FormatNumber(n)).value, n);
}

// ---- file layer

class IniFiles : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("korven-ini-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::string cmd = "chattr -i '" + dir.string() + "' 2>/dev/null";
        (void)std::system(cmd.c_str());
        fs::remove_all(dir);
    }
    std::size_t FilesIn(const fs::path& d) {
        std::size_t n = 0;
        for ([[maybe_unused]] auto& e : fs::directory_iterator(d)) ++n;
        return n;
    }
    static std::string Contents(const fs::path& p) { return ReadWholeFile(p).bytes; }
};

TEST_F(IniFiles, MissingFileReadsEmptyAndFirstWriteCreatesIt) {
    fs::path p = dir / "KORVEN.ini";
    FileRead r = ReadWholeFile(p);
    EXPECT_FALSE(r.exists);
    EXPECT_FALSE(r.error);
    EXPECT_EQ(ReadProfileValue(r.bytes, "A", "X"), "");
    ASSERT_FALSE(ReplaceFileContents(p, WriteProfileValue(r.bytes, "A", "X", "1")));
    EXPECT_EQ(Contents(p), "[A]\r\nX=1\r\n");
    EXPECT_EQ(FilesIn(dir), 1u);  // no temporary file left
}

TEST_F(IniFiles, ReplaceKeepsBytesExactly) {
    fs::path p = dir / "KORVEN.ini";
    std::string bytes("a\0b\r\n\x81\xFF", 7);
    ASSERT_FALSE(ReplaceFileContents(p, "old"));
    ASSERT_FALSE(ReplaceFileContents(p, bytes));
    FileRead r = ReadWholeFile(p);
    EXPECT_TRUE(r.exists);
    EXPECT_EQ(r.bytes, bytes);
    std::string big(3 << 20, 'z');
    ASSERT_FALSE(ReplaceFileContents(p, big));
    EXPECT_EQ(Contents(p), big);
    EXPECT_EQ(FilesIn(dir), 1u);
}

TEST_F(IniFiles, DirectoryInPlaceOfFileIsReportedAndLeftAlone) {
    fs::path p = dir / "KORVEN.ini";
    fs::create_directories(p / "inside");
    FileRead r = ReadWholeFile(p);
    EXPECT_TRUE(r.exists);
    EXPECT_TRUE(r.error);
    std::error_code ec = ReplaceFileContents(p, "[A]\r\nX=1\r\n");
    EXPECT_TRUE(ec);
    EXPECT_FALSE(ec.message().empty());
    EXPECT_TRUE(fs::is_directory(p / "inside"));
    EXPECT_EQ(FilesIn(dir), 1u);
}

TEST_F(IniFiles, MissingFolderIsReported) {
    std::error_code ec = ReplaceFileContents(dir / "no such folder" / "KORVEN.ini", "x");
    EXPECT_TRUE(ec);
    EXPECT_FALSE(fs::exists(dir / "no such folder"));
}

TEST_F(IniFiles, FailedWriteKeepsTheOldFileWhole) {
    fs::path p = dir / "KORVEN.ini";
    ASSERT_FALSE(ReplaceFileContents(p, "[A]\r\nX=1\r\n"));
    // A folder nobody may write to, not even root: immutable.
    std::string cmd = "chattr +i '" + dir.string() + "' 2>/dev/null";
    bool immutable = std::system(cmd.c_str()) == 0;
    if (!immutable) {
        if (::geteuid() == 0) GTEST_SKIP() << "no way to make a folder unwritable for root here";
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    }
    std::error_code ec = ReplaceFileContents(p, "[A]\r\nX=2\r\n");
    EXPECT_TRUE(ec);
    EXPECT_EQ(Contents(p), "[A]\r\nX=1\r\n");
    EXPECT_EQ(FilesIn(dir), 1u);
    if (!immutable) fs::permissions(dir, fs::perms::owner_all);
}

}  // namespace
