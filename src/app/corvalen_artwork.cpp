#include "app/corvalen_artwork.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace corvalen {
namespace {

struct Point {
  double x;
  double y;
};

// One shape of the picture: an outline filled and/or stroked.
struct Layer {
  std::vector<Point> outline;
  bool closed;
  std::optional<uint32_t> fill;    // 0xRRGGBB
  std::optional<uint32_t> stroke;  // 0xRRGGBB
};

// Points of the ellipse of centre (cx, cy) and radii (rx, ry) from `from` to
// `to` degrees, counter-clockwise as seen on the screen (0 at 3 o'clock).
void AddArc(std::vector<Point>& points, double cx, double cy, double rx, double ry, double from,
            double to) {
  constexpr int kSteps = 48;
  for (int i = 0; i <= kSteps; ++i) {
    const double angle = (from + (to - from) * i / kSteps) * std::numbers::pi / 180;
    points.push_back({cx + rx * std::cos(angle), cy - ry * std::sin(angle)});
  }
}

std::vector<Layer> Picture() {
  constexpr uint32_t kOutline = 0x142D5A;
  constexpr uint32_t kBody = 0x3C6EBE;
  constexpr uint32_t kLid = 0x8CB9F0;
  std::vector<Layer> layers;

  // The drum: a body with a rounded bottom, two bands, and a lighter lid.
  Layer body{{{34, 11}, {4, 11}, {4, 37}}, true, kBody, kOutline};
  AddArc(body.outline, 19, 37, 15, 6, 180, 360);
  layers.push_back(body);
  for (double band_centre : {20.0, 28.0}) {
    Layer band{{}, false, std::nullopt, kOutline};
    AddArc(band.outline, 19, band_centre, 15, 6, 180, 360);
    layers.push_back(band);
  }
  Layer lid{{}, true, kLid, kOutline};
  AddArc(lid.outline, 19, 11, 15, 6, 0, 360);
  layers.push_back(lid);

  // The arrow: an update going up.
  layers.push_back({{{32, 46}, {32, 34}, {25, 34}, {37, 20}, {47, 34}, {42, 34}, {42, 46}},
                    true,
                    0x3CBE3C,
                    0x145A14});
  return layers;
}

bool Inside(const std::vector<Point>& polygon, Point p) {
  bool inside = false;
  for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const Point& a = polygon[i];
    const Point& b = polygon[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
      inside = !inside;
    }
  }
  return inside;
}

double SquaredDistanceToSegment(Point p, Point a, Point b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length = dx * dx + dy * dy;
  double t = length == 0 ? 0 : ((p.x - a.x) * dx + (p.y - a.y) * dy) / length;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = a.x + t * dx - p.x;
  const double ey = a.y + t * dy - p.y;
  return ex * ex + ey * ey;
}

bool OnLine(const Layer& layer, Point p, double half_width) {
  const size_t n = layer.outline.size();
  const size_t segments = layer.closed ? n : n - 1;
  for (size_t i = 0; i < segments; ++i) {
    if (SquaredDistanceToSegment(p, layer.outline[i], layer.outline[(i + 1) % n]) <=
        half_width * half_width) {
      return true;
    }
  }
  return false;
}

// The colour of the topmost shape at `p`, if any.
std::optional<uint32_t> ColourAt(const std::vector<Layer>& layers, Point p, double half_width) {
  for (auto layer = layers.rbegin(); layer != layers.rend(); ++layer) {
    if (layer->stroke && OnLine(*layer, p, half_width)) return layer->stroke;
    if (layer->fill && Inside(layer->outline, p)) return layer->fill;
  }
  return std::nullopt;
}

}  // namespace

IconImage DrawCorvalenArtwork(int size) {
  constexpr int kSamples = 4;  // per pixel and axis
  const std::vector<Layer> layers = Picture();
  const double unit = 48.0 / size;
  const double half_width = unit * 1.2 / 2;
  IconImage image{size, std::vector<uint32_t>(static_cast<size_t>(size) * size, 0)};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      int hits = 0;
      int red = 0, green = 0, blue = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const Point p{(x + (sx + 0.5) / kSamples) * unit, (y + (sy + 0.5) / kSamples) * unit};
          if (std::optional<uint32_t> colour = ColourAt(layers, p, half_width)) {
            ++hits;
            red += (*colour >> 16) & 0xFF;
            green += (*colour >> 8) & 0xFF;
            blue += *colour & 0xFF;
          }
        }
      }
      if (hits == 0) continue;
      const uint32_t alpha = static_cast<uint32_t>(255 * hits / (kSamples * kSamples));
      image.pixels[static_cast<size_t>(y) * size + x] =
          alpha << 24 | static_cast<uint32_t>(red / hits) << 16 |
          static_cast<uint32_t>(green / hits) << 8 | static_cast<uint32_t>(blue / hits);
    }
  }
  return image;
}

}  // namespace corvalen
