// RenderingEnv: what a run sets, from a fake root (NVIDIA's driver there or not) and a given
// environment, with and without --safe-rendering.
#include "app/commands/rendering_env.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using Pairs = std::vector<std::pair<std::string, std::string>>;

class RenderingEnvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rendering-env-XXXXXX";
    root_ = mkdtemp(pattern);
    fs::create_directories(root_ + "/none");
    fs::create_directories(root_ + "/proc_only/proc/driver/nvidia");
    std::ofstream(root_ + "/proc_only/proc/driver/nvidia/version")
        << "NVRM version: NVIDIA UNIX x86_64 Kernel Module  535.104.05  Sat Aug 19 2023\n"
        << "GCC version:  gcc version 12.2.0\n";
    fs::create_directories(root_ + "/sys_only/sys/module/nvidia");
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string root_;
};

TEST_F(RenderingEnvTest, FindsTheDriverInProcOrSys) {
  std::string version = "stale";
  EXPECT_FALSE(RenderingEnv::NvidiaDriverLoaded(root_ + "/none", &version));
  EXPECT_EQ(version, "");
  EXPECT_TRUE(RenderingEnv::NvidiaDriverLoaded(root_ + "/proc_only", &version));
  EXPECT_EQ(version, "NVRM version: NVIDIA UNIX x86_64 Kernel Module  535.104.05  Sat Aug 19 2023");
  EXPECT_TRUE(RenderingEnv::NvidiaDriverLoaded(root_ + "/sys_only", &version));
  EXPECT_EQ(version, "");  // Loaded, its version not told.
}

TEST_F(RenderingEnvTest, DecidesFromDriverEnvironmentAndSwitch) {
  const Pairs kForceShm = {{"WEBKIT_DMABUF_RENDERER_FORCE_SHM", "1"}};
  const Pairs kSafe = {{"WEBKIT_DISABLE_DMABUF_RENDERER", "1"},
                       {"WEBKIT_DISABLE_COMPOSITING_MODE", "1"}};
  const struct {
    const char* root;
    RenderingEnv::Environment env;
    bool safe;
    Pairs expected;
  } kCases[] = {
      {"/none", {}, false, {}},                              // no driver: WebKit chooses
      {"/proc_only", {}, false, kForceShm},                  // the driver: shared memory
      {"/sys_only", {{"HOME", "/root"}}, false, kForceShm},  // other variables do not count
      // A renderer variable of the user's, whatever its value, leaves the choice to them.
      {"/proc_only", {{"WEBKIT_DISABLE_DMABUF_RENDERER", "1"}}, false, {}},
      {"/proc_only", {{"WEBKIT_DMABUF_RENDERER_FORCE_SHM", "0"}}, false, {}},
      {"/proc_only", {{"WEBKIT_DISABLE_COMPOSITING_MODE", ""}}, false, {}},
      // GDK's variables choose no renderer.
      {"/proc_only", {{"GDK_SCALE", "2"}, {"GDK_BACKEND", "x11"}}, false, kForceShm},
      // --safe-rendering: both switches, with or without the driver (which it makes moot).
      {"/none", {}, true, kSafe},
      {"/proc_only", {}, true, kSafe},
      // ... never overriding the user's own.
      {"/none",
       {{"WEBKIT_DISABLE_DMABUF_RENDERER", "0"}},
       true,
       {{"WEBKIT_DISABLE_COMPOSITING_MODE", "1"}}},
      {"/none",
       {{"WEBKIT_DISABLE_DMABUF_RENDERER", "1"}, {"WEBKIT_DISABLE_COMPOSITING_MODE", "0"}},
       true,
       {}},
  };
  for (const auto& c : kCases) {
    const RenderingEnv::Decision d = RenderingEnv::Decide(root_ + c.root, c.env, c.safe);
    SCOPED_TRACE(std::string(c.root) + (c.safe ? " --safe-rendering" : ""));
    EXPECT_EQ(d.set, c.expected);
    EXPECT_EQ(d.nvidia, std::string(c.root) != "/none");
    // One line for the log exactly when something is set, naming what and why.
    EXPECT_EQ(d.Note().empty(), c.expected.empty()) << d.Note();
    if (!c.expected.empty()) {
      EXPECT_NE(d.Note().find(d.Assignments()), std::string::npos) << d.Note();
      EXPECT_NE(d.Note().find(c.safe ? "--safe-rendering" : "NVIDIA"), std::string::npos);
    }
  }
}

TEST_F(RenderingEnvTest, ApplyNeverOverwritesAndReadsBack) {
  setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "0", 1);
  unsetenv("WEBKIT_DISABLE_DMABUF_RENDERER");
  RenderingEnv::Decision d;
  d.set = {{"WEBKIT_DISABLE_DMABUF_RENDERER", "1"}, {"WEBKIT_DISABLE_COMPOSITING_MODE", "1"}};
  RenderingEnv::Apply(d);
  const RenderingEnv::Environment env = RenderingEnv::ProcessEnvironment();
  EXPECT_EQ(env.at("WEBKIT_DISABLE_DMABUF_RENDERER"), "1");
  EXPECT_EQ(env.at("WEBKIT_DISABLE_COMPOSITING_MODE"), "0");  // Set before: it stays.
  unsetenv("WEBKIT_DISABLE_COMPOSITING_MODE");
  unsetenv("WEBKIT_DISABLE_DMABUF_RENDERER");
}

}  // namespace
