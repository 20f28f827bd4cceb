// The project's icon drawn at the sizes a desktop's icon theme holds, for `qvexdesk --package`.
// The port's addition, not CEF's: the application renders an image without seeing GdkPixbuf.
// Any thread, before or without CefInitialize; opens no display.
#ifndef QVEX_INCLUDE_QVEX_ICON_RENDER_H_
#define QVEX_INCLUDE_QVEX_ICON_RENDER_H_

#include <string>

namespace qvex_icons {

struct IconSource {
  bool ok = false;
  std::string error;      // Why the file is not an image the engine can read.
  bool scalable = false;  // An SVG: drawn anew at every size, never enlarged.
  int width = 0;          // Its own size in pixels (an SVG's nominal size).
  int height = 0;
};

// What the file at `path` is, read by the engine's image loaders.
IconSource Probe(const std::string& path);

// `path` drawn into a `size` x `size` PNG (the aspect kept, centred on transparency), written
// to `png`. A raster image smaller than `size` is enlarged; the caller says so. False with
// `error` when it cannot be read or encoded.
bool RenderSquarePng(const std::string& path, int size, std::string* png, std::string* error);

}  // namespace qvex_icons

#endif  // QVEX_INCLUDE_QVEX_ICON_RENDER_H_
