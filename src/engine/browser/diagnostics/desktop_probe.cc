// ProbeDisplay and the library versions: what `--check` reports about the desktop. The X
// display is opened with Xlib alone (GTK would keep it open for the process's life) and the
// GL strings come from an EGL context without any surface, so no window ever appears. Any
// thread.
#include <EGL/egl.h>
#include <X11/Xlib.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>

#include "include/qvex_diagnostics.h"

namespace qvex_diagnostics {

namespace {

#ifndef EGL_CONTEXT_MAJOR_VERSION
#define EGL_CONTEXT_MAJOR_VERSION 0x3098
#endif

constexpr unsigned kGlVendor = 0x1F00;
constexpr unsigned kGlRenderer = 0x1F01;
constexpr unsigned kGlVersion = 0x1F02;
using GetStringFunction = const unsigned char* (*)(unsigned);

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};

// Terminates the EGL display (and with it the context) on every way out.
class EglSession {
 public:
  explicit EglSession(EGLDisplay display) : display_(display) {}
  ~EglSession() {
    if (display_ == EGL_NO_DISPLAY) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
    eglTerminate(display_);
  }
  EglSession(const EglSession&) = delete;
  EglSession& operator=(const EglSession&) = delete;

  // An OpenGL ES 2 context made current without a surface (EGL_KHR_surfaceless_context).
  bool MakeContext(std::string* error) {
    if (!eglBindAPI(EGL_OPENGL_ES_API)) return Fail("eglBindAPI", error);
    const EGLint config_attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display_, config_attributes, &config, 1, &configs) || configs < 1)
      return Fail("no EGL configuration for OpenGL ES 2", error);
    const EGLint context_attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 2, EGL_NONE};
    context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, context_attributes);
    if (context_ == EGL_NO_CONTEXT) return Fail("eglCreateContext", error);
    if (!eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_))
      return Fail("eglMakeCurrent without a surface", error);
    return true;
  }

 private:
  static bool Fail(const char* what, std::string* error) {
    *error = std::string(what) + " failed (EGL error 0x" + ToHex(eglGetError()) + ")";
    return false;
  }
  static std::string ToHex(EGLint value) {
    char buffer[16];
    g_snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(value));
    return buffer;
  }

  EGLDisplay display_;
  EGLContext context_ = EGL_NO_CONTEXT;
};

std::string GlString(GetStringFunction get, unsigned name) {
  const unsigned char* value = get(name);
  return value ? reinterpret_cast<const char*>(value) : "";
}

void ProbeGl(Display* x_display, DisplayDiagnosis* d) {
  EGLDisplay display = eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(x_display));
  EGLint major = 0, minor = 0;
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
    d->gl_error = "EGL cannot be initialised on this display";
    return;
  }
  EglSession session(display);
  if (!session.MakeContext(&d->gl_error)) return;
  auto get = reinterpret_cast<GetStringFunction>(eglGetProcAddress("glGetString"));
  if (!get) {
    d->gl_error = "glGetString is not available";
    return;
  }
  d->gl_vendor = GlString(get, kGlVendor);
  d->gl_renderer = GlString(get, kGlRenderer);
  d->gl_version = GlString(get, kGlVersion);
}

// Xlib's default handler ends the process on any protocol error; a driver that trips one
// while being asked for its strings makes the check fail, not end.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

std::string Version(unsigned major, unsigned minor, unsigned micro) {
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(micro);
}

}  // namespace

DisplayDiagnosis ProbeDisplay(const std::string& name) {
  DisplayDiagnosis d;
  std::unique_ptr<Display, DisplayCloser> display(
      XOpenDisplay(name.empty() ? nullptr : name.c_str()));
  if (!display) return d;
  d.reachable = true;
  XErrorHandler previous = XSetErrorHandler(IgnoreXError);
  const char* vendor = ServerVendor(display.get());
  d.server = std::string(vendor ? vendor : "unknown vendor") + " " +
             std::to_string(VendorRelease(display.get()));
  ProbeGl(display.get(), &d);
  XSync(display.get(), False);
  XSetErrorHandler(previous);
  return d;
}

std::string WebKitVersion() {
  return Version(webkit_get_major_version(), webkit_get_minor_version(),
                 webkit_get_micro_version());
}

std::string GtkVersion() {
  return Version(gtk_get_major_version(), gtk_get_minor_version(), gtk_get_micro_version());
}

}  // namespace qvex_diagnostics
