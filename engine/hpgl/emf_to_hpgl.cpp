#include "engine/hpgl/emf_to_hpgl.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <numbers>
#include <optional>
#include <vector>

#include "engine/hpgl/normalizer.h"

namespace pelindra {

namespace {

using Real = double;
constexpr Real kPi = std::numbers::pi;

struct P {
  Real x = 0, y = 0;
};

// Record types of an enhanced metafile.
enum : std::uint32_t {
  kHeader = 1,
  kPolyBezier = 2,
  kPolygon = 3,
  kPolyline = 4,
  kPolyBezierTo = 5,
  kPolylineTo = 6,
  kPolyPolyline = 7,
  kPolyPolygon = 8,
  kSetWindowExt = 9,
  kSetWindowOrg = 10,
  kSetViewportExt = 11,
  kSetViewportOrg = 12,
  kEof = 14,
  kSetMapMode = 17,
  kSetTextAlign = 22,
  kSetTextColor = 24,
  kMoveTo = 27,
  kSaveDc = 33,
  kRestoreDc = 34,
  kSetWorldTransform = 35,
  kModifyWorldTransform = 36,
  kSelectObject = 37,
  kCreatePen = 38,
  kCreateBrush = 39,
  kDeleteObject = 40,
  kAngleArc = 41,
  kEllipse = 42,
  kRectangle = 43,
  kRoundRect = 44,
  kArc = 45,
  kChord = 46,
  kPie = 47,
  kLineTo = 54,
  kArcTo = 55,
  kCreateFont = 82,
  kTextOutA = 83,
  kTextOutW = 84,
  kPolyBezier16 = 85,
  kPolygon16 = 86,
  kPolyline16 = 87,
  kPolyBezierTo16 = 88,
  kPolylineTo16 = 89,
  kPolyPolyline16 = 90,
  kPolyPolygon16 = 91,
  kExtCreatePen = 95,
};

struct Object {
  enum Kind { Pen, Brush, Font } kind = Pen;
  Color color = 0;
  bool null = false;
  Real height = 0;      // fonts, logical units
  Real escapement = 0;  // fonts, tenths of a degree
};

struct Xform {
  Real m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
  P apply(P p) const { return {p.x * m11 + p.y * m21 + dx, p.x * m12 + p.y * m22 + dy}; }
  Xform then(const Xform& b) const {
    return {m11 * b.m11 + m12 * b.m21, m11 * b.m12 + m12 * b.m22,      m21 * b.m11 + m22 * b.m21,
            m21 * b.m12 + m22 * b.m22, dx * b.m11 + dy * b.m21 + b.dx, dx * b.m12 + dy * b.m22 + b.dy};
  }
};

struct Dc {
  int mapMode = 1;  // MM_TEXT
  P windowOrg, windowExt{1, 1}, viewportOrg, viewportExt{1, 1};
  Xform world;
  Object pen{Object::Pen, 0, false};
  Object brush{Object::Brush, rgb(255, 255, 255), false};
  Object font{Object::Font, 0, false, 12, 0};
  unsigned textAlign = 0;
  P current;
};

class Reader {
 public:
  Reader(std::span<const std::uint8_t> emf, const EmfToHpglOptions& options) : emf_(emf), options_(options) {}

  std::string run() {
    if (emf_.size() < 88 || u32(0) != kHeader || u32(40) != 0x464D4520) throw EmfError("not an enhanced metafile");
    // The frame (0.01 mm) and the reference device give millimetres per pixel.
    const Real frameL = i32(24) / 100.0, frameT = i32(28) / 100.0, frameR = i32(32) / 100.0, frameB = i32(36) / 100.0;
    const Real devX = i32(72), devY = i32(76), mmX = i32(80), mmY = i32(84);
    mmPerPixelX_ = devX > 0 && mmX > 0 ? mmX / devX : 0.25;
    mmPerPixelY_ = devY > 0 && mmY > 0 ? mmY / devY : 0.25;
    originX_ = frameL;
    originY_ = frameB;
    // Larger than the sheet: shrunk to fit it.
    const Real w = (frameR - frameL) * 40, h = (frameB - frameT) * 40;
    if (w > options_.sheetWidth || h > options_.sheetHeight)
      fit_ = std::min(w > 0 ? options_.sheetWidth / w : 1, h > 0 ? options_.sheetHeight / h : 1);
    // What lies outside the sheet is cut off, as the plotter's limits do.
    emit("IW0,0,%d,%d;", options_.sheetWidth, options_.sheetHeight);
    const std::size_t empty = hpgl_.size();

    std::size_t at = 0;
    while (at + 8 <= emf_.size()) {
      const std::uint32_t type = u32(at), size = u32(at + 4);
      if (size < 8 || size % 4 != 0 || size > emf_.size() - at) throw EmfError("damaged metafile record");
      record_ = emf_.subspan(at, size);
      if (type == kEof) break;
      play(type);
      at += size;
    }
    if (hpgl_.size() == empty) return "IN;";
    return NormalizeHpgl(hpgl_);
  }

 private:
  std::uint32_t u32(std::size_t at) const {
    return emf_[at] | emf_[at + 1] << 8 | emf_[at + 2] << 16 | std::uint32_t(emf_[at + 3]) << 24;
  }
  std::int32_t i32(std::size_t at) const { return std::int32_t(u32(at)); }
  // Fields of the current record; reading past its end is a damaged record.
  void need(std::size_t bytes) const {
    if (bytes > record_.size()) throw EmfError("damaged metafile record");
  }
  std::uint32_t r32(std::size_t at) const {
    need(at + 4);
    return record_[at] | record_[at + 1] << 8 | record_[at + 2] << 16 | std::uint32_t(record_[at + 3]) << 24;
  }
  std::int32_t ri32(std::size_t at) const { return std::int32_t(r32(at)); }
  std::int16_t ri16(std::size_t at) const {
    need(at + 2);
    return std::int16_t(record_[at] | record_[at + 1] << 8);
  }
  Real rf(std::size_t at) const {
    const std::uint32_t bits = r32(at);
    float f;
    static_assert(sizeof f == 4);
    std::memcpy(&f, &bits, 4);
    return std::isfinite(f) ? f : 0;
  }
  P point32(std::size_t at) const { return {Real(ri32(at)), Real(ri32(at + 4))}; }
  std::vector<P> points(std::size_t at, std::size_t count, bool small) const {
    need(at + count * (small ? 4 : 8));
    std::vector<P> pts(count);
    for (std::size_t i = 0; i < count; ++i)
      pts[i] = small ? P{Real(ri16(at + 4 * i)), Real(ri16(at + 4 * i + 2))} : point32(at + 8 * i);
    return pts;
  }

  // Logical units to plotter units.
  P toPlotter(P logical) const {
    P p = dc_.world.apply(logical);
    Real sx = 1, sy = 1;
    switch (dc_.mapMode) {
      case 2: sx = 0.1 / mmPerPixelX_, sy = -0.1 / mmPerPixelY_; break;      // MM_LOMETRIC
      case 3: sx = 0.01 / mmPerPixelX_, sy = -0.01 / mmPerPixelY_; break;    // MM_HIMETRIC
      case 4: sx = 0.254 / mmPerPixelX_, sy = -0.254 / mmPerPixelY_; break;  // MM_LOENGLISH
      case 5: sx = 0.0254 / mmPerPixelX_, sy = -0.0254 / mmPerPixelY_; break;
      case 6: sx = 25.4 / 1440 / mmPerPixelX_, sy = -25.4 / 1440 / mmPerPixelY_; break;  // MM_TWIPS
      case 7:
      case 8:
        sx = dc_.windowExt.x != 0 ? dc_.viewportExt.x / dc_.windowExt.x : 1;
        sy = dc_.windowExt.y != 0 ? dc_.viewportExt.y / dc_.windowExt.y : 1;
        if (dc_.mapMode == 7) {  // isotropic: the smaller scale both ways
          const Real s = std::min(std::fabs(sx), std::fabs(sy));
          sx = std::copysign(s, sx);
          sy = std::copysign(s, sy);
        }
        break;
      default: break;
    }
    const Real dx = (p.x - dc_.windowOrg.x) * sx + dc_.viewportOrg.x;
    const Real dy = (p.y - dc_.windowOrg.y) * sy + dc_.viewportOrg.y;
    const Real mmx = dx * mmPerPixelX_, mmy = dy * mmPerPixelY_;
    return {(mmx - originX_) * 40 * fit_, (originY_ - mmy) * 40 * fit_};
  }
  Real unitsPerLogical() const {
    const P a = toPlotter({0, 0}), b = toPlotter({0, 1000});
    return std::hypot(b.x - a.x, b.y - a.y) / 1000;
  }

  // The plotter pen of a colour; 0 for white, which draws nothing on paper.
  int penFor(Color c) const {
    if (c == rgb(255, 255, 255)) return 0;
    int best = 1;
    long bestDistance = -1;
    for (int i = 0; i < 6; ++i) {
      const Color p = options_.pens[i];
      const long d = long(redOf(c) - redOf(p)) * (redOf(c) - redOf(p)) +
                     long(greenOf(c) - greenOf(p)) * (greenOf(c) - greenOf(p)) +
                     long(blueOf(c) - blueOf(p)) * (blueOf(c) - blueOf(p));
      if (bestDistance < 0 || d < bestDistance) bestDistance = d, best = i + 1;
    }
    return best;
  }

  // The pen outlines are drawn with: the pen, or for a shape without one
  // its brush; 0 when nothing shows.
  int outlinePen(bool filled) const {
    if (!dc_.pen.null) return penFor(dc_.pen.color);
    if (filled && !dc_.brush.null) return penFor(dc_.brush.color);
    return 0;
  }

  [[gnu::format(printf, 2, 3)]] void emit(const char* format, ...) {
    char buf[128];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    hpgl_ += buf;
  }

  // A path of logical points with the outline pen.
  void stroke(const std::vector<P>& logical, bool filled = false) {
    const int pen = outlinePen(filled);
    if (pen == 0 || logical.size() < 2) return;
    emit("SP%d;", pen);
    bool first = true;
    for (const P& l : logical) {
      const P p = toPlotter(l);
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
      emit(first ? "PU%.1f,%.1f;" : "PD%.1f,%.1f;", p.x, p.y);
      first = false;
    }
  }

  static std::vector<P> closed(std::vector<P> pts) {
    if (!pts.empty()) pts.push_back(pts.front());
    return pts;
  }

  // Points of an elliptic arc in the box from the radial through start,
  // counter-clockwise as seen on the page, to the radial through end.
  std::vector<P> arcPoints(std::size_t boxAt, std::optional<std::pair<P, P>> radials) const {
    const Real l = ri32(boxAt), t = ri32(boxAt + 4), r = ri32(boxAt + 8), b = ri32(boxAt + 12);
    const P c{(l + r) / 2, (t + b) / 2};
    const Real rx = std::fabs(r - l) / 2, ry = std::fabs(b - t) / 2;
    Real a0 = 0, sweep = 2 * kPi;
    if (radials) {
      a0 = std::atan2(-(radials->first.y - c.y), radials->first.x - c.x);
      const Real a1 = std::atan2(-(radials->second.y - c.y), radials->second.x - c.x);
      sweep = std::fmod(a1 - a0 + 4 * kPi, 2 * kPi);
      if (sweep < 1e-9) sweep = 2 * kPi;
    }
    const Real size = std::max(rx, ry) * unitsPerLogical();
    const int n =
        std::clamp(int(std::ceil(sweep / (2 * std::acos(std::max(-1.0, 1 - 2.0 / std::max(size, 1.0)))))), 8, 720);
    std::vector<P> pts;
    for (int i = 0; i <= n; ++i) {
      const Real a = a0 + sweep * i / n;
      pts.push_back({c.x + rx * std::cos(a), c.y - ry * std::sin(a)});
    }
    return pts;
  }

  std::vector<P> bezier(P start, const std::vector<P>& controls) const {
    std::vector<P> pts{start};
    for (std::size_t i = 0; i + 2 < controls.size(); i += 3) {
      const P p0 = pts.back(), c1 = controls[i], c2 = controls[i + 1], p3 = controls[i + 2];
      for (int k = 1; k <= 16; ++k) {
        const Real t = k / 16.0, s = 1 - t;
        pts.push_back({p0.x * s * s * s + 3 * c1.x * s * s * t + 3 * c2.x * s * t * t + p3.x * t * t * t,
                       p0.y * s * s * s + 3 * c1.y * s * s * t + 3 * c2.y * s * t * t + p3.y * t * t * t});
      }
    }
    return pts;
  }

  void polyPoly(bool small, bool closeThem) {
    const std::uint32_t polys = r32(24), total = r32(28);
    need(32 + std::size_t(polys) * 4);
    const auto pts = points(32 + std::size_t(polys) * 4, total, small);
    std::size_t at = 0;
    for (std::uint32_t i = 0; i < polys; ++i) {
      const std::size_t n = r32(32 + 4 * i);
      if (n > pts.size() - at) throw EmfError("damaged metafile record");
      std::vector<P> one(pts.begin() + std::ptrdiff_t(at), pts.begin() + std::ptrdiff_t(at + n));
      stroke(closeThem ? closed(one) : one, closeThem);
      at += n;
    }
  }

  void text(bool wide) {
    const P ref = point32(36);
    const std::uint32_t count = std::min<std::uint32_t>(r32(44), 4096), offset = r32(48);
    std::string s;
    for (std::uint32_t i = 0; i < count; ++i) {
      unsigned c;
      // In size_t: an offset near 4 GiB must not wrap round to a small one.
      const std::size_t at = std::size_t(offset) + (wide ? 2 * std::size_t(i) : i);
      if (wide) {
        need(at + 2);
        c = record_[at] | record_[at + 1] << 8;
      } else {
        need(at + 1);
        c = record_[at];
      }
      s += c >= 32 && c < 127 ? char(c) : '?';
    }
    const int pen = dc_.font.color == rgb(255, 255, 255) ? 0 : penFor(dc_.font.color);
    if (s.empty() || pen == 0) return;
    const Real height = std::fabs(dc_.font.height) * unitsPerLogical() * (dc_.font.height < 0 ? 0.72 : 0.6);
    if (!(height > 0) || !std::isfinite(height)) return;
    const P at = toPlotter(ref);
    const Real angle = dc_.font.escapement / 10 * kPi / 180;
    // Reference point: left, centre or right; top, baseline or bottom.
    const unsigned horizontal = dc_.textAlign & 6, vertical = dc_.textAlign & 24;
    const int column = horizontal == 6 ? 4 : horizontal == 2 ? 7 : 1;
    const int row = vertical == 0 ? 2 : 0;  // top: the label's top; baseline and bottom: its base
    emit("SP%d;PU%.1f,%.1f;DI%.4f,%.4f;SI%.4f,%.4f;LO%d;LB", pen, at.x, at.y, std::cos(angle), std::sin(angle),
         height * 0.6 / 400, height / 400, column + row);
    hpgl_ += s;
    hpgl_ += '\x03';
  }

  void play(std::uint32_t type) {
    switch (type) {
      case kSetMapMode: dc_.mapMode = ri32(8); break;
      case kSetWindowExt: dc_.windowExt = point32(8); break;
      case kSetWindowOrg: dc_.windowOrg = point32(8); break;
      case kSetViewportExt: dc_.viewportExt = point32(8); break;
      case kSetViewportOrg: dc_.viewportOrg = point32(8); break;
      case kSetTextAlign: dc_.textAlign = r32(8); break;
      case kSetTextColor: dc_.font.color = r32(8) & 0xFFFFFF; break;
      case kSaveDc:
        if (saved_.size() < 1024) saved_.push_back(dc_);
        break;
      case kRestoreDc: {
        const std::int32_t n = ri32(8);
        const std::size_t back = n < 0 ? std::size_t(-std::int64_t(n)) : 0;
        if (back >= 1 && back <= saved_.size()) {
          dc_ = saved_[saved_.size() - back];
          saved_.resize(saved_.size() - back);
        }
        break;
      }
      case kSetWorldTransform: dc_.world = {rf(8), rf(12), rf(16), rf(20), rf(24), rf(28)}; break;
      case kModifyWorldTransform: {
        const Xform x{rf(8), rf(12), rf(16), rf(20), rf(24), rf(28)};
        const std::uint32_t mode = r32(32);
        if (mode == 1) dc_.world = Xform{};
        if (mode == 2) dc_.world = x.then(dc_.world);
        if (mode == 3) dc_.world = dc_.world.then(x);
        if (mode == 4) dc_.world = x;
        break;
      }
      case kCreatePen: objects_[r32(8)] = {Object::Pen, r32(24) & 0xFFFFFF, (r32(12) & 0xF) == 5}; break;
      case kExtCreatePen: objects_[r32(8)] = {Object::Pen, r32(36) & 0xFFFFFF, (r32(28) & 0xF) == 5}; break;
      case kCreateBrush: objects_[r32(8)] = {Object::Brush, r32(16) & 0xFFFFFF, r32(12) == 1}; break;
      case kCreateFont: objects_[r32(8)] = {Object::Font, dc_.font.color, false, Real(ri32(12)), Real(ri32(20))}; break;
      case kDeleteObject: objects_.erase(r32(8)); break;
      case kSelectObject: select(r32(8)); break;
      case kMoveTo: dc_.current = point32(8); break;
      case kLineTo: {
        const P to = point32(8);
        stroke({dc_.current, to});
        dc_.current = to;
        break;
      }
      case kPolyline:
      case kPolyline16:
      case kPolygon:
      case kPolygon16: {
        auto pts = points(28, r32(24), type == kPolyline16 || type == kPolygon16);
        const bool polygon = type == kPolygon || type == kPolygon16;
        stroke(polygon ? closed(pts) : pts, polygon);
        break;
      }
      case kPolylineTo:
      case kPolylineTo16: {
        auto pts = points(28, r32(24), type == kPolylineTo16);
        pts.insert(pts.begin(), dc_.current);
        stroke(pts);
        dc_.current = pts.back();
        break;
      }
      case kPolyBezier:
      case kPolyBezier16: {
        const auto pts = points(28, r32(24), type == kPolyBezier16);
        if (!pts.empty()) stroke(bezier(pts.front(), {pts.begin() + 1, pts.end()}));
        break;
      }
      case kPolyBezierTo:
      case kPolyBezierTo16: {
        const auto pts = points(28, r32(24), type == kPolyBezierTo16);
        const auto curve = bezier(dc_.current, pts);
        stroke(curve);
        dc_.current = curve.back();
        break;
      }
      case kPolyPolyline:
      case kPolyPolyline16:
      case kPolyPolygon:
      case kPolyPolygon16:
        polyPoly(type == kPolyPolyline16 || type == kPolyPolygon16, type == kPolyPolygon || type == kPolyPolygon16);
        break;
      case kRectangle:
      case kRoundRect: {
        const Real l = ri32(8), t = ri32(12), r = ri32(16), b = ri32(20);
        stroke({{l, t}, {r, t}, {r, b}, {l, b}, {l, t}}, true);
        break;
      }
      case kEllipse: stroke(arcPoints(8, std::nullopt), true); break;
      case kArc:
      case kArcTo:
      case kChord:
      case kPie: {
        auto pts = arcPoints(8, std::pair{point32(24), point32(32)});
        if (type == kArcTo) {
          pts.insert(pts.begin(), dc_.current);
          dc_.current = pts.back();
        }
        if (type == kChord) pts.push_back(pts.front());
        if (type == kPie) {
          const P c{(ri32(8) + ri32(16)) / 2.0, (ri32(12) + ri32(20)) / 2.0};
          pts.insert(pts.begin(), c);
          pts.push_back(c);
        }
        stroke(pts, type == kChord || type == kPie);
        break;
      }
      case kAngleArc: {
        const P c = point32(8);
        const Real r = r32(16), start = rf(20) * kPi / 180, sweep = std::clamp<Real>(rf(24), -720, 720) * kPi / 180;
        std::vector<P> pts{dc_.current};
        const int n = std::clamp(int(std::fabs(sweep) / (kPi / 90)), 2, 720);
        for (int i = 0; i <= n; ++i) {
          const Real a = start + sweep * i / n;
          pts.push_back({c.x + r * std::cos(a), c.y - r * std::sin(a)});
        }
        stroke(pts);
        dc_.current = pts.back();
        break;
      }
      case kTextOutA:
      case kTextOutW: text(type == kTextOutW); break;
      default: break;
    }
  }

  void select(std::uint32_t handle) {
    if (handle & 0x80000000) {
      switch (handle & 0x7FFFFFFF) {
        case 0: dc_.brush = {Object::Brush, rgb(255, 255, 255), false}; break;  // WHITE_BRUSH
        case 1: dc_.brush = {Object::Brush, rgb(192, 192, 192), false}; break;
        case 2: dc_.brush = {Object::Brush, rgb(128, 128, 128), false}; break;
        case 3: dc_.brush = {Object::Brush, rgb(64, 64, 64), false}; break;
        case 4: dc_.brush = {Object::Brush, 0, false}; break;
        case 5: dc_.brush = {Object::Brush, 0, true}; break;  // NULL_BRUSH
        case 6: dc_.pen = {Object::Pen, rgb(255, 255, 255), false}; break;
        case 7: dc_.pen = {Object::Pen, 0, false}; break;
        case 8: dc_.pen = {Object::Pen, 0, true}; break;  // NULL_PEN
        default: break;
      }
      return;
    }
    const auto it = objects_.find(handle);
    if (it == objects_.end()) return;
    if (it->second.kind == Object::Pen) dc_.pen = it->second;
    if (it->second.kind == Object::Brush) dc_.brush = it->second;
    if (it->second.kind == Object::Font) {
      const Color color = dc_.font.color;
      dc_.font = it->second;
      dc_.font.color = color;
    }
  }

  std::span<const std::uint8_t> emf_, record_;
  const EmfToHpglOptions& options_;
  Real mmPerPixelX_ = 0.25, mmPerPixelY_ = 0.25, originX_ = 0, originY_ = 0, fit_ = 1;
  Dc dc_;
  std::vector<Dc> saved_;
  std::map<std::uint32_t, Object> objects_;
  std::string hpgl_ = "IN;";
};

}  // namespace

std::string EmfToHpgl(std::span<const std::uint8_t> emf, const EmfToHpglOptions& options) {
  return Reader(emf, options).run();
}

}  // namespace pelindra
