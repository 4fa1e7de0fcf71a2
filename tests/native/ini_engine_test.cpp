// The settings file format, its number and colour rules and its file layer, on plain bytes.
#include "core/ini_engine.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/catalogue.h"

namespace {

using namespace korven::ini;
namespace fs = std::filesystem;

// Test text is written in UTF-8; the file holds code page 932.
std::string Sjis(std::string_view utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string in(utf8), out(in.size() * 2 + 4, '\0');
    char* ip = in.data();
    char* op = out.data();
    size_t il = in.size(), ol = out.size();
    EXPECT_NE(iconv(cd, &ip, &il, &op, &ol), static_cast<size_t>(-1)) << utf8;
    iconv_close(cd);
    out.resize(out.size() - ol);
    return out;
}

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
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Read(noEquals, "Z", "X"), "1");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 10.0);
    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Read(big, "Last", "X"), "-5");
    EXPECT_EQ(Read(big, "S1000", "X"), "1000");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(seconds, 20.0);  // generous: sanitizers slow this down many times
}

TEST(IniRead, StartUpSizedFileIsFast) {
    // About the shipped file: 47 sections of six keys, read 280 times anew.
    std::string f;
    for (int i = 0; i < 47; ++i) {
        f += Sjis("[県") + std::to_string(i) + "]\r\nX=1\r\nY=2\r\n" + Sjis("県庁X=3\r\n県庁Y=4\r\n県庁所在地=市\r\n") + "C=FFFFFF\r\n";
    }
    ASSERT_LT(f.size(), 12000u);
    auto t0 = std::chrono::steady_clock::now();
    std::size_t total = 0;
    for (int r = 0; r < 280; ++r) total += Read(f, Sjis("県46"), "C").size();
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(total, 280u * 6);
    EXPECT_LT(ms, 500.0);
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
    std::string stripped;
    for (std::size_t p = 0; p < g.size();) {
        std::size_t e = g.find("\r\n", p);
        std::string line = g.substr(p, e - p + 2);
        if (line.rfind("C=", 0) != 0) stripped += line;
        p = e + 2;
    }
    EXPECT_EQ(stripped, f);
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
