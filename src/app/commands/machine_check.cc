// MachineCheck: the display, the libraries, GL and the renderer variables.
#include "app/commands/machine_check.h"

#include <cstdlib>
#include <sstream>

#include "include/qvex_diagnostics.h"

namespace {

const char kSafeRenderingHint[] = "if a window stays blank or flickers, try --safe-rendering";

std::string Get(const RenderingEnv::Environment& env, const char* name) {
  auto it = env.find(name);
  return it == env.end() ? std::string() : it->second;
}

// GDK_BACKEND lists backends GTK may try, "*" meaning any.
bool AllowsX11(const std::string& backends) {
  std::stringstream list(backends);
  std::string backend;
  while (std::getline(list, backend, ',')) {
    if (backend == "x11" || backend == "*") return true;
  }
  return false;
}

bool IsSoftware(const std::string& renderer) {
  for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software"}) {
    if (renderer.find(name) != std::string::npos) return true;
  }
  return false;
}

// What each of WebKit's renderer switches means when it is on.
const char* Meaning(const std::string& name) {
  if (name == RenderingEnv::kDisableDmabufRenderer)
    return "WebKit's DMA-BUF renderer is off: frames are copied through the CPU, slower, but "
           "drawn where the DMA-BUF path leaves windows blank";
  if (name == RenderingEnv::kForceShm)
    return "frames travel through shared memory instead of DMA-BUF buffers: still "
           "accelerated, the known fix for blank windows with NVIDIA's driver";
  return "accelerated compositing is off: CSS 3D and WebGL are drawn without the GPU, and "
         "WebDriver screenshots of the view hang";
}

void CheckScale(const std::string& value, CheckReport* report) {
  char* end = nullptr;
  long scale = strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || scale < 1) {
    report->Warning("GDK_SCALE",
                    "GDK_SCALE=" + value +
                        " is not a whole number of 1 or more: "
                        "GTK ignores it",
                    "set a whole number (GDK_SCALE=2), or GDK_DPI_SCALE to scale text only");
  } else {
    report->Ok("GDK_SCALE", "GDK_SCALE=" + value + ": windows and pages are drawn at " + value +
                                "x (the 800x600 window takes " + std::to_string(800 * scale) + "x" +
                                std::to_string(600 * scale) + " pixels)");
  }
}

}  // namespace

void MachineCheck::Run(const RenderingEnv::Environment& env, const std::string& root,
                       bool safe_rendering, CheckReport* report) {
  CheckDisplay(env, report);
  report->Ok("WebKitGTK", qvex_diagnostics::WebKitVersion());
  report->Ok("GTK", qvex_diagnostics::GtkVersion());
  CheckRendering(env, root, safe_rendering, report);
}

void MachineCheck::CheckDisplay(const RenderingEnv::Environment& env, CheckReport* report) {
  const std::string wayland_display = Get(env, "WAYLAND_DISPLAY");
  const bool wayland = !wayland_display.empty() || Get(env, "XDG_SESSION_TYPE") == "wayland";
  if (env.count("GDK_BACKEND")) {
    const std::string backend = Get(env, "GDK_BACKEND");
    if (AllowsX11(backend)) {
      report->Ok("GDK_BACKEND", "GDK_BACKEND=" + backend + " lets GTK use X11");
    } else {
      report->Error("GDK_BACKEND",
                    "GDK_BACKEND=" + backend +
                        " leaves GTK no X11 backend: the "
                        "shell, which runs on X11 only, finds no display",
                    "unset GDK_BACKEND, or set GDK_BACKEND=x11");
    }
  }
  const std::string display = Get(env, "DISPLAY");
  if (display.empty()) {
    if (wayland) {
      report->Error("display",
                    "a Wayland session without an X display (DISPLAY is not set): "
                    "the shell runs on X11, through XWayland under Wayland",
                    "enable XWayland in the compositor, or start the shell from a session "
                    "that sets DISPLAY");
    } else {
      report->Error("display", "DISPLAY is not set: there is no X display to open windows on",
                    "run the shell in an X11 session, or headless under xvfb-run");
    }
    return;
  }
  const qvex_diagnostics::DisplayDiagnosis d = qvex_diagnostics::ProbeDisplay(display);
  if (!d.reachable) {
    report->Error("display", "cannot open the X display " + display,
                  "check that the X server runs and that DISPLAY and XAUTHORITY name it and "
                  "its key (xdpyinfo tries the same)");
    return;
  }
  report->Ok("display", display + " answers (" + d.server + ")");
  if (wayland)
    report->Ok("display", "a Wayland session: the shell runs through XWayland on " + display);
  if (d.gl_renderer.empty()) {
    report->Warning("GL",
                    "no OpenGL ES context through EGL on " + display + " (" + d.gl_error +
                        "): WebKit cannot accelerate and may draw nothing",
                    "install the graphics driver's GL and EGL libraries, or run with "
                    "--safe-rendering");
  } else {
    report->Ok("GL", "renderer " + d.gl_renderer + ", vendor " + d.gl_vendor + ", " + d.gl_version +
                         (IsSoftware(d.gl_renderer) ? ": software rendering, on the CPU" : ""));
  }
}

void MachineCheck::CheckRendering(const RenderingEnv::Environment& env, const std::string& root,
                                  bool safe_rendering, CheckReport* report) {
  const RenderingEnv::Decision decision = RenderingEnv::Decide(root, env, safe_rendering);
  if (decision.nvidia) {
    report->Ok("NVIDIA",
               "the proprietary driver is loaded" + (decision.nvidia_version.empty()
                                                         ? std::string()
                                                         : " (" + decision.nvidia_version + ")"));
  } else {
    report->Ok("NVIDIA", "the proprietary driver is not loaded");
  }
  bool any_set = false;
  for (const char* name : RenderingEnv::kRendererVariables) {
    if (!env.count(name)) continue;
    any_set = true;
    const std::string value = Get(env, name);
    report->Ok(name, name + ("=" + value) + ": " +
                         (value == "0" ? "off, as if unset" : Meaning(name)) +
                         " (your setting: the shell never changes it)");
  }
  if (!decision.set.empty()) {
    report->Ok("rendering", "the shell sets " + decision.Note());
  } else if (decision.nvidia && !safe_rendering) {
    report->Ok("rendering", std::string("your renderer variables are used as they are; with "
                                        "NVIDIA's driver the shell would otherwise set ") +
                                RenderingEnv::kForceShm + "=1");
  } else if (!any_set) {
    report->Ok("rendering", std::string("WebKit chooses its renderer; ") + kSafeRenderingHint);
  }
  if (env.count("GDK_SCALE")) CheckScale(Get(env, "GDK_SCALE"), report);
}
