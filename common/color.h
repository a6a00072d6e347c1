#pragma once

#include <cstdint>

namespace tessora {

/// A colour value: red in the low byte, then green, then blue (0x00BBGGRR).
/// 0x80000000 + n names the system colour of index n; clNone means no colour at all.
using TColor = std::uint32_t;

constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;

constexpr TColor kSystemColorFlag = 0x80000000;
constexpr int kSystemColorCount = 31;

/// System colour codes used by the program itself.
constexpr TColor SystemColor(int index) {
  return kSystemColorFlag + static_cast<TColor>(index);
}
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);

constexpr TColor RGB(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(TColor c) {
  return static_cast<int>(c & 0xFF);
}
constexpr int GetGValue(TColor c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int GetBValue(TColor c) {
  return static_cast<int>((c >> 16) & 0xFF);
}

constexpr bool IsSystemColor(TColor c) {
  return (c & kSystemColorFlag) != 0;
}

}  // namespace tessora
