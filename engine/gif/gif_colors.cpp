#include "engine/gif/gif_colors.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "engine/base/convert.h"
#include "engine/base/palettes.h"
#include "engine/gif/gif_dither.h"

namespace pelindra {

Palette WebPaletteEntries() {
  Palette p;
  p.reserve(216);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) p.push_back({std::uint8_t(51 * r), std::uint8_t(51 * g), std::uint8_t(51 * b), 0});
  return p;
}

PaletteHandle MakeWebPalette() { return MakePalette(WebPaletteEntries()); }

namespace {

Palette FromQuads(const std::vector<RgbQuad>& quads) {
  Palette p;
  for (const RgbQuad& q : quads) p.push_back({q.red, q.green, q.blue, 0});
  return p;
}

}  // namespace

const Palette& SystemDefaultPalette() {
  static const Palette p = FromQuads(system20Palette());
  return p;
}

const Palette& HalftonePalette() {
  static const Palette p = FromQuads(halftonePalette());
  return p;
}

// ---------------------------------------------------------------------------

TFastColorLookup::TFastColorLookup(const Palette& palette)
    : TColorLookup(int(std::min<std::size_t>(palette.size(), 256))),
      entries_(palette.begin(), palette.begin() + colors_),
      cache_(32768, -1) {
  for (int i = 0; i < colors_; ++i) {
    const PaletteEntry& e = entries_[std::size_t(i)];
    std::int16_t& cell = cache_[std::size_t(Key(e.red, e.green, e.blue))];
    if (cell == -1) cell = std::int16_t(i);
  }
}

TColorMatch TFastColorLookup::FindIndex(int red, int green, int blue) {
  std::int16_t& cell = cache_[std::size_t(Key(red, green, blue))];
  if (cell < 0) {
    int best = INT_MAX, found = 0;
    for (int i = 0; i < colors_; ++i) {
      const PaletteEntry& e = entries_[std::size_t(i)];
      const int d = std::abs(red - e.red) + std::abs(green - e.green) + std::abs(blue - e.blue);
      if (d < best) best = d, found = i;
    }
    cell = std::int16_t(found);
  }
  const PaletteEntry& e = entries_[std::size_t(cell)];
  return {cell, e.red, e.green, e.blue};
}

// ---------------------------------------------------------------------------

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits) : max_colors_(maxColors), color_bits_(colorBits) {
  reducible_.fill(-1);
  nodes_.reserve(std::size_t(maxColors) * 8 + 64);
}

int TColorQuantizer::NewNode(int depth) {
  int index;
  if (!free_.empty()) {
    index = free_.back();
    free_.pop_back();
    nodes_[std::size_t(index)] = Node();
  } else {
    index = int(nodes_.size());
    nodes_.emplace_back();
  }
  Node& node = nodes_[std::size_t(index)];
  if (depth >= color_bits_) {
    node.leaf = true;
    ++leaf_count_;
  } else {
    node.next = reducible_[std::size_t(depth)];
    reducible_[std::size_t(depth)] = index;
  }
  return index;
}

void TColorQuantizer::AddColor(int red, int green, int blue) {
  const int color = red << 16 | green << 8 | blue;
  int node;
  if (color == last_color_ && last_leaf_ >= 0) {
    node = last_leaf_;
  } else {
    if (root_ < 0) root_ = NewNode(0);
    node = root_;
    for (int depth = 0; !nodes_[std::size_t(node)].leaf; ++depth) {
      const int m = 0x80 >> depth, s = 7 - depth;
      const int child = ((red & m) >> s) * 4 + ((green & m) >> s) * 2 + ((blue & m) >> s);
      int next = nodes_[std::size_t(node)].children[std::size_t(child)];
      if (next < 0) {
        next = NewNode(depth + 1);
        nodes_[std::size_t(node)].children[std::size_t(child)] = next;
      }
      node = next;
    }
    last_color_ = color;
    last_leaf_ = node;
  }
  Node& leaf = nodes_[std::size_t(node)];
  ++leaf.pixels;
  leaf.red += std::uint32_t(red);
  leaf.green += std::uint32_t(green);
  leaf.blue += std::uint32_t(blue);
  while (leaf_count_ > max_colors_) Reduce();
}

void TColorQuantizer::Reduce() {
  int level = 7;
  while (level > 0 && reducible_[std::size_t(level)] < 0) --level;
  const int index = reducible_[std::size_t(level)];
  if (index < 0) return;
  reducible_[std::size_t(level)] = nodes_[std::size_t(index)].next;
  std::uint32_t pixels = 0, red = 0, green = 0, blue = 0;
  int children = 0;
  for (int& child : nodes_[std::size_t(index)].children) {
    if (child < 0) continue;
    const Node& c = nodes_[std::size_t(child)];
    pixels += c.pixels, red += c.red, green += c.green, blue += c.blue;
    ++children;
    free_.push_back(child);
    child = -1;
  }
  Node& node = nodes_[std::size_t(index)];
  node.pixels += pixels;
  node.red = red, node.green = green, node.blue = blue;
  node.leaf = true;
  leaf_count_ -= children - 1;
  last_leaf_ = -1;
  last_color_ = -1;
}

void TColorQuantizer::Walk(int index, Palette& out) const {
  const Node& node = nodes_[std::size_t(index)];
  if (node.leaf) {
    if (node.pixels == 0)
      out.push_back({0, 0, 0, 0});
    else
      out.push_back({std::uint8_t(node.red / node.pixels), std::uint8_t(node.green / node.pixels),
                     std::uint8_t(node.blue / node.pixels), 0});
    return;
  }
  for (int child : node.children)
    if (child >= 0) Walk(child, out);
}

Palette TColorQuantizer::ColorTable() const {
  Palette out;
  if (root_ >= 0) Walk(root_, out);
  return out;
}

Palette OctreePalette(const Dib& source24, int n) {
  TColorQuantizer quantizer(n, 8);
  for (int y = 0; y < source24.height(); ++y) {
    const std::uint8_t* row = source24.scanLine(y);
    for (int x = 0; x < source24.width(); ++x) quantizer.AddColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  }
  // Only as many entries as leaves: unwritten entries would be picked by the nearest-colour search.
  Palette p = quantizer.ColorTable();
  if (int(p.size()) > n) p.resize(std::size_t(n));
  return p;
}

// ---------------------------------------------------------------------------

void ConvertTo24(Dib& bitmap) {
  if (bitmap.bitsPerPixel() != 24) bitmap = convertDib(bitmap, 24);
}

TDIBReader::TDIBReader(Dib& bitmap, PixelFormat format) : bitmap_(bitmap) {
  if (format == PixelFormat::Bits24) ConvertTo24(bitmap_);
}

TDIBWriter::TDIBWriter(GIFBitmap& bitmap, const PaletteHandle& palette, int height, int width, PixelFormat format)
    : bitmap_(bitmap), palette_(palette), height_(height), width_(width) {
  if (format != PixelFormat::Bits8 && format != PixelFormat::Bits24) GIFError("Unsupported PixelFormat");
  if (height == 0 || width == 0) GIFError("Invalid image dimensions");
  bits_ = format == PixelFormat::Bits8 ? 8 : 24;
}

TDIBWriter::~TDIBWriter() {
  try {
    Finish();
  } catch (...) {
  }
}

std::uint8_t* TDIBWriter::ScanLine(int row) {
  if (!dib_) {
    try {
      dib_ = std::make_unique<Dib>(width_, height_, bits_);
    } catch (const std::exception&) {
      throw GIFException("Failed to allocate memory for GIF DIB");
    }
    if (bits_ == 8) {
      auto& colors = dib_->colors();
      colors.assign(256, RgbQuad{});
      if (palette_)
        for (std::size_t i = 0; i < palette_->size() && i < 256; ++i) {
          const PaletteEntry& e = (*palette_)[i];
          colors[i] = {e.blue, e.green, e.red, 0};
        }
    }
  }
  if (row < 0 || row >= height_) GIFError("Scan line index out of range");
  return dib_->scanLine(row);
}

void TDIBWriter::Finish() {
  if (!dib_) return;
  bitmap_.Image = std::move(*dib_);
  bitmap_.Palette = palette_;
  dib_.reset();
}

// ---------------------------------------------------------------------------

namespace {

Palette GrayPalette(std::initializer_list<int> levels) {
  Palette p;
  for (int v : levels) p.push_back({std::uint8_t(v), std::uint8_t(v), std::uint8_t(v), kPaletteNoCollapse});
  return p;
}

}  // namespace

std::unique_ptr<GIFBitmap> ReduceColors(Dib& source, TColorReduction method, TDitherMode dither,
                                        const PaletteHandle& given, int depth) {
  auto result = std::make_unique<GIFBitmap>();
  if (method == TColorReduction::NoReduction) {
    result->Image = source;
    ConvertTo24(result->Image);
    return result;
  }
  TDIBReader reader(source, PixelFormat::Bits24);
  Palette palette;
  std::unique_ptr<TColorLookup> lookup;
  switch (method) {
    case TColorReduction::System20: palette = SystemDefaultPalette(); break;
    case TColorReduction::Halftone256: palette = HalftonePalette(); break;
    case TColorReduction::FourGrays: palette = GrayPalette({0, 128, 192, 255}); break;
    case TColorReduction::BlackWhite:
      palette = GrayPalette({0, 255});
      lookup = std::make_unique<TMonochromeLookup>();
      break;
    case TColorReduction::Grays256:
      for (int i = 0; i < 256; ++i)
        palette.push_back({std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), kPaletteNoCollapse});
      lookup = std::make_unique<TGrayScaleLookup>();
      break;
    case TColorReduction::WebCube216:
      palette = WebPaletteEntries();
      lookup = std::make_unique<TNetscapeColorLookup>();
      break;
    case TColorReduction::Octree:
      // A GIF table holds at most 256 colours.
      palette = OctreePalette(source, 1 << std::clamp(depth, 1, 8));
      break;
    case TColorReduction::OctreeSystem: {
      const Palette& system = SystemDefaultPalette();
      Palette octree = OctreePalette(source, 236);
      octree.resize(236);
      palette.assign(system.begin(), system.begin() + 10);
      palette.insert(palette.end(), octree.begin(), octree.end());
      palette.insert(palette.end(), system.begin() + 10, system.end());
      break;
    }
    case TColorReduction::GivenPalette:
      if (given) palette = *given;
      break;
    default: return result;
  }
  if (!lookup) lookup = std::make_unique<TFastColorLookup>(palette);
  if (lookup->Colors() == 0) return result;
  const int width = source.width(), height = source.height();
  std::unique_ptr<TDitherEngine> ditherer = CreateDitherer(dither, width, lookup.get());
  if (!ditherer) return result;
  const PaletteHandle handle = MakePalette(std::move(palette));
  TDIBWriter writer(*result, handle, height, width, PixelFormat::Bits8);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = reader.ScanLine(y);
    std::uint8_t* out = writer.ScanLine(y);
    for (int n = 0; n < width; ++n) {
      const int x = ditherer->Column();
      const std::uint8_t* p = src + 3 * x;
      out[x] = std::uint8_t(ditherer->MapPixel(p[2], p[1], p[0]).Index);
    }
    ditherer->EndRow();
  }
  writer.Finish();
  return result;
}

}  // namespace pelindra
