// Decoding and fitting downloaded images, and data: URLs.
#include "browser/page/image_download.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <string>

namespace qvex_engine {
namespace {

std::string Png(int width, int height) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height);
  gdk_pixbuf_fill(pixbuf, 0x208060ff);
  gchar* buffer = nullptr;
  gsize size = 0;
  gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "png", nullptr, nullptr);
  std::string png(buffer, size);
  g_free(buffer);
  g_object_unref(pixbuf);
  return png;
}

TEST(ImageDownloadTest, FitsLargeImagesAndKeepsSmallOnes) {
  const struct {
    int width, height;
    uint32_t max;
    size_t expected_width, expected_height;
  } kCases[] = {
      {128, 128, 16, 16, 16}, {128, 64, 96, 96, 48},  // Aspect kept.
      {10, 10, 16, 10, 10},                            // Never enlarged.
      {40, 20, 0, 40, 20},                             // 0: no limit.
  };
  for (const auto& c : kCases) {
    std::string png = Png(c.width, c.height);
    CefRefPtr<CefImage> image = DecodeImage(png.data(), png.size(), c.max);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->GetWidth(), c.expected_width);
    EXPECT_EQ(image->GetHeight(), c.expected_height);
  }
}

TEST(ImageDownloadTest, DataThatIsNoImageGivesNull) {
  EXPECT_FALSE(DecodeImage("", 0, 16));
  EXPECT_FALSE(DecodeImage("not an image at all", 19, 16));
  std::string truncated = Png(32, 32).substr(0, 40);
  EXPECT_FALSE(DecodeImage(truncated.data(), truncated.size(), 16));
}

TEST(ImageDownloadTest, DecodesDataUrls) {
  std::string bytes;
  ASSERT_TRUE(DecodeDataUrl("data:text/plain,a%20b%00c", &bytes));
  EXPECT_EQ(bytes, std::string("a b\0c", 5));
  ASSERT_TRUE(DecodeDataUrl("data:image/png;base64,aGk%3D", &bytes));  // Escaped padding.
  EXPECT_EQ(bytes, "hi");
  ASSERT_TRUE(DecodeDataUrl("data:;base64,aG k=", &bytes));  // Blanks in Base64 are skipped.
  EXPECT_EQ(bytes, "hi");
  EXPECT_FALSE(DecodeDataUrl("http://x/a.png", &bytes));
  EXPECT_FALSE(DecodeDataUrl("data:no-comma", &bytes));
}

}  // namespace
}  // namespace qvex_engine
