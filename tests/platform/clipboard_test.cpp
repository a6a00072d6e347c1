// The clipboard on the test's X server, with xclip as the other program.
#include "platform/qt_clipboard.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <QUrl>

#include "child_process.h"
#include "platform/bitmap_qimage.h"

namespace tessora {
namespace {

using testing::ChildProcess;
using testing::WaitUntil;

Bitmap Picture() {
  Bitmap b(30, 20);
  for (int y = 0; y < b.height(); ++y) {
    for (int x = 0; x < b.width(); ++x) {
      std::uint8_t* p = b.scanLine(y) + 3 * x;
      p[0] = static_cast<std::uint8_t>(x * 8);
      p[1] = static_cast<std::uint8_t>(y * 12);
      p[2] = 77;
    }
  }
  return b;
}

// Runs xclip to its end while our event loop serves the clipboard it reads from us.
QByteArray XclipOutput(const QStringList& arguments) {
  ChildProcess xclip;
  if (!xclip.start(QStringLiteral("xclip"), arguments)) {
    return QByteArray();
  }
  QByteArray out;
  WaitUntil([&] {
    out += xclip.process()->readAllStandardOutput();
    return xclip.process()->state() == QProcess::NotRunning;
  });
  return out + xclip.process()->readAllStandardOutput();
}

TEST(QtImageClipboard, OurPictureIsReadableAsPngByAnotherProgram) {
  QtImageClipboard clipboard;
  clipboard.setImage(Picture());
  EXPECT_TRUE(clipboard.hasImage());
  const QByteArray targets = XclipOutput({"-selection", "clipboard", "-t", "TARGETS", "-o"});
  EXPECT_TRUE(targets.contains("image/png")) << targets.constData();
  const QImage png =
      QImage::fromData(XclipOutput({"-selection", "clipboard", "-t", "image/png", "-o"}), "PNG");
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.convertToFormat(QImage::Format_RGB888), ToQImage(Picture()));
}

TEST(QtImageClipboard, APictureCopiedByAnotherProgramIsSeenAndPasted) {
  QtImageClipboard clipboard;
  clipboard.clear();
  EXPECT_FALSE(clipboard.hasImage());
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("in.png"));
  ASSERT_TRUE(ToQImage(Picture()).save(file, "PNG"));
  ChildProcess xclip;  // stays the clipboard's owner until stopped
  ASSERT_TRUE(xclip.start(QStringLiteral("xclip"),
                          {"-quiet", "-selection", "clipboard", "-t", "image/png", "-i", file}));
  // The flag follows the change notification, without anybody asking the clipboard.
  EXPECT_TRUE(WaitUntil([&] { return clipboard.hasImage(); }));
  const std::optional<Bitmap> pasted = clipboard.image();
  ASSERT_TRUE(pasted.has_value());
  EXPECT_EQ(ToQImage(*pasted), ToQImage(Picture()));
}

TEST(QtImageClipboard, AnImageFileCopiedInAFileManagerCountsAsAnImage) {
  QtImageClipboard clipboard;
  clipboard.clear();
  QTemporaryDir dir;
  const QString picture = dir.filePath(QStringLiteral("copied file.png"));
  ASSERT_TRUE(ToQImage(Picture()).save(picture, "PNG"));
  const QString list = dir.filePath(QStringLiteral("uris"));
  QFile uris(list);
  ASSERT_TRUE(uris.open(QIODevice::WriteOnly));
  uris.write(QUrl::fromLocalFile(picture).toEncoded() + "\r\n");
  uris.close();
  ChildProcess xclip;
  ASSERT_TRUE(xclip.start(QStringLiteral("xclip"), {"-quiet", "-selection", "clipboard", "-t",
                                                    "text/uri-list", "-i", list}));
  EXPECT_TRUE(WaitUntil([&] { return clipboard.hasImage(); }));
  const std::optional<Bitmap> pasted = clipboard.image();
  ASSERT_TRUE(pasted.has_value());
  EXPECT_EQ(ToQImage(*pasted), ToQImage(Picture()));
}

TEST(QtImageClipboard, TextOnTheClipboardIsNoImage) {
  QtImageClipboard clipboard;
  clipboard.setImage(Picture());
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("in.txt"));
  QFile text(file);
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("just words");
  text.close();
  ChildProcess xclip;
  ASSERT_TRUE(
      xclip.start(QStringLiteral("xclip"), {"-quiet", "-selection", "clipboard", "-i", file}));
  EXPECT_TRUE(WaitUntil([&] { return !clipboard.hasImage(); }));
  EXPECT_FALSE(clipboard.image().has_value());
}

TEST(QtImageClipboard, ClearEmptiesIt) {
  QtImageClipboard clipboard;
  clipboard.setImage(Picture());
  clipboard.clear();
  EXPECT_FALSE(clipboard.hasImage());
  EXPECT_FALSE(clipboard.image().has_value());
}

}  // namespace
}  // namespace tessora
