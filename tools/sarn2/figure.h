// Pictures the tool draws: a list of rectangles, polylines and labels in
// pixel coordinates, drawn by cairo into a PNG or an SVG file.
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

enum class Align { left, centre, right };

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
    double x, y;  // top, and the left, centre or right end as aligned
    std::string text;
    Color color;
    Align align;
    bool boxed;  // on a light box, readable over whatever lies below
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
  void label(double x, double y, std::string text, Color color, Align align = Align::left,
             bool boxed = false) {
    labels.push_back({x, y, std::move(text), color, align, boxed});
  }
};

// Height in pixels of one line of label text.
constexpr int kLabelHeight = 9;

// How a panel marks one of its axes: ticks at round values of the data
// times `scale` (samples to seconds: 1 / rate), labelled with the unit.
// A null unit draws no ticks; an empty one plain numbers (levels).
struct Axis {
  const char* unit = "";
  double scale = 1.0;
  bool logarithmic = false;
};

// A rectangle of the figure with data coordinates mapped onto it.
struct Panel {
  double x, y, w, h;
  double xMin, xMax, yMin, yMax;
  Axis xAxis{};
  Axis yAxis{};
  Point at(double dataX, double dataY) const;
};

// Frames the panel, writes its title above it and marks its axes with
// ticks and their values inside the frame.
void drawPanel(Figure& figure, const Panel& panel, const std::string& title);

// A plain note across the middle of a panel, e.g. that a sound is silent.
void drawPanelNote(Figure& figure, const Panel& panel, const std::string& note);

// A trace of count values across the panel: for each pixel column the
// lowest and highest value that falls in it, so that long series keep
// their extremes.
std::vector<Point> columnTrace(const Panel& panel, int64_t count,
                               const std::function<double(int64_t)>& value);

// Writes the figure as PNG or SVG, chosen by the file's extension, through
// a temporary file. Throws UsageError for another extension, ToolError
// when the picture cannot be drawn or the file cannot be written.
void saveFigure(const Figure& figure, const std::string& path);

// Throws UsageError unless the path ends in .png or .svg.
void checkPicturePath(const std::string& path);

}  // namespace sarn2tool
