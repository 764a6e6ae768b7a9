#include "engine/wpg/wpg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace pelindra {

namespace {

// Record types of version 1 files.
enum : std::uint8_t {
  kFillAttributes = 0x01,
  kLineAttributes = 0x02,
  kLine = 0x05,
  kPolyline = 0x06,
  kRectangle = 0x07,
  kPolygon = 0x08,
  kEllipse = 0x09,
  kBitmap1 = 0x0B,
  kText = 0x0C,
  kTextAttributes = 0x0D,
  kColorMap = 0x0E,
  kStart = 0x0F,
  kEnd = 0x10,
  kCurve = 0x13,
  kBitmap2 = 0x14,
};

// The colours a file has until its colour map says otherwise: the sixteen
// display colours, a colour cube and a grey ramp.
std::array<Color, 256> defaultPalette() {
  std::array<Color, 256> p{};
  const Color sixteen[16] = {rgb(0, 0, 0),     rgb(0, 0, 170),    rgb(0, 170, 0),    rgb(0, 170, 170),
                             rgb(170, 0, 0),   rgb(170, 0, 170),  rgb(170, 85, 0),   rgb(170, 170, 170),
                             rgb(85, 85, 85),  rgb(85, 85, 255),  rgb(85, 255, 85),  rgb(85, 255, 255),
                             rgb(255, 85, 85), rgb(255, 85, 255), rgb(255, 255, 85), rgb(255, 255, 255)};
  std::copy(std::begin(sixteen), std::end(sixteen), p.begin());
  for (int i = 0; i < 216; ++i) p[16 + i] = rgb(i / 36 * 51, i / 6 % 6 * 51, i % 6 * 51);
  for (int i = 0; i < 24; ++i) p[232 + i] = rgb(i * 11, i * 11, i * 11);
  return p;
}

class Reader {
 public:
  Reader(std::span<const std::uint8_t> file, const WpgLimits& limits) : file_(file), limits_(limits) {}

  WpgPicture run() {
    if (file_.size() < 16 || file_[0] != 0xFF || file_[1] != 'W' || file_[2] != 'P' || file_[3] != 'C')
      throw WpgError("not a WordPerfect graphics file");
    if (file_[9] != 0x16) throw WpgError("a WordPerfect file that holds no graphics");
    picture_.version = file_[10];
    if (picture_.version == 2) return runVersion2();
    if (picture_.version != 1) throw WpgError("WPG version " + std::to_string(picture_.version) + " is not read");
    std::size_t at = u32(file_, 4);
    for (std::size_t count = 0; at < file_.size(); ++count) {
      if (count >= limits_.maxRecords) throw WpgError("too many records");
      const std::uint8_t type = byte(at++);
      const std::uint64_t n = length(at);
      if (n > file_.size() - at) throw WpgError("damaged record");
      rec_ = file_.subspan(at, std::size_t(n));
      at += std::size_t(n);
      if (type == kEnd) break;
      record(type);
    }
    return std::move(picture_);
  }

 private:
  static std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint16_t(b[at] | b[at + 1] << 8);
  }
  static std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
    return u16(b, at) | std::uint32_t(u16(b, at + 2)) << 16;
  }
  std::uint8_t byte(std::size_t at) const { return file_[need(at, 1)]; }

  // A length as both versions store it: one byte, or 0xFF and 16 bits, or
  // (high bit set) 31 bits in two words.
  std::uint64_t length(std::size_t& at) const {
    std::uint64_t n = byte(at++);
    if (n == 0xFF) {
      n = u16(file_, need(at, 2));
      at += 2;
      if (n & 0x8000) {
        n = (n & 0x7FFF) << 16 | u16(file_, need(at, 2));
        at += 2;
      }
    }
    return n;
  }

  // Version 2 files: records of class, type, extension and length. Their
  // bitmaps are read (plain or run-length coded, 1 to 8 or 24 bits a pixel,
  // placed by the bitmap record before them); other records are skipped.
  WpgPicture runVersion2() {
    std::size_t at = u32(file_, 4);
    int hres = 1200, vres = 1200;
    Rect place;
    for (std::size_t count = 0; at < file_.size(); ++count) {
      if (count >= limits_.maxRecords) throw WpgError("too many records");
      need(at, 2);
      const std::uint8_t type = file_[at + 1];
      at += 2;
      length(at);  // extension: part of the record's data
      const std::uint64_t n = length(at);
      if (n > file_.size() - at) throw WpgError("damaged record");
      rec_ = file_.subspan(at, std::size_t(n));
      at += std::size_t(n);
      if (type == 0x02) break;  // end
      switch (type) {
        case 0x01:  // start: resolution and the picture's box
          hres = std::max<int>(1, f16(0));
          vres = std::max<int>(1, f16(2));
          picture_.width = (f16(9) - f16(5)) * 1200 / hres;
          picture_.height = (f16(11) - f16(7)) * 1200 / vres;
          break;
        case 0x0C: {  // colour palette: start, count, then red, green, blue, alpha
          const unsigned start = f16(0), count = f16(2);
          for (unsigned i = 0; i < count && start + i < 256; ++i)
            palette_[start + i] = rgb(f8(4 + 4 * i), f8(5 + 4 * i), f8(6 + 4 * i));
          break;
        }
        case 0x1B: {  // bitmap position: the last twelve bytes
          if (rec_.size() < 12) throw WpgError("damaged record");
          const std::size_t b = rec_.size() - 12;
          place = {s16(b) * 1200 / hres, s16(b + 2) * 1200 / vres, s16(b + 4) * 1200 / hres, s16(b + 6) * 1200 / vres};
          break;
        }
        case 0x0E: {  // image data: width, height, depth code, compression
          const int w = s16(0), h = s16(2), code = f8(4), compression = f8(5);
          const int depth = code >= 1 && code <= 4 ? 1 << (code - 1) : code == 8 ? 24 : 0;
          if (depth == 0) throw WpgError("WPG 2 bitmap of unknown depth");
          if (compression > 1) throw WpgError("WPG 2 bitmap of unknown coding");
          auto it = item(WpgItem::Kind::Bitmap);
          it.bitmap = compression == 1 ? runLengthBitmap2(6, w, h, depth) : rawBitmap(6, w, h, depth);
          it.box = {place.left, place.top, place.right, place.bottom};
          picture_.items.push_back(std::move(it));
          break;
        }
        default: break;
      }
    }
    if (picture_.items.empty()) throw WpgError("nothing in this WPG 2 file can be drawn");
    return std::move(picture_);
  }
  std::size_t need(std::size_t at, std::size_t n) const {
    if (at + n > file_.size()) throw WpgError("damaged record");
    return at;
  }
  // Fields of the current record.
  std::uint16_t f16(std::size_t at) const {
    if (at + 2 > rec_.size()) throw WpgError("damaged record");
    return u16(rec_, at);
  }
  int s16(std::size_t at) const { return std::int16_t(f16(at)); }
  std::uint8_t f8(std::size_t at) const {
    if (at >= rec_.size()) throw WpgError("damaged record");
    return rec_[at];
  }

  std::vector<Point> points(std::size_t at, std::size_t count) {
    if (count > limits_.maxPoints - std::min(points_, limits_.maxPoints)) throw WpgError("too many points");
    points_ += count;
    std::vector<Point> pts(count);
    for (std::size_t i = 0; i < count; ++i) pts[i] = {s16(at + 4 * i), s16(at + 4 * i + 2)};
    return pts;
  }

  WpgItem item(WpgItem::Kind kind) const {
    WpgItem it = style_;
    it.kind = kind;
    return it;
  }

  Dib bitmap(std::size_t at, int width, int height, int depth) {
    if (width <= 0 || height <= 0) throw WpgError("bitmap without pixels");
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8) throw WpgError("bitmap of unknown depth");
    if (std::uint64_t(width) * height > limits_.maxBitmapPixels) throw WpgError("bitmap too large");
    const std::size_t rowBytes = (std::size_t(width) * depth + 7) / 8;
    std::vector<std::uint8_t> data;
    data.reserve(rowBytes * height);
    const std::size_t total = rowBytes * std::size_t(height);
    // Runs: a byte with the high bit set repeats the next byte as often as
    // its low bits say (or, when they are zero, repeats 0xFF as often as the
    // next byte says); otherwise that many bytes follow as they are, and a
    // zero repeats the last whole scan line as often as the next byte says.
    while (data.size() < total && at < rec_.size()) {
      const std::uint8_t op = rec_[at++];
      std::size_t n = op & 0x7F;
      if (op & 0x80) {
        std::uint8_t value = 0xFF;
        if (n == 0)
          n = f8(at++);
        else
          value = f8(at++);
        data.insert(data.end(), std::min(n, total - data.size()), value);
      } else if (n == 0) {
        n = f8(at++);
        const std::size_t full = data.size() / rowBytes * rowBytes;
        for (std::size_t i = 0; i < n && data.size() < total; ++i) {
          if (full < rowBytes) {
            data.insert(data.end(), std::min(rowBytes, total - data.size()), 0);
          } else {
            const std::size_t from = full - rowBytes, take = std::min(rowBytes, total - data.size());
            for (std::size_t k = 0; k < take; ++k) data.push_back(data[from + k]);
          }
        }
      } else {
        if (at + n > rec_.size()) throw WpgError("damaged bitmap");
        n = std::min(n, total - data.size());
        data.insert(data.end(), rec_.begin() + std::ptrdiff_t(at), rec_.begin() + std::ptrdiff_t(at + n));
        at += op & 0x7F;
      }
    }
    data.resize(total);
    return toDib(data, width, height, depth);
  }

  std::size_t checkedSize(int width, int height, int depth) const {
    if (width <= 0 || height <= 0) throw WpgError("bitmap without pixels");
    if (std::uint64_t(width) * height > limits_.maxBitmapPixels) throw WpgError("bitmap too large");
    return (std::size_t(width) * depth + 7) / 8 * std::size_t(height);
  }

  Dib rawBitmap(std::size_t at, int width, int height, int depth) {
    const std::size_t total = checkedSize(width, height, depth);
    if (at + total > rec_.size()) throw WpgError("damaged bitmap");
    return toDib({rec_.begin() + std::ptrdiff_t(at), rec_.begin() + std::ptrdiff_t(at + total)}, width, height, depth);
  }

  // Version 2 runs, in units of a set number of bytes: 0x7D sets the unit,
  // 0x7F and 0xFF give n + 1 units of zero or 0xFF bytes, 0xFE repeats the
  // last whole scan line n times, other bytes with the high bit set repeat the
  // next unit (low bits + 1) times, and the rest give that many + 1 units as
  // they are.
  Dib runLengthBitmap2(std::size_t at, int width, int height, int depth) {
    const std::size_t total = checkedSize(width, height, depth), rowBytes = total / std::size_t(height);
    std::vector<std::uint8_t> data;
    data.reserve(total);
    std::size_t unit = 1;
    auto room = [&](std::size_t n) { return std::min(n, total - data.size()); };
    while (data.size() < total && at < rec_.size()) {
      const std::uint8_t op = rec_[at++];
      if (op == 0x7D) {
        unit = std::clamp<std::size_t>(f8(at++), 1, 4);
      } else if (op == 0x7F || op == 0xFF) {
        data.insert(data.end(), room((f8(at++) + 1u) * unit), op == 0x7F ? 0 : 0xFF);
      } else if (op == 0xFE) {
        const std::size_t n = f8(at++), full = data.size() / rowBytes * rowBytes;
        for (std::size_t i = 0; i < n && data.size() < total; ++i)
          for (std::size_t k = 0, m = room(rowBytes); k < m; ++k) data.push_back(full ? data[full - rowBytes + k] : 0);
      } else if (op == 0x7E) {
        throw WpgError("WPG 2 bitmap of unknown coding");
      } else {
        const std::size_t n = (op & 0x7Fu) + 1, bytes = (op & 0x80 ? 1 : n) * unit;
        if (at + bytes > rec_.size()) throw WpgError("damaged bitmap");
        for (std::size_t i = 0; i < (op & 0x80 ? n : 1); ++i)
          for (std::size_t k = 0; k < bytes && data.size() < total; ++k) data.push_back(rec_[at + k]);
        at += bytes;
      }
    }
    data.resize(total);
    return toDib(data, width, height, depth);
  }

  Dib toDib(const std::vector<std::uint8_t>& data, int width, int height, int depth) const {
    const std::size_t rowBytes = (std::size_t(width) * depth + 7) / 8;
    if (depth == 24) {  // red, green, blue
      Dib dib(width, height, 24);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const std::uint8_t* p = data.data() + rowBytes * std::size_t(y) + 3 * std::size_t(x);
          dib.setPixel(x, y, rgb(p[0], p[1], p[2]));
        }
      return dib;
    }
    Dib dib(width, height, depth == 2 ? 4 : depth);
    dib.colors().resize(std::size_t(1) << dib.bitsPerPixel());
    // Two-colour bitmaps are black and white whatever the colour map holds.
    for (std::size_t i = 0; i < dib.colors().size(); ++i)
      dib.colors()[i] = depth == 1 ? toQuad(i ? rgb(255, 255, 255) : rgb(0, 0, 0)) : toQuad(palette_[i % 256]);
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = data.data() + rowBytes * std::size_t(y);
      for (int x = 0; x < width; ++x) {
        const unsigned bit = unsigned(x) * depth;
        const unsigned v = row[bit / 8] >> (8 - depth - bit % 8) & ((1u << depth) - 1);
        dib.setIndex(x, y, v);
      }
    }
    return dib;
  }

  void record(std::uint8_t type) {
    switch (type) {
      case kStart:
        picture_.width = f16(2);
        picture_.height = f16(4);
        break;
      case kColorMap: {
        const unsigned start = f16(0), count = f16(2);
        for (unsigned i = 0; i < count && start + i < 256; ++i)
          palette_[start + i] = rgb(f8(4 + 3 * i), f8(5 + 3 * i), f8(6 + 3 * i));
        break;
      }
      case kFillAttributes:
        style_.noBrush = f8(0) == 0;
        style_.brush = palette_[f8(1)];
        break;
      case kLineAttributes:
        style_.noPen = f8(0) == 0;
        style_.pen = palette_[f8(1)];
        style_.penWidth = f16(2);
        break;
      case kTextAttributes:
        textHeight_ = f16(2);
        textColour_ = rec_.size() > 19 ? palette_[f8(19)] : textColour_;
        break;
      case kLine: {
        auto it = item(WpgItem::Kind::Line);
        it.points = points(0, 2);
        picture_.items.push_back(std::move(it));
        break;
      }
      case kPolyline:
      case kPolygon: {
        auto it = item(type == kPolygon ? WpgItem::Kind::Polygon : WpgItem::Kind::Polyline);
        it.points = points(2, f16(0));
        picture_.items.push_back(std::move(it));
        break;
      }
      case kCurve: {
        auto it = item(WpgItem::Kind::Curve);
        it.points = points(6, f16(4));
        picture_.items.push_back(std::move(it));
        break;
      }
      case kRectangle: {
        auto it = item(WpgItem::Kind::Rectangle);
        it.box = {s16(0), s16(2), s16(0) + s16(4), s16(2) + s16(6)};
        picture_.items.push_back(std::move(it));
        break;
      }
      case kEllipse: {
        auto it = item(WpgItem::Kind::Ellipse);
        it.box = {s16(0), s16(2), s16(4), s16(6)};
        it.rotation = f16(8);
        it.startAngle = f16(10);
        it.endAngle = f16(12);
        picture_.items.push_back(std::move(it));
        break;
      }
      case kText: {
        auto it = item(WpgItem::Kind::Text);
        const std::size_t n = f16(0);
        it.points = {{s16(2), s16(4)}};
        if (6 + n > rec_.size()) throw WpgError("damaged record");
        it.text.assign(rec_.begin() + 6, rec_.begin() + 6 + std::ptrdiff_t(n));
        it.textHeight = textHeight_;
        it.pen = textColour_;
        picture_.items.push_back(std::move(it));
        break;
      }
      case kBitmap1:
      case kBitmap2: {
        auto it = item(WpgItem::Kind::Bitmap);
        const std::size_t base = type == kBitmap2 ? 10 : 0;
        const int w = s16(base), h = s16(base + 2), depth = f16(base + 4);
        const int hres = std::max<int>(1, f16(base + 6)), vres = std::max<int>(1, f16(base + 8));
        it.bitmap = bitmap(base + 10, w, h, depth);
        if (type == kBitmap2)
          it.box = {s16(2), s16(4), s16(6), s16(8)};
        else  // placed at the picture's upper left at its own resolution
          it.box = {0, picture_.height - h * 1200 / vres, w * 1200 / hres, picture_.height};
        picture_.items.push_back(std::move(it));
        break;
      }
      default: break;
    }
  }

  std::span<const std::uint8_t> file_, rec_;
  const WpgLimits& limits_;
  WpgPicture picture_;
  std::array<Color, 256> palette_ = defaultPalette();
  WpgItem style_;
  int textHeight_ = 0;
  Color textColour_ = 0;
  std::size_t points_ = 0;
};

}  // namespace

WpgPicture ReadWpg(std::span<const std::uint8_t> file, const WpgLimits& limits) { return Reader(file, limits).run(); }

void DrawWpg(const WpgPicture& picture, Canvas& canvas, int width, int height) {
  const int pw = std::max(picture.width, 1), ph = std::max(picture.height, 1);
  const double sx = double(width) / pw, sy = double(height) / ph;
  auto map = [&](Point p) { return Point{int(std::lround(p.x * sx)), int(std::lround((ph - p.y) * sy))}; };
  for (const auto& it : picture.items) {
    Pen pen{it.pen, std::max(1, int(std::lround(it.penWidth * sx))), it.noPen ? PenStyle::Clear : PenStyle::Solid};
    canvas.setPen(pen);
    canvas.setBrush({it.brush, it.noBrush ? BrushStyle::Clear : BrushStyle::Solid});
    std::vector<Point> pts;
    for (Point p : it.points) pts.push_back(map(p));
    switch (it.kind) {
      case WpgItem::Kind::Line:
      case WpgItem::Kind::Polyline: canvas.polyline(pts); break;
      case WpgItem::Kind::Polygon: canvas.polygon(pts); break;
      case WpgItem::Kind::Curve: {
        std::vector<Point> curve;
        if (!it.points.empty()) curve.push_back(pts[0]);
        for (std::size_t i = 1; i + 2 < pts.size(); i += 3)
          for (int k = 1; k <= 16; ++k) {
            const double t = k / 16.0, s = 1 - t;
            const Point b = pts[i], c = pts[i + 1], d = pts[i + 2];
            curve.push_back({int(std::lround(pts[i - 1].x * s * s * s + 3 * b.x * s * s * t + 3 * c.x * s * t * t +
                                             d.x * t * t * t)),
                             int(std::lround(pts[i - 1].y * s * s * s + 3 * b.y * s * s * t + 3 * c.y * s * t * t +
                                             d.y * t * t * t))});
          }
        canvas.polyline(curve);
        break;
      }
      case WpgItem::Kind::Rectangle: {
        const Point a = map({it.box.left, it.box.top}), b = map({it.box.right, it.box.bottom});
        canvas.rectangle({std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)});
        break;
      }
      case WpgItem::Kind::Ellipse: {
        const Point c = map({it.box.left, it.box.top});
        const int rx = int(std::lround(it.box.right * sx)), ry = int(std::lround(it.box.bottom * sy));
        const Rect box{c.x - rx, c.y - ry, c.x + rx, c.y + ry};
        if (it.startAngle == it.endAngle || (it.startAngle == 0 && it.endAngle >= 360)) {
          canvas.ellipse(box);
        } else {
          const double a0 = it.startAngle * std::numbers::pi / 180, a1 = it.endAngle * std::numbers::pi / 180;
          canvas.arc(box, {c.x + int(std::lround(rx * std::cos(a0))), c.y - int(std::lround(ry * std::sin(a0)))},
                     {c.x + int(std::lround(rx * std::cos(a1))), c.y - int(std::lround(ry * std::sin(a1)))});
        }
        break;
      }
      case WpgItem::Kind::Text: {
        Font f = canvas.font();
        f.height = -std::max(1, int(std::lround(it.textHeight * sy)));
        f.color = it.pen;
        canvas.setFont(f);
        canvas.setTextAlign(TextAlign::Left | TextAlign::Baseline);
        if (!pts.empty()) canvas.textOut(pts[0], it.text);
        break;
      }
      case WpgItem::Kind::Bitmap: {
        const Point a = map({it.box.left, it.box.bottom}), b = map({it.box.right, it.box.top});
        const int bw = std::abs(b.x - a.x), bh = std::abs(b.y - a.y);
        const Dib& d = it.bitmap;
        const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
        // Each source pixel at most once: runs of one colour in a row become
        // one filled rectangle, so drawing stays bounded by the bitmap's size.
        canvas.setPen({0, 1, PenStyle::Clear});
        for (int y = 0; y < d.height(); ++y) {
          const int y0 = top + int(std::int64_t(y) * bh / d.height()),
                    y1 = top + int(std::int64_t(y + 1) * bh / d.height());
          if (y1 == y0) continue;
          for (int x = 0; x < d.width();) {
            const Color c = d.pixel(x, y);
            int end = x + 1;
            while (end < d.width() && d.pixel(end, y) == c) ++end;
            const int x0 = left + int(std::int64_t(x) * bw / d.width()),
                      x1 = left + int(std::int64_t(end) * bw / d.width());
            if (x1 > x0) {
              canvas.setBrush({c, BrushStyle::Solid});
              canvas.rectangle({x0, y0, x1 + 1, y1 + 1});
            }
            x = end;
          }
        }
        break;
      }
    }
  }
}

}  // namespace pelindra
