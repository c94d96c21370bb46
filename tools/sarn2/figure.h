// Pictures the tool draws: a list of rectangles, polylines and labels in
// pixel coordinates, written as PNG (rasterised here) or SVG.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sarn2tool {

struct Color {
  uint8_t r, g, b;
};

struct Point {
  double x, y;
};

struct Figure {
  struct Rect {
    double x, y, w, h;
    Color color;
    bool filled;
  };
  struct Polyline {
    std::vector<Point> points;
    Color color;
  };
  struct Label {
    double x, y;  // top left
    std::string text;
    Color color;
  };

  int width = 0;
  int height = 0;
  Color background{255, 255, 255};
  // Drawn in this order: rectangles, then lines, then labels.
  std::vector<Rect> rects;
  std::vector<Polyline> lines;
  std::vector<Label> labels;

  void fill(double x, double y, double w, double h, Color color) {
    rects.push_back({x, y, w, h, color, true});
  }
  void frame(double x, double y, double w, double h, Color color) {
    rects.push_back({x, y, w, h, color, false});
  }
  void polyline(std::vector<Point> points, Color color) { lines.push_back({std::move(points), color}); }
  void label(double x, double y, std::string text, Color color) {
    labels.push_back({x, y, std::move(text), color});
  }
};

// Height in pixels of one line of label text.
constexpr int kLabelHeight = 9;

// A rectangle of the figure with data coordinates mapped onto it.
struct Panel {
  double x, y, w, h;
  double xMin, xMax, yMin, yMax;
  Point at(double dataX, double dataY) const;
};

// Frames the panel and writes its title above it.
void drawPanel(Figure& figure, const Panel& panel, const std::string& title);

// A trace of count values across the panel: for each pixel column the
// lowest and highest value that falls in it, so that long series keep
// their extremes.
std::vector<Point> columnTrace(const Panel& panel, int64_t count,
                               const std::function<double(int64_t)>& value);

// Writes the figure as PNG or SVG, chosen by the file's extension, through
// a temporary file. Throws UsageError for another extension, ToolError
// when the file cannot be written.
void saveFigure(const Figure& figure, const std::string& path);

// Throws UsageError unless the path ends in .png or .svg.
void checkPicturePath(const std::string& path);

// The figure as 8-bit RGB pixels, row by row.
std::vector<uint8_t> rasterise(const Figure& figure);
std::string toSvg(const Figure& figure);

}  // namespace sarn2tool
