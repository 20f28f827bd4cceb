// BrowserEvents: settings defaults, start URL precedence, and the lazily computed project
// configuration. The project values are process-wide and computed once, so every case that
// reads them runs in a fresh child process, as the shell's own processes would.
#include "app/browser_events.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "include/cef_command_line.h"

namespace {

const char kHome[] = "https://www.quenvale.dev/";

std::string MakeProject(const std::string& app_qvex) {
  char dir[] = "/tmp/qvex-events-XXXXXX";
  std::string path = mkdtemp(dir);
  if (!app_qvex.empty())
    std::ofstream(path + "/app.qvex") << app_qvex;
  return path;
}

// Runs `body` in a forked child that starts with no project values known.
template <typename Body>
void InFreshProcess(Body body) {
  EXPECT_EXIT(
      {
        body();
        std::exit(::testing::Test::HasFailure() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

std::string StartUrl(const std::string& app_qvex, std::vector<const char*> args) {
  if (app_qvex.empty())
    unsetenv("QVEX_PROJPATH");
  else
    setenv("QVEX_PROJPATH", MakeProject(app_qvex).c_str(), 1);
  BrowserEvents events;
  CefBrowserSettings settings;
  args.insert(args.begin(), "qvexdesk");
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
  command_line->InitFromArgv(static_cast<int>(args.size()), args.data());
  events.onBrowserInit(command_line, settings);
  return BrowserEvents::url;
}

CefRefPtr<CefCommandLine> CommandLine(std::vector<const char*> args) {
  args.insert(args.begin(), "qvexdesk");
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
  command_line->InitFromArgv(static_cast<int>(args.size()), args.data());
  return command_line;
}

TEST(BrowserEventsTest, OnInitSetsOnlyTheTwoDefaults) {
  BrowserEvents events;
  events.settings.multi_threaded_message_loop = 1;
  events.onInit();
  EXPECT_EQ(events.settings.multi_threaded_message_loop, 0);
  EXPECT_EQ(events.settings.ignore_certificate_errors, 1);
  EXPECT_EQ(events.settings.no_sandbox, 0);
  EXPECT_EQ(events.settings.chrome_runtime, 0);
  EXPECT_EQ(events.settings.size, sizeof(CefSettings));
}

TEST(BrowserEventsTest, BrowserSettingsChangeExactlyEightFields) {
  InFreshProcess([] {
    unsetenv("QVEX_PROJPATH");
    BrowserEvents events;
    CefBrowserSettings settings;
    events.onBrowserInit(CommandLine({}), settings);
    // Every state field of the record, with what the shell must leave in it: a field set by
    // mistake, or one of the eight left alone, fails here.
    const struct {
      const char* name;
      cef_state_t CefBrowserSettings::*field;
      cef_state_t expected;
    } kFields[] = {
        {"remote_fonts", &CefBrowserSettings::remote_fonts, STATE_ENABLED},
        {"javascript", &CefBrowserSettings::javascript, STATE_DEFAULT},
        {"javascript_close_windows", &CefBrowserSettings::javascript_close_windows, STATE_ENABLED},
        {"javascript_access_clipboard", &CefBrowserSettings::javascript_access_clipboard,
         STATE_ENABLED},
        {"javascript_dom_paste", &CefBrowserSettings::javascript_dom_paste, STATE_ENABLED},
        {"plugins", &CefBrowserSettings::plugins, STATE_DEFAULT},
        {"universal_access_from_file_urls", &CefBrowserSettings::universal_access_from_file_urls,
         STATE_DEFAULT},  // Never: any file page could read the whole disk.
        {"file_access_from_file_urls", &CefBrowserSettings::file_access_from_file_urls,
         STATE_ENABLED},
        {"web_security", &CefBrowserSettings::web_security, STATE_DISABLED},
        {"image_loading", &CefBrowserSettings::image_loading, STATE_DEFAULT},
        {"image_shrink_standalone_to_fit", &CefBrowserSettings::image_shrink_standalone_to_fit,
         STATE_DEFAULT},
        {"text_area_resize", &CefBrowserSettings::text_area_resize, STATE_DEFAULT},
        {"tab_to_links", &CefBrowserSettings::tab_to_links, STATE_DEFAULT},
        {"local_storage", &CefBrowserSettings::local_storage, STATE_DEFAULT},
        {"databases", &CefBrowserSettings::databases, STATE_DEFAULT},
        {"application_cache", &CefBrowserSettings::application_cache, STATE_ENABLED},
        {"webgl", &CefBrowserSettings::webgl, STATE_ENABLED},
    };
    int changed = 0;
    for (const auto& f : kFields) {
      EXPECT_EQ(settings.*(f.field), f.expected) << f.name;
      changed += f.expected != STATE_DEFAULT;
    }
    EXPECT_EQ(changed, 8);
    // And nothing else of the record.
    const CefBrowserSettings defaults;
    EXPECT_EQ(settings.size, defaults.size);
    EXPECT_EQ(settings.default_font_size, 0);
    EXPECT_TRUE(settings.standard_font_family.empty());
    EXPECT_TRUE(settings.default_encoding.empty());
    EXPECT_EQ(settings.background_color, 0u);
  });
}

TEST(BrowserEventsTest, StartUrlPrecedence) {
  const char kFront[] = R"({"type": "backend", "fronturl": "http://127.0.0.1:7/front.html"})";
  const struct {
    std::string app_qvex;  // "" for no project at all
    std::vector<const char*> args;
    std::string expected;
  } kCases[] = {
      {"", {}, kHome},
      {"", {"--url=http://127.0.0.1:9/x.html"}, "http://127.0.0.1:9/x.html"},
      {"", {"--url="}, kHome},  // An empty value counts as none.
      {"", {"--url"}, kHome},
      {kFront, {"--url=http://127.0.0.1:9/x.html"}, "http://127.0.0.1:7/front.html"},
      {kFront, {}, "http://127.0.0.1:7/front.html"},
      {R"({"type": "Backend", "fronturl": "http://f/"})", {"--url=http://s/"}, "http://s/"},
      {R"({"type": "backend", "fronturl": ""})", {"--url=http://s/"}, "http://s/"},
      {R"({"type": "backend"})", {"--url=http://s/"}, "http://s/"},
      {R"({"type": ["backend"], "fronturl": "http://f/"})", {"--url=http://s/"}, "http://s/"},
      {R"(["backend"])", {"--url=http://s/"}, "http://s/"},            // not an object
      {"{\"type\": \"backend\", ", {"--url=http://s/"}, "http://s/"},  // not JSON
      {R"({"type": "backend", "fronturl": 5})", {}, "5"},              // a number reads as its text
  };
  for (const auto& c : kCases) {
    InFreshProcess([&] { EXPECT_EQ(StartUrl(c.app_qvex, c.args), c.expected) << c.app_qvex; });
  }
}

TEST(BrowserEventsTest, ProjectPathIsComputedLazilyAndThenKept) {
  InFreshProcess([] {
    unsetenv("QVEX_PROJPATH");
    EXPECT_EQ(BrowserEvents::GetProjectPath(), "");  // Unknown: asked again next time.
    setenv("QVEX_PROJPATH", "/tmp/first", 1);
    EXPECT_EQ(BrowserEvents::GetProjectPath(), "/tmp/first");
    setenv("QVEX_PROJPATH", "/tmp/second", 1);
    EXPECT_EQ(BrowserEvents::GetProjectPath(), "/tmp/first");  // Known: kept.
    EXPECT_EQ(BrowserEvents::SetProjectPath("/tmp/explicit"), "/tmp/explicit");
    EXPECT_EQ(BrowserEvents::GetProjectPath(), "/tmp/explicit");
  });
}

TEST(BrowserEventsTest, ProjectTypeIsReadAgainUntilKnown) {
  InFreshProcess([] {
    std::string project = MakeProject(R"({"name": "no type yet"})");
    BrowserEvents::SetProjectPath(project + "/");  // A trailing slash still finds the file.
    EXPECT_EQ(BrowserEvents::GetProjectType(), "");
    std::ofstream(project + "/app.qvex") << R"({"type": "backend", "fronturl": "http://f/"})";
    EXPECT_EQ(BrowserEvents::GetProjectType(), "backend");
    EXPECT_EQ(BrowserEvents::j1.value("fronturl"), "http://f/");
    std::ofstream(project + "/app.qvex") << R"({"type": "other"})";
    EXPECT_EQ(BrowserEvents::GetProjectType(), "backend");  // Known: never read again.
    EXPECT_EQ(BrowserEvents::SetProjectType("custom"), "custom");
  });
}

}  // namespace
