// MachineCheck: the machine part of `qvexdesk --check`: the X display (and XWayland), the
// WebKitGTK and GTK versions, GL, NVIDIA's driver and the renderer variables, each with the
// known fix. Main thread of the browser process.
#ifndef QVEXDESK_APP_MACHINE_CHECK_H_
#define QVEXDESK_APP_MACHINE_CHECK_H_

#include <string>

#include "app/commands/check_report.h"
#include "app/commands/rendering_env.h"

class MachineCheck {
 public:
  // `env` is the environment the shell would start with, `root` stands for "/" and
  // `safe_rendering` is the switch --safe-rendering given with --check.
  static void Run(const RenderingEnv::Environment& env, const std::string& root,
                  bool safe_rendering, CheckReport* report);

  // The findings about the rendering variables and NVIDIA's driver alone (no display, no
  // library asked): what the run would set, and what each variable set means.
  static void CheckRendering(const RenderingEnv::Environment& env, const std::string& root,
                             bool safe_rendering, CheckReport* report);

 private:
  static void CheckDisplay(const RenderingEnv::Environment& env, CheckReport* report);
};

#endif  // QVEXDESK_APP_MACHINE_CHECK_H_
