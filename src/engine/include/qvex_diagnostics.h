// What the engine's own libraries can tell about a project's scripts, its front end's URL and
// the desktop, for `qvexdesk --check`. The port's addition, not CEF's: the application asks
// these questions without seeing JavaScriptCore, libsoup, GTK, X11 or EGL. Any thread, before
// or without CefInitialize; nothing here opens a window or starts a web process.
#ifndef QVEX_INCLUDE_QVEX_DIAGNOSTICS_H_
#define QVEX_INCLUDE_QVEX_DIAGNOSTICS_H_

#include <functional>
#include <string>
#include <vector>

namespace qvex_diagnostics {

struct ScriptDiagnosis {
  // False when the text is not UTF-8; the line and column (1-based, in bytes) of the first
  // byte that is not. NUL bytes count as text: the shell hands them on as escapes.
  bool utf8 = true;
  int bad_utf8_line = 0;
  int bad_utf8_column = 0;
  // JavaScriptCore's syntax check of the text as the shell runs it (a classic script; an
  // extension script after its `native function` declarations are rewritten, which keeps
  // every line where it was). `line` is 1-based; `column` is 1-based when JavaScriptCore
  // tells one and 0 otherwise (its syntax errors carry none, measured with 2.50), so
  // `line_text` quotes the line.
  bool syntax_ok = true;
  std::string syntax_error;
  int line = 0;
  int column = 0;
  std::string line_text;
  // An extension script's `native function` declarations, found by the scanner the
  // web-extension module registers them with, in their order.
  struct Native {
    std::string name;
    int line = 0;
  };
  std::vector<Native> natives;
};

// The line and column (1-based, in bytes) of the byte at `offset` in `text`.
void LineAndColumn(const std::string& text, size_t offset, int* line, int* column);

// `extension`: the text is an extension's script (with `native function` declarations);
// otherwise a start-up script. `uri` names the script in JavaScriptCore's messages.
ScriptDiagnosis DiagnoseScript(const std::string& text, const std::string& uri, bool extension);

struct UrlDiagnosis {
  enum Outcome {
    kNotAbsolute,  // Not a URL with a scheme and (for http/https) a host.
    kNotHttp,      // Absolute, but neither http nor https: not requested.
    kAnswered,     // The server sent a response; `status` and `reason` are its status line.
    kFailed,       // No response: `error` says why (refused, unknown host, timed out, TLS...).
  };
  Outcome outcome = kNotAbsolute;
  std::string scheme;
  int status = 0;
  std::string reason;
  std::string location;  // A redirect's Location header, not followed.
  std::string error;
};

// One GET request for `url` (redirects not followed, certificate errors ignored as the shell
// ignores them), given up after `timeout_ms` whatever the server does. Blocks the caller.
UrlDiagnosis ProbeUrl(const std::string& url, int timeout_ms);

// The same request, made from the calling thread's main context (the UI thread's in the
// shell), which also runs `done` with the answer; returns at once. No other thread touches
// libsoup's types, whose first use on a second thread can deadlock GLib's type system against
// the UI thread's.
void ProbeUrlAsync(const std::string& url, int timeout_ms,
                   std::function<void(const UrlDiagnosis&)> done);

struct DisplayDiagnosis {
  bool reachable = false;
  std::string server;  // The X server's vendor and release when reachable.
  // From an OpenGL ES context made through EGL on that display (no window, no surface);
  // `gl_error` says what failed when there is none.
  std::string gl_vendor;
  std::string gl_renderer;
  std::string gl_version;
  std::string gl_error;
};

// Opens the X display `name` (Xlib's rules: empty means $DISPLAY), reads what it can and
// closes it again. Never creates a window.
DisplayDiagnosis ProbeDisplay(const std::string& name);

// The versions of the libraries in use, at run time ("2.50.6").
std::string WebKitVersion();
std::string GtkVersion();

struct ImageDiagnosis {
  bool ok = false;       // The file decodes as an image.
  std::string format;    // "png", "svg", ... as GdkPixbuf names it.
  int width = 0;         // Its own size (an SVG's intrinsic size; 0 when it has none).
  int height = 0;
  std::string error;     // Why it does not decode.
};

// Decodes the image file `path` as the windows' icon is made from it (GdkPixbuf, SVG through
// librsvg), at the largest size used (256 pixels).
ImageDiagnosis DiagnoseImage(const std::string& path);

}  // namespace qvex_diagnostics

#endif  // QVEX_INCLUDE_QVEX_DIAGNOSTICS_H_
