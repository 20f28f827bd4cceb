// ImageImpl over GdkPixbuf.
#include "browser/page/image_impl.h"

#include <cmath>
#include <algorithm>
#include <cstring>

namespace qvex_engine {

ImageImpl::~ImageImpl() {
  for (auto& rep : reps_) g_object_unref(rep.second);
}

void ImageImpl::AddPixbuf(float scale_factor, GdkPixbuf* pixbuf) {
  if (!pixbuf) return;
  auto it = reps_.find(scale_factor);
  if (it != reps_.end()) g_object_unref(it->second);
  reps_[scale_factor] = GDK_PIXBUF(g_object_ref(pixbuf));
}

GdkPixbuf* ImageImpl::GetPixbuf() const {
  GdkPixbuf* best = nullptr;
  float best_distance = 0;
  for (const auto& rep : reps_) {
    float distance = std::fabs(rep.first - 1.0f);
    if (!best || distance < best_distance) best = rep.second, best_distance = distance;
  }
  return best;
}

bool ImageImpl::AddBitmap(float scale_factor, int pixel_width, int pixel_height,
                          cef_color_type_t color_type, cef_alpha_type_t alpha_type,
                          const void* pixel_data, size_t pixel_data_size) {
  if (pixel_width <= 0 || pixel_height <= 0 || !pixel_data ||
      pixel_data_size < static_cast<size_t>(pixel_width) * pixel_height * 4)
    return false;
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, pixel_width, pixel_height);
  if (!pixbuf) return false;
  const auto* src = static_cast<const guchar*>(pixel_data);
  guchar* dst = gdk_pixbuf_get_pixels(pixbuf);
  int stride = gdk_pixbuf_get_rowstride(pixbuf);
  for (int y = 0; y < pixel_height; ++y) {
    for (int x = 0; x < pixel_width; ++x) {
      const guchar* s = src + (static_cast<size_t>(y) * pixel_width + x) * 4;
      guchar* d = dst + y * stride + x * 4;
      bool bgra = color_type == CEF_COLOR_TYPE_BGRA_8888;
      guchar r = bgra ? s[2] : s[0], g = s[1], b = bgra ? s[0] : s[2], a = s[3];
      if (alpha_type == CEF_ALPHA_TYPE_PREMULTIPLIED && a > 0 && a < 255) {
        r = static_cast<guchar>(std::min(255, r * 255 / a));
        g = static_cast<guchar>(std::min(255, g * 255 / a));
        b = static_cast<guchar>(std::min(255, b * 255 / a));
      }
      d[0] = r, d[1] = g, d[2] = b, d[3] = alpha_type == CEF_ALPHA_TYPE_OPAQUE ? 255 : a;
    }
  }
  AddPixbuf(scale_factor, pixbuf);
  g_object_unref(pixbuf);
  return true;
}

bool ImageImpl::AddPNG(float scale_factor, const void* png_data, size_t png_data_size) {
  GdkPixbuf* pixbuf = Decode(png_data, png_data_size);
  if (!pixbuf) return false;
  AddPixbuf(scale_factor, pixbuf);
  g_object_unref(pixbuf);
  return true;
}

size_t ImageImpl::GetWidth() {
  GdkPixbuf* p = GetPixbuf();
  return p ? gdk_pixbuf_get_width(p) : 0;
}

size_t ImageImpl::GetHeight() {
  GdkPixbuf* p = GetPixbuf();
  return p ? gdk_pixbuf_get_height(p) : 0;
}

GdkPixbuf* ImageImpl::Decode(const void* data, size_t size) {
  if (!data || size == 0) return nullptr;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  GdkPixbuf* result = nullptr;
  if (gdk_pixbuf_loader_write(loader, static_cast<const guchar*>(data), size, nullptr) &&
      gdk_pixbuf_loader_close(loader, nullptr)) {
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    if (pixbuf) result = GDK_PIXBUF(g_object_ref(pixbuf));
  } else {
    gdk_pixbuf_loader_close(loader, nullptr);
  }
  g_object_unref(loader);
  return result;
}

}  // namespace qvex_engine

CefRefPtr<CefImage> CefImage::CreateImage() { return new qvex_engine::ImageImpl(); }
