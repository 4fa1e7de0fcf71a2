// libFuzzer target: the settings-file reader and writer (in either encoding, chosen by the first byte), the
// choice of encoding, and the number and colour rules on arbitrary bytes. Besides not faulting, each input
// checks what must hold whatever the file holds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/ini_engine.h"

namespace ini = korven::ini;

namespace {

#define Check(ok) CheckAt((ok), __LINE__)
void CheckAt(bool ok, int line) {
    if (!ok) {
        std::fprintf(stderr, "ini_fuzz: check on line %d failed\n", line);
        std::abort();
    }
}

// A name from the input, or a fixed one; names that cannot be stored are replaced.
std::string_view Slice(std::string_view data, std::size_t& pos, std::size_t len) {
    if (pos >= data.size()) return {};
    std::string_view s = data.substr(pos, len);
    pos += s.size();
    return s;
}

std::string_view AfterMark(std::string_view file) {
    return file.substr(file.starts_with(ini::kUtf8Bom) ? ini::kUtf8Bom.size() : 0);
}

std::string Upper(std::string_view s) {
    std::string u(s);
    for (char& c : u) if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return u;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    std::string_view data(reinterpret_cast<const char*>(bytes), size);

    // Number and colour rules on the whole input and on its wide reading.
    ini::NumberRead n = ini::ReadNumber(data);
    Check(!n.overflow || n.value == 0);
    ini::ColorRead c = ini::ReadColor(data);
    Check((c.kind == ini::ColorRead::Kind::None) == data.empty());
    std::wstring wide(data.begin(), data.end());
    ini::NumberRead nw = ini::ReadNumber(wide);
    Check(nw.value == n.value && nw.overflow == n.overflow);
    Check(ini::ReadColor(wide).value == c.value);
    if (size >= 4) {
        std::int32_t v;
        std::uint32_t u;
        __builtin_memcpy(&v, bytes, 4);
        __builtin_memcpy(&u, bytes, 4);
        Check(ini::ReadNumber(ini::FormatNumber(v)).value == v);
        Check(ini::ReadColor(ini::FormatColor(u)).value == u);
    }

    // The first bytes give the names and value; the rest is the file.
    std::size_t pos = 0;
    std::size_t sl = size > 0 ? bytes[0] % 8 : 0, kl = size > 1 ? bytes[1] % 8 : 0, vl = size > 2 ? bytes[2] % 32 : 0;
    pos = 3;
    std::string section(Slice(data, pos, sl)), key(Slice(data, pos, kl)), value(Slice(data, pos, vl));
    std::string_view file = pos < size ? data.substr(pos) : std::string_view();
    const ini::Encoding enc = size > 0 && (bytes[0] & 0x08) ? ini::Encoding::Utf8 : ini::Encoding::Cp932;
    const std::string_view tokyo = enc == ini::Encoding::Utf8 ? "\xE6\x9D\xB1\xE4\xBA\xAC" : "\x93\x8c\x8b\x9e";
    const bool validUtf8 = ini::IsValidUtf8(AfterMark(file));

    // UTF-8 is chosen only for what reads as UTF-8.
    const ini::NameForms names[] = {{"\xE6\x9D\xB1\xE4\xBA\xAC", "\x93\x8c\x8b\x9e"}, {section, section}};
    if (ini::EncodingOf(file, names) == ini::Encoding::Utf8) Check(validUtf8);

    for (std::string_view s : {std::string_view(section), std::string_view("A"), tokyo}) {
        std::string got = ini::ReadProfileValue(file, s, key, enc);
        Check(got.size() <= ini::kMaxValueBytes);
        Check(got.find('\0') == std::string::npos);
        Check(got.empty() || file.find(got) != std::string_view::npos);  // a value is always bytes of the file
        // The cut never leaves half a character of a UTF-8 file.
        if (enc == ini::Encoding::Utf8 && validUtf8) Check(ini::IsValidUtf8(got));
    }

    if (ini::CheckStorable(section, key, value, enc) != ini::StoreProblem::None) return 0;
    std::string updated = ini::WriteProfileValue(file, section, key, value, enc);
    if (enc == ini::Encoding::Utf8) {
        // The mark stays or stays away, and a UTF-8 file stays UTF-8.
        Check(updated.starts_with(ini::kUtf8Bom) == file.starts_with(ini::kUtf8Bom));
        if (validUtf8) Check(ini::IsValidUtf8(AfterMark(updated)));
    }
    // What was written reads back, unless reading legitimately reshapes it (outer blanks, length).
    bool plain = value.size() <= ini::kMaxValueBytes && (value.empty() || (value.front() != ' ' && value.back() != ' ' &&
                 value.front() != '\t' && value.back() != '\t' &&
                 static_cast<unsigned char>(value.back()) >= 0x20 && static_cast<unsigned char>(value.front()) >= 0x20 &&
                 value.back() != 0x1A && value.front() != 0x1A));
    if (plain) Check(ini::ReadProfileValue(updated, section, key, enc) == value);
    // Other sections read as before.
    for (std::string_view other : {std::string_view("A"), std::string_view("B"), tokyo}) {
        if (Upper(other) == Upper(section)) continue;
        Check(ini::ReadProfileValue(updated, other, "X", enc) == ini::ReadProfileValue(file, other, "X", enc));
    }
    // The change is one place in the file, no bigger than an added section with its key.
    std::size_t common = 0;
    while (common < file.size() && common < updated.size() && file[common] == updated[common]) ++common;
    Check(updated.size() >= common);
    std::size_t tail = 0;
    while (tail < file.size() - common && tail < updated.size() - common &&
           file[file.size() - 1 - tail] == updated[updated.size() - 1 - tail]) ++tail;
    Check(updated.size() - common - tail <= value.size() + section.size() + key.size() + 11);  // EOL [ ] EOL = "" EOL
    return 0;
}
