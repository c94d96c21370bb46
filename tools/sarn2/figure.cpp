#include "tools/sarn2/figure.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/sarn2/bitmap_font.h"
#include "tools/sarn2/output_file.h"
#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

Point Panel::at(double dataX, double dataY) const {
  const double fx = xMax != xMin ? (dataX - xMin) / (xMax - xMin) : 0.0;
  const double fy = yMax != yMin ? (dataY - yMin) / (yMax - yMin) : 0.0;
  return {x + fx * (w - 1), y + (1.0 - fy) * (h - 1)};
}

void drawPanel(Figure& figure, const Panel& panel, const std::string& title) {
  figure.fill(panel.x, panel.y, panel.w, panel.h, {248, 248, 248});
  figure.frame(panel.x, panel.y, panel.w, panel.h, {160, 160, 160});
  figure.label(panel.x, panel.y - kLabelHeight - 2, title, {40, 40, 40});
}

std::vector<Point> columnTrace(const Panel& panel, int64_t count,
                               const std::function<double(int64_t)>& value) {
  std::vector<Point> points;
  const int columns = std::max(1, static_cast<int>(panel.w));
  if (count <= 0) return points;
  if (count <= columns) {
    for (int64_t i = 0; i < count; ++i) points.push_back(panel.at(static_cast<double>(i), value(i)));
    return points;
  }
  for (int c = 0; c < columns; ++c) {
    const int64_t first = count * c / columns;
    const int64_t last = std::max(first + 1, count * (c + 1) / columns);
    double low = value(first), high = low;
    int64_t lowAt = first, highAt = first;
    for (int64_t i = first + 1; i < last; ++i) {
      const double v = value(i);
      if (v < low) low = v, lowAt = i;
      if (v > high) high = v, highAt = i;
    }
    const double px = static_cast<double>(first);
    // In the order they occur, so that the line runs through both.
    if (lowAt <= highAt) {
      points.push_back(panel.at(px, low));
      if (high != low) points.push_back(panel.at(px, high));
    } else {
      points.push_back(panel.at(px, high));
      points.push_back(panel.at(px, low));
    }
  }
  return points;
}

namespace {

class Raster {
 public:
  Raster(int width, int height, Color background)
      : width(width), height(height), pixels(static_cast<size_t>(width) * height * 3) {
    for (size_t i = 0; i < pixels.size(); i += 3) {
      pixels[i] = background.r;
      pixels[i + 1] = background.g;
      pixels[i + 2] = background.b;
    }
  }

  void set(int x, int y, Color c) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
  }

  void fillRect(double x, double y, double w, double h, Color c) {
    const int x0 = static_cast<int>(std::lround(x)), y0 = static_cast<int>(std::lround(y));
    const int x1 = static_cast<int>(std::lround(x + w)), y1 = static_cast<int>(std::lround(y + h));
    for (int py = std::max(0, y0); py < std::min(height, y1); ++py)
      for (int px = std::max(0, x0); px < std::min(width, x1); ++px) set(px, py, c);
  }

  void line(Point a, Point b, Color c) {
    // Bresenham between the rounded end points.
    int x0 = static_cast<int>(std::lround(a.x)), y0 = static_cast<int>(std::lround(a.y));
    const int x1 = static_cast<int>(std::lround(b.x)), y1 = static_cast<int>(std::lround(b.y));
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
      set(x0, y0, c);
      if (x0 == x1 && y0 == y1) break;
      const int e2 = 2 * error;
      if (e2 >= dy) error += dy, x0 += sx;
      if (e2 <= dx) error += dx, y0 += sy;
    }
  }

  void text(double x, double y, const std::string& text, Color c) {
    int px = static_cast<int>(std::lround(x));
    const int py = static_cast<int>(std::lround(y));
    for (char ch : text) {
      const auto& rows = glyphRows(ch);
      for (int r = 0; r < kGlyphHeight; ++r)
        for (int col = 0; col < kGlyphWidth; ++col)
          if (rows[static_cast<size_t>(r)] & (1 << (kGlyphWidth - 1 - col))) set(px + col, py + r, c);
      px += kGlyphWidth + 1;
    }
  }

  int width, height;
  std::vector<uint8_t> pixels;
};

std::string svgEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string svgColor(Color c) {
  char text[8];
  std::snprintf(text, sizeof(text), "#%02x%02x%02x", c.r, c.g, c.b);
  return text;
}

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f", v);
  return text;
}

bool endsWith(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(),
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

}  // namespace

std::vector<uint8_t> rasterise(const Figure& figure) {
  Raster raster(figure.width, figure.height, figure.background);
  for (const auto& r : figure.rects) {
    if (r.filled) {
      raster.fillRect(r.x, r.y, r.w, r.h, r.color);
    } else {
      const Point a{r.x, r.y}, b{r.x + r.w - 1, r.y}, c{r.x + r.w - 1, r.y + r.h - 1}, d{r.x, r.y + r.h - 1};
      raster.line(a, b, r.color);
      raster.line(b, c, r.color);
      raster.line(c, d, r.color);
      raster.line(d, a, r.color);
    }
  }
  for (const auto& l : figure.lines) {
    if (l.points.size() == 1) raster.line(l.points[0], l.points[0], l.color);
    for (size_t i = 1; i < l.points.size(); ++i) raster.line(l.points[i - 1], l.points[i], l.color);
  }
  for (const auto& t : figure.labels) raster.text(t.x, t.y, t.text, t.color);
  return std::move(raster.pixels);
}

std::string toSvg(const Figure& figure) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
      std::to_string(figure.width) + "\" height=\"" + std::to_string(figure.height) + "\" viewBox=\"0 0 " +
      std::to_string(figure.width) + " " + std::to_string(figure.height) +
      "\">\n<rect width=\"100%\" height=\"100%\" fill=\"" + svgColor(figure.background) + "\"/>\n";
  for (const auto& r : figure.rects) {
    out += "<rect x=\"" + number(r.x) + "\" y=\"" + number(r.y) + "\" width=\"" + number(r.w) +
           "\" height=\"" + number(r.h) + "\" " +
           (r.filled ? "fill=\"" + svgColor(r.color) + "\""
                     : "fill=\"none\" stroke=\"" + svgColor(r.color) + "\"") +
           "/>\n";
  }
  for (const auto& l : figure.lines) {
    out += "<polyline fill=\"none\" stroke-width=\"1\" stroke=\"" + svgColor(l.color) + "\" points=\"";
    for (const Point& p : l.points) out += number(p.x) + "," + number(p.y) + " ";
    out += "\"/>\n";
  }
  for (const auto& t : figure.labels) {
    out += "<text x=\"" + number(t.x) + "\" y=\"" + number(t.y + kLabelHeight - 1) +
           "\" font-family=\"monospace\" font-size=\"10\" fill=\"" + svgColor(t.color) + "\">" +
           svgEscape(t.text) + "</text>\n";
  }
  out += "</svg>\n";
  return out;
}

void checkPicturePath(const std::string& path) {
  if (!endsWith(path, ".png") && !endsWith(path, ".svg"))
    throw UsageError("picture file " + path + " must end in .png or .svg");
}

void saveFigure(const Figure& figure, const std::string& path) {
  checkPicturePath(path);
  if (endsWith(path, ".svg")) {
    const std::string svg = toSvg(figure);
    writeWholeFile(path, svg.data(), svg.size());
    return;
  }
  const std::vector<uint8_t> pixels = rasterise(figure);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(figure.width);
  image.height = static_cast<png_uint_32>(figure.height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  const png_int_32 stride = figure.width * 3;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), stride, nullptr))
    throw ToolError("cannot encode " + path + ": " + image.message);
  std::vector<uint8_t> encoded(size);
  if (!png_image_write_to_memory(&image, encoded.data(), &size, 0, pixels.data(), stride, nullptr))
    throw ToolError("cannot encode " + path + ": " + image.message);
  writeWholeFile(path, encoded.data(), size);
}

}  // namespace sarn2tool
