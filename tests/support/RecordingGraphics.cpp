#include "RecordingGraphics.h"

#include <charconv>

namespace quorl {

namespace {

// One line under construction.
struct Line {
  std::string s;
  explicit Line(const char* name) : s(name) {}
  Line& n(int64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    s += ' ';
    s.append(buf, r.ptr);
    return *this;
  }
  Line& d(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    s += ' ';
    s.append(buf, r.ptr);
    return *this;
  }
  Line& r(UXRect rect) {
    n(rect.x());
    s += ',';
    s += std::to_string(rect.y()) + ',' + std::to_string(rect.w()) + ',' + std::to_string(rect.h());
    return *this;
  }
  Line& t(const char* text) {
    s += ' ';
    if (!text) {
      s += "null";
    } else {
      s += '"';
      s += text;
      s += '"';
    }
    return *this;
  }
  Line& points(const int16_t* p, int32_t count) {
    s += " [";
    for (int32_t i = 0; p && i < count; ++i) {
      if (i) s += ' ';
      s += std::to_string(p[2 * i]) + ',' + std::to_string(p[2 * i + 1]);
    }
    s += ']';
    return *this;
  }
  Line& words(const int32_t* w, int32_t count) {
    s += " [";
    for (int32_t i = 0; w && i < count; ++i) {
      if (i) s += ' ';
      s += std::to_string(w[i]);
    }
    s += ']';
    return *this;
  }
  Line& dashList(const uint32_t* w, uint32_t count) {
    s += " [";
    for (uint32_t i = 0; w && i < count; ++i) {
      if (i) s += ' ';
      s += std::to_string(w[i]);
    }
    s += ']';
    return *this;
  }
};

std::string nameOf(const std::string& line) { return line.substr(0, line.find(' ')); }

}  // namespace

size_t RecordingGraphics::count(const std::string& name) const {
  size_t c = 0;
  for (const std::string& l : lines) c += nameOf(l) == name ? 1 : 0;
  return c;
}

std::vector<std::string> RecordingGraphics::of(const std::string& name) const {
  std::vector<std::string> out;
  for (const std::string& l : lines)
    if (nameOf(l) == name) out.push_back(l);
  return out;
}

std::string RecordingGraphics::text() const {
  std::string out;
  for (const std::string& l : lines) out += l + '\n';
  return out;
}

void RecordingGraphics::fillRect(UXRect rect, uint32_t ci) { lines.push_back(Line("fillRect").r(rect).n(ci).s); }

void RecordingGraphics::fillRectRGB(UXRect rect, uint32_t r, uint32_t g, uint32_t b) {
  lines.push_back(Line("fillRectRGB").r(rect).n(r).n(g).n(b).s);
}

void RecordingGraphics::fillRectRGBA(UXRect rect, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  lines.push_back(Line("fillRectRGBA").r(rect).n(r).n(g).n(b).n(a).s);
}

void RecordingGraphics::drawRect(UXRect rect, int32_t thickness, uint32_t ci) {
  lines.push_back(Line("drawRect").r(rect).n(thickness).n(ci).s);
}

void RecordingGraphics::drawRectRGB(UXRect rect, int32_t thickness, uint32_t r, uint32_t g, uint32_t b) {
  lines.push_back(Line("drawRectRGB").r(rect).n(thickness).n(r).n(g).n(b).s);
}

void RecordingGraphics::clearRect(UXRect rect) { lines.push_back(Line("clearRect").r(rect).s); }

void RecordingGraphics::drawPixels(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t swap, UXRect src,
                                   UXRect dest, uint32_t alpha) {
  Line l("drawPixels");
  l.s += pixels ? " ptr" : " null";
  lines.push_back(l.n(width).n(height).n(swap).r(src).r(dest).n(alpha).s);
}

void RecordingGraphics::drawTheme(const char* part, UXRect rect) {
  lines.push_back(Line("drawTheme").t(part).r(rect).s);
}

void RecordingGraphics::drawText(const char* text, int16_t x, int16_t y, uint32_t ci, int32_t size) {
  lines.push_back(Line("drawText").t(text).n(x).n(y).n(ci).n(size).s);
}

void RecordingGraphics::drawTextRGBA(const char* text, int16_t x, int16_t y, uint32_t r, uint32_t g, uint32_t b,
                                     uint32_t a, int32_t size) {
  lines.push_back(Line("drawTextRGBA").t(text).n(x).n(y).n(r).n(g).n(b).n(a).n(size).s);
}

void RecordingGraphics::drawTextFont(const char* text, int16_t x, int16_t y, uint32_t ci, const char* face,
                                     int32_t size, uint8_t bold, uint8_t italic) {
  lines.push_back(Line("drawTextFont").t(text).n(x).n(y).n(ci).t(face).n(size).n(bold).n(italic).s);
}

void RecordingGraphics::drawTextFontRGBA(const char* text, int16_t x, int16_t y, const char* face, int32_t size,
                                         int32_t weight, uint8_t italic, uint32_t r, uint32_t g, uint32_t b,
                                         uint32_t a) {
  lines.push_back(
      Line("drawTextFontRGBA").t(text).n(x).n(y).t(face).n(size).n(weight).n(italic).n(r).n(g).n(b).n(a).s);
}

void RecordingGraphics::fillTriangle(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t x3, int16_t y3,
                                     uint32_t ci) {
  lines.push_back(Line("fillTriangle").n(x1).n(y1).n(x2).n(y2).n(x3).n(y3).n(ci).s);
}

void RecordingGraphics::fillCircle(int16_t cx, int16_t cy, int16_t radius, uint32_t ci) {
  lines.push_back(Line("fillCircle").n(cx).n(cy).n(radius).n(ci).s);
}

void RecordingGraphics::drawLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint32_t ci) {
  lines.push_back(Line("drawLine").n(x1).n(y1).n(x2).n(y2).n(ci).s);
}

void RecordingGraphics::fillPolygon(const int16_t* points, int32_t n, uint32_t ci) {
  lines.push_back(Line("fillPolygon").points(points, n).n(n).n(ci).s);
}

void RecordingGraphics::fillPolygonRGB(const int16_t* points, int32_t n, uint32_t r, uint32_t g, uint32_t b) {
  lines.push_back(Line("fillPolygonRGB").points(points, n).n(n).n(r).n(g).n(b).s);
}

void RecordingGraphics::fillPolygonRGBA(const int16_t* points, int32_t n, uint32_t r, uint32_t g, uint32_t b,
                                        uint32_t a) {
  lines.push_back(Line("fillPolygonRGBA").points(points, n).n(n).n(r).n(g).n(b).n(a).s);
}

void RecordingGraphics::strokeNative(const int32_t* ops, int32_t n, double width, uint32_t startCap,
                                     uint32_t endCap, uint32_t join, const uint32_t* dashes, uint32_t dashCount,
                                     uint32_t dashPhase, uint32_t ci) {
  lines.push_back(Line("strokeNative")
                      .words(ops, n)
                      .n(n)
                      .d(width)
                      .n(startCap)
                      .n(endCap)
                      .n(join)
                      .dashList(dashes, dashCount)
                      .n(dashCount)
                      .n(dashPhase)
                      .n(ci)
                      .s);
}

void RecordingGraphics::strokeNativeRGB(const int32_t* ops, int32_t n, double width, uint32_t startCap,
                                        uint32_t endCap, uint32_t join, const uint32_t* dashes, uint32_t dashCount,
                                        uint32_t dashPhase, uint32_t r, uint32_t g, uint32_t b) {
  lines.push_back(Line("strokeNativeRGB")
                      .words(ops, n)
                      .n(n)
                      .d(width)
                      .n(startCap)
                      .n(endCap)
                      .n(join)
                      .dashList(dashes, dashCount)
                      .n(dashCount)
                      .n(dashPhase)
                      .n(r)
                      .n(g)
                      .n(b)
                      .s);
}

void RecordingGraphics::strokeNativeRGBA(const int32_t* ops, int32_t n, double width, uint32_t startCap,
                                         uint32_t endCap, uint32_t join, const uint32_t* dashes, uint32_t dashCount,
                                         uint32_t dashPhase, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  lines.push_back(Line("strokeNativeRGBA")
                      .words(ops, n)
                      .n(n)
                      .d(width)
                      .n(startCap)
                      .n(endCap)
                      .n(join)
                      .dashList(dashes, dashCount)
                      .n(dashCount)
                      .n(dashPhase)
                      .n(r)
                      .n(g)
                      .n(b)
                      .n(a)
                      .s);
}

}  // namespace quorl
