// Whether an image file decodes, as the windows' icon is made from it (for --check).
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "include/qvex_diagnostics.h"

namespace qvex_diagnostics {

ImageDiagnosis DiagnoseImage(const std::string& path) {
  ImageDiagnosis d;
  int width = 0, height = 0;
  GdkPixbufFormat* format = gdk_pixbuf_get_file_info(path.c_str(), &width, &height);
  if (!format) {
    d.error = "not an image format this system decodes (PNG, SVG, ...)";
    return d;
  }
  gchar* name = gdk_pixbuf_format_get_name(format);
  d.format = name ? name : "";
  g_free(name);
  d.width = width;
  d.height = height;
  // The header is not the image: decode it whole, at the size the dock asks for.
  GError* error = nullptr;
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file_at_size(path.c_str(), 256, 256, &error);
  if (!pixbuf) {
    d.error = error ? error->message : "it does not decode";
    g_clear_error(&error);
    return d;
  }
  g_object_unref(pixbuf);
  d.ok = true;
  return d;
}

}  // namespace qvex_diagnostics
