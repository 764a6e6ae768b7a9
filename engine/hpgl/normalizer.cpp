#include "engine/hpgl/normalizer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>
#include <vector>

#include "engine/base/numbers.h"
#include "engine/hpgl/stroke_font.h"

namespace pelindra {

namespace {

using Real = long double;
constexpr Real kPi = std::numbers::pi_v<long double>;
constexpr unsigned char kEsc = 0x1B;
// A plotter's hard-clip limits: nothing is drawn beyond them, so coordinates
// that scaling blows up stay whole numbers the viewer can read.
constexpr Real kHardClip = 1e9L;

struct Vec {
  Real x = 0, y = 0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, Real s) { return {a.x * s, a.y * s}; }
Real length(Vec a) { return std::hypot(a.x, a.y); }
bool finite(Vec a) { return std::isfinite(a.x) && std::isfinite(a.y); }

bool isLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isSeparator(unsigned char c) { return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n'; }
int toInt(Real v, int lo, int hi) { return std::isfinite(v) ? int(std::clamp<Real>(v, lo, hi)) : lo; }

void appendInt(std::string& out, std::int64_t v) {
  char buf[24];
  const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  out.append(buf, end);
}

// The normalised stream: pen moves in whole plotter units, one pair each. A
// drawing that reaches below or left of the origin is shifted so that it
// starts there: the viewer picks the sheet by the drawing's upper right.
class Writer {
 public:
  explicit Writer(std::size_t limit) : limit_(limit) {}

  void segment(Vec a, Vec b) {
    const std::int64_t ax = roundHalfEven(a.x), ay = roundHalfEven(a.y);
    const std::int64_t bx = roundHalfEven(b.x), by = roundHalfEven(b.y);
    if (!havePos_ || ax != x_ || ay != y_) add('U', ax, ay);
    add('D', bx, by);
    havePos_ = true;
    x_ = bx;
    y_ = by;
    minX_ = std::min({minX_, ax, bx});
    minY_ = std::min({minY_, ay, by});
  }
  void pen(int n) {
    if (n == pen_) return;
    pen_ = n;
    add('S', n, 0);
  }
  void page() {
    add('G', 0, 0);
    havePos_ = false;
  }
  void speed(int v) { add('V', v, 0); }

  std::string text() const {
    std::string out = "IN;";
    out.reserve(size_);
    const std::int64_t dx = minX_ < 0 ? -minX_ : 0, dy = minY_ < 0 ? -minY_ : 0;
    for (const auto& r : records_) {
      switch (r.kind) {
        case 'U':
        case 'D':
          out += 'P';
          out += r.kind;
          appendInt(out, r.x + dx);
          out += ',';
          appendInt(out, r.y + dy);
          break;
        case 'S':
        case 'V':
          out += r.kind == 'S' ? "SP" : "VS";
          appendInt(out, r.x);
          break;
        default: out += "PG";
      }
      out += ';';
    }
    return out;
  }

 private:
  struct Record {
    char kind;
    std::int64_t x, y;
  };
  void add(char kind, std::int64_t x, std::int64_t y) {
    // Room for the longest form, shift included.
    size_ += kind == 'U' || kind == 'D' ? 26 : 8;
    if (size_ > limit_) throw HpglNormalizeError("the converted drawing would be too large");
    records_.push_back({kind, x, y});
  }

  std::vector<Record> records_;
  std::size_t limit_, size_ = 3;
  bool havePos_ = false;
  std::int64_t x_ = 0, y_ = 0, minX_ = 0, minY_ = 0;
  int pen_ = -1;
};

class Interpreter {
 public:
  Interpreter(std::string_view in, const HpglNormalizeOptions& options, const HpglNormalizeLimits& limits)
      : in_(in), options_(options), limits_(limits), out_(limits.maxOutputBytes) {
    const Real shrink = std::pow(std::numbers::sqrt2_v<long double>, -std::clamp(options.sheet, 0, 4));
    // Portrait sheet in plotter units, P2 at its upper right corner.
    sheet_ = {std::floor(33600 * shrink), std::floor(47520 * shrink)};
    reset();
  }

  std::string run() {
    while (at_ < in_.size()) {
      const unsigned char c = in_[at_];
      if (c == kEsc) {
        escape();
      } else if (pcl_) {
        ++at_;
      } else if (isLetter(c) && at_ + 1 < in_.size() && isLetter(in_[at_ + 1])) {
        const char name[2] = {char(c & ~0x20), char(in_[at_ + 1] & ~0x20)};
        at_ += 2;
        ++commands_;
        execute(name[0], name[1]);
      } else if (c == '@' && in_.substr(at_, 4) == "@PJL") {
        const auto end = in_.find('\n', at_);
        at_ = end == std::string_view::npos ? in_.size() : end + 1;
      } else {
        if (!isSeparator(c) && c != ';' && c != 0) ++junk_;
        ++at_;
      }
    }
    // Text and binary files hold letter pairs too, but mostly ones no plotter knows.
    if (known_ == 0 || known_ * 2 < commands_) throw HpglNormalizeError("no plotter commands found");
    if (junk_ > 64 + 4 * commands_) throw HpglNormalizeError("not a plotter file");
    return out_.text();
  }

 private:
  // ---- reading -------------------------------------------------------------

  void escape() {
    ++at_;
    if (at_ >= in_.size()) return;
    const unsigned char c = in_[at_++];
    if (c == '.') {
      // Device control: ESC . letter, parameters separated by ';', ending at ':'.
      if (at_ < in_.size()) ++at_;
      std::size_t p = at_;
      while (p < in_.size() && p - at_ < 256 && (isDigit(in_[p]) || in_[p] == ';' || in_[p] == ' ' || in_[p] == '-'))
        ++p;
      if (p < in_.size() && in_[p] == ':') ++p;
      at_ = p;
    } else if (c == '%') {
      // ESC % n A enters PCL, ESC % n B enters HP-GL/2, ESC % -12345 X leaves both.
      while (at_ < in_.size() && (isDigit(in_[at_]) || in_[at_] == '-' || in_[at_] == '+')) ++at_;
      if (at_ < in_.size()) {
        const unsigned char f = in_[at_++];
        if (f == 'A') pcl_ = true;
        if (f == 'B' || f == 'X') pcl_ = false;
      }
    } else if (c >= 0x21 && c <= 0x2F) {
      // A parameterised PCL sequence: ESC ! ... / group (value letter)* with
      // the last letter in upper case; "W" carries that many bytes of data.
      if (at_ < in_.size() && in_[at_] >= 0x60 && in_[at_] <= 0x7E) ++at_;
      for (int guard = 0; guard < 64 && at_ < in_.size(); ++guard) {
        std::size_t start = at_;
        while (at_ < in_.size() && (isDigit(in_[at_]) || in_[at_] == '.' || in_[at_] == '-' || in_[at_] == '+')) ++at_;
        std::uint64_t value = 0;
        for (std::size_t i = start; i < at_ && isDigit(in_[i]); ++i)
          value = std::min<std::uint64_t>(value * 10 + (in_[i] - '0'), in_.size());
        if (at_ >= in_.size()) break;
        const unsigned char t = in_[at_++];
        if (t == 'W' || t == 'w') at_ = std::min<std::uint64_t>(in_.size(), at_ + value);
        if (!(t >= 0x60 && t <= 0x7E)) break;
      }
    }
  }

  void skipSeparators() {
    while (at_ < in_.size() && isSeparator(in_[at_])) ++at_;
  }

  bool numberStart(unsigned char c) const { return isDigit(c) || c == '-' || c == '+' || c == '.'; }

  Real number() {
    bool negative = false;
    if (in_[at_] == '-' || in_[at_] == '+') negative = in_[at_++] == '-';
    Real v = 0, scale = 1;
    bool fraction = false;
    for (; at_ < in_.size(); ++at_) {
      const unsigned char c = in_[at_];
      if (isDigit(c)) {
        if (fraction)
          v += (c - '0') * (scale /= 10);
        else
          v = std::min<Real>(v * 10 + (c - '0'), 1e30L);
      } else if (c == '.' && !fraction) {
        fraction = true;
      } else {
        break;
      }
    }
    return negative ? -v : v;
  }

  // The numeric parameters of the command just read, up to its terminator.
  const std::vector<Real>& params() {
    params_.clear();
    while (at_ < in_.size()) {
      skipSeparators();
      if (at_ >= in_.size()) break;
      const unsigned char c = in_[at_];
      if (c == ';') {
        ++at_;
        break;
      }
      if (numberStart(c)) {
        params_.push_back(number());
      } else if (c == '"') {
        const auto end = in_.find('"', at_ + 1);
        at_ = end == std::string_view::npos ? in_.size() : end + 1;
      } else {
        break;
      }
    }
    return params_;
  }

  // Label text up to the terminator, which is consumed but not drawn.
  std::string labelText() {
    std::string text;
    while (at_ < in_.size() && static_cast<unsigned char>(in_[at_]) != terminator_) {
      if (text.size() < limits_.maxLabelChars) text += in_[at_];
      ++at_;
    }
    if (at_ < in_.size()) ++at_;
    return text;
  }

  // The single character that follows DT or SM; ';' or nothing means none.
  int characterParameter() {
    if (at_ >= in_.size()) return -1;
    const unsigned char c = in_[at_];
    if (c == ';') {
      ++at_;
      return -1;
    }
    ++at_;
    return c;
  }

  // ---- state ---------------------------------------------------------------

  void reset() {
    p1_ = {0, 0};
    p2_ = sheet_;
    page_ = sheet_;
    defaults();
    rotation_ = 0;
    pen_ = {0, 0};
    down_ = false;
  }

  void defaults() {
    scaling_ = 0;
    relative_ = false;
    clip_ = false;
    lineType_ = 0;
    patternPercent_ = 4;
    patternAbsolute_ = false;
    userTypes_ = {};
    terminator_ = 3;
    relativeSize_ = true;
    size_ = {0.75L, 1.5L};
    relativeDirection_ = false;
    direction_ = {1, 0};
    slant_ = 0;
    extra_ = {0, 0};
    origin_ = 1;
    symbol_ = -1;
    polygonMode_ = false;
    tickPlus_ = tickMinus_ = 0.5L;
    updateScaling();
  }

  void updateScaling() {
    sx_ = sy_ = 1;
    ox_ = oy_ = 0;
    if (scaling_ == 0) return;
    const Real w = p2_.x - p1_.x, h = p2_.y - p1_.y;
    if (scaling_ == 3) {  // point factor
      sx_ = sc_[1];
      sy_ = sc_[3];
      ox_ = p1_.x - sc_[0] * sx_;
      oy_ = p1_.y - sc_[2] * sy_;
      return;
    }
    const Real dx = sc_[1] - sc_[0], dy = sc_[3] - sc_[2];
    if (dx == 0 || dy == 0) {
      scaling_ = 0;
      return;
    }
    sx_ = w / dx;
    sy_ = h / dy;
    Real left = 0, bottom = 0;
    if (scaling_ == 2) {  // isotropic: the smaller factor for both, space shared out
      const Real s = std::min(std::fabs(sx_), std::fabs(sy_));
      const Real spareX = w - std::copysign(s, sx_) * dx, spareY = h - std::copysign(s, sy_) * dy;
      sx_ = std::copysign(s, sx_);
      sy_ = std::copysign(s, sy_);
      left = spareX * sc_[4] / 100;
      bottom = spareY * sc_[5] / 100;
    }
    ox_ = p1_.x + left - sc_[0] * sx_;
    oy_ = p1_.y + bottom - sc_[2] * sy_;
  }

  Vec toPlotter(Vec u) const { return {u.x * sx_ + ox_, u.y * sy_ + oy_}; }
  Vec fromPlotter(Vec p) const { return {(p.x - ox_) / sx_, (p.y - oy_) / sy_}; }
  Vec scaleDelta(Vec d) const { return {d.x * sx_, d.y * sy_}; }
  // The chord tolerance in user units.
  Real userTolerance() const {
    const Real s = std::min(std::fabs(sx_), std::fabs(sy_));
    return s > 0 ? options_.chordTolerance / s : options_.chordTolerance;
  }

  // ---- drawing -------------------------------------------------------------

  Vec rotate(Vec p) const {
    switch (rotation_) {
      case 90: return {-p.y, p.x};
      case 180: return {-p.x, -p.y};
      case 270: return {p.y, -p.x};
      default: return p;
    }
  }

  void clipped(Vec a, Vec b) {
    Real t0, t1;
    const Vec d = b - a;
    if (visible(a, b, t0, t1)) out_.segment(rotate(a + d * t0), rotate(a + d * t1));
  }

  // Liang-Barsky clipping against the input window and the hard-clip limits:
  // the part of a to b that is drawn runs from t0 to t1.
  bool visible(Vec a, Vec b, Real& t0, Real& t1) const {
    if (!finite(a) || !finite(b)) return false;
    Vec lo{-kHardClip, -kHardClip}, hi{kHardClip, kHardClip};
    if (clip_) {
      lo = {std::max(lo.x, clipLo_.x), std::max(lo.y, clipLo_.y)};
      hi = {std::min(hi.x, clipHi_.x), std::min(hi.y, clipHi_.y)};
    }
    t0 = 0;
    t1 = 1;
    const Vec d = b - a;
    const Real p[4] = {-d.x, d.x, -d.y, d.y};
    const Real q[4] = {a.x - lo.x, hi.x - a.x, a.y - lo.y, hi.y - a.y};
    for (int i = 0; i < 4; ++i) {
      if (p[i] == 0) {
        if (q[i] < 0) return false;
        continue;
      }
      const Real t = q[i] / p[i];
      if (p[i] < 0)
        t0 = std::max(t0, t);
      else
        t1 = std::min(t1, t);
      if (t0 > t1) return false;
    }
    return true;
  }

  std::vector<Real> pattern() const {
    static const std::array<std::vector<Real>, 8> kTypes = {{{0, 100},
                                                             {50, 50},
                                                             {70, 30},
                                                             {80, 10, 0, 10},
                                                             {70, 10, 10, 10},
                                                             {50, 10, 10, 10, 10, 10},
                                                             {70, 10, 0, 10, 0, 10},
                                                             {50, 10, 0, 10, 10, 10, 0, 10}}};
    const int n = std::abs(lineType_);
    if (n < 1 || n > 8) return {};
    return userTypes_[n - 1].empty() ? kTypes[n - 1] : userTypes_[n - 1];
  }

  void startPattern() {
    element_ = 0;
    elementLeft_ = -1;
  }

  // A segment with the line type in force; the pattern runs on across the
  // segments of one pen-down path.
  void stroke(Vec a, Vec b, bool lineType = true) {
    const auto pat = lineType ? pattern() : std::vector<Real>{};
    Real total = 0;
    for (Real e : pat) total += e;
    const Real len = length(b - a);
    if (pat.empty() || total <= 0 || !std::isfinite(len)) {
      clipped(a, b);
      return;
    }
    const Real diagonal = length(p2_ - p1_);
    Real unit = patternAbsolute_ ? patternPercent_ * 40 / total : patternPercent_ / 100 * diagonal / total;
    // No element of a pattern shorter than a plotter unit, so a hostile
    // pattern cannot make a line into countless pieces.
    Real shortest = total;
    for (Real e : pat)
      if (e > 0) shortest = std::min(shortest, e);
    unit = std::max(unit, 1 / shortest);
    if (len == 0) return;
    const Vec dir = (b - a) * (1 / len);
    if (elementLeft_ < 0 || element_ >= pat.size()) {
      element_ = 0;
      elementLeft_ = pat[0] * unit;
    }
    // Only the visible part is walked; the pattern runs on over the rest.
    Real t0, t1;
    if (!visible(a, b, t0, t1)) t0 = t1 = 1;
    skipPattern(pat, unit, total, t0 * len);
    Real t = t0 * len;
    const Real end = t1 * len;
    while (t < end) {
      if (elementLeft_ <= 0) {
        if (element_ % 2 == 0 && pat[element_] == 0) clipped(a + dir * t, a + dir * std::min(end, t + 1));
        element_ = (element_ + 1) % pat.size();
        elementLeft_ = pat[element_] * unit;
        continue;
      }
      const Real step = std::min(elementLeft_, end - t);
      if (element_ % 2 == 0) clipped(a + dir * t, a + dir * (t + step));
      t += step;
      elementLeft_ -= step;
    }
    skipPattern(pat, unit, total, len - end);
  }

  void skipPattern(const std::vector<Real>& pat, Real unit, Real total, Real distance) {
    distance = std::fmod(distance, total * unit);
    while (distance > 0) {
      const Real step = std::min(elementLeft_, distance);
      distance -= step;
      elementLeft_ -= step;
      if (elementLeft_ <= 0) {
        element_ = (element_ + 1) % pat.size();
        elementLeft_ = pat[element_] * unit;
      }
    }
  }

  // A path in plotter units, drawn whatever the pen state.
  void path(const std::vector<Vec>& points, bool lineType = true) {
    startPattern();
    for (std::size_t i = 1; i < points.size(); ++i) stroke(points[i - 1], points[i], lineType);
    startPattern();
  }

  // The pen moves to p (plotter units) in the current pen state.
  void penTo(Vec p) {
    if (!finite(p)) return;
    if (polygonMode_) {
      if (polygon_.empty()) polygon_.emplace_back();
      auto& sub = polygon_.back();
      if (down_) {
        if (sub.empty()) sub.push_back(pen_);
        sub.push_back(p);
        polygonCheck();
      } else if (sub.size() >= 2) {
        polygon_.emplace_back();
      } else {
        sub.clear();
      }
    } else if (down_) {
      stroke(pen_, p);
    } else {
      startPattern();
    }
    pen_ = p;
    if (symbol_ >= 0) drawText(std::string(1, char(symbol_)), 5, false);
  }

  void polygonCheck() {
    if (++polygonPoints_ > limits_.maxPolygonPoints) throw HpglNormalizeError("polygon too large");
  }

  // Points of an arc in user units, around centre from the start angle over
  // sweep (radians), at least two.
  std::vector<Vec> arc(Vec centre, Real radius, Real start, Real sweep) const {
    radius = std::fabs(radius);
    const Real tol = userTolerance();
    Real step = radius > tol ? 2 * std::acos(1 - tol / radius) : kPi / 4;
    step = std::clamp(step, 2 * kPi / 1440, kPi / 4);
    // More than a full turn draws nothing new.
    const Real turns = std::min<Real>(std::fabs(sweep), 2 * kPi);
    // Not a number (from a hostile sweep or radius): one chord.
    const Real chords = std::ceil(turns / step);
    const std::size_t n = chords >= 1 && chords <= 1440 ? std::size_t(chords) : 1;
    std::vector<Vec> points;
    points.reserve(n + 1);
    for (std::size_t i = 0; i <= n; ++i) {
      const Real a = start + std::copysign(turns, sweep) * i / n;
      points.push_back(toPlotter({centre.x + radius * std::cos(a), centre.y + radius * std::sin(a)}));
    }
    return points;
  }

  // A curve that follows the pen state from the current position.
  void curve(const std::vector<Vec>& points) {
    for (std::size_t i = 1; i < points.size(); ++i) penTo(points[i]);
  }

  // A closed figure drawn whatever the pen state; the pen stays where it was.
  void figure(const std::vector<Vec>& points) {
    if (polygonMode_) {
      polygon_.push_back(points);
      polygonPoints_ += points.size();
      polygonCheck();
      return;
    }
    path(points);
  }

  void rectangle(Vec corner) {
    const Vec a = pen_;
    figure({a, {corner.x, a.y}, corner, {a.x, corner.y}, a});
  }

  void wedge(const std::vector<Real>& v) {
    if (v.size() < 3) return;
    const Vec centre = fromPlotter(pen_);
    const Real radius = v[0];
    auto points = arc(centre, radius, (v[1] + (radius < 0 ? 180 : 0)) * kPi / 180, v[2] * kPi / 180);
    points.insert(points.begin(), pen_);
    points.push_back(pen_);
    figure(points);
  }

  void edgePolygon() {
    if (polygonMode_ || edged_) return;
    for (auto& sub : polygon_) {
      if (sub.size() < 2) continue;
      path(sub);
    }
    edged_ = true;
  }

  Vec charSize() const {
    if (relativeSize_) return {size_.x / 100 * (p2_.x - p1_.x), size_.y / 100 * (p2_.y - p1_.y)};
    return size_ * 400;  // centimetres
  }

  Vec runDirection() const {
    Vec d = direction_;
    if (relativeDirection_) d = {d.x * (p2_.x - p1_.x), d.y * (p2_.y - p1_.y)};
    const Real l = length(d);
    return l > 0 && std::isfinite(l) ? d * (1 / l) : Vec{1, 0};
  }

  // Text drawn with the stroke font from the pen position, placed by the
  // label origin; the pen ends where the next character would go.
  void drawText(const std::string& text, int origin, bool movePen) {
    const Vec size = charSize();
    const Vec d = runDirection(), n{-d.y, d.x};
    const Real advance = size.x * 1.5L * (1 + extra_.x), lineStep = size.y * 2 * (1 + extra_.y);
    std::size_t firstLine = text.find_first_of("\r\n");
    firstLine = std::min(firstLine, text.size());
    std::size_t printable = 0;
    for (std::size_t i = 0; i < firstLine; ++i)
      if (static_cast<unsigned char>(text[i]) >= ' ') ++printable;
    const Real width = printable > 0 ? printable * advance - (advance - size.x) : 0;
    const int o = origin > 10 ? origin - 10 : origin;
    const Real fx = o >= 7 ? 1 : o >= 4 ? 0.5L : 0;
    const Real fy = (o - 1) % 3 == 2 ? 1 : (o - 1) % 3 == 1 ? 0.5L : 0;
    const Vec start = pen_ - d * (width * fx) - n * (size.y * fy);
    Vec lineStart = start, cursor = start;
    for (unsigned char c : text) {
      if (c == '\r') {
        cursor = lineStart;
      } else if (c == '\n') {
        lineStart = lineStart - n * lineStep;
        cursor = cursor - n * lineStep;
      } else if (c == '\b') {
        cursor = cursor - d * advance;
      } else if (c >= ' ') {
        glyph(c, cursor, size, d, n);
        cursor = cursor + d * advance;
      }
    }
    if (movePen) {
      pen_ = pen_ + (cursor - start);
      labelStart_ = lineStart + (pen_ - cursor);
    }
  }

  void glyph(unsigned char c, Vec at, Vec size, Vec d, Vec n) {
    const std::string_view strokes = StrokeGlyph(c);
    std::vector<Vec> points;
    auto flush = [&] {
      if (points.size() >= 2) path(points, false);
      points.clear();
    };
    for (std::size_t i = 0; i < strokes.size();) {
      if (strokes[i] == ' ') {
        flush();
        ++i;
        continue;
      }
      const Real gx = strokes[i] - '0', gy = strokes[i + 1] - '2';
      i += 2;
      const Real ly = gy / kStrokeCapHeight * size.y;
      const Real lx = gx / kStrokeGlyphWidth * size.x + slant_ * ly;
      points.push_back(at + d * lx + n * ly);
    }
    flush();
  }

  // Relative PE numbers: base 64 (or 32 in 7-bit mode), least significant
  // digit first, the lowest bit the sign.
  void encodedPolyline() {
    bool sevenBit = false, absolute = false, up = false, expectPen = false, expectFraction = false;
    int fraction = 0;
    std::vector<Real> pair;
    std::uint64_t value = 0, weight = 1;
    bool digits = false;
    for (; at_ < in_.size() && in_[at_] != ';'; ++at_) {
      const unsigned char c = in_[at_];
      if (c == kEsc) break;
      if (!digits) {
        if (c == ':') expectPen = true;
        if (c == '<') up = true;
        if (c == '>') expectFraction = true;
        if (c == '=') absolute = true;
        if (c == '7') sevenBit = true;
        if (c == ':' || c == '<' || c == '>' || c == '=' || c == '7') continue;
      }
      const unsigned base = sevenBit ? 32 : 64;
      bool last;
      unsigned digit;
      if (c >= 63 && c < 63 + base) {
        digit = c - 63;
        last = false;
      } else if (!sevenBit && c >= 191 && c <= 254) {
        digit = c - 191;
        last = true;
      } else if (sevenBit && c >= 95 && c <= 126) {
        digit = c - 95;
        last = true;
      } else {
        continue;
      }
      if (weight <= (std::uint64_t(1) << 52)) value += digit * weight;
      weight = weight <= (std::uint64_t(1) << 52) ? weight * base : weight;
      digits = true;
      if (!last) continue;
      const Real number = (value & 1) ? -Real(value >> 1) : Real(value >> 1);
      value = 0;
      weight = 1;
      digits = false;
      if (expectPen) {
        out_.pen(toInt(number, 0, 255));
        expectPen = false;
      } else if (expectFraction) {
        fraction = toInt(number, 0, 26);
        expectFraction = false;
      } else {
        pair.push_back(std::ldexp(number, -fraction));
        if (pair.size() == 2) {
          const Vec v{pair[0], pair[1]};
          down_ = !up;
          penTo(absolute ? toPlotter(v) : pen_ + scaleDelta(v));
          pair.clear();
          up = absolute = false;
        }
      }
    }
    if (at_ < in_.size() && in_[at_] == ';') ++at_;
  }

  void penMoves(const std::vector<Real>& v, bool relative) {
    for (std::size_t i = 0; i + 1 < v.size(); i += 2) {
      const Vec u{v[i], v[i + 1]};
      penTo(relative ? pen_ + scaleDelta(u) : toPlotter(u));
    }
  }

  void bezier(const std::vector<Real>& v, bool relative) {
    for (std::size_t i = 0; i + 5 < v.size(); i += 6) {
      const Vec p0 = pen_;
      Vec c[3];
      for (int k = 0; k < 3; ++k) {
        const Vec u{v[i + 2 * k], v[i + 2 * k + 1]};
        c[k] = relative ? p0 + scaleDelta(u) : toPlotter(u);
      }
      const Real span = length(c[0] - p0) + length(c[1] - c[0]) + length(c[2] - c[1]);
      const int n = toInt(std::sqrt(span / options_.chordTolerance), 2, 256);
      for (int k = 1; k <= n; ++k) {
        const Real t = Real(k) / n, s = 1 - t;
        penTo(p0 * (s * s * s) + c[0] * (3 * s * s * t) + c[1] * (3 * s * t * t) + c[2] * (t * t * t));
      }
    }
  }

  // Arc through three points (user units): start, intermediate and end.
  void threePointArc(Vec a, Vec m, Vec b) {
    const Real d = 2 * (a.x * (m.y - b.y) + m.x * (b.y - a.y) + b.x * (a.y - m.y));
    if (std::fabs(d) < 1e-12L) {
      penTo(toPlotter(b));
      return;
    }
    const Real a2 = a.x * a.x + a.y * a.y, m2 = m.x * m.x + m.y * m.y, b2 = b.x * b.x + b.y * b.y;
    const Vec c{(a2 * (m.y - b.y) + m2 * (b.y - a.y) + b2 * (a.y - m.y)) / d,
                (a2 * (b.x - m.x) + m2 * (a.x - b.x) + b2 * (m.x - a.x)) / d};
    const Real sa = std::atan2(a.y - c.y, a.x - c.x);
    auto ccw = [](Real from, Real to) {
      Real s = std::fmod(to - from, 2 * kPi);
      return s < 0 ? s + 2 * kPi : s;
    };
    Real sweep = ccw(sa, std::atan2(b.y - c.y, b.x - c.x));
    if (ccw(sa, std::atan2(m.y - c.y, m.x - c.x)) > sweep) sweep -= 2 * kPi;
    curve(arc(c, length(a - c), sa, sweep));
  }

  void labelSize(const std::vector<Real>& v, bool relative) {
    relativeSize_ = relative;
    if (v.size() >= 2)
      size_ = {v[0], v[1]};
    else
      size_ = relative ? Vec{0.75L, 1.5L} : Vec{0.19L, 0.27L};
  }

  // A font definition sizes labels as that font would be: a height in points
  // gives the capital height, a pitch in characters per inch the width.
  void font(const std::vector<Real>& v) {
    Real height = 0, pitch = 0;
    for (std::size_t i = 0; i + 1 < v.size(); i += 2) {
      if (v[i] == 4) height = v[i + 1];
      if (v[i] == 3) pitch = v[i + 1];
    }
    if (height <= 0 && pitch <= 0) return;
    relativeSize_ = false;
    const Real capCm = height > 0 ? std::min<Real>(height, 1e4L) * 2.54L / 72 * 0.7L : 0;
    const Real widthCm = pitch > 0 ? 2.54L / std::max<Real>(pitch, 1e-3L) / 1.5L : capCm * 0.6L;
    size_ = {widthCm, capCm > 0 ? capCm : widthCm / 0.6L};
  }

  void lineType(const std::vector<Real>& v) {
    if (v.empty()) {
      lineType_ = 0;
      return;
    }
    lineType_ = toInt(v[0], -8, 8);
    if (v.size() >= 2 && v[1] > 0) patternPercent_ = std::min<Real>(v[1], 1e6L);
    patternAbsolute_ = v.size() >= 3 && v[2] == 1;
  }

  void execute(char a, char b) {
    ++known_;
    const int code = a << 8 | b;
    auto is = [code](const char* n) { return code == (n[0] << 8 | n[1]); };
    if (is("LB")) {
      const std::string text = labelText();
      labelStart_ = pen_;
      if (!polygonMode_) drawText(text, origin_, true);
      return;
    }
    if (is("BL")) {
      buffer_ = labelText();
      return;
    }
    if (is("WD")) {
      labelText();
      return;
    }
    if (is("DT")) {
      const int t = characterParameter();
      terminator_ = t < 0 ? 3 : t;
      params();
      return;
    }
    if (is("SM")) {
      const int c = characterParameter();
      symbol_ = c > ' ' && c != ';' ? c : -1;
      return;
    }
    if (is("PE")) {
      encodedPolyline();
      return;
    }
    if (is("CO")) {
      params();
      return;
    }
    const auto& v = params();
    if (is("PA") || is("PR")) {
      relative_ = is("PR");
      penMoves(v, relative_);
    } else if (is("PU") || is("PD")) {
      down_ = is("PD");
      penMoves(v, relative_);
    } else if (is("IN")) {
      reset();
    } else if (is("DF")) {
      defaults();
    } else if (is("IP") || is("IR")) {
      // IR gives the scaling points in percent of the page.
      const Vec unit = is("IR") ? page_ * (1 / 100.0L) : Vec{1, 1};
      if (v.size() >= 2) {
        const Vec d = p2_ - p1_;
        p1_ = {v[0] * unit.x, v[1] * unit.y};
        p2_ = v.size() >= 4 ? Vec{v[2] * unit.x, v[3] * unit.y} : p1_ + d;
      } else {
        p1_ = {0, 0};
        p2_ = page_;
      }
      updateScaling();
    } else if (is("SC")) {
      if (v.size() >= 4) {
        const int type = v.size() >= 5 ? toInt(v[4], -1, 3) : 0;
        sc_ = {v[0], v[1], v[2], v[3], v.size() >= 6 ? v[5] : 50, v.size() >= 7 ? v[6] : 50};
        scaling_ = type == 2 ? 3 : type == 1 ? 2 : 1;
      } else {
        scaling_ = 0;
      }
      updateScaling();
    } else if (is("PS")) {
      if (!v.empty()) {
        page_ = {std::fabs(v[0]), v.size() >= 2 ? std::fabs(v[1]) : std::fabs(v[0]) * sheet_.y / sheet_.x};
        p1_ = {0, 0};
        p2_ = page_;
        updateScaling();
      }
    } else if (is("IW")) {
      clip_ = v.size() >= 4;
      if (clip_) {
        const Vec a = toPlotter({v[0], v[1]}), b = toPlotter({v[2], v[3]});
        clipLo_ = {std::min(a.x, b.x), std::min(a.y, b.y)};
        clipHi_ = {std::max(a.x, b.x), std::max(a.y, b.y)};
      }
    } else if (is("RO")) {
      const int r = v.empty() ? 0 : int(std::fmod(std::fabs(v[0]), 360));
      rotation_ = r == 90 || r == 180 || r == 270 ? r : 0;
    } else if (is("SP")) {
      out_.pen(v.empty() ? 0 : toInt(v[0], 0, 255));
    } else if (is("PG") || is("FR")) {
      out_.page();
      down_ = false;
    } else if (is("VS")) {
      if (!v.empty()) out_.speed(toInt(std::round(v[0]), 0, 99));
    } else if (is("CI")) {
      if (v.empty()) return;
      auto points = arc(fromPlotter(pen_), v[0], v[0] < 0 ? kPi : 0, 2 * kPi);
      const Vec centre = pen_;
      figure(points);
      pen_ = centre;
    } else if (is("AA") || is("AR")) {
      if (v.size() < 3) return;
      const Vec start = fromPlotter(pen_);
      const Vec centre = is("AA") ? Vec{v[0], v[1]} : start + Vec{v[0], v[1]};
      const Vec r = start - centre;
      curve(arc(centre, length(r), std::atan2(r.y, r.x), v[2] * kPi / 180));
    } else if (is("AT") || is("RT")) {
      if (v.size() < 4) return;
      const Vec start = fromPlotter(pen_);
      const Vec base = is("RT") ? start : Vec{};
      threePointArc(start, base + Vec{v[0], v[1]}, base + Vec{v[2], v[3]});
    } else if (is("EA") || is("RA")) {
      if (v.size() >= 2) rectangle(toPlotter({v[0], v[1]}));
    } else if (is("ER") || is("RR")) {
      if (v.size() >= 2) rectangle(pen_ + scaleDelta({v[0], v[1]}));
    } else if (is("EW") || is("WG")) {
      wedge(v);
    } else if (is("PM")) {
      const int mode = v.empty() ? 0 : toInt(v[0], -1, 3);
      if (mode == 0) {
        polygon_.clear();
        polygonPoints_ = 0;
        polygon_.push_back({pen_});
        polygonMode_ = true;
        edged_ = false;
      } else if (polygonMode_) {
        if (!polygon_.empty() && polygon_.back().size() >= 2) polygon_.back().push_back(polygon_.back().front());
        if (mode == 2)
          polygonMode_ = false;
        else
          polygon_.push_back({});
      }
    } else if (is("EP") || is("FP")) {
      edgePolygon();
    } else if (is("BZ") || is("BR")) {
      bezier(v, is("BR"));
    } else if (is("LT")) {
      lineType(v);
    } else if (is("UL")) {
      if (v.empty()) {
        userTypes_ = {};
      } else if (v[0] >= 1 && v[0] <= 8) {
        auto& type = userTypes_[toInt(v[0], 1, 8) - 1];
        type.assign(v.begin() + 1, v.end());
        for (auto& e : type) e = std::max<Real>(e, 0);
      }
    } else if (is("SI")) {
      labelSize(v, false);
    } else if (is("SR")) {
      labelSize(v, true);
    } else if (is("DI") || is("DR")) {
      relativeDirection_ = is("DR");
      direction_ = v.size() >= 2 ? Vec{v[0], v[1]} : Vec{1, 0};
    } else if (is("SD")) {
      font(v);
    } else if (is("SL")) {
      slant_ = v.empty() ? 0 : std::clamp<Real>(v[0], -100, 100);
    } else if (is("ES")) {
      extra_ = {v.empty() ? 0 : v[0], v.size() >= 2 ? v[1] : 0};
    } else if (is("LO")) {
      const int o = v.empty() ? 1 : toInt(v[0], 0, 99);
      origin_ = (o >= 1 && o <= 9) || (o >= 11 && o <= 19) ? o : 1;
    } else if (is("CP")) {
      const Vec size = charSize(), d = runDirection(), n{-d.y, d.x};
      if (v.size() >= 2) {
        pen_ = pen_ + d * (v[0] * size.x * 1.5L * (1 + extra_.x)) + n * (v[1] * size.y * 2 * (1 + extra_.y));
      } else {
        labelStart_ = labelStart_ - n * (size.y * 2 * (1 + extra_.y));
        pen_ = labelStart_;
      }
    } else if (is("PB")) {
      drawText(buffer_, origin_, true);
    } else if (is("TL")) {
      tickPlus_ = v.empty() ? 0.5L : v[0];
      tickMinus_ = v.size() >= 2 ? v[1] : (v.empty() ? 0.5L : 0);
    } else if (is("XT") || is("YT")) {
      const bool x = is("XT");
      const Real span = x ? p2_.y - p1_.y : p2_.x - p1_.x;
      const Vec axis = x ? Vec{0, 1} : Vec{1, 0};
      path({pen_ + axis * (span * tickPlus_ / 100), pen_ - axis * (span * tickMinus_ / 100)}, false);
    } else if (!is("PW") && !is("FT") && !is("PT") && !is("LA") && !is("NP") && !is("PC") && !is("BP") && !is("CT") &&
               !is("AD") && !is("SS") && !is("SA") && !is("CS") && !is("CA") && !is("TR") && !is("MC") && !is("WU") &&
               !is("NR") && !is("OI") && !is("OP") && !is("OS") && !is("OW")) {
      --known_;
    }
    // Everything else (pen widths, fills, fonts, colours, device queries)
    // does not move the pen: its parameters were skipped above.
  }

  std::string_view in_;
  std::size_t at_ = 0;
  const HpglNormalizeOptions& options_;
  const HpglNormalizeLimits& limits_;
  Writer out_;
  bool pcl_ = false;
  std::size_t commands_ = 0, known_ = 0, junk_ = 0;
  std::vector<Real> params_;

  Vec sheet_, page_, p1_, p2_;
  int scaling_ = 0;  // 0 none, 1 anisotropic, 2 isotropic, 3 point factor
  std::array<Real, 6> sc_{};
  Real sx_ = 1, sy_ = 1, ox_ = 0, oy_ = 0;
  int rotation_ = 0;
  bool clip_ = false;
  Vec clipLo_, clipHi_;

  Vec pen_;
  bool down_ = false, relative_ = false;

  int lineType_ = 0;
  Real patternPercent_ = 4;
  bool patternAbsolute_ = false;
  std::array<std::vector<Real>, 8> userTypes_;
  std::size_t element_ = 0;
  Real elementLeft_ = -1;

  int terminator_ = 3;
  bool relativeSize_ = true;
  Vec size_;
  bool relativeDirection_ = false;
  Vec direction_;
  Real slant_ = 0;
  Vec extra_;
  int origin_ = 1;
  int symbol_ = -1;
  Vec labelStart_;
  std::string buffer_;
  Real tickPlus_ = 0.5L, tickMinus_ = 0.5L;

  bool polygonMode_ = false, edged_ = false;
  std::vector<std::vector<Vec>> polygon_;
  std::size_t polygonPoints_ = 0;
};

}  // namespace

std::string NormalizeHpgl(std::string_view input, const HpglNormalizeOptions& options,
                          const HpglNormalizeLimits& limits) {
  if (input.size() > limits.maxInputBytes) throw HpglNormalizeError("plotter file too large");
  Interpreter interpreter(input, options, limits);
  return interpreter.run();
}

}  // namespace pelindra
