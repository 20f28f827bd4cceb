// CefImage: a decoded bitmap, possibly at several scale factors. Any thread; not shared.
#ifndef CEF_INCLUDE_CEF_IMAGE_H_
#define CEF_INCLUDE_CEF_IMAGE_H_

#include "include/cef_base.h"

class CefImage : public virtual CefBaseRefCounted {
 public:
  static CefRefPtr<CefImage> CreateImage();

  virtual bool IsEmpty() = 0;
  virtual bool IsSame(CefRefPtr<CefImage> that) = 0;
  // Adds a representation from BGRA/RGBA pixels (`pixel_width` x `pixel_height`, 4 bytes each).
  virtual bool AddBitmap(float scale_factor, int pixel_width, int pixel_height,
                         cef_color_type_t color_type, cef_alpha_type_t alpha_type,
                         const void* pixel_data, size_t pixel_data_size) = 0;
  // Adds a representation from encoded PNG or JPEG data.
  virtual bool AddPNG(float scale_factor, const void* png_data, size_t png_data_size) = 0;
  virtual size_t GetWidth() = 0;
  virtual size_t GetHeight() = 0;
  virtual bool HasRepresentation(float scale_factor) = 0;
};

#endif  // CEF_INCLUDE_CEF_IMAGE_H_
