// ImageImpl: a CefImage as GdkPixbufs, one per scale factor. Any thread; not shared.
#ifndef QVEX_ENGINE_BROWSER_PAGE_IMAGE_IMPL_H_
#define QVEX_ENGINE_BROWSER_PAGE_IMAGE_IMPL_H_

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <map>

#include "include/cef_image.h"

namespace qvex_engine {

class ImageImpl : public CefImage {
 public:
  ImageImpl() = default;
  ~ImageImpl() override;

  // Takes a reference of its own to `pixbuf`.
  void AddPixbuf(float scale_factor, GdkPixbuf* pixbuf);
  // The representation closest to scale 1, or null; owned by the image.
  GdkPixbuf* GetPixbuf() const;

  bool IsEmpty() override { return reps_.empty(); }
  bool IsSame(CefRefPtr<CefImage> that) override { return that.get() == this; }
  bool AddBitmap(float scale_factor, int pixel_width, int pixel_height,
                 cef_color_type_t color_type, cef_alpha_type_t alpha_type,
                 const void* pixel_data, size_t pixel_data_size) override;
  bool AddPNG(float scale_factor, const void* png_data, size_t png_data_size) override;
  size_t GetWidth() override;
  size_t GetHeight() override;
  bool HasRepresentation(float scale_factor) override { return reps_.count(scale_factor) > 0; }

  // Decodes PNG, JPEG, ICO, GIF, SVG... data; null when it is not an image.
  static GdkPixbuf* Decode(const void* data, size_t size);

 private:
  std::map<float, GdkPixbuf*> reps_;
  IMPLEMENT_REFCOUNTING(ImageImpl);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_PAGE_IMAGE_IMPL_H_
