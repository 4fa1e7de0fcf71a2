// Writes the program icon: one 32 × 32 image with 16 colours (4 bits per pixel), a white map piece with a
// black border line and a red capital dot, on a transparent ground.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// The standard 16-colour palette, as BGRX.
const uint8_t kPalette[16][4] = {
    {0, 0, 0, 0},       {0, 0, 128, 0},     {0, 128, 0, 0},   {0, 128, 128, 0},
    {128, 0, 0, 0},     {128, 0, 128, 0},   {128, 128, 0, 0}, {192, 192, 192, 0},
    {128, 128, 128, 0}, {0, 0, 255, 0},     {0, 255, 0, 0},   {0, 255, 255, 0},
    {255, 0, 0, 0},     {255, 0, 255, 0},   {255, 255, 0, 0}, {255, 255, 255, 0},
};
enum : uint8_t { Black = 0, Red = 9, White = 15, Clear = 16 };

// A piece shaped like an island with a bay: inside a wobbly ellipse, minus a notch on the right.
bool Land(int x, int y) {
    const double cx = 15.5, cy = 16.0;
    const double a = std::atan2(y - cy, x - cx);
    const double r = 13.0 + 1.6 * std::sin(3 * a) + 0.8 * std::cos(5 * a);
    const double d = std::hypot((x - cx) / 1.0, (y - cy) / 1.1);
    const bool bay = (x - 26) * (x - 26) + (y - 20) * (y - 20) < 20;
    return d < r && !bay;
}

void Put16(std::vector<uint8_t>& v, uint32_t n) { v.push_back(n & 0xFF); v.push_back((n >> 8) & 0xFF); }
void Put32(std::vector<uint8_t>& v, uint32_t n) { Put16(v, n & 0xFFFF); Put16(v, n >> 16); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: iconmaker OUT.ico\n");
        return 2;
    }
    uint8_t px[32][32];
    int counts[17] = {};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            uint8_t c = Clear;
            if (Land(x, y)) {
                const bool edge = !Land(x - 1, y) || !Land(x + 1, y) || !Land(x, y - 1) || !Land(x, y + 1);
                c = edge ? Black : White;
                if ((x - 13) * (x - 13) + (y - 14) * (y - 14) <= 5) c = Red;
            }
            px[y][x] = c;
            ++counts[c];
        }

    const uint32_t xorBytes = 32 * 32 / 2, andBytes = 32 * 4, bmpBytes = 40 + 64 + xorBytes + andBytes;
    std::vector<uint8_t> f;
    Put16(f, 0); Put16(f, 1); Put16(f, 1);                       // ICONDIR
    f.push_back(32); f.push_back(32); f.push_back(16); f.push_back(0);
    Put16(f, 1); Put16(f, 4); Put32(f, bmpBytes); Put32(f, 22);  // ICONDIRENTRY
    Put32(f, 40); Put32(f, 32); Put32(f, 64); Put16(f, 1); Put16(f, 4);  // BITMAPINFOHEADER, height × 2
    Put32(f, 0); Put32(f, xorBytes + andBytes); Put32(f, 0); Put32(f, 0); Put32(f, 16); Put32(f, 0);
    for (auto& c : kPalette) f.insert(f.end(), c, c + 4);
    for (int y = 31; y >= 0; --y)  // bottom-up rows
        for (int x = 0; x < 32; x += 2) {
            auto nib = [&](int xx) { return px[y][xx] == Clear ? uint8_t{0} : px[y][xx]; };
            f.push_back(static_cast<uint8_t>(nib(x) << 4 | nib(x + 1)));
        }
    for (int y = 31; y >= 0; --y)
        for (int b = 0; b < 4; ++b) {
            uint8_t m = 0;
            for (int i = 0; i < 8; ++i) m |= (px[y][b * 8 + i] == Clear ? 1 : 0) << (7 - i);
            f.push_back(m);
        }

    FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(f.data(), 1, f.size(), out) != f.size() || std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::printf("iconmaker: %s, %zu bytes; pixels: %d white, %d black, %d red, %d transparent\n", argv[1], f.size(),
                counts[White], counts[Black], counts[Red], counts[Clear]);
    return 0;
}
