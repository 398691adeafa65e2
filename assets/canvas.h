// A small RGBA canvas that fills simple shapes with smooth (supersampled) edges.
//
// Shapes are given in a design grid of `units` x `units` (the 34-pixel icon grid) and drawn onto
// a square picture of `pixels` x `pixels`, so one design serves any size.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace vidoria::assets {

struct Colour {
  uint8_t r, g, b, a = 255;
};

struct Point {
  double x, y;
};

class Canvas {
 public:
  Canvas(int pixels, double units);

  void RoundRect(double x0, double y0, double x1, double y1, double radius, Colour colour);
  void Circle(double cx, double cy, double radius, Colour colour);
  // Any simple polygon, filled by the even-odd rule.
  void Polygon(const std::vector<Point>& points, Colour colour);
  // A stroke of `width` with round ends.
  void Line(Point from, Point to, double width, Colour colour);

  int Pixels() const { return pixels_; }
  // width * height * 4 bytes, straight (not premultiplied) alpha.
  std::vector<uint8_t> Rgba() const;

 private:
  // Blends `colour` over every pixel by the share of its samples that `inside` holds for.
  void Fill(const std::function<bool(double x, double y)>& inside, Colour colour);

  int pixels_;
  double scale_;                // pixels per design unit
  std::vector<double> premul_;  // premultiplied RGBA, 0..1
};

}  // namespace vidoria::assets
