// RenderingEnv: which renderer variables of WebKit a run of the shell sets for itself and its
// web processes (which inherit the environment), decided from a root directory and an
// environment handed in, so the decision can be tried without the hardware it is about.
// Browser process, main thread, before the engine starts.
#ifndef QVEXDESK_APP_RENDERING_ENV_H_
#define QVEXDESK_APP_RENDERING_ENV_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

class RenderingEnv {
 public:
  using Environment = std::map<std::string, std::string>;

  // WebKit's switches of its renderer. Any value but "0" turns each on; a variable that is
  // set at all, even to "" or "0", is the user's choice and is never changed.
  static const char kDisableDmabufRenderer[];  // WEBKIT_DISABLE_DMABUF_RENDERER
  static const char kForceShm[];               // WEBKIT_DMABUF_RENDERER_FORCE_SHM
  static const char kDisableCompositing[];     // WEBKIT_DISABLE_COMPOSITING_MODE
  static const char* const kRendererVariables[3];

  struct Decision {
    // Variables to add to the environment, in order; never one that `env` has.
    std::vector<std::pair<std::string, std::string>> set;
    // Whether NVIDIA's proprietary driver is loaded, and its version line when it says.
    bool nvidia = false;
    std::string nvidia_version;
    // Why the variables are set ("--safe-rendering", ...); empty when nothing is.
    std::string reason;

    // "A=1 B=1": the variables set, as shell assignments.
    std::string Assignments() const;
    // One line for the log: what is set and why; empty when nothing is.
    std::string Note() const;
  };

  // `root` stands for "/" (the driver is looked for under root/proc and root/sys);
  // `safe_rendering` is the switch --safe-rendering.
  static Decision Decide(const std::string& root, const Environment& env, bool safe_rendering);

  // NVIDIA's kernel module is loaded: root/proc/driver/nvidia/version or root/sys/module/nvidia
  // exists. `version` gets the first line of the former (trimmed), or "".
  static bool NvidiaDriverLoaded(const std::string& root, std::string* version);

  // This process's environment.
  static Environment ProcessEnvironment();

  // Sets the decision's variables in this process's environment (never overwriting one).
  static void Apply(const Decision& decision);
};

#endif  // QVEXDESK_APP_RENDERING_ENV_H_
