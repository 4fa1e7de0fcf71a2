// The private-profile format over the bytes of a code page 932 or UTF-8 file, the rules for numbers and
// colours stored in it, and the file layer that reads it whole and replaces it in one step. No window code here.
#pragma once
#include <cstddef>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace korven::ini {

// A stored value comes back cut to this many bytes (a 511-byte buffer and its NUL).
inline constexpr std::size_t kMaxValueBytes = 510;

// Code page 932: a lead byte starts a double-byte character only when a valid trail byte follows it.
bool IsLeadByte(unsigned char c);
bool IsTrailByte(unsigned char c);

// Code page 932 is what the program creates and what the platform's ANSI profile functions read; UTF-8 is
// what an editor may have saved the file as. Names, values and file are all bytes of the one encoding.
enum class Encoding { Cp932, Utf8 };

// A UTF-8 file may start with it; it is no part of the first line.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or code points past U+10FFFF.
bool IsValidUtf8(std::string_view text);

// UTF-8 as UTF-16, for the catalogue's names: a sequence cut short or broken by a byte that does not continue it
// becomes one U+FFFD. Overlong forms are not looked for; the names are written in the source.
std::wstring WideFromUtf8(std::string_view text);

// A section name as each encoding spells it.
struct NameForms {
    std::string_view utf8, cp932;
};

// The encoding to read and write file in, by which reading finds the sections: UTF-8 when the bytes after
// an optional byte-order mark are valid UTF-8 and reading them as UTF-8 finds more of the names' sections
// than reading the whole file as code page 932 does (with a mark, at least as many, so a marked file stays
// UTF-8 when it names none). Code page 932 otherwise, an empty file included.
Encoding EncodingOf(std::string_view file, std::span<const NameForms> names);

// The value of key in the first section called section, as the platform's ANSI reader hands it over:
// blanks around it dropped, one pair of enclosing quotes dropped, cut at a NUL byte and then to at most
// kMaxValueBytes without splitting a character. Empty when the section or key is missing. In UTF-8 a
// leading byte-order mark is skipped.
std::string ReadProfileValue(std::string_view file, std::string_view section, std::string_view key,
                             Encoding encoding = Encoding::Cp932);

// ReadIni's last step: spaces (only spaces) removed at both ends.
std::string TrimSpaces(std::string_view text);

// What keeps a name or value from being stored so that it reads back as written.
enum class StoreProblem {
    None,
    EmptyName,          // a section or key with no text
    BlankAtNameEnd,     // names are matched without their outer blanks, so the stored one would not match
    LineBreak,          // CR or LF would split the line
    NulByte,            // reading stops at a NUL
    EqualsInKey,        // the first "=" ends the key
    BracketStartsKey,   // a key line starting with "[" can read as a section header
    LeadByteAtEnd,      // a section ending in half a character would swallow its "]" (or, in UTF-8, not be text)
    NotUtf8,            // invalid UTF-8 would make a UTF-8 file read as code page 932 from then on
};
StoreProblem CheckStorable(std::string_view section, std::string_view key, std::string_view value,
                           Encoding encoding = Encoding::Cp932);

// The file with key of section set to value: the value replaced in place in the first matching section's
// first matching key, or the key added at the end of that section, or the section added at the end of the
// file. Every other byte stays as it was, a UTF-8 byte-order mark included. A value in enclosing quotes
// gets one more pair, which reading drops, so that it reads back with its own. Call only when CheckStorable
// gives None for the same encoding.
std::string WriteProfileValue(std::string_view file, std::string_view section, std::string_view key,
                               std::string_view value, Encoding encoding = Encoding::Cp932);

// The number rule: the leading decimal number of the text (spaces and tabs skipped, optional sign, digits,
// optional "." fraction and "e" exponent), 0 when there is none, rounded to the nearest integer with halves
// to even. Nothing else is a number here: no radix prefixes, no blanks inside, no digit grouping; reading
// stops there ("1,000" is 1, "&h10" is 0).
struct NumberRead {
    std::int32_t value = 0;
    bool overflow = false;  // the number does not fit a 32-bit signed integer; value is then 0
};
NumberRead ReadNumber(std::string_view text);
NumberRead ReadNumber(std::wstring_view text);

// The colour rule: the text read as "&h" + text + "&". The leading hexadecimal digits (either case) form
// the value; no digit at all gives black. More digits than a 32-bit value holds (leading zeros aside) is
// an overflow, as the literal itself would be; the caller decides what to show then.
struct ColorRead {
    enum class Kind { None, Value, Overflow };
    Kind kind = Kind::None;   // None: empty text, no colour stored (the piece stays white)
    std::uint32_t value = 0;  // 0x00BBGGRR when kind is Value
};
ColorRead ReadColor(std::string_view text);
ColorRead ReadColor(std::wstring_view text);

// How writers store them: upper-case hexadecimal without prefix or leading zeros ("FF", "0"), and
// decimal with a leading minus for negatives.
std::string FormatColor(std::uint32_t color);
std::string FormatNumber(std::int32_t value);

// The folder of the program file as the platform names it: a drive's root keeps its "\" ("C:\").
std::wstring ProgramFolderOf(std::wstring_view modulePath);
// The path rule: folder + "\" + base + ".ini", without a second "\" when the folder already ends in one.
std::wstring IniPathFor(std::wstring_view folder, std::wstring_view baseName);

struct FileRead {
    bool exists = false;
    std::string bytes;
    std::error_code error;  // set when the file is there but could not be read
};
FileRead ReadWholeFile(const std::filesystem::path& path);

// A virus scanner, the search indexer or a sync client often holds a file just written for a moment. A save
// waits for it this long in all: short enough for 終了, and well within the few seconds a session end has.
inline constexpr std::chrono::milliseconds kHeldFileWait{1000};
using Deadline = std::chrono::steady_clock::time_point;

// Runs step again, pausing a little longer each time, while it fails because another program holds the file
// and the deadline has not passed; the last result.
std::error_code RetryWhileHeld(const std::function<std::error_code()>& step, Deadline deadline);
extern std::function<void()> BeforeRetry;  // tests: runs before each pause

// Writes bytes to a new file in the same folder, flushes it to the disk and puts it in place of path in one
// step, waiting until deadline for a file another program holds; on any failure the old file is left whole and
// the temporary file removed. After a success the temporary files an interrupted earlier write left beside path
// are removed too.
std::error_code ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes, Deadline deadline = {});

// A name ReplaceFileContents gives its temporary files: path's own name, ".~", then digits only. Compared as the
// system's own strings, with no conversion that could throw on a stray name (a lone surrogate).
bool IsTemporaryOf(const std::filesystem::path& candidate, const std::filesystem::path& path);

// Platform-specific: a new file (none may exist by its name) written and forced onto the disk through the handle
// that wrote it, and the one-step replace itself.
std::error_code WriteNewFile(const std::filesystem::path& file, std::string_view bytes);
std::error_code ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to);
// A sharing violation, a lock or an access denied that another program's open handle causes.
bool HeldByAnother(const std::error_code& ec);
void PauseFor(std::chrono::milliseconds time);

}  // namespace korven::ini
