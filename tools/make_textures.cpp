// Writes the images the sample world uses beside it, in examples/textures/:
// mosaic.png, 96 x 64 tiles of glazed colour in grout (a width that is no
// power of two, drawn through the renderer's general path), and sand.jpg,
// 128 x 128 of speckled sand. The same program writes the same bytes.
//
//   om_make_textures <folder>
#include <cstdio>
#include <string>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

unsigned hash(unsigned x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  return x ^ (x >> 16);
}

// Tiles 12 x 8 pixels (8 across, 8 down), each a colour of a small palette
// shaded by a little noise, with 1-pixel grout between them.
std::vector<unsigned char> mosaic(int w, int h) {
  static const unsigned char palette[][3] = {{38, 92, 160},  {214, 170, 60},  {180, 60, 48},
                                             {40, 140, 110}, {230, 224, 200}, {90, 60, 130}};
  std::vector<unsigned char> rgb(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int tx = x / 12, ty = y / 8;
      bool grout = x % 12 == 0 || y % 8 == 0;
      const unsigned char* c = palette[hash(unsigned(tx * 31 + ty * 7)) % 6];
      int shade = int(hash(unsigned(x * 977 + y * 131)) % 25) - 12;
      for (int k = 0; k < 3; ++k) {
        int v = grout ? 70 + shade / 2 : c[k] + shade;
        rgb[(size_t(y) * w + x) * 3 + k] = (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v);
      }
    }
  }
  return rgb;
}

std::vector<unsigned char> sand(int w, int h) {
  std::vector<unsigned char> rgb(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int grain = int(hash(unsigned(x + y * w)) % 40) - 20;
      int ripple = (x + y / 3) % 16 < 2 ? -14 : 0;
      const int base[3] = {196, 170, 120};
      for (int k = 0; k < 3; ++k) {
        int v = base[k] + grain + ripple;
        rgb[(size_t(y) * w + x) * 3 + k] = (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v);
      }
    }
  }
  return rgb;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: om_make_textures <folder>\n");
    return 2;
  }
  std::string folder = argv[1];
  std::vector<unsigned char> m = mosaic(96, 64), s = sand(128, 128);
  bool ok = stbi_write_png((folder + "/mosaic.png").c_str(), 96, 64, 3, m.data(), 96 * 3) &&
            stbi_write_jpg((folder + "/sand.jpg").c_str(), 128, 128, 3, s.data(), 90);
  if (!ok) fprintf(stderr, "om_make_textures: can't write into %s\n", folder.c_str());
  return ok ? 0 : 1;
}
