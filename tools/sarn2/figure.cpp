#include "tools/sarn2/figure.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "tools/sarn2/output_file.h"
#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

namespace {

constexpr Color kPanelColor{248, 248, 248};
constexpr Color kFrameColor{160, 160, 160};
constexpr Color kTitleColor{40, 40, 40};
constexpr Color kTickColor{110, 110, 110};
constexpr double kTickLength = 4.0;
// Room a tick label wants along its axis, in pixels: fewer ticks on
// smaller panels.
constexpr double kTickSpacingX = 70.0;
constexpr double kTickSpacingY = 28.0;
constexpr int kMaxTicks = 10;
// The labels' font size in pixels: capitals of about kLabelHeight.
constexpr double kFontSize = 11.0;
constexpr const char* kFontFamily = "DejaVu Sans";
// A generous estimate of one character's width at that size, to keep tick
// labels apart before any font is at hand.
constexpr double kCharWidth = 7.0;
constexpr double kBoxPadding = 1.5;
constexpr double kBoxOpacity = 0.85;

// Where value falls between low and high, 0 to 1, on a linear or
// logarithmic scale.
double fraction(double value, double low, double high, bool logarithmic) {
  if (logarithmic && low > 0.0 && high > 0.0 && value > 0.0) {
    return high != low ? std::log(value / low) / std::log(high / low) : 0.0;
  }
  return high != low ? (value - low) / (high - low) : 0.0;
}

// The tick values of a shown range: multiples of 1, 2 or 5 times a power
// of ten on a linear axis, the 1, 2, 5 of each decade on a logarithmic one.
std::vector<double> tickValues(double low, double high, int wanted, bool logarithmic) {
  std::vector<double> ticks;
  if (!(high > low) || !std::isfinite(low) || !std::isfinite(high)) return ticks;
  if (logarithmic && low > 0.0) {
    for (double decade = std::pow(10.0, std::floor(std::log10(low))); decade <= high; decade *= 10.0)
      for (double step : {1.0, 2.0, 5.0})
        if (decade * step >= low * (1 - 1e-9) && decade * step <= high * (1 + 1e-9))
          ticks.push_back(decade * step);
    return ticks;
  }
  const double raw = (high - low) / std::clamp(wanted, 1, kMaxTicks);
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double normal = raw / magnitude;
  const double step = (normal < 1.5 ? 1.0 : normal < 3.5 ? 2.0 : normal < 7.5 ? 5.0 : 10.0) * magnitude;
  for (double v = std::ceil(low / step - 1e-9) * step; v <= high + step * 1e-9; v += step)
    ticks.push_back(std::fabs(v) < step * 1e-9 ? 0.0 : v);
  return ticks;
}

std::string tickText(double value, const char* unit) {
  char text[48];
  const std::string u = unit;
  if (u == "Hz" && std::fabs(value) >= 1000.0)
    std::snprintf(text, sizeof(text), "%g kHz", value / 1000.0);
  else if (u.empty())
    std::snprintf(text, sizeof(text), "%g", value);
  else
    std::snprintf(text, sizeof(text), "%g %s", value, unit);
  return text;
}

void drawTicks(Figure& figure, const Panel& panel) {
  const double bottom = panel.y + panel.h - 1;
  if (panel.xAxis.unit != nullptr) {
    const Axis& axis = panel.xAxis;
    const int wanted = static_cast<int>(panel.w / kTickSpacingX);
    double lastLabelEnd = -1e9;
    for (double value :
         tickValues(panel.xMin * axis.scale, panel.xMax * axis.scale, wanted, axis.logarithmic)) {
      const double x = panel.at(value / axis.scale, panel.yMin).x;
      figure.polyline({{x, bottom}, {x, bottom - kTickLength}}, kTickColor);
      // Labels stay inside the frame and clear of each other.
      const std::string text = tickText(value, axis.unit);
      const double width = kCharWidth * static_cast<double>(text.size());
      const double left = std::clamp(x - width / 2, panel.x + 2, panel.x + panel.w - 2 - width);
      if (left < lastLabelEnd + kCharWidth) continue;
      lastLabelEnd = left + width;
      figure.label(left, bottom - kTickLength - kLabelHeight - 2, text, kTickColor, Align::left, true);
    }
  }
  if (panel.yAxis.unit != nullptr) {
    const Axis& axis = panel.yAxis;
    const int wanted = static_cast<int>(panel.h / kTickSpacingY);
    for (double value :
         tickValues(panel.yMin * axis.scale, panel.yMax * axis.scale, wanted, axis.logarithmic)) {
      const double y = panel.at(panel.xMin, value / axis.scale).y;
      figure.polyline({{panel.x, y}, {panel.x + kTickLength, y}}, kTickColor);
      // Clear of the x axis's labels along the bottom, and of the top edge.
      if (y > bottom - 2 * kLabelHeight - kTickLength) continue;
      const double top = std::max(panel.y + 2, y - kLabelHeight / 2.0);
      figure.label(panel.x + kTickLength + 2, top, tickText(value, axis.unit), kTickColor, Align::left, true);
    }
  }
}

void setColor(cairo_t* cairo, Color c) { cairo_set_source_rgb(cairo, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

void drawFigure(cairo_t* cairo, const Figure& figure) {
  setColor(cairo, figure.background);
  cairo_paint(cairo);
  for (const auto& r : figure.rects) {
    setColor(cairo, r.color);
    if (r.filled) {
      cairo_rectangle(cairo, r.x, r.y, r.w, r.h);
      cairo_fill(cairo);
    } else {
      // Through the centres of the outermost pixels, so that a one-pixel
      // line covers them exactly.
      cairo_set_line_width(cairo, 1.0);
      cairo_rectangle(cairo, r.x + 0.5, r.y + 0.5, r.w - 1, r.h - 1);
      cairo_stroke(cairo);
    }
  }
  cairo_set_line_width(cairo, 1.0);
  cairo_set_line_join(cairo, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cairo, CAIRO_LINE_CAP_SQUARE);
  for (const auto& l : figure.lines) {
    if (l.points.empty()) continue;
    setColor(cairo, l.color);
    // Points are pixel positions; a line through pixel centres stays sharp.
    cairo_move_to(cairo, l.points[0].x + 0.5, l.points[0].y + 0.5);
    for (size_t i = 1; i < l.points.size(); ++i)
      cairo_line_to(cairo, l.points[i].x + 0.5, l.points[i].y + 0.5);
    if (l.points.size() == 1) cairo_close_path(cairo);
    cairo_stroke(cairo);
  }
  cairo_select_font_face(cairo, kFontFamily, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cairo, kFontSize);
  for (const auto& t : figure.labels) {
    cairo_text_extents_t extents;
    cairo_text_extents(cairo, t.text.c_str(), &extents);
    const double shift = t.align == Align::centre  ? extents.x_advance / 2
                         : t.align == Align::right ? extents.x_advance
                                                   : 0;
    if (t.boxed) {
      cairo_set_source_rgba(cairo, kPanelColor.r / 255.0, kPanelColor.g / 255.0, kPanelColor.b / 255.0,
                            kBoxOpacity);
      cairo_rectangle(cairo, t.x - shift - kBoxPadding, t.y - kBoxPadding,
                      extents.x_advance + 2 * kBoxPadding, kLabelHeight + 2 * kBoxPadding + 1);
      cairo_fill(cairo);
    }
    setColor(cairo, t.color);
    cairo_move_to(cairo, t.x - shift, t.y + kLabelHeight);
    cairo_show_text(cairo, t.text.c_str());
  }
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// Draws onto the surface and finishes it; throws ToolError with cairo's
// reason when anything failed on the way.
void drawOnto(cairo_surface_t* surface, const Figure& figure, const std::string& path) {
  Context cairo(cairo_create(surface), &cairo_destroy);
  drawFigure(cairo.get(), figure);
  cairo_status_t status = cairo_status(cairo.get());
  cairo.reset();
  cairo_surface_flush(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  if (status != CAIRO_STATUS_SUCCESS)
    throw ToolError("cannot draw " + path + ": " + cairo_status_to_string(status));
}

bool endsWith(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(),
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

}  // namespace

Point Panel::at(double dataX, double dataY) const {
  const double fx = fraction(dataX, xMin, xMax, xAxis.logarithmic);
  const double fy = fraction(dataY, yMin, yMax, yAxis.logarithmic);
  return {x + fx * (w - 1), y + (1.0 - fy) * (h - 1)};
}

void drawPanel(Figure& figure, const Panel& panel, const std::string& title) {
  figure.fill(panel.x, panel.y, panel.w, panel.h, kPanelColor);
  figure.frame(panel.x, panel.y, panel.w, panel.h, kFrameColor);
  figure.label(panel.x, panel.y - kLabelHeight - 4, title, kTitleColor);
  drawTicks(figure, panel);
}

void drawPanelNote(Figure& figure, const Panel& panel, const std::string& note) {
  figure.label(panel.x + panel.w / 2, panel.y + (panel.h - kLabelHeight) / 2, note, kTitleColor,
               Align::centre);
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

void checkPicturePath(const std::string& path) {
  if (!endsWith(path, ".png") && !endsWith(path, ".svg"))
    throw UsageError("picture file " + path + " must end in .png or .svg");
}

void saveFigure(const Figure& figure, const std::string& path) {
  checkPicturePath(path);
  std::string bytes;
  if (endsWith(path, ".svg")) {
    Surface surface(cairo_svg_surface_create_for_stream(&appendBytes, &bytes, figure.width, figure.height),
                    &cairo_surface_destroy);
    drawOnto(surface.get(), figure, path);
    // The stream receives the document's end only when the surface finishes.
    cairo_surface_finish(surface.get());
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
      throw ToolError("cannot draw " + path + ": " +
                      cairo_status_to_string(cairo_surface_status(surface.get())));
  } else {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, figure.width, figure.height),
                    &cairo_surface_destroy);
    drawOnto(surface.get(), figure, path);
    const cairo_status_t status = cairo_surface_write_to_png_stream(surface.get(), &appendBytes, &bytes);
    if (status != CAIRO_STATUS_SUCCESS)
      throw ToolError("cannot encode " + path + ": " + cairo_status_to_string(status));
  }
  writeWholeFile(path, bytes.data(), bytes.size());
}

}  // namespace sarn2tool
