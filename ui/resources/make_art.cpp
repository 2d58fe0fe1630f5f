// Draws the program's icon (app.ico), the About picture (about.bmp) and the
// desktop icons (icon-48.png, icon-256.png).
// Deterministic: the same build always writes the same bytes, and a test
// checks the committed files against it. Usage: make_art <output folder>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Rgb {
  std::uint8_t r, g, b;
};

// 5 x 7 capitals, digits and the few signs the pictures need.
struct Glyph {
  char c;
  const char* rows[7];
};
constexpr Glyph kFont[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'$', {"..##.", ".#..#", ".#...", "####.", ".#...", ".#...", "#####"}},  // pound sign
    {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
    {'=', {".....", ".....", "#####", ".....", "#####", ".....", "....."}},
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
};

const Glyph* FindGlyph(char c) {
  for (const Glyph& g : kFont) {
    if (g.c == c) return &g;
  }
  return nullptr;
}

// A picture of palette indices or colours; (0, 0) is the top left.
template <class Pixel>
class Canvas {
 public:
  Canvas(int width, int height, Pixel fill)
      : width_(width), height_(height), pixels_(static_cast<std::size_t>(width * height), fill) {}

  int width() const { return width_; }
  int height() const { return height_; }
  Pixel at(int x, int y) const { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }

  void Set(int x, int y, Pixel p) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) {
      pixels_[static_cast<std::size_t>(y * width_ + x)] = p;
    }
  }
  void Rect(int x, int y, int w, int h, Pixel p) {
    for (int j = y; j < y + h; ++j) {
      for (int i = x; i < x + w; ++i) Set(i, j, p);
    }
  }
  void Disc(int cx, int cy, int r, Pixel p) {
    for (int j = -r; j <= r; ++j) {
      for (int i = -r; i <= r; ++i) {
        if (i * i + j * j <= r * r) Set(cx + i, cy + j, p);
      }
    }
  }
  void Text(int x, int y, int scale, const std::string& text, Pixel p) {
    for (char c : text) {
      if (const Glyph* g = FindGlyph(c)) {
        for (int row = 0; row < 7; ++row) {
          for (int col = 0; col < 5; ++col) {
            if (g->rows[row][col] == '#') Rect(x + col * scale, y + row * scale, scale, scale, p);
          }
        }
      }
      x += 6 * scale;
    }
  }

 private:
  int width_, height_;
  std::vector<Pixel> pixels_;
};

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void PutInfoHeader(std::vector<std::uint8_t>& out, int width, int height, int bits,
                   std::uint32_t image_size, std::uint32_t pixels_per_metre) {
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1);
  Put16(out, static_cast<unsigned>(bits));
  Put32(out, 0);  // BI_RGB
  Put32(out, image_size);
  Put32(out, pixels_per_metre);
  Put32(out, pixels_per_metre);
  Put32(out, 0);
  Put32(out, 0);
}

// ---- Icon: a calculator with a pound sign on its display ----

// The classic 16-colour palette.
constexpr Rgb kPalette[16] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                              {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                              {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                              {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
constexpr int kClear = -1, kBlack = 0, kGreen = 2, kNavy = 4, kSilver = 7, kGrey = 8, kLime = 10,
              kYellow = 11, kWhite = 15;

// The 32 and 16 pixel images are the Windows icon's; from 48 pixels up
// the same design is drawn to scale, edges and glyph included, so that
// desktop icons are crisp rather than enlarged.
Canvas<int> DrawIcon(int size) {
  Canvas<int> c(size, size, kClear);
  const int s = size / 16;  // 2 for 32 x 32, 1 for 16 x 16
  const bool large = size >= 48;
  const int e = large ? s / 2 : 1;  // edge width
  // Body with cut corners and a dark edge.
  c.Rect(2 * s, 0, 12 * s, 16 * s, kBlack);
  c.Rect(2 * s + e, e, 12 * s - 2 * e, 16 * s - 2 * e, kNavy);
  c.Rect(2 * s, 0, e, e, kClear);
  c.Rect(14 * s - e, 0, e, e, kClear);
  c.Rect(2 * s, 16 * s - e, e, e, kClear);
  c.Rect(14 * s - e, 16 * s - e, e, e, kClear);
  // Display with a pound sign.
  c.Rect(3 * s + e, 2 * s, 10 * s - 2 * e, 4 * s, kGreen);
  c.Rect(3 * s + 2 * e, 2 * s + e, 10 * s - 4 * e, 4 * s - 2 * e, kLime);
  if (large) {
    const int scale = s / 2;
    c.Text(8 * s - 5 * scale / 2, 2 * s + (4 * s - 7 * scale) / 2, scale, "$", kBlack);
  } else if (size >= 32) {
    c.Text(15, 5, 1, "$", kBlack);
  } else {
    c.Rect(8, 3, 1, 2, kBlack);  // a pound sign in two strokes
    c.Rect(7, 4, 3, 1, kBlack);
  }
  // Keys: three rows of four (of three on the small image), the last one
  // highlighted.
  const int columns = s > 1 ? 4 : 3;
  const int pitch = large ? 5 * s / 2 : (s > 1 ? 5 : 3);
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < columns; ++col) {
      const bool equals = row == 2 && col == columns - 1;
      const int x = 3 * s + e + col * pitch;
      const int y = 7 * s + row * (3 * s);
      c.Rect(x, y, 2 * s, 2 * s, equals ? kYellow : (col == columns - 1 ? kSilver : kWhite));
      if (s > 1) c.Rect(x + 2 * s - e, y + e, e, 2 * s - e, kGrey);
    }
  }
  return c;
}

void AppendIconImage(std::vector<std::uint8_t>& out, const Canvas<int>& c) {
  const int n = c.width();
  const int xor_stride = (n / 2 + 3) / 4 * 4;
  const int and_stride = (n / 8 + 3) / 4 * 4;
  PutInfoHeader(out, n, 2 * n, 4, static_cast<std::uint32_t>((xor_stride + and_stride) * n), 0);
  for (const Rgb& p : kPalette) {
    out.push_back(p.b);
    out.push_back(p.g);
    out.push_back(p.r);
    out.push_back(0);
  }
  for (int y = n - 1; y >= 0; --y) {  // bottom-up
    std::vector<std::uint8_t> row(static_cast<std::size_t>(xor_stride), 0);
    for (int x = 0; x < n; ++x) {
      const int index = c.at(x, y) == kClear ? kBlack : c.at(x, y);
      row[static_cast<std::size_t>(x / 2)] |=
          static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = n - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(and_stride), 0);
    for (int x = 0; x < n; ++x) {
      if (c.at(x, y) == kClear) {
        row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
}

std::vector<std::uint8_t> MakeIcon() {
  std::vector<std::vector<std::uint8_t>> images(2);
  AppendIconImage(images[0], DrawIcon(32));
  AppendIconImage(images[1], DrawIcon(16));
  std::vector<std::uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, 2);
  std::uint32_t offset = 6 + 16 * 2;
  const int sizes[] = {32, 16};
  for (int i = 0; i < 2; ++i) {
    out.push_back(static_cast<std::uint8_t>(sizes[i]));
    out.push_back(static_cast<std::uint8_t>(sizes[i]));
    out.push_back(16);  // colours
    out.push_back(0);
    Put16(out, 1);  // planes
    Put16(out, 4);  // bits per pixel
    Put32(out, static_cast<std::uint32_t>(images[static_cast<std::size_t>(i)].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(images[static_cast<std::size_t>(i)].size());
  }
  for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

// ---- Desktop icons: PNG, stored without compression ----

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type,
              const std::vector<std::uint8_t>& data) {
  PutBig32(out, static_cast<std::uint32_t>(data.size()));
  std::vector<std::uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  PutBig32(out, Crc32(body.data(), body.size()));
}

// Palette rows (the 16 colours and a clear one), each led by filter type
// 0, in a zlib stream of stored blocks.
std::vector<std::uint8_t> MakePng(const Canvas<int>& c) {
  const int n = c.width();
  constexpr std::uint8_t kClearEntry = 16;
  std::vector<std::uint8_t> raw;
  for (int y = 0; y < n; ++y) {
    raw.push_back(0);
    for (int x = 0; x < n; ++x) {
      const int index = c.at(x, y);
      raw.push_back(index == kClear ? kClearEntry : static_cast<std::uint8_t>(index));
    }
  }
  std::vector<std::uint8_t> zlib = {0x78, 0x01};
  for (std::size_t at = 0; at < raw.size();) {
    const std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
    zlib.push_back(at + length == raw.size() ? 1 : 0);
    Put16(zlib, static_cast<unsigned>(length));
    Put16(zlib, static_cast<unsigned>(~length & 0xFFFF));
    zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                raw.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  }
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBig32(zlib, (b << 16) | a);

  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutBig32(header, static_cast<std::uint32_t>(n));
  PutBig32(header, static_cast<std::uint32_t>(n));
  header.insert(header.end(), {8, 3, 0, 0, 0});  // 8-bit palette, no interlace
  PutChunk(out, "IHDR", header);
  std::vector<std::uint8_t> palette, alpha(kClearEntry + 1, 255);
  for (const Rgb& p : kPalette) palette.insert(palette.end(), {p.r, p.g, p.b});
  palette.insert(palette.end(), {0, 0, 0});
  alpha[kClearEntry] = 0;
  PutChunk(out, "PLTE", palette);
  PutChunk(out, "tRNS", alpha);
  PutChunk(out, "IDAT", zlib);
  PutChunk(out, "IEND", {});
  return out;
}

// ---- About picture: how pay, on-costs and margin build up the charge ----

Rgb Mix(Rgb a, Rgb b, int t, int range) {
  auto lerp = [&](int x, int y) { return static_cast<std::uint8_t>(x + (y - x) * t / range); };
  return {lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b)};
}

Canvas<Rgb> DrawAbout() {
  constexpr Rgb kTop{236, 244, 250}, kBottom{196, 218, 236}, kInk{20, 40, 90};
  constexpr Rgb kPay{52, 101, 164}, kWtr{245, 160, 40}, kErni{204, 60, 50}, kMargin{78, 154, 6};
  constexpr Rgb kGold{232, 185, 35}, kGoldDark{170, 125, 10}, kAxis{90, 100, 120};
  Canvas<Rgb> c(320, 240, kTop);
  for (int y = 0; y < 240; ++y) c.Rect(0, y, 320, 1, Mix(kTop, kBottom, y, 239));

  c.Text(20, 16, 6, "KOV", kInk);
  c.Text(22, 66, 2, "RATE CALCULATOR", kInk);

  // A pound coin.
  c.Disc(70, 160, 44, kGoldDark);
  c.Disc(70, 160, 40, kGold);
  c.Text(70 - 14, 160 - 20, 6, "$", kGoldDark);

  // Three columns on one axis: pay; pay with its on-costs; the charge.
  const int base = 214;
  c.Rect(140, base, 165, 2, kAxis);
  const int pay = 50, wtr = 7, erni = 8, margin = 22;
  c.Rect(150, base - pay, 36, pay, kPay);
  c.Rect(200, base - pay, 36, pay, kPay);
  c.Rect(200, base - pay - wtr, 36, wtr, kWtr);
  c.Rect(200, base - pay - wtr - erni, 36, erni, kErni);
  c.Rect(250, base - pay, 36, pay, kPay);
  c.Rect(250, base - pay - wtr, 36, wtr, kWtr);
  c.Rect(250, base - pay - wtr - erni, 36, erni, kErni);
  c.Rect(250, base - pay - wtr - erni - margin, 36, margin, kMargin);
  c.Text(156, base + 6, 1, "PAY", kInk);
  c.Text(203, base + 6, 1, "COST", kInk);
  c.Text(250, base + 6, 1, "CHARGE", kInk);

  // The legend reads as the sum it shows.
  c.Text(150, 96, 1, "PAY", kPay);
  c.Text(150, 107, 1, "+ WTR", kWtr);
  c.Text(150, 118, 1, "+ ER NI", kErni);
  c.Text(150, 129, 1, "+ MARGIN", kMargin);
  c.Text(150, 140, 1, "= CHARGE", kInk);
  return c;
}

std::vector<std::uint8_t> MakeBitmap() {
  const Canvas<Rgb> c = DrawAbout();
  const int stride = (c.width() * 3 + 3) / 4 * 4;
  const std::uint32_t image_size = static_cast<std::uint32_t>(stride * c.height());
  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, 14 + 40 + image_size);
  Put32(out, 0);
  Put32(out, 14 + 40);
  PutInfoHeader(out, c.width(), c.height(), 24, image_size, 3780);
  for (int y = c.height() - 1; y >= 0; --y) {
    for (int x = 0; x < c.width(); ++x) {
      out.push_back(c.at(x, y).b);
      out.push_back(c.at(x, y).g);
      out.push_back(c.at(x, y).r);
    }
    for (int pad = c.width() * 3; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

bool Save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return out.good();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_art <output folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const bool ok = Save(folder + "/app.ico", MakeIcon()) &&
                  Save(folder + "/about.bmp", MakeBitmap()) &&
                  Save(folder + "/icon-48.png", MakePng(DrawIcon(48))) &&
                  Save(folder + "/icon-256.png", MakePng(DrawIcon(256)));
  if (!ok) std::fprintf(stderr, "make_art: cannot write into %s\n", argv[1]);
  return ok ? 0 : 1;
}
