// AppProfile's owners: the window, storage and single-instance keys with their faults, the
// app's folders, the remembered window state and the permission policy's origins.
#include "app/app_profile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <map>
#include <string>

#include "app/project_file.h"
#include "app/run_folder.h"
#include "app/single_instance.h"
#include "app/window_state.h"
#include "client/permission_policy.h"

namespace {

AppFolders::Environment Env(std::map<std::string, std::string> values) {
  return [values](const char* name) {
    auto it = values.find(name);
    return it == values.end() ? std::string() : it->second;
  };
}

std::string MakeDir() {
  char dir[] = "/tmp/qvex-profile-XXXXXX";
  return mkdtemp(dir);
}

TEST(AppProfileTest, KeysTheirDefaultsAndTheirFaults) {
  const struct {
    const char* text;
    int width, height, min_width;
    bool resizable, persistent, single;
    const char* fault;  // A problem's key, with `error` its kind; null: none.
    bool error;
  } kCases[] = {
      {"{}", 800, 600, 0, true, false, false, nullptr, false},
      {R"({"id": "dev.a.b"})", 800, 600, 0, true, false, true, nullptr, false},
      {R"({"id": "dev.a.b", "single_instance": false, "storage": "persistent",
          "window": {"width": 1024, "height": 700, "min_width": 300, "resizable": false}})",
       1024, 700, 300, false, true, false, nullptr, false},
      // Persistent storage is named by the id: without one it stays in memory, an error.
      {R"({"storage": "persistent"})", 800, 600, 0, true, false, false, "storage", true},
      {R"({"storage": "disk"})", 800, 600, 0, true, false, false, "storage", false},
      {R"({"window": {"width": 50}})", 800, 600, 0, true, false, false, "window", false},
      {R"({"window": {"width": 1.5}})", 800, 600, 0, true, false, false, "window", false},
      {R"({"window": {"width": "wide"}})", 800, 600, 0, true, false, false, "window", false},
      {R"({"window": {"widht": 900}})", 800, 600, 0, true, false, false, "window", false},
      {R"({"window": [800, 600]})", 800, 600, 0, true, false, false, "window", false},
      // A minimum above the size: opens at the minimum.
      {R"({"window": {"width": 500, "min_width": 700}})", 700, 600, 700, true, false, false,
       "window", false},
      {R"({"window": {"resizable": "no"}})", 800, 600, 0, true, false, false, "window", false},
      {R"({"id": "dev.a.b", "single_instance": "yes"})", 800, 600, 0, true, false, true,
       "single_instance", false},
      {R"({"single_instance": true})", 800, 600, 0, true, false, false, "single_instance", false},
  };
  for (const auto& c : kCases) {
    const ProjectFile file = ProjectFile::FromText("/p/app", c.text);
    const AppProfile profile = AppProfile::From(file, Env({{"HOME", "/h"}}));
    EXPECT_EQ(profile.window().width(), c.width) << c.text;
    EXPECT_EQ(profile.window().height(), c.height) << c.text;
    EXPECT_EQ(profile.window().min_width(), c.min_width) << c.text;
    EXPECT_EQ(profile.window().resizable(), c.resizable) << c.text;
    EXPECT_EQ(profile.storage().persistent(), c.persistent) << c.text;
    EXPECT_EQ(profile.single_instance(), c.single) << c.text;
    if (!c.fault) {
      EXPECT_TRUE(file.problems().empty()) << c.text << ": " << file.problems()[0].message;
    } else {
      ASSERT_EQ(file.problems().size(), 1u) << c.text;
      EXPECT_EQ(file.problems()[0].key, c.fault) << c.text;
      EXPECT_EQ(file.problems()[0].error, c.error) << c.text;
    }
  }
}

TEST(AppProfileTest, FoldersByIdAndTheXdgRules) {
  const AppFolders folders = AppFolders::ForId("dev.a.b", Env({{"HOME", "/h"}}));
  EXPECT_EQ(folders.data_dir(), "/h/.local/share/dev.a.b");
  EXPECT_EQ(folders.web_data_dir(), "/h/.local/share/dev.a.b/web");
  EXPECT_EQ(folders.http_cache_dir(), "/h/.cache/dev.a.b/http");
  EXPECT_EQ(folders.backend_data_dir(), "/h/.local/share/dev.a.b/backend");
  const AppFolders xdg = AppFolders::ForId(
      "dev.a.b", Env({{"HOME", "/h"}, {"XDG_DATA_HOME", "/d"}, {"XDG_CACHE_HOME", "rel"}}));
  EXPECT_EQ(xdg.data_dir(), "/d/dev.a.b");
  EXPECT_EQ(xdg.cache_dir(), "/h/.cache/dev.a.b");  // A relative XDG path is not one.
  EXPECT_TRUE(AppFolders::ForId("", Env({{"HOME", "/h"}})).empty());
  EXPECT_TRUE(AppFolders::ForId("dev.a.b", Env({})).empty());  // No home: nothing kept.

  const std::string root = MakeDir();
  std::string why;
  ASSERT_TRUE(AppFolders::Create(root + "/x/y", &why)) << why;
  struct stat info;
  ASSERT_EQ(stat((root + "/x").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  chmod((root + "/x/y").c_str(), 0755);
  ASSERT_TRUE(AppFolders::Create(root + "/x/y", &why));  // Narrowed again.
  stat((root + "/x/y").c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  std::ofstream(root + "/file") << "x";
  EXPECT_FALSE(AppFolders::Create(root + "/file", &why));
  EXPECT_FALSE(AppFolders::Create("relative", &why));
}

TEST(AppProfileTest, WindowStateRoundTripAndBrokenFiles) {
  const std::string path = MakeDir() + "/state.json";
  WindowState state;
  EXPECT_FALSE(state.Load(path));
  state.width = 1000;
  state.height = 700;
  state.maximized = true;
  ASSERT_TRUE(state.Save(path));
  WindowState read;
  ASSERT_TRUE(read.Load(path));
  EXPECT_EQ(read.width, 1000);
  EXPECT_EQ(read.height, 700);
  EXPECT_TRUE(read.maximized);
  for (const char* text : {"", "{", R"({"width": 10, "height": 700})",  // too small
                           R"({"width": 1000})", R"([1000, 700])",
                           R"({"width": 99999, "height": 700})"}) {
    std::ofstream(path) << text;
    WindowState broken;
    EXPECT_FALSE(broken.Load(path)) << text;
    EXPECT_EQ(broken.width, 0) << text;
  }
}

TEST(AppProfileTest, RunFolderRemovesWhatDeadRunsLeft) {
  const std::string runtime = MakeDir();
  // A pid no process has (above the kernel's largest).
  mkdir((runtime + "/dev.a.b.run-99999999").c_str(), 0700);
  mkdir((runtime + "/dev.a.b.run-1").c_str(), 0700);  // init lives: not ours to remove
  std::string path;
  {
    RunFolder folder;
    std::string why;
    ASSERT_TRUE(folder.Create(runtime, "dev.a.b", &why)) << why;
    path = folder.path();
    std::ofstream(path + "/data") << "x";
    struct stat info;
    EXPECT_NE(stat((runtime + "/dev.a.b.run-99999999").c_str(), &info), 0);
    EXPECT_EQ(stat((runtime + "/dev.a.b.run-1").c_str(), &info), 0);
  }
  struct stat info;
  EXPECT_NE(stat(path.c_str(), &info), 0);
}

TEST(AppProfileTest, SecondClaimOfAnIdIsForwardedToTheFirst) {
  const std::string runtime = MakeDir();
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  SingleInstance first;
  std::string note;
  ASSERT_EQ(first.Claim("dev.a.b", ":5", "", &note), SingleInstance::Outcome::kFirst) << note;
  std::string asked = "none";
  first.Listen([&asked](const std::string& id) { asked = id; });
  SingleInstance second;
  EXPECT_EQ(second.Claim("dev.a.b", ":5", "launch-7", &note),
            SingleInstance::Outcome::kForwarded);
  EXPECT_EQ(asked, "launch-7");
  SingleInstance other_display;
  EXPECT_EQ(other_display.Claim("dev.a.b", ":6", "", &note), SingleInstance::Outcome::kFirst);
  unsetenv("XDG_RUNTIME_DIR");
}

TEST(PermissionPolicyTest, OriginsAndTheProjectsOwnPages) {
  const struct {
    const char* url;
    const char* origin;
  } kOrigins[] = {
      {"http://127.0.0.1:8617/index.html", "http://127.0.0.1:8617"},
      {"HTTP://Example.ORG:80/a?b#c", "http://example.org"},  // case and the default port
      {"https://u:p@example.org:443/", "https://example.org"},  // no credentials
      {"file:///opt/app/index.html", "file://"},
      {"about:blank", ""},
      {"no scheme", ""},
  };
  for (const auto& c : kOrigins) EXPECT_EQ(PermissionPolicy::OriginOf(c.url), c.origin) << c.url;

  CefRefPtr<PermissionPolicy> policy = new PermissionPolicy("https://app.example.org/start");
  for (const char* own : {"https://app.example.org", "http://127.0.0.1:9000", "http://localhost",
                          "http://[::1]:8080", "file://"})
    EXPECT_TRUE(policy->IsOwnOrigin(own)) << own;
  for (const char* other : {"https://example.org", "http://app.example.org",
                            "http://127.0.0.1.evil.example", "ws://127.0.0.1", ""})
    EXPECT_FALSE(policy->IsOwnOrigin(other)) << other;
  EXPECT_EQ(PermissionPolicy::Describe(CEF_PERMISSION_TYPE_GEOLOCATION |
                                       CEF_PERMISSION_TYPE_CAMERA_STREAM),
            "location, camera");
}

}  // namespace
