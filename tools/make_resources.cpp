// Writes the program's embedded resources byte for byte: the four 64 x 64
// textures, the 8 x 8 font, the development world and the window icon.
//
//   om_make_resources <font8x8.txt> <output directory>
//
// Everything is computed with integers from fixed seeds, so the files come
// out identical on every machine; a test compares them with the committed
// ones in resources/.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

typedef std::vector<uint8_t> Bytes;

struct Rgb {
  int r, g, b;
};

void put16(Bytes& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void put32(Bytes& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

int clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// A small integer hash: the same (x, y, seed) always gives the same bits.
uint32_t hash(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

// Signed noise in -amp..amp for one lattice point.
int jitter(uint32_t x, uint32_t y, uint32_t seed, int amp) {
  return int(hash(x, y, seed) % uint32_t(2 * amp + 1)) - amp;
}

// Value noise on a lattice of `cell` pixels that wraps around the 64-pixel
// tile, so the textures repeat without seams. Bilinear, in integers.
int smooth(int x, int y, int cell, uint32_t seed, int amp) {
  int n = 64 / cell;
  int cx = x / cell, cy = y / cell, fx = x % cell, fy = y % cell;
  int a = jitter(cx % n, cy % n, seed, amp), b = jitter((cx + 1) % n, cy % n, seed, amp);
  int c = jitter(cx % n, (cy + 1) % n, seed, amp),
      d = jitter((cx + 1) % n, (cy + 1) % n, seed, amp);
  int top = a * (cell - fx) + b * fx, bottom = c * (cell - fx) + d * fx;
  return (top * (cell - fy) + bottom * fy) / (cell * cell);
}

Rgb shade(Rgb c, int d) { return {clamp255(c.r + d), clamp255(c.g + d), clamp255(c.b + d)}; }

typedef Rgb (*Painter)(int x, int y);

// Lime wash on plaster: an off-white with cloudy patches, faint vertical
// brush strokes and a fine grain.
Rgb wall_whitewash(int x, int y) {
  int d = smooth(x, y, 16, 11, 9) + smooth(x, y, 8, 12, 4) + jitter(x, y, 13, 4);
  d += jitter(x, 0, 14, 3) + smooth(x, y, 4, 15, 2);
  if (hash(x, y, 16) % 97 == 0) d -= 18;  // a grain of grit in the wash
  return shade({232, 228, 216}, d);
}

// The ceiling's wash: brighter and cooler, with the fine pits of a
// sprayed finish instead of brush strokes.
Rgb ceiling_whitewash(int x, int y) {
  int d = smooth(x, y, 32, 21, 6) + smooth(x, y, 8, 22, 3) + jitter(x, y, 23, 3);
  if (hash(x, y, 24) % 41 == 0) d -= 14;
  return shade({240, 240, 236}, d);
}

// Running bond: 16 x 8 bricks with one-pixel mortar joints on their right
// and bottom, every other course shifted by half a brick. Each brick gets
// its own tone; the top row catches light and the bottom row is in shade.
Rgb bricks(int x, int y) {
  int course = y / 8, row = y % 8;
  int sx = (x + (course % 2) * 8) % 64;
  int brick = sx / 16, col = sx % 16;
  if (row == 7 || col == 15) return shade({168, 162, 150}, jitter(x, y, 31, 8));
  int tone = jitter(brick, course, 32, 18);
  Rgb base = {146 + jitter(brick, course, 33, 12), 60 + jitter(brick, course, 34, 6), 42};
  int d = tone + jitter(x, y, 35, 9) + smooth(x, y, 4, 36, 5);
  if (row == 0) d += 14;
  if (row == 6) d -= 16;
  if (col == 0) d += 6;
  if (col == 14) d -= 8;
  return shade(base, d);
}

// Poured concrete as palette indices: cloudy grey, dark pores, light grains
// of aggregate, and a slab joint along the tile's top and left edges.
int concrete_index(int x, int y) {
  int v = 128 + smooth(x, y, 16, 41, 22) + smooth(x, y, 4, 42, 10) + jitter(x, y, 43, 12);
  uint32_t h = hash(x, y, 44) % 100;
  if (h < 3)
    v -= 55;
  else if (h < 5)
    v += 40;
  if (x == 0 || y == 0) v = 40 + jitter(x, y, 45, 8);
  return clamp255(v);
}

Rgb concrete_palette(int i) { return {36 + i * 176 / 255, 35 + i * 172 / 255, 32 + i * 164 / 255}; }

// The fallback: the magenta and black checkerboard nobody mistakes for a
// real surface.
Rgb dummy(int x, int y) { return ((x / 8) + (y / 8)) % 2 ? Rgb{0, 0, 0} : Rgb{255, 0, 255}; }

// 64 x 64, 32 bits per pixel, version 5 header with bit-field masks
// R 0xFF000000, G 0x00FF0000, B 0x0000FF00, A 0x000000FF, rows bottom-up.
Bytes bmp32(Painter paint) {
  Bytes out;
  out.push_back('B');
  out.push_back('M');
  put32(out, 138 + 64 * 64 * 4);
  put32(out, 0);
  put32(out, 138);
  put32(out, 124);          // header size
  put32(out, 64);           // width
  put32(out, 64);           // height, positive: bottom-up
  put16(out, 1);            // planes
  put16(out, 32);           // bits per pixel
  put32(out, 3);            // bit fields
  put32(out, 64 * 64 * 4);  // image size
  put32(out, 2835);         // 72 dpi
  put32(out, 2835);
  put32(out, 0);                                  // colours used
  put32(out, 0);                                  // colours important
  put32(out, 0xFF000000);                         // red mask
  put32(out, 0x00FF0000);                         // green mask
  put32(out, 0x0000FF00);                         // blue mask
  put32(out, 0x000000FF);                         // alpha mask
  put32(out, 0x73524742);                         // 'sRGB'
  for (int i = 0; i < 9 + 3; ++i) put32(out, 0);  // end points, gamma
  put32(out, 4);                                  // intent: images
  put32(out, 0);                                  // profile offset
  put32(out, 0);                                  // profile size
  put32(out, 0);                                  // reserved
  for (int y = 63; y >= 0; --y) {
    for (int x = 0; x < 64; ++x) {
      Rgb c = paint(x, y);
      put32(out, uint32_t(c.r) << 24 | uint32_t(c.g) << 16 | uint32_t(c.b) << 8 | 0xFF);
    }
  }
  return out;
}

// 64 x 64, 8 bits per pixel, 40-byte header, 256-entry colour table.
Bytes bmp8() {
  Bytes out;
  out.push_back('B');
  out.push_back('M');
  put32(out, 1078 + 64 * 64);
  put32(out, 0);
  put32(out, 1078);
  put32(out, 40);
  put32(out, 64);
  put32(out, 64);
  put16(out, 1);
  put16(out, 8);
  put32(out, 0);  // no compression
  put32(out, 64 * 64);
  put32(out, 2835);
  put32(out, 2835);
  put32(out, 256);
  put32(out, 256);
  for (int i = 0; i < 256; ++i) {
    Rgb c = concrete_palette(i);
    out.push_back(uint8_t(c.b));
    out.push_back(uint8_t(c.g));
    out.push_back(uint8_t(c.r));
    out.push_back(0);
  }
  for (int y = 63; y >= 0; --y)
    for (int x = 0; x < 64; ++x) out.push_back(uint8_t(concrete_index(x, y)));
  return out;
}

// The icon: a corridor of receding door frames on a night-blue field, the
// engine's view in miniature. 42 x 42, 24 bits per pixel, all opaque.
Rgb icon_pixel(int x, int y) {
  int dx = x < 21 ? 20 - x : x - 21, dy = y < 21 ? 20 - y : y - 21;
  int ring = dx > dy ? dx : dy;  // 0 in the middle, 20 at the border
  if (ring >= 19) return {18, 20, 40};
  if (ring <= 2) return {250, 220, 120};  // the light at the end
  int band = ring % 4;
  int lit = 60 + (19 - ring) * 8;
  if (band == 0) return {clamp255(lit + 60), clamp255(lit), 30};
  return {clamp255(lit / 3), clamp255(lit / 3), clamp255(lit / 2 + 30)};
}

Bytes icon() {
  const int w = 42, h = 42, xor_row = (w * 3 + 3) / 4 * 4, and_row = ((w + 7) / 8 + 3) / 4 * 4;
  const uint32_t image = 40 + xor_row * h + and_row * h;
  Bytes out;
  put16(out, 0);  // reserved
  put16(out, 1);  // icon
  put16(out, 1);  // one image
  out.push_back(w);
  out.push_back(h);
  out.push_back(0);  // no palette
  out.push_back(0);
  put16(out, 1);   // planes
  put16(out, 24);  // bits per pixel
  put32(out, image);
  put32(out, 6 + 16);
  put32(out, 40);
  put32(out, w);
  put32(out, h * 2);  // colour rows and mask rows
  put16(out, 1);
  put16(out, 24);
  put32(out, 0);
  put32(out, image - 40);
  for (int i = 0; i < 4; ++i) put32(out, 0);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      Rgb c = icon_pixel(x, y);
      out.push_back(uint8_t(c.b));
      out.push_back(uint8_t(c.g));
      out.push_back(uint8_t(c.r));
    }
    for (int pad = w * 3; pad < xor_row; ++pad) out.push_back(0);
  }
  out.insert(out.end(), size_t(and_row * h), 0);  // mask: every pixel shown
  return out;
}

// The development world: 4 vertices, 1 sector with 4 edges.
Bytes world() {
  Bytes out;
  const float xy[8] = {4, 4, 12, 4, 12, 12, 4, 12};
  put32(out, 4);
  for (float f : xy) {
    uint32_t bits;
    memcpy(&bits, &f, 4);
    put32(out, bits);
  }
  put32(out, 1);
  put32(out, 4);
  for (uint32_t i = 0; i < 4; ++i) {
    put32(out, i);
    put32(out, (i + 1) % 4);
  }
  return out;
}

// The font source lists codes 33..126 in order: a line "XX c" with the code
// in hex, then eight rows of '#' (set) and '.' (clear), leftmost pixel first.
// Bit 0 of each row byte is the leftmost pixel; every other glyph is blank.
bool font(const char* path, Bytes& out) {
  std::ifstream in(path);
  if (!in) return false;
  out.assign(2056, 0);
  out[0] = 8;
  out[4] = 8;
  std::string line;
  int expect = 33, row = -1;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == ';') continue;
    if (row < 0) {
      if (std::stoi(line.substr(0, 2), nullptr, 16) != expect) return false;
      row = 0;
      continue;
    }
    if (line.size() != 8) return false;
    uint8_t bits = 0;
    for (int cx = 0; cx < 8; ++cx) {
      if (line[cx] == '#')
        bits |= uint8_t(1 << cx);
      else if (line[cx] != '.')
        return false;
    }
    out[8 + 8 * expect + row] = bits;
    if (++row == 8) {
      row = -1;
      ++expect;
    }
  }
  return expect == 127 && row < 0;
}

bool save(const std::string& dir, const char* name, const Bytes& b) {
  std::string path = dir + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(b.data(), 1, b.size(), f) == b.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s <font8x8.txt> <output directory>\n", argv[0]);
    return 2;
  }
  Bytes fnt;
  if (!font(argv[1], fnt)) {
    fprintf(stderr, "%s: not a complete glyph list for codes 33..126\n", argv[1]);
    return 1;
  }
  std::string dir = argv[2];
  bool ok = save(dir, "FNT_IBM.fnt", fnt) && save(dir, "OWD_DEVELOPMENT.owd", world()) &&
            save(dir, "TEX_CWHITEWASH.bmp", bmp32(ceiling_whitewash)) &&
            save(dir, "TEX_FCONCRETE.bmp", bmp8()) && save(dir, "TEX_WBRICKS.bmp", bmp32(bricks)) &&
            save(dir, "TEX_WDUMMY.bmp", bmp32(dummy)) &&
            save(dir, "TEX_WWHITEWASH.bmp", bmp32(wall_whitewash)) &&
            save(dir, "ombrix.ico", icon());
  if (!ok) {
    fprintf(stderr, "cannot write into %s\n", argv[2]);
    return 1;
  }
  return 0;
}
