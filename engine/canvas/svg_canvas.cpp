#include "engine/canvas/svg_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace pelindra {

namespace {

// Up to three decimals, without trailing zeros.
std::string num(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.3f", v);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  if (s == "-0") s = "0";
  return s;
}

std::string pointList(std::span<const Point> points) {
  std::string s;
  for (const Point& p : points) {
    if (!s.empty()) s += ' ';
    s += std::to_string(p.x) + "," + std::to_string(p.y);
  }
  return s;
}

std::string strokeFor(const Pen& p) {
  if (p.style == PenStyle::Clear) return " stroke=\"none\"";
  std::string s = " stroke=\"" + htmlColor(p.color) + "\"";
  if (p.width > 1) s += " stroke-width=\"" + std::to_string(p.width) + "\"";
  switch (p.style) {
    case PenStyle::Dash: s += " stroke-dasharray=\"18 6\""; break;
    case PenStyle::Dot: s += " stroke-dasharray=\"3 3\""; break;
    case PenStyle::DashDot: s += " stroke-dasharray=\"9 6 3 6\""; break;
    case PenStyle::DashDotDot: s += " stroke-dasharray=\"9 3 3 3 3 3\""; break;
    default: break;
  }
  return s;
}

std::string pathElement(const std::string& d, const Pen& pen) {
  return "<path d=\"" + d + "\" fill=\"none\"" + strokeFor(pen) + "/>\n";
}

// Length of a valid UTF-8 sequence at the start of s, or 0.
std::size_t utf8Length(std::string_view s) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  std::size_t n;
  unsigned min;
  if (b0 < 0x80) return 1;
  if ((b0 & 0xE0) == 0xC0) {
    n = 2;
    min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3;
    min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4;
    min = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  unsigned cp = b0 & (0x7F >> n);
  for (std::size_t i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

std::string xmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const auto c = static_cast<unsigned char>(text[0]);
    const std::size_t n = utf8Length(text);
    if (n == 0) {
      // Latin-1 byte: U+0080..U+00FF in two bytes.
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
      text.remove_prefix(1);
      continue;
    }
    if (n == 1) {
      switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
          if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') out += char(c);
      }
    } else {
      out.append(text.substr(0, n));
    }
    text.remove_prefix(n);
  }
  return out;
}

SvgCanvas::SvgCanvas(int width, int height, bool background)
    : width_(width), height_(height), background_(background) {}

std::string SvgCanvas::strokeAttributes() const { return strokeFor(pen()); }

std::string SvgCanvas::fillAttribute() const {
  const Brush& b = brush();
  return b.style == BrushStyle::Clear ? " fill=\"none\"" : " fill=\"" + htmlColor(b.color) + "\"";
}

void SvgCanvas::flushPath() {
  if (path_.empty()) return;
  body_ += pathElement(path_, pathPen_);
  path_.clear();
}

void SvgCanvas::line(Point from, Point to) {
  if (!path_.empty() && from == pathEnd_ && pen() == pathPen_) {
    path_ += " " + std::to_string(to.x) + " " + std::to_string(to.y);
  } else {
    flushPath();
    path_ = "M" + std::to_string(from.x) + " " + std::to_string(from.y) + "L" + std::to_string(to.x) + " " +
            std::to_string(to.y);
    pathPen_ = pen();
  }
  pathEnd_ = to;
}

void SvgCanvas::polyline(std::span<const Point> points) {
  flushPath();
  if (points.empty()) return;
  body_ += "<polyline points=\"" + pointList(points) + "\" fill=\"none\"" + strokeAttributes() + "/>\n";
}

void SvgCanvas::polygon(std::span<const Point> points) {
  flushPath();
  if (points.empty()) return;
  body_ += "<polygon points=\"" + pointList(points) + "\"" + fillAttribute() + strokeAttributes() + "/>\n";
}

void SvgCanvas::polyPolygon(std::span<const Point> points, std::span<const std::size_t> counts) {
  flushPath();
  std::string d;
  std::size_t at = 0;
  for (std::size_t n : counts) {
    n = std::min(n, points.size() - at);
    for (std::size_t i = 0; i < n; ++i)
      d += (i ? " " : "M") + std::to_string(points[at + i].x) + " " + std::to_string(points[at + i].y);
    if (n > 0) d += "Z";
    at += n;
  }
  if (d.empty()) return;
  body_ += "<path d=\"" + d + "\" fill-rule=\"evenodd\"" + fillAttribute() + strokeAttributes() + "/>\n";
}

void SvgCanvas::ellipse(const Rect& box) {
  flushPath();
  const double cx = (box.left + box.right - 1) * 0.5, cy = (box.top + box.bottom - 1) * 0.5;
  const double rx = std::abs(box.right - box.left - 1) * 0.5, ry = std::abs(box.bottom - box.top - 1) * 0.5;
  body_ += "<ellipse cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" rx=\"" + num(rx) + "\" ry=\"" + num(ry) + "\"" +
           fillAttribute() + strokeAttributes() + "/>\n";
}

void SvgCanvas::arc(const Rect& box, Point start, Point end) {
  flushPath();
  const double cx = (box.left + box.right - 1) * 0.5, cy = (box.top + box.bottom - 1) * 0.5;
  const double rx = std::abs(box.right - box.left - 1) * 0.5, ry = std::abs(box.bottom - box.top - 1) * 0.5;
  if (rx <= 0 || ry <= 0) return;
  // Angles with y upwards, so that counter-clockwise on the screen is positive.
  const double a0 = std::atan2(cy - start.y, start.x - cx);
  const double a1 = std::atan2(cy - end.y, end.x - cx);
  auto onEllipse = [&](double a) {
    const double c = std::cos(a), s = std::sin(a);
    const double t = 1.0 / std::sqrt((c / rx) * (c / rx) + (s / ry) * (s / ry));
    return std::pair{cx + t * c, cy - t * s};
  };
  double span = std::fmod(a1 - a0, 2 * std::numbers::pi);
  if (span < 0) span += 2 * std::numbers::pi;
  if (span == 0) span = 2 * std::numbers::pi;  // one radial: the whole ellipse
  const auto [x0, y0] = onEllipse(a0);
  std::string d = "M" + num(x0) + " " + num(y0);
  auto arcTo = [&](double a, bool large) {
    const auto [x, y] = onEllipse(a);
    d += "A" + num(rx) + " " + num(ry) + " 0 " + (large ? "1" : "0") + " 0 " + num(x) + " " + num(y);
  };
  if (span > std::numbers::pi) {
    // Two halves, so that a full turn does not collapse into nothing.
    arcTo(a0 + span / 2, false);
    arcTo(a0 + span, false);
  } else {
    arcTo(a0 + span, false);
  }
  body_ += pathElement(d, pen());
}

void SvgCanvas::rectangle(const Rect& box) {
  flushPath();
  const int w = box.right - box.left - 1, h = box.bottom - box.top - 1;
  if (w < 0 || h < 0) return;
  body_ += "<rect x=\"" + std::to_string(box.left) + "\" y=\"" + std::to_string(box.top) + "\" width=\"" +
           std::to_string(w) + "\" height=\"" + std::to_string(h) + "\"" + fillAttribute() + strokeAttributes() +
           "/>\n";
}

void SvgCanvas::textOut(Point p, std::string_view text) {
  flushPath();
  const Font& f = font();
  const unsigned align = textAlign();
  std::string attrs = " x=\"" + std::to_string(p.x) + "\" y=\"" + std::to_string(p.y) + "\"";
  // A negative height is the character height; a positive one the cell height,
  // of which the characters take about four fifths.
  const double size = f.height < 0 ? -f.height : f.height * 0.8;
  attrs += " font-family=\"" + xmlEscape(f.name) + "\" font-size=\"" + num(size) + "\"";
  attrs += " fill=\"" + htmlColor(f.color) + "\"";
  if (f.bold) attrs += " font-weight=\"bold\"";
  if (f.italic) attrs += " font-style=\"italic\"";
  switch (align & TextAlign::HorizontalMask) {
    case TextAlign::Center: attrs += " text-anchor=\"middle\""; break;
    case TextAlign::Right: attrs += " text-anchor=\"end\""; break;
    default: break;
  }
  switch (align & TextAlign::VerticalMask) {
    case TextAlign::Baseline: break;
    case TextAlign::Bottom: attrs += " dominant-baseline=\"text-after-edge\""; break;
    default: attrs += " dominant-baseline=\"text-before-edge\""; break;
  }
  if (f.escapement != 0)
    attrs += " transform=\"rotate(" + num(-f.escapement / 10.0) + " " + std::to_string(p.x) + " " +
             std::to_string(p.y) + ")\"";
  body_ += "<text" + attrs + " xml:space=\"preserve\">" + xmlEscape(text) + "</text>\n";
}

void SvgCanvas::setPixel(Point p, Color color) {
  flushPath();
  body_ += "<rect x=\"" + num(p.x - 0.5) + "\" y=\"" + num(p.y - 0.5) + "\" width=\"1\" height=\"1\" fill=\"" +
           htmlColor(color) + "\"/>\n";
}

std::string SvgCanvas::svg() const {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  s += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + std::to_string(width_) + "\" height=\"" +
       std::to_string(height_) + "\" viewBox=\"0 0 " + std::to_string(width_) + " " + std::to_string(height_) + "\">\n";
  if (background_) s += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  // Pixel centres lie half a unit in, as on a device context.
  s += "<g transform=\"translate(0.5 0.5)\" stroke-linecap=\"butt\" stroke-linejoin=\"miter\">\n";
  s += body_;
  if (!path_.empty()) s += pathElement(path_, pathPen_);
  s += "</g>\n</svg>\n";
  return s;
}

}  // namespace pelindra
