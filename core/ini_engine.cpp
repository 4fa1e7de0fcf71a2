#include "core/ini_engine.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fstream>
#include <random>
#include <vector>

#include "core/layout.h"

namespace korven::ini {

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

namespace {

// The blanks the platform's reader drops around names and values, 0x1A (old end-of-file mark) included.
// None of them can be a trail byte, so they are found without walking characters.
bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A; }

unsigned char Byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// How many bytes the UTF-8 sequence that lead starts has, 0 when lead cannot start one.
std::size_t Utf8Expected(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// The second byte is where overlong forms, surrogates and code points past U+10FFFF show.
bool Utf8SecondFits(unsigned char lead, unsigned char second) {
    switch (lead) {
        case 0xE0: return second >= 0xA0 && second <= 0xBF;
        case 0xED: return second >= 0x80 && second <= 0x9F;
        case 0xF0: return second >= 0x90 && second <= 0xBF;
        case 0xF4: return second >= 0x80 && second <= 0x8F;
        default: return IsContinuation(second);
    }
}

// Bytes from i that fit the sequence begun there (at most its expected length).
std::size_t Utf8Fitting(std::string_view s, std::size_t i) {
    std::size_t want = Utf8Expected(Byte(s, i));
    if (want <= 1) return want;
    std::size_t n = 1;
    while (n < want && i + n < s.size() &&
           (n == 1 ? Utf8SecondFits(Byte(s, i), Byte(s, i + 1)) : IsContinuation(Byte(s, i + n))))
        ++n;
    return n;
}

// Length in bytes of the character starting at i. Code page 932: 2 for a lead byte with a valid trail,
// otherwise 1. UTF-8: the whole sequence when it is well formed, otherwise 1.
std::size_t CharLength(std::string_view s, std::size_t i, Encoding enc) {
    if (enc == Encoding::Utf8) {
        if (Byte(s, i) < 0x80) return 1;
        std::size_t want = Utf8Expected(Byte(s, i));
        return want > 1 && Utf8Fitting(s, i) == want ? want : 1;
    }
    return (IsLeadByte(Byte(s, i)) && i + 1 < s.size() && IsTrailByte(Byte(s, i + 1))) ? 2 : 1;
}

std::size_t BomLength(std::string_view file, Encoding enc) {
    return enc == Encoding::Utf8 && file.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
}

std::string_view CutAtNul(std::string_view s) { return s.substr(0, s.find('\0')); }

std::string_view TrimBlanks(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(Byte(s, b))) ++b;
    while (e > b && IsBlank(Byte(s, e - 1))) --e;
    return s.substr(b, e - b);
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// ASCII letters match either case; the other bytes of a multi-byte character only match themselves.
// Equal prefixes have the same character boundaries, so one walk serves both names.
bool NamesEqual(std::string_view a, std::string_view b, Encoding enc) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size();) {
        std::size_t n = CharLength(a, i, enc);
        if (n > 1) {
            if (a.substr(i, n) != b.substr(i, n)) return false;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
        i += n;
    }
    return true;
}

// One line of the file, as offsets into it.
struct Line {
    enum class Kind { Blank, Section, Key };
    Kind kind = Kind::Blank;
    std::size_t next = 0;        // just past this line's one terminator (CR LF, CR or LF)
    std::size_t contentEnd = 0;  // end of the line without trailing blanks
    std::string_view name;       // section or key name, cut at a NUL
    bool hasEquals = false;
    std::size_t valueBegin = 0, valueEnd = 0;  // the value's bytes when hasEquals
};

Line ParseLine(std::string_view file, std::size_t begin, Encoding enc) {
    Line line;
    std::size_t end = file.find_first_of("\r\n", begin);
    if (end == std::string_view::npos) end = file.size();
    line.next = end;
    if (line.next < file.size()) {
        line.next += (file[line.next] == '\r' && line.next + 1 < file.size() && file[line.next + 1] == '\n') ? 2 : 1;
    }
    std::size_t b = begin, e = end;
    while (b < e && IsBlank(Byte(file, b))) ++b;
    while (e > b && IsBlank(Byte(file, e - 1))) --e;
    line.contentEnd = e;
    if (b == e) return line;

    if (file[b] == '[') {
        // The name runs to the last "]" that is a character of its own; text after it is ignored.
        std::size_t close = std::string_view::npos;
        for (std::size_t i = b + 1; i < e; i += CharLength(file, i, enc)) {
            if (file[i] == ']') close = i;
        }
        if (close != std::string_view::npos) {
            line.kind = Line::Kind::Section;
            line.name = CutAtNul(file.substr(b + 1, close - b - 1));
            return line;
        }
        // A "[" without "]" is read as an ordinary line.
    }
    line.kind = Line::Kind::Key;
    std::size_t eq = file.substr(b, e - b).find('=');  // "=" is never part of a longer character
    if (eq == std::string_view::npos) {
        line.name = CutAtNul(file.substr(b, e - b));
        return line;
    }
    eq += b;
    line.hasEquals = true;
    line.name = CutAtNul(TrimBlanks(file.substr(b, eq - b)));
    line.valueBegin = eq + 1;
    while (line.valueBegin < e && IsBlank(Byte(file, line.valueBegin))) ++line.valueBegin;
    line.valueEnd = e;
    return line;
}

// Where a key of a section lives, or where it would go.
struct Location {
    bool sectionFound = false;
    std::size_t sectionTail = 0;  // just past the last non-blank line of the section
    bool keyFound = false;
    Line key;
};

// file here is what follows any byte-order mark.
Location Find(std::string_view file, std::string_view section, std::string_view key, Encoding enc) {
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    Location loc;
    bool inSection = NamesEqual(std::string_view(), section, enc);  // lines before any header: the nameless one
    loc.sectionFound = inSection;
    for (std::size_t pos = 0; pos < file.size();) {
        Line line = ParseLine(file, pos, enc);
        if (line.kind == Line::Kind::Section) {
            if (inSection) return loc;  // only the first matching section counts
            inSection = NamesEqual(line.name, section, enc);
            if (inSection) {
                loc.sectionFound = true;
                loc.sectionTail = line.next;
            }
        } else if (line.kind == Line::Kind::Key && inSection) {
            loc.sectionTail = line.next;
            if (NamesEqual(line.name, key, enc)) {
                loc.keyFound = true;
                loc.key = line;
                return loc;
            }
        }
        pos = line.next;
    }
    return loc;
}

// How many of the names have a section in file, read in enc.
std::size_t SectionsFound(std::string_view file, std::span<const NameForms> names, Encoding enc) {
    std::vector<bool> found(names.size(), false);
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < file.size() && count < names.size();) {
        Line line = ParseLine(file, pos, enc);
        if (line.kind == Line::Kind::Section) {
            for (std::size_t i = 0; i < names.size(); ++i) {
                std::string_view name = enc == Encoding::Utf8 ? names[i].utf8 : names[i].cp932;
                if (!found[i] && NamesEqual(line.name, name, enc)) {
                    found[i] = true;
                    ++count;
                }
            }
        }
        pos = line.next;
    }
    return count;
}

std::string_view CutToLimit(std::string_view s, std::size_t limit, Encoding enc) {
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t n = CharLength(s, i, enc);
        if (i + n > limit) break;
        i += n;
    }
    return s.substr(0, i);
}

// A UTF-8 name ending in the first bytes of a character.
bool EndsInPartUtf8(std::string_view s) {
    for (std::size_t back = 1; back <= 3 && back <= s.size(); ++back) {
        std::size_t i = s.size() - back;
        if (IsContinuation(Byte(s, i))) continue;
        std::size_t want = Utf8Expected(Byte(s, i));
        return want > back && Utf8Fitting(s, i) == back;
    }
    return false;
}

std::string_view LineEnding(std::string_view file) {
    std::size_t p = file.find_first_of("\r\n");
    if (p == std::string_view::npos) return "\r\n";
    if (file[p] == '\n') return "\n";
    return (p + 1 < file.size() && file[p + 1] == '\n') ? "\r\n" : "\r";
}

bool IsQuoted(std::string_view v) {
    return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
}

bool EndsWithLineBreak(std::string_view s) { return !s.empty() && (s.back() == '\n' || s.back() == '\r'); }

}  // namespace

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = CharLength(text, i, Encoding::Utf8);
        if (n == 1 && Byte(text, i) >= 0x80) return false;
        i += n;
    }
    return true;
}

std::wstring WideFromUtf8(std::string_view text) {
    std::wstring out;
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        uint32_t cp = 0xFFFD;
        size_t len = 1;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
            cp = b & 0x07;
        }
        if (len > 1) {
            if (i + len > text.size()) {
                cp = 0xFFFD;
                len = text.size() - i;
            } else {
                for (size_t j = 1; j < len; ++j) {
                    const auto c = static_cast<unsigned char>(text[i + j]);
                    if ((c & 0xC0) != 0x80) {
                        cp = 0xFFFD;
                        len = j;
                        break;
                    }
                    cp = (cp << 6) | (c & 0x3F);
                }
            }
        }
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(cp > 0x10FFFF ? 0xFFFD : cp));
        }
        i += len;
    }
    return out;
}

Encoding EncodingOf(std::string_view file, std::span<const NameForms> names) {
    std::size_t bom = BomLength(file, Encoding::Utf8);
    std::string_view body = file.substr(bom);
    if (!IsValidUtf8(body)) return Encoding::Cp932;
    std::size_t asUtf8 = SectionsFound(body, names, Encoding::Utf8);
    std::size_t asCp932 = SectionsFound(file, names, Encoding::Cp932);
    if (asUtf8 > asCp932 || (bom > 0 && asUtf8 == asCp932)) return Encoding::Utf8;
    return Encoding::Cp932;
}

std::string ReadProfileValue(std::string_view file, std::string_view section, std::string_view key, Encoding enc) {
    file.remove_prefix(BomLength(file, enc));
    Location loc = Find(file, section, key, enc);
    if (!loc.keyFound || !loc.key.hasEquals) return {};
    std::string_view v = CutAtNul(file.substr(loc.key.valueBegin, loc.key.valueEnd - loc.key.valueBegin));
    if (IsQuoted(v)) v = v.substr(1, v.size() - 2);
    return std::string(CutToLimit(v, kMaxValueBytes, enc));
}

std::string TrimSpaces(std::string_view text) {
    std::size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    std::size_t e = text.find_last_not_of(' ');
    return std::string(text.substr(b, e - b + 1));
}

StoreProblem CheckStorable(std::string_view section, std::string_view key, std::string_view value, Encoding enc) {
    for (std::string_view s : {section, key, value}) {
        if (s.find_first_of("\r\n") != std::string_view::npos) return StoreProblem::LineBreak;
        if (s.find('\0') != std::string_view::npos) return StoreProblem::NulByte;
    }
    for (std::string_view s : {section, key}) {
        if (s.empty()) return StoreProblem::EmptyName;
        if (IsBlank(Byte(s, 0)) || IsBlank(Byte(s, s.size() - 1))) return StoreProblem::BlankAtNameEnd;
    }
    if (key.find('=') != std::string_view::npos) return StoreProblem::EqualsInKey;
    if (key.front() == '[') return StoreProblem::BracketStartsKey;
    if (enc == Encoding::Utf8) {
        if (EndsInPartUtf8(section)) return StoreProblem::LeadByteAtEnd;
        for (std::string_view s : {section, key, value}) {
            if (!IsValidUtf8(s)) return StoreProblem::NotUtf8;
        }
        return StoreProblem::None;
    }
    std::size_t last = 0;
    for (std::size_t i = 0; i < section.size(); i += CharLength(section, i, enc)) last = i;
    if (last == section.size() - 1 && IsLeadByte(Byte(section, last))) return StoreProblem::LeadByteAtEnd;
    return StoreProblem::None;
}

std::string WriteProfileValue(std::string_view file, std::string_view section, std::string_view key,
                               std::string_view plainValue, Encoding enc) {
    std::string quoted;
    if (IsQuoted(plainValue)) quoted.append("\"").append(plainValue).append("\"");
    std::string_view value = quoted.empty() ? plainValue : std::string_view(quoted);
    std::string out;
    out.reserve(file.size() + section.size() + key.size() + value.size() + 8);
    // The mark stays where it is; everything else is placed as in a file without one.
    const std::size_t bom = BomLength(file, enc);
    out.append(file.substr(0, bom));
    file.remove_prefix(bom);
    Location loc = Find(file, section, key, enc);
    std::string_view eol = LineEnding(file);
    if (loc.keyFound) {
        const Line& k = loc.key;
        std::size_t from = k.hasEquals ? k.valueBegin : k.contentEnd;
        std::size_t to = k.hasEquals ? k.valueEnd : k.contentEnd;
        out.append(file.substr(0, from));
        if (!k.hasEquals) out += '=';
        out.append(value);
        out.append(file.substr(to));
    } else if (loc.sectionFound) {
        std::size_t at = loc.sectionTail;
        out.append(file.substr(0, at));
        if (out.size() > bom && !EndsWithLineBreak(out)) out.append(eol);
        out.append(key).append("=").append(value).append(eol);
        out.append(file.substr(at));
    } else {
        out.append(file);
        if (out.size() > bom && !EndsWithLineBreak(out)) out.append(eol);
        out.append("[").append(section).append("]").append(eol);
        out.append(key).append("=").append(value).append(eol);
    }
    return out;
}

namespace {

template <class Ch>
unsigned At(std::basic_string_view<Ch> s, std::size_t i) {
    return i < s.size() ? static_cast<unsigned>(static_cast<std::make_unsigned_t<Ch>>(s[i])) : 0u;
}
bool IsDigit(unsigned c) { return c >= '0' && c <= '9'; }

template <class Ch>
NumberRead ReadNumberOf(std::basic_string_view<Ch> s) {
    std::size_t i = 0;
    while (i < s.size() && (At(s, i) == ' ' || At(s, i) == '\t')) ++i;
    std::string text;  // the number in the form from_chars takes
    if (At(s, i) == '+' || At(s, i) == '-') {
        if (At(s, i) == '-') text += '-';
        ++i;
    }
    // Decimal exponent of the first significant digit, to tell overflow from underflow when the
    // digits do not fit a double at all.
    long long magnitude = 0;
    bool significant = false;
    std::size_t digits = 0;
    for (; IsDigit(At(s, i)); ++i, ++digits) {
        text += static_cast<char>(At(s, i));
        if (At(s, i) != '0') significant = true;
        if (significant) ++magnitude;
    }
    if (At(s, i) == '.') {
        text += '.';
        for (++i; IsDigit(At(s, i)); ++i, ++digits) {
            text += static_cast<char>(At(s, i));
            if (!significant && At(s, i) == '0') --magnitude;
            if (At(s, i) != '0') significant = true;
        }
    }
    if (digits == 0) return {};
    if ((At(s, i) == 'e' || At(s, i) == 'E')) {
        std::size_t j = i + 1;
        bool negative = false;
        if (At(s, j) == '+' || At(s, j) == '-') negative = At(s, j++) == '-';
        if (IsDigit(At(s, j))) {
            long long exponent = 0;
            text += negative ? "e-" : "e";
            for (; IsDigit(At(s, j)); ++j) {
                text += static_cast<char>(At(s, j));
                exponent = std::min(exponent * 10 + static_cast<long long>(At(s, j) - '0'), 1000000000LL);
            }
            magnitude += negative ? -exponent : exponent;
        }
    }
    if (!significant) return {};
    double d = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        if (magnitude > 0) return {0, true};
        return {};
    }
    if (ec != std::errc()) return {};
    // Halves to even whatever the floating-point rounding mode, which a foreign DLL may have changed.
    const std::optional<std::int32_t> r = RoundHalfEven32(d);
    if (!r) return {0, true};
    return {*r, false};
}

template <class Ch>
ColorRead ReadColorOf(std::basic_string_view<Ch> s) {
    if (s.empty()) return {};
    std::uint64_t value = 0;
    std::size_t significantDigits = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned c = At(s, i);
        unsigned d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else break;
        if (significantDigits > 0 || d != 0) ++significantDigits;
        if (significantDigits > 8) return {ColorRead::Kind::Overflow, 0};
        value = value * 16 + d;
    }
    return {ColorRead::Kind::Value, static_cast<std::uint32_t>(value)};
}

}  // namespace

NumberRead ReadNumber(std::string_view text) { return ReadNumberOf(text); }
NumberRead ReadNumber(std::wstring_view text) { return ReadNumberOf(text); }
ColorRead ReadColor(std::string_view text) { return ReadColorOf(text); }
ColorRead ReadColor(std::wstring_view text) { return ReadColorOf(text); }

std::string FormatColor(std::uint32_t color) {
    char buf[16];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, color, 16);
    (void)ec;
    std::string s(buf, end);
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return FoldAscii(c); });
    return s;
}

std::string FormatNumber(std::int32_t value) { return std::to_string(value); }

std::wstring ProgramFolderOf(std::wstring_view modulePath) {
    std::size_t slash = modulePath.find_last_of(L"\\/");
    if (slash == std::wstring_view::npos) return {};
    std::wstring folder(modulePath.substr(0, slash));
    if (!folder.empty() && folder.back() == L':') folder += modulePath[slash];
    return folder;
}

std::wstring IniPathFor(std::wstring_view folder, std::wstring_view baseName) {
    std::wstring path(folder);
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path.append(baseName).append(L".ini");
    return path;
}

namespace {
std::error_code LastErrno(std::errc fallback) {
    return errno ? std::error_code(errno, std::generic_category()) : std::make_error_code(fallback);
}
}  // namespace

FileRead ReadWholeFile(const std::filesystem::path& path) {
    FileRead r;
    std::error_code ec;
    auto st = std::filesystem::status(path, ec);
    if (st.type() == std::filesystem::file_type::not_found) return r;
    r.exists = true;
    if (ec) {
        r.error = ec;
        return r;
    }
    if (st.type() == std::filesystem::file_type::directory) {
        r.error = std::make_error_code(std::errc::is_a_directory);
        return r;
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        r.error = LastErrno(std::errc::permission_denied);
        return r;
    }
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) r.bytes.append(buf, static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        r.error = std::make_error_code(std::errc::io_error);
        r.bytes.clear();
    }
    return r;
}

namespace {
const std::string TempMark = ".~";
}  // namespace

bool IsTemporaryOf(const std::filesystem::path& candidate, const std::filesystem::path& path) {
    const std::filesystem::path::string_type name = candidate.filename().native();
    std::filesystem::path::string_type base = path.filename().native();
    for (char c : TempMark) base += static_cast<std::filesystem::path::value_type>(c);
    if (name.size() <= base.size() || name.compare(0, base.size(), base) != 0) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(base.size()), name.end(),
                       [](auto c) { return c >= '0' && c <= '9'; });
}

namespace {
void RemoveLeftTemporaries(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::vector<std::filesystem::path> left;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (IsTemporaryOf(it->path(), path)) left.push_back(it->path());
    }
    for (const auto& p : left) std::filesystem::remove(p, ec);
}
}  // namespace

std::function<void()> BeforeRetry;

std::error_code RetryWhileHeld(const std::function<std::error_code()>& step, Deadline deadline) {
    using std::chrono::milliseconds;
    milliseconds pause(10);
    for (;;) {
        const std::error_code ec = step();
        const auto now = std::chrono::steady_clock::now();
        if (!ec || !HeldByAnother(ec) || now >= deadline) return ec;
        if (BeforeRetry) BeforeRetry();
        PauseFor(std::min(pause, std::chrono::ceil<milliseconds>(deadline - now)));
        pause = std::min(pause * 2, milliseconds(200));
    }
}

std::error_code ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes, Deadline deadline) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return std::make_error_code(std::errc::is_a_directory);
    // A name of its own beside the file, so the final step is a rename within one folder.
    std::random_device rd;
    std::filesystem::path temp = path;
    temp += TempMark + std::to_string(rd()) + std::to_string(rd());
    // Renamed before its data reach the disk, a power cut could leave an empty file in the old one's place.
    std::error_code replaced = RetryWhileHeld(
        [&] {
            std::error_code written = WriteNewFile(temp, bytes), ignored;
            if (written) std::filesystem::remove(temp, ignored);
            return written;
        },
        deadline);
    if (!replaced) replaced = RetryWhileHeld([&] { return ReplaceFileAtomically(temp, path); }, deadline);
    if (replaced) {
        std::filesystem::remove(temp, ec);
        return replaced;
    }
    RemoveLeftTemporaries(path);
    return {};
}

}  // namespace korven::ini
