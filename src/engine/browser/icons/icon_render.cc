// qvex_icons: the project's icon read and drawn by GdkPixbuf (its SVG loader is librsvg).
#include "include/qvex_icon_render.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <memory>

namespace qvex_icons {

namespace {

struct UnrefPixbuf {
  void operator()(GdkPixbuf* pixbuf) const { g_object_unref(pixbuf); }
};
using Pixbuf = std::unique_ptr<GdkPixbuf, UnrefPixbuf>;

struct FreeError {
  void operator()(GError* error) const { g_error_free(error); }
};
using Error = std::unique_ptr<GError, FreeError>;

struct FreeBuffer {
  void operator()(gchar* buffer) const { g_free(buffer); }
};

std::string Message(const GError* error) {
  return error && error->message ? error->message : "unknown error";
}

}  // namespace

IconSource Probe(const std::string& path) {
  IconSource source;
  GdkPixbufFormat* format = gdk_pixbuf_get_file_info(path.c_str(), &source.width, &source.height);
  if (!format) {
    source.error = "not an image GdkPixbuf can read";
    return source;
  }
  source.scalable = gdk_pixbuf_format_is_scalable(format);
  // The header can be read though the image cannot: load it whole once.
  GError* raw = nullptr;
  Pixbuf pixbuf(gdk_pixbuf_new_from_file_at_size(path.c_str(), 16, 16, &raw));
  Error error(raw);
  if (!pixbuf) {
    source.error = Message(error.get());
    return source;
  }
  source.ok = source.width > 0 && source.height > 0;
  if (!source.ok) source.error = "the image has no size";
  return source;
}

bool RenderSquarePng(const std::string& path, int size, std::string* png, std::string* error) {
  GError* raw = nullptr;
  // Aspect kept: the longer side becomes `size`. An SVG is drawn at that size by librsvg.
  Pixbuf drawn(gdk_pixbuf_new_from_file_at_scale(path.c_str(), size, size, TRUE, &raw));
  Error load_error(raw);
  if (!drawn) {
    *error = Message(load_error.get());
    return false;
  }
  Pixbuf square(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, size, size));
  if (!square) {
    *error = "out of memory";
    return false;
  }
  gdk_pixbuf_fill(square.get(), 0x00000000);
  const int width = std::min(size, gdk_pixbuf_get_width(drawn.get()));
  const int height = std::min(size, gdk_pixbuf_get_height(drawn.get()));
  const int x = (size - width) / 2, y = (size - height) / 2;
  // Composited, not copied: an image without alpha gains it, one with alpha keeps it.
  gdk_pixbuf_composite(drawn.get(), square.get(), x, y, width, height, x, y, 1.0, 1.0,
                       GDK_INTERP_BILINEAR, 255);
  gchar* buffer = nullptr;
  gsize length = 0;
  // No time stamp or text chunks: the same image gives the same bytes.
  if (!gdk_pixbuf_save_to_buffer(square.get(), &buffer, &length, "png", &raw, "compression", "9",
                                 nullptr)) {
    Error save_error(raw);
    *error = Message(save_error.get());
    return false;
  }
  std::unique_ptr<gchar, FreeBuffer> held(buffer);
  png->assign(buffer, length);
  return true;
}

}  // namespace qvex_icons
