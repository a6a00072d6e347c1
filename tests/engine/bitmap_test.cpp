#include "engine/bitmap.h"

#include <gtest/gtest.h>

namespace tessora {
namespace {

TEST(Bitmap, NewIsEmptyAndWhite) {
  Bitmap b;
  EXPECT_TRUE(b.empty());
  EXPECT_EQ(b.fillColor(), clWhite);
  b.setSize(3, 2);
  EXPECT_EQ(b.pixel(2, 1), clWhite);
}

}  // namespace
}  // namespace tessora
