// SimpleHandler on native X11 windows: the title and the built-in icon set as window
// properties. UI thread.
#include "client/simple_handler.h"

#include <array>
#include <cstring>
#include <string>

#include "include/cef_app.h"
#include "include/wrapper/cef_helpers.h"

// After the port's headers: Xlib defines macros (Success, Status) that clash with their names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// The shell's emblem: a white ring with a tail (a "Q") on a teal rounded square, as ARGB.
constexpr long EmblemPixel(int x, int y, int size) {
  // Work in doubled coordinates so the centre of a pixel is an integer.
  const int s2 = size * 2;
  const int px = x * 2 + 1, py = y * 2 + 1;
  const int corner = size / 2;  // radius of the rounded corners, doubled
  int cx = px < corner ? corner - px : (px > s2 - corner ? px - (s2 - corner) : 0);
  int cy = py < corner ? corner - py : (py > s2 - corner ? py - (s2 - corner) : 0);
  if (cx * cx + cy * cy > corner * corner) return 0;  // transparent corner
  const int dx = px - size, dy = py - size;
  const int d2 = dx * dx + dy * dy;
  const int outer = size * 4 / 5, inner = size * 11 / 20;
  const bool ring = d2 <= outer * outer && d2 >= inner * inner;
  const int diagonal = dx - dy;
  const bool tail = dx > size / 4 && dy > size / 4 && dx < size * 9 / 10 &&
                    dy < size * 9 / 10 && diagonal >= -size / 5 && diagonal <= size / 5;
  return (ring || tail) ? 0xFFFFFFFFL : 0xFF1F7A6CL;
}

constexpr std::array<long, 1284> MakeIconSet() {
  std::array<long, 1284> icons{};
  size_t i = 0;
  for (int size : {16, 32}) {
    icons[i++] = size;
    icons[i++] = size;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) icons[i++] = EmblemPixel(x, y, size);
  }
  return icons;
}

// 16x16 then 32x32, in _NET_WM_ICON layout.
constexpr std::array<long, 1284> kIconSet = MakeIconSet();

const char kTitlePrefix[] = "Quenvale:- ";

}  // namespace

void SimpleHandler::PlatformTitleChange(CefRefPtr<CefBrowser> browser,
                                        const CefString& title) {
  CEF_REQUIRE_UI_THREAD();
  std::string text = kTitlePrefix + title.ToString();
  Display* display = cef_get_xdisplay();
  if (!display) return;
  ::Window window = browser->GetHost()->GetWindowHandle();
  if (window == 0) return;

  const char* names[] = {"_NET_WM_NAME", "UTF8_STRING"};
  Atom atoms[2];
  XInternAtoms(display, const_cast<char**>(names), 2, False, atoms);
  XChangeProperty(display, window, atoms[0], atoms[1], 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text.c_str()),
                  static_cast<int>(text.size()));
  XStoreName(display, browser->GetHost()->GetWindowHandle(), text.c_str());
}

void SimpleHandler::onSetFavicon(CefRefPtr<CefBrowser> browser, CefRefPtr<CefImage> image) {
  CEF_REQUIRE_UI_THREAD();
  Display* display = cef_get_xdisplay();
  if (!display) return;
  ::Window window = browser->GetHost()->GetWindowHandle();
  if (window == 0) return;

  std::array<long, 1284> buffer = kIconSet;
  Atom net_wm_icon = XInternAtom(display, "_NET_WM_ICON", False);
  Atom cardinal = XInternAtom(display, "CARDINAL", False);
  XChangeProperty(display, window, net_wm_icon, cardinal, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(buffer.data()),
                  static_cast<int>(buffer.size()));
  XMapWindow(display, window);
}
