#include "engine/composition.h"

#include <algorithm>
#include <cstring>

#include "engine/rounding.h"

namespace tessora {
namespace {

constexpr std::int64_t kEdgeLimit = INT32_MAX;

std::int64_t ClampEdge(std::int64_t v) {
  return std::clamp(v, -kEdgeLimit, kEdgeLimit);
}

}  // namespace

bool TileFillCoversAll(const Bitmap& tile) {
  return tile.empty() || !tile.transparentKey();
}

void TileFill(const Bitmap& tile, Bitmap& target) {
  if (tile.empty()) {
    target.setFillColor(tile.fillColor());
    target.fill();
    return;
  }
  const int w = target.width();
  const int h = target.height();
  if (tile.transparentKey()) {
    for (std::int64_t y = 0; y <= h; y += tile.height()) {
      for (std::int64_t x = 0; x <= w; x += tile.width()) {
        target.draw(x, y, tile);
      }
    }
    return;
  }
  // An opaque tile gives the same picture as drawing every copy: the first band of rows is
  // built by repeating each tile row across, every later row repeats the row a tile above it.
  const std::size_t tileBytes = tile.stride();
  const std::size_t rowBytes = target.stride();
  const int bandRows = std::min(tile.height(), h);
  for (int y = 0; y < bandRows; ++y) {
    std::uint8_t* row = target.scanLine(y);
    const std::size_t first = std::min(tileBytes, rowBytes);
    std::memcpy(row, tile.scanLine(y), first);
    for (std::size_t done = first; done < rowBytes;) {
      const std::size_t n = std::min(done, rowBytes - done);
      std::memcpy(row + done, row, n);
      done += n;
    }
  }
  for (int y = bandRows; y < h; ++y) {
    std::memcpy(target.scanLine(y), target.scanLine(y - tile.height()), rowBytes);
  }
}

Box64 StretchedCenterBox(int w, int h, int cw, int ch, float widthFraction, float heightFraction) {
  const long double W = w;
  const long double H = h;
  std::int64_t left = 0;
  std::int64_t top = 0;
  if (widthFraction == 0) {
    const float th = ToSingle(H * heightFraction);
    top = Round((H - th) / 2);
    const float tw = ToSingle(static_cast<long double>(cw) * th / ch);
    left = Round((W - tw) / 2);
  } else {
    const float tw = ToSingle(W * widthFraction);
    left = Round((W - tw) / 2);
    const float th = ToSingle(static_cast<long double>(ch) * tw / cw);
    top = Round((H - th) / 2);
  }
  left = ClampEdge(left);
  top = ClampEdge(top);
  return Box64{left, top, w - left, h - top};
}

Point AsIsCenterOrigin(int w, int h, int cw, int ch) {
  std::int64_t x = Round(static_cast<long double>(w - cw) / 2);
  std::int64_t y = Round(static_cast<long double>(h - ch) / 2);
  if (cw >= w) {
    x = 0;
  }
  if (ch >= h) {
    y = 0;
  }
  return Point{x, y};
}

Rect ToPreviewRect(const Box64& box, int w, int h, int pw, int ph) {
  const float sy = ToSingle(static_cast<long double>(h) / ph);
  const float sx = ToSingle(static_cast<long double>(w) / pw);
  Rect r;
  r.Top = RoundInt(box.top / static_cast<long double>(sy));
  r.Bottom = RoundInt(box.bottom / static_cast<long double>(sy));
  r.Left = RoundInt(box.left / static_cast<long double>(sx));
  r.Right = RoundInt(box.right / static_cast<long double>(sx));
  return r;
}

void ScaleBitmap(Bitmap& bmp, float factor) {
  Bitmap scaled;  // white, so that transparent source pixels come out white
  scaled.setSize(RoundInt(static_cast<long double>(bmp.width()) * factor),
                 RoundInt(static_cast<long double>(bmp.height()) * factor));
  scaled.stretchDraw(0, 0, scaled.width(), scaled.height(), bmp);
  scaled.setFillColor(bmp.fillColor());
  scaled.setTransparentColor(bmp.transparentColor());
  bmp = std::move(scaled);
}

}  // namespace tessora
