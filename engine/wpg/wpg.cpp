#include "engine/wpg/wpg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <tuple>

#include "engine/base/text.h"

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

struct PointD {
  double x = 0, y = 0;
};

// x' = a x + c y + e, y' = b x + d y + f.
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  PointD operator()(PointD p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
  // This map applied after first.
  Affine after(const Affine& first) const {
    return {a * first.a + c * first.b, b * first.a + d * first.b,     a * first.c + c * first.d,
            b * first.c + d * first.d, a * first.e + c * first.f + e, b * first.e + d * first.f + f};
  }
  bool keepsAxes() const { return b == 0 && c == 0; }
};

// Picture units as integers; hostile transformations may overflow doubles,
// which end at the picture space's bounds rather than in undefined casts.
int unit(double v) {
  if (std::isnan(v)) return 0;
  return int(std::clamp(std::round(v), -1e9, 1e9));
}

Point toPoint(PointD p) { return {unit(p.x), unit(p.y)}; }

// Cubic Bézier segments (start, then control, control, end ...) as chords.
std::vector<PointD> flattenCurve(std::span<const PointD> bez) {
  std::vector<PointD> out;
  if (bez.empty()) return out;
  out.push_back(bez[0]);
  for (std::size_t i = 1; i + 2 < bez.size(); i += 3)
    for (int k = 1; k <= 16; ++k) {
      const double t = k / 16.0, s = 1 - t;
      const PointD a = bez[i - 1], b = bez[i], c = bez[i + 1], d = bez[i + 2];
      out.push_back({a.x * s * s * s + 3 * b.x * s * s * t + 3 * c.x * s * t * t + d.x * t * t * t,
                     a.y * s * s * s + 3 * b.y * s * s * t + 3 * c.y * s * t * t + d.y * t * t * t});
    }
  return out;
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

  // Version 2 files: records of class, type, child count and length. A
  // record with children (a group, an object capsule, a compound polygon, a
  // bitmap with its palette and pixels, text with its characters) is followed
  // by that many records, each of which may have children of its own.
  WpgPicture runVersion2() {
    std::size_t at = u32(file_, 4);
    frames_.push_back(frame(std::numeric_limits<std::uint64_t>::max(), toPicture_));
    for (std::size_t count = 0; at < file_.size(); ++count) {
      if (count >= limits_.maxRecords) throw WpgError("too many records");
      need(at, 2);
      const std::uint8_t type = file_[at + 1];
      at += 2;
      const std::uint64_t children = length(at);
      const std::uint64_t n = length(at);
      if (n > file_.size() - at) throw WpgError("damaged record");
      rec_ = file_.subspan(at, std::size_t(n));
      at += std::size_t(n);
      if (type == 0x02) break;  // end
      next_ = frame(0, frames_.back().map);
      record2(type);
      if (frames_.back().left > 0) --frames_.back().left;
      if (children > 0) {
        // The first frame is the file itself, not a group.
        if (frames_.size() > limits_.maxNesting) throw WpgError("groups nested too deeply");
        next_.left = children;
        frames_.push_back(std::move(next_));
      }
      while (frames_.size() > 1 && frames_.back().left == 0) finishFrame();
    }
    // A file cut short still shows the shapes of its open compound polygons.
    while (frames_.size() > 1) finishFrame();
    if (picture_.items.empty()) throw WpgError("nothing in this WPG 2 file can be drawn");
    return std::move(picture_);
  }

  // An object's flags and the transformation it carries, as the records of
  // shapes, groups and bitmaps begin with them.
  struct Object {
    unsigned flags = 0;
    Affine map;
    bool framed() const { return flags & 0x8000; }
    bool closed() const { return flags & 0x4000; }
    bool filled() const { return flags & 0x2000; }
  };

  // A group of records in progress: how many of its children are still to
  // come, where its coordinates go, and (for a compound polygon) the outlines
  // its children have given so far.
  struct Frame {
    std::uint64_t left = 0;
    Affine map;
    bool compound = false;
    Object object;
    std::vector<Point> points;
    std::vector<std::size_t> rings;
  };

  static Frame frame(std::uint64_t left, const Affine& map) {
    Frame f;
    f.left = left;
    f.map = map;
    return f;
  }

  std::int32_t s32(std::size_t at) const { return std::int32_t(f16(at) | std::uint32_t(f16(at + 2)) << 16); }
  double fixed(std::size_t at) const { return s32(at) / 65536.0; }
  // A coordinate: 16-bit integers, or 32-bit numbers with 16 fraction bits.
  double coord(std::size_t& at) const {
    at += wide_ ? 4 : 2;
    return wide_ ? fixed(at - 4) : s16(at - 2);
  }
  std::size_t coordSize() const { return wide_ ? 4 : 2; }

  Object object(std::size_t& at) const {
    Object o;
    o.flags = f16(at);
    at += 2;
    if (o.flags & 0x80) at += 4;                         // edit lock flags
    if (o.flags & 0x20) at += f16(at) & 0x8000 ? 4 : 2;  // object id
    if (o.flags & 0x10) at += 4;                         // rotation angle; the matrix below carries it
    if (o.flags & 0x18) {                                // rotation or scale
      o.map.a = fixed(at);
      o.map.d = fixed(at + 4);
      at += 8;
    }
    if (o.flags & 0x14) {  // rotation or skew
      o.map.c = fixed(at);
      o.map.b = fixed(at + 4);
      at += 8;
    }
    if (o.flags & 0x02) {  // translation: fraction, then whole units
      o.map.e = s32(at + 2) + f16(at) / 65536.0;
      o.map.f = s32(at + 8) + f16(at + 6) / 65536.0;
      at += 12;
    }
    if (o.flags & 0x01) at += 8;  // taper: not drawn
    return o;
  }

  // Colours as red, green, blue and a transparency (255: not drawn at all).
  std::pair<Color, bool> colour8(std::size_t at) const {
    return {rgb(f8(at), f8(at + 1), f8(at + 2)), f8(at + 3) == 255};
  }
  std::pair<Color, bool> colour16(std::size_t at) const {
    return {rgb(f16(at) >> 8, f16(at + 2) >> 8, f16(at + 4) >> 8), f16(at + 6) >> 8 == 255};
  }

  // A brush colour: solid, or the first colour of a gradient (drawn solid).
  void brushColour(bool wide) {
    std::size_t at = 1;
    if (f8(0) != 0) {
      if (f16(1) == 0) return;
      at = 3;
    }
    std::tie(brush2_, brushClear_) = wide ? colour16(at) : colour8(at);
  }

  // A dash pattern as the canvas can draw it: dash and gap lengths in turn.
  static PenStyle dashes(std::span<const unsigned> lengths) {
    const std::size_t dashesCount = lengths.size() / 2;
    if (dashesCount == 0) return PenStyle::Solid;
    if (dashesCount == 1) return lengths[0] <= lengths[1] ? PenStyle::Dot : PenStyle::Dash;
    return dashesCount == 2 ? PenStyle::DashDot : PenStyle::DashDotDot;
  }

  void record2(std::uint8_t type) {
    switch (type) {
      case 0x01: start2(); break;
      case 0x08: {  // pen style definition: style, count, dash and gap lengths
        const unsigned style = f16(0), count = std::min<unsigned>(f16(2), 64);
        std::vector<unsigned> lengths;
        for (unsigned i = 0; i < count; ++i) lengths.push_back(f16(4 + 2 * i));
        penStyles_[style] = dashes(lengths);
        break;
      }
      case 0x0C:    // colour palette: start, count, then red, green, blue, alpha
      case 0x0D: {  // the same in 16-bit parts
        const unsigned start = f16(0), count = f16(2), size = type == 0x0C ? 4 : 8;
        for (unsigned i = 0; i < count && start + i < 256; ++i)
          palette_[start + i] = (type == 0x0C ? colour8(4 + size * i) : colour16(4 + size * i)).first;
        break;
      }
      case 0x0E: imageData2(); break;
      case 0x0F: textData2(); break;
      case 0x15: polyline2(); break;
      case 0x17: polycurve2(); break;
      case 0x18: rectangle2(); break;
      case 0x19: arc2(); break;
      case 0x1A:    // compound polygon: its children's outlines are one shape
      case 0x20:    // group
      case 0x21: {  // object capsule
        std::size_t at = 0;
        next_.object = object(at);
        next_.map = frames_.back().map.after(next_.object.map);
        next_.compound = type == 0x1A;
        break;
      }
      case 0x1B: bitmap2(); break;
      case 0x1C: textLine2(); break;
      case 0x1D: textBlock2(); break;
      case 0x25: std::tie(pen2_, penClear_) = colour8(0); break;
      case 0x26: std::tie(pen2_, penClear_) = colour16(0); break;
      case 0x29: {
        const auto it = penStyles_.find(f16(0));
        penStyle2_ = it == penStyles_.end() ? PenStyle::Solid : it->second;
        break;
      }
      case 0x2B: penWidth2_ = f16(0) * toPicture_.a; break;
      case 0x2C: penWidth2_ = std::max(0.0, fixed(0)) * toPicture_.a; break;
      case 0x31: brushColour(false); break;
      case 0x32: brushColour(true); break;
      default: break;  // attributes and records that draw nothing here
    }
  }

  // Start: units per inch, precision, the viewport and the image's extent.
  // The viewport is the picture; an empty one gives way to the extent.
  void start2() {
    const double hres = std::max<int>(1, f16(0)), vres = std::max<int>(1, f16(2));
    if (f8(4) > 1) throw WpgError("WPG 2 coordinates of unknown precision");
    wide_ = f8(4) == 1;
    std::size_t at = 5;
    double box[8] = {};
    for (int i = 0; i < 4; ++i) box[i] = coord(at);
    if (at + 4 * coordSize() <= rec_.size())
      for (int i = 4; i < 8; ++i) box[i] = coord(at);
    const double* use = box[2] != box[0] && box[3] != box[1] ? box : box + 4;
    toPicture_ = {1200 / hres,
                  0,
                  0,
                  1200 / vres,
                  -std::min(use[0], use[2]) * 1200 / hres,
                  -std::min(use[1], use[3]) * 1200 / vres};
    picture_.width = unit(std::abs(use[2] - use[0]) * 1200 / hres);
    picture_.height = unit(std::abs(use[3] - use[1]) * 1200 / vres);
    frames_.front().map = toPicture_;
    next_.map = toPicture_;
  }

  // Where the coordinates of a shape's points go: its own transformation,
  // then its groups', then the picture's units.
  Affine placed(const Object& o) const { return frames_.back().map.after(o.map); }

  Frame* compound() {
    for (auto it = frames_.rbegin(); it != frames_.rend(); ++it)
      if (it->compound) return &*it;
    return nullptr;
  }

  WpgItem shape2(WpgItem::Kind kind, const Object& o, bool filled) const {
    WpgItem it;
    it.kind = kind;
    it.pen = pen2_;
    it.penWidth = unit(penWidth2_);
    it.penStyle = penStyle2_;
    it.noPen = !o.framed() || penClear_;
    it.brush = brush2_;
    it.noBrush = !filled || brushClear_;
    return it;
  }

  void countPoints(std::size_t count) {
    if (count > limits_.maxPoints - std::min(points_, limits_.maxPoints)) throw WpgError("too many points");
    points_ += count;
  }

  std::vector<Point> mapped(const Affine& m, std::span<const PointD> pts) {
    countPoints(pts.size());
    std::vector<Point> out;
    out.reserve(pts.size());
    for (const PointD& p : pts) out.push_back(toPoint(m(p)));
    return out;
  }

  // A closed outline (or a shape with a fill) becomes a polygon, the rest a
  // polyline; within a compound polygon it is one more outline.
  void outline(const Object& o, const Affine& m, std::span<const PointD> pts, bool closed) {
    if (pts.size() < 2) return;
    if (Frame* c = compound()) {
      auto ring = mapped(m, pts);
      c->points.insert(c->points.end(), ring.begin(), ring.end());
      c->rings.push_back(ring.size());
      return;
    }
    closed = closed || o.filled();
    auto it = shape2(closed ? WpgItem::Kind::Polygon : WpgItem::Kind::Polyline, o, o.filled());
    it.points = mapped(m, pts);
    picture_.items.push_back(std::move(it));
  }

  std::vector<PointD> readPoints(std::size_t& at, std::size_t count) const {
    if (count * 2 * coordSize() > rec_.size()) throw WpgError("damaged record");
    std::vector<PointD> pts(count);
    for (auto& p : pts) {
      p.x = coord(at);
      p.y = coord(at);
    }
    return pts;
  }

  void polyline2() {
    std::size_t at = 0;
    const Object o = object(at);
    const std::size_t count = f16(at);
    at += 2;
    outline(o, placed(o), readPoints(at, count), o.closed());
  }

  // Polycurve: for each point the control point before it, the point and the
  // control point after it.
  void polycurve2() {
    std::size_t at = 0;
    const Object o = object(at);
    const std::size_t count = f16(at);
    at += 2;
    const auto t = readPoints(at, std::size_t(count) * 3);
    if (count < 2) return;
    std::vector<PointD> bez = {t[1]};
    for (std::size_t i = 1; i < count; ++i) bez.insert(bez.end(), {t[3 * i - 1], t[3 * i], t[3 * i + 1]});
    const bool closed = o.closed() || o.filled();
    // Closed curves close along the last and first control points; a curve
    // that is only filled closes with a straight line.
    if (closed) bez.insert(bez.end(), {o.closed() ? t[3 * count - 1] : bez.back(), o.closed() ? t[0] : t[1], t[1]});
    const Affine m = placed(o);
    if (compound()) return outline(o, m, flattenCurve(bez), true);
    auto it = shape2(WpgItem::Kind::Curve, o, o.filled());
    it.points = mapped(m, bez);
    it.closed = closed;
    picture_.items.push_back(std::move(it));
  }

  void rectangle2() {
    std::size_t at = 0;
    const Object o = object(at);
    const double x1 = coord(at), y1 = coord(at), x2 = coord(at), y2 = coord(at);
    double rx = std::abs(coord(at)), ry = std::abs(coord(at));
    rx = std::min(rx, std::abs(x2 - x1) / 2);
    ry = std::min(ry, std::abs(y2 - y1) / 2);
    const Affine m = placed(o);
    if (m.keepsAxes() && (rx == 0 || ry == 0) && !compound()) {
      const Point a = toPoint(m({x1, y1})), b = toPoint(m({x2, y2}));
      auto it = shape2(WpgItem::Kind::Rectangle, o, o.filled());
      it.box = {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
      picture_.items.push_back(std::move(it));
      return;
    }
    // Turned or rounded: the outline, with a quarter ellipse at each corner.
    const double l = std::min(x1, x2), r = std::max(x1, x2), b = std::min(y1, y2), t = std::max(y1, y2);
    std::vector<PointD> pts;
    if (rx == 0 || ry == 0) {
      pts = {{l, b}, {r, b}, {r, t}, {l, t}};
    } else {
      const PointD centres[4] = {{r - rx, b + ry}, {r - rx, t - ry}, {l + rx, t - ry}, {l + rx, b + ry}};
      for (int q = 0; q < 4; ++q)
        for (int k = 0; k <= 8; ++k) {
          const double a = (q * 90 - 90 + k * 90 / 8.0) * std::numbers::pi / 180;
          pts.push_back({centres[q].x + rx * std::cos(a), centres[q].y + ry * std::sin(a)});
        }
    }
    outline(o, m, pts, true);
  }

  // Arc: centre, radii, and the points where it starts and ends relative to
  // the centre; the same two points make a whole ellipse. It runs
  // counter-clockwise. Closed, it is a wedge from the centre; only filled,
  // it is closed by its chord.
  void arc2() {
    std::size_t at = 0;
    const Object o = object(at);
    const double cx = coord(at), cy = coord(at), rx = std::abs(coord(at)), ry = std::abs(coord(at));
    const double sx = coord(at), sy = coord(at), ex = coord(at), ey = coord(at);
    const bool whole = sx == ex && sy == ey;
    auto angle = [&](double x, double y) { return std::atan2(ry > 0 ? y / ry : y, rx > 0 ? x / rx : x); };
    const double t0 = angle(sx, sy);
    double span = 2 * std::numbers::pi;
    if (!whole) {
      span = std::fmod(angle(ex, ey) - t0, 2 * std::numbers::pi);
      if (span <= 0) span += 2 * std::numbers::pi;
    }
    const Affine m = placed(o);
    const bool open = !whole && !o.closed() && !o.filled();
    if (m.keepsAxes() && (whole || open) && !compound()) {
      auto it = shape2(WpgItem::Kind::Ellipse, o, whole && o.filled());
      const Point c = toPoint(m({cx, cy}));
      it.box = {c.x, c.y, unit(rx * std::abs(m.a)), unit(ry * std::abs(m.d))};
      if (!whole) {
        // Mirrored axes turn the angles over and the direction round.
        auto turned = [&](double t) {
          return std::atan2(m.d < 0 ? -std::sin(t) : std::sin(t), m.a < 0 ? -std::cos(t) : std::cos(t)) * 180 /
                 std::numbers::pi;
        };
        it.startAngle = turned(t0);
        it.endAngle = turned(t0 + span);
        if (m.a * m.d < 0) std::swap(it.startAngle, it.endAngle);
      } else {
        it.startAngle = 0;
        it.endAngle = 360;
      }
      picture_.items.push_back(std::move(it));
      return;
    }
    const int steps = std::max(2, int(std::ceil(span / (2 * std::numbers::pi) * 96)));
    std::vector<PointD> pts;
    for (int k = 0; k <= steps - (whole ? 1 : 0); ++k) {
      const double t = t0 + span * k / steps;
      pts.push_back({cx + rx * std::cos(t), cy + ry * std::sin(t)});
    }
    if (!whole && o.closed()) pts.push_back({cx, cy});
    outline(o, m, pts, !open);
  }

  // A compound polygon is done: its outlines become one shape.
  void finishFrame() {
    Frame f = std::move(frames_.back());
    frames_.pop_back();
    if (!f.compound || f.rings.empty()) return;
    auto it = shape2(WpgItem::Kind::PolyPolygon, f.object, f.object.filled());
    it.points = std::move(f.points);
    it.rings = std::move(f.rings);
    picture_.items.push_back(std::move(it));
  }

  // Bitmap: where the pixels of the image data after it go.
  void bitmap2() {
    std::size_t at = 0;
    const Object o = object(at);
    const double x1 = coord(at), y1 = coord(at), x2 = coord(at), y2 = coord(at);
    const Affine m = placed(o);
    const PointD corners[4] = {m({x1, y1}), m({x2, y1}), m({x2, y2}), m({x1, y2})};
    double l = corners[0].x, r = l, b = corners[0].y, t = b;
    for (const PointD& p : corners) {
      l = std::min(l, p.x);
      r = std::max(r, p.x);
      b = std::min(b, p.y);
      t = std::max(t, p.y);
    }
    place_ = {unit(l), unit(b), unit(r), unit(t)};
  }

  // Image data: width, height, depth code, coding, then the pixels.
  void imageData2() {
    const int w = s16(0), h = s16(2), code = f8(4), compression = f8(5);
    const int depth = code >= 1 && code <= 4 ? 1 << (code - 1) : code == 8 ? 24 : 0;
    if (depth == 0) throw WpgError("WPG 2 bitmap of unknown depth");
    if (compression > 1) throw WpgError("WPG 2 bitmap of unknown coding");
    auto it = item(WpgItem::Kind::Bitmap);
    it.bitmap = compression == 1 ? runLengthBitmap2(6, w, h, depth) : rawBitmap(6, w, h, depth);
    it.box = place_;
    picture_.items.push_back(std::move(it));
  }

  // Text line: base point, alignment and the angle of its base line; its
  // characters come in the text data after it.
  void textLine2() {
    std::size_t at = 0;
    const Object o = object(at);
    if (at + 2 + 2 * coordSize() <= rec_.size()) at += 2;
    const double x = coord(at), y = coord(at);
    const unsigned align = at < rec_.size() ? f8(at) : 0;
    const double angle = at + 6 <= rec_.size() ? fixed(at + 2) : 0;
    text_ = textPlace(placed(o), {x, y}, angle);
    text_.align = (align == 1   ? TextAlign::Center
                   : align == 2 ? TextAlign::Right
                                : TextAlign::Left) |
                  TextAlign::Baseline;
  }

  // Text block: its box; the lines run down from the upper left corner.
  void textBlock2() {
    std::size_t at = 0;
    const Object o = object(at);
    if (at + 2 + 4 * coordSize() <= rec_.size()) at += 2;
    const double x1 = coord(at), y1 = coord(at), x2 = coord(at), y2 = coord(at);
    text_ = textPlace(placed(o), {std::min(x1, x2), std::max(y1, y2)}, 0);
    text_.align = TextAlign::Left | TextAlign::Top;
  }

  struct TextPlace {
    bool open = false;
    PointD at;
    double angle = 0, height = 0;
    unsigned align = 0;
  };

  TextPlace textPlace(const Affine& m, PointD p, double angle) const {
    TextPlace t;
    t.open = true;
    t.at = m(p);
    t.angle = angle + std::atan2(m.b, m.a) * 180 / std::numbers::pi;
    // Twelve points, grown or shrunk with the object.
    const double scale = std::sqrt(std::abs(m.a * m.d - m.b * m.c) / (toPicture_.a * toPicture_.d));
    t.height = 200 * scale;
    return t;
  }

  // Text data: WordPerfect text. Plain characters are kept, extended ones
  // outside the ASCII set become '?', a hard return starts a new line, bold
  // and italic are followed, and other codes are passed over by their length.
  void textData2() {
    if (!text_.open) return;
    text_.open = false;
    struct Line {
      std::string text;
      bool bold = false, italic = false;
    };
    std::vector<Line> lines(1);
    bool bold = false, italic = false;
    auto put = [&](char c) {
      if (lines.back().text.empty()) {
        lines.back().bold = bold;
        lines.back().italic = italic;
      }
      lines.back().text += c;
    };
    const std::size_t n = rec_.size();
    for (std::size_t i = 0; i < n;) {
      const std::uint8_t b = rec_[i];
      if (b >= 0x20 && b < 0x7F) {
        put(char(b));
      } else if (b == 0x80 || b == 0x81) {
        put(' ');
      } else if (b == 0xCC) {
        lines.emplace_back();
      } else if (b >= 0xD0 && b < 0xF0 && i + 4 <= n) {
        const std::size_t size = u16(rec_, i + 2);
        if (size >= 5 && size <= n - i && rec_[i + size - 1] == b) {
          i += size;
          continue;
        }
      } else if (b >= 0xF0 && b != 0xFF) {
        // Fixed-length codes end with their own first byte.
        std::size_t end = i + 1;
        while (end < n && end < i + 16 && rec_[end] != b) ++end;
        if (end < n && rec_[end] == b) {
          if (b == 0xF0 && end == i + 3)
            put(rec_[i + 2] == 0 && rec_[i + 1] >= 0x20 && rec_[i + 1] < 0x7F ? char(rec_[i + 1]) : '?');
          if ((b == 0xF2 || b == 0xF3) && end == i + 2) {
            if (rec_[i + 1] == 12) bold = b == 0xF2;
            if (rec_[i + 1] == 8) italic = b == 0xF2;
          }
          i = end + 1;
          continue;
        }
      }
      ++i;
    }
    const double a = text_.angle * std::numbers::pi / 180, step = text_.height * 1.2;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      if (lines[k].text.empty()) continue;
      WpgItem it;
      it.kind = WpgItem::Kind::Text;
      it.text = std::move(lines[k].text);
      it.bold = lines[k].bold;
      it.italic = lines[k].italic;
      countPoints(1);
      it.points = {toPoint({text_.at.x + k * step * std::sin(a), text_.at.y - k * step * std::cos(a)})};
      it.textHeight = std::max(1, unit(text_.height));
      it.textAlign = text_.align;
      it.textAngle = text_.angle;
      it.pen = pen2_;
      picture_.items.push_back(std::move(it));
    }
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
    countPoints(count);
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
        it.text = textToUtf8(std::string(rec_.begin() + 6, rec_.begin() + 6 + std::ptrdiff_t(n)));
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

  // Version 2 state: coordinate precision, the map from the file's units
  // into the picture, open groups, and the current pen, brush and text.
  bool wide_ = false;
  Affine toPicture_;
  std::vector<Frame> frames_;
  Frame next_;
  std::map<unsigned, PenStyle> penStyles_;
  Color pen2_ = 0, brush2_ = 0;
  bool penClear_ = false, brushClear_ = false;
  PenStyle penStyle2_ = PenStyle::Solid;
  double penWidth2_ = 0;
  Rect place_;
  TextPlace text_;
};

}  // namespace

WpgPicture ReadWpg(std::span<const std::uint8_t> file, const WpgLimits& limits) { return Reader(file, limits).run(); }

void DrawWpg(const WpgPicture& picture, Canvas& canvas, int width, int height) {
  const int pw = std::max(picture.width, 1), ph = std::max(picture.height, 1);
  const double sx = double(width) / pw, sy = double(height) / ph;
  // Device coordinates stay within what a device context takes, so that a
  // sum of two of them cannot overflow either.
  auto device = [](double v) { return int(std::clamp(std::round(v), -double(1 << 27), double(1 << 27))); };
  auto map = [&](Point p) { return Point{device(p.x * sx), device((ph - double(p.y)) * sy)}; };
  for (const auto& it : picture.items) {
    Pen pen{it.pen, std::max(1, device(it.penWidth * sx)), it.noPen ? PenStyle::Clear : it.penStyle};
    canvas.setPen(pen);
    canvas.setBrush({it.brush, it.noBrush ? BrushStyle::Clear : BrushStyle::Solid});
    std::vector<Point> pts;
    for (Point p : it.points) pts.push_back(map(p));
    switch (it.kind) {
      case WpgItem::Kind::Line:
      case WpgItem::Kind::Polyline: canvas.polyline(pts); break;
      case WpgItem::Kind::Polygon: canvas.polygon(pts); break;
      case WpgItem::Kind::PolyPolygon: canvas.polyPolygon(pts, it.rings); break;
      case WpgItem::Kind::Curve: {
        std::vector<PointD> bez;
        for (Point p : pts) bez.push_back({double(p.x), double(p.y)});
        std::vector<Point> curve;
        for (PointD p : flattenCurve(bez)) curve.push_back(toPoint(p));
        if (it.closed)
          canvas.polygon(curve);
        else
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
        const int rx = device(it.box.right * sx), ry = device(it.box.bottom * sy);
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
        f.height = -std::max(1, device(it.textHeight * sy));
        f.color = it.pen;
        f.bold = it.bold;
        f.italic = it.italic;
        f.escapement = int(std::lround(std::remainder(it.textAngle, 360.0) * 10));
        canvas.setFont(f);
        canvas.setTextAlign(it.textAlign);
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
