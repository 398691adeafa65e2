#include "assets/canvas.h"

#include <algorithm>
#include <cmath>

namespace vidoria::assets {

namespace {

constexpr int kSamples = 4;  // per axis: 16 samples per pixel

double DistanceToSegment(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  double t = length2 == 0 ? 0 : ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

}  // namespace

Canvas::Canvas(int pixels, double units)
    : pixels_(pixels), scale_(pixels / units), premul_(static_cast<size_t>(pixels * pixels) * 4) {}

void Canvas::Fill(const std::function<bool(double x, double y)>& inside, Colour colour) {
  const double alpha = colour.a / 255.0;
  const double rgb[3] = {colour.r / 255.0, colour.g / 255.0, colour.b / 255.0};
  for (int py = 0; py < pixels_; ++py) {
    for (int px = 0; px < pixels_; ++px) {
      int hits = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double x = (px + (sx + 0.5) / kSamples) / scale_;
          const double y = (py + (sy + 0.5) / kSamples) / scale_;
          if (inside(x, y)) ++hits;
        }
      }
      if (hits == 0) continue;
      const double cover = alpha * hits / (kSamples * kSamples);
      double* pixel = &premul_[static_cast<size_t>(py * pixels_ + px) * 4];
      for (int c = 0; c < 3; ++c) pixel[c] = rgb[c] * cover + pixel[c] * (1 - cover);
      pixel[3] = cover + pixel[3] * (1 - cover);
    }
  }
}

void Canvas::RoundRect(double x0, double y0, double x1, double y1, double radius, Colour colour) {
  Fill(
      [=](double x, double y) {
        if (x < x0 || x > x1 || y < y0 || y > y1) return false;
        const double cx = std::clamp(x, x0 + radius, x1 - radius);
        const double cy = std::clamp(y, y0 + radius, y1 - radius);
        return std::hypot(x - cx, y - cy) <= radius;
      },
      colour);
}

void Canvas::Circle(double cx, double cy, double radius, Colour colour) {
  Fill([=](double x, double y) { return std::hypot(x - cx, y - cy) <= radius; }, colour);
}

void Canvas::Polygon(const std::vector<Point>& points, Colour colour) {
  Fill(
      [&points](double x, double y) {
        bool in = false;
        for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
          const Point a = points[i], b = points[j];
          if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
        }
        return in;
      },
      colour);
}

void Canvas::Line(Point from, Point to, double width, Colour colour) {
  Fill(
      [=](double x, double y) {
        return DistanceToSegment({x, y}, from, to) <= width / 2;
      },
      colour);
}

std::vector<uint8_t> Canvas::Rgba() const {
  std::vector<uint8_t> out(premul_.size());
  for (size_t i = 0; i < premul_.size(); i += 4) {
    const double alpha = premul_[i + 3];
    for (int c = 0; c < 3; ++c) {
      const double straight = alpha > 0 ? premul_[i + static_cast<size_t>(c)] / alpha : 0;
      out[i + static_cast<size_t>(c)] =
          static_cast<uint8_t>(std::lround(std::clamp(straight, 0.0, 1.0) * 255));
    }
    out[i + 3] = static_cast<uint8_t>(std::lround(alpha * 255));
  }
  return out;
}

}  // namespace vidoria::assets
