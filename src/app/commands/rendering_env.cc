// RenderingEnv: the renderer variables a run sets, and why.
#include "app/commands/rendering_env.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>

extern char** environ;

const char RenderingEnv::kDisableDmabufRenderer[] = "WEBKIT_DISABLE_DMABUF_RENDERER";
const char RenderingEnv::kForceShm[] = "WEBKIT_DMABUF_RENDERER_FORCE_SHM";
const char RenderingEnv::kDisableCompositing[] = "WEBKIT_DISABLE_COMPOSITING_MODE";
const char* const RenderingEnv::kRendererVariables[3] = {kDisableDmabufRenderer, kForceShm,
                                                         kDisableCompositing};

namespace {

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

std::string Trim(const std::string& text) {
  const char* const kSpace = " \t\r\n";
  size_t begin = text.find_first_not_of(kSpace);
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(kSpace) - begin + 1);
}

}  // namespace

std::string RenderingEnv::Decision::Assignments() const {
  std::string text;
  for (const auto& variable : set) {
    if (!text.empty()) text += " ";
    text += variable.first + "=" + variable.second;
  }
  return text;
}

std::string RenderingEnv::Decision::Note() const {
  return set.empty() ? std::string() : Assignments() + " for this run: " + reason;
}

bool RenderingEnv::NvidiaDriverLoaded(const std::string& root, std::string* version) {
  version->clear();
  const std::string version_file = root + "/proc/driver/nvidia/version";
  std::ifstream file(version_file);
  if (file) {
    std::string line;
    std::getline(file, line);
    *version = Trim(line);
    return true;
  }
  return Exists(version_file) || Exists(root + "/sys/module/nvidia");
}

RenderingEnv::Decision RenderingEnv::Decide(const std::string& root, const Environment& env,
                                            bool safe_rendering) {
  Decision decision;
  decision.nvidia = NvidiaDriverLoaded(root, &decision.nvidia_version);
  auto user_set = [&env](const char* name) { return env.count(name) > 0; };

  if (safe_rendering) {
    // The last resort for a blank or broken window: no DMA-BUF renderer, no compositing.
    for (const char* name : {kDisableDmabufRenderer, kDisableCompositing}) {
      if (!user_set(name)) decision.set.emplace_back(name, "1");
    }
    if (!decision.set.empty()) decision.reason = "--safe-rendering";
    return decision;
  }
  bool any_set = false;
  for (const char* name : kRendererVariables) any_set = any_set || user_set(name);
  if (decision.nvidia && !any_set) {
    // NVIDIA's driver draws blank windows through WebKit's DMA-BUF renderer; shared memory
    // keeps acceleration (what WebKit's own quirk for the driver does).
    decision.set.emplace_back(kForceShm, "1");
    decision.reason =
        "NVIDIA's proprietary driver is loaded (set a WEBKIT_ renderer variable yourself to "
        "choose otherwise)";
  }
  return decision;
}

RenderingEnv::Environment RenderingEnv::ProcessEnvironment() {
  Environment env;
  for (char** entry = environ; entry && *entry; ++entry) {
    std::string text = *entry;
    size_t equals = text.find('=');
    if (equals == std::string::npos) continue;
    env.emplace(text.substr(0, equals), text.substr(equals + 1));
  }
  return env;
}

void RenderingEnv::Apply(const Decision& decision) {
  for (const auto& variable : decision.set)
    setenv(variable.first.c_str(), variable.second.c_str(), 0);
}
