// ProjectFile and AppIdentity: what the one reader of app.qvex makes of good and broken files.
#include "app/project_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "app/app_identity.h"

namespace {

std::string MakeDir() {
  char dir[] = "/tmp/qvex-projectfile-XXXXXX";
  return mkdtemp(dir);
}

TEST(ProjectFileTest, StatusOfEachKindOfFile) {
  const struct {
    const char* text;  // nullptr: no app.qvex at all
    ProjectFile::Status status;
    const char* type;
  } kCases[] = {
      {R"({"type": "backend"})", ProjectFile::Status::kRead, "backend"},
      {"{}", ProjectFile::Status::kRead, ""},
      {nullptr, ProjectFile::Status::kMissing, ""},
      {R"(["backend"])", ProjectFile::Status::kNotObject, ""},
      {R"({"type": "backend", )", ProjectFile::Status::kNotJson, ""},           // cut short
      {R"({"n": 1e999})", ProjectFile::Status::kNotJson, ""},                   // out of range
      {"", ProjectFile::Status::kNotJson, ""},                                  // empty file
      {R"({"type": "backend"} trailing)", ProjectFile::Status::kNotJson, ""},   // two values
  };
  for (const auto& c : kCases) {
    const std::string dir = MakeDir();
    if (c.text) std::ofstream(dir + "/app.qvex") << c.text;
    const ProjectFile file = ProjectFile::Load(dir);
    EXPECT_EQ(file.status(), c.status) << (c.text ? c.text : "(none)");
    EXPECT_EQ(file.type(), c.type) << (c.text ? c.text : "(none)");
    EXPECT_EQ(file.why().empty(), c.status != ProjectFile::Status::kNotJson)
        << (c.text ? c.text : "(none)");
  }
  EXPECT_EQ(ProjectFile::Load("").status(), ProjectFile::Status::kNoProject);
  const std::string dir = MakeDir();
  mkdir((dir + "/app.qvex").c_str(), 0700);
  EXPECT_EQ(ProjectFile::Load(dir).status(), ProjectFile::Status::kUnreadable);
}

TEST(ProjectFileTest, StartUrlRuleAndWrongTypesWithTheirLines) {
  const struct {
    const char* text;
    const char* url_switch;
    const char* start;
  } kCases[] = {
      {R"({"type": "backend", "fronturl": "http://f/"})", "http://s/", "http://f/"},
      {R"({"type": "backend", "fronturl": ""})", "http://s/", "http://s/"},
      {R"({"type": "Backend", "fronturl": "http://f/"})", "", "home"},  // case counts
      {R"({"type": "other", "fronturl": "http://f/"})", "http://s/", "http://s/"},
      {R"({"type": "backend", "fronturl": 5})", "", "5"},  // read as its text, as ever
  };
  for (const auto& c : kCases) {
    const ProjectFile file = ProjectFile::FromText("/p", c.text);
    EXPECT_EQ(file.ChooseStartUrl(c.url_switch, "home").url, c.start) << c.text;
  }

  const ProjectFile file =
      ProjectFile::FromText("/p", "{\n  \"type\": \"backend\",\n\n  \"fronturl\": 5\n}");
  ASSERT_EQ(file.problems().size(), 1u);
  EXPECT_EQ(file.problems()[0].key, "fronturl");
  EXPECT_EQ(file.problems()[0].line, 4);
  EXPECT_FALSE(file.problems()[0].error);
  file.Report(false, "fronturl", file.problems()[0].message, "again");
  EXPECT_EQ(file.problems().size(), 1u);  // Said once.
  EXPECT_EQ(file.path(), "/p/app.qvex");
  EXPECT_EQ(file.startup_script_path(), "/p/temp/js/first.js");
}

TEST(AppIdentityTest, IdRules) {
  const struct {
    const char* id;
    bool valid;
  } kCases[] = {
      {"dev.quenvale.sample", true},
      {"a.b", true},
      {"org.my-app_2.Main", true},
      {"sample", false},          // one segment
      {"dev..sample", false},     // empty segment
      {".dev.sample", false},     // empty first segment
      {"dev.sample.", false},     // empty last segment
      {"dev.2sample", false},     // segment starts with a digit
      {"dev.sam ple", false},     // space
      {"dev.sämple", false},      // not ASCII
      {"dev/sample.x", false},    // slash: would leave the data folder
      {"", false},
  };
  for (const auto& c : kCases) {
    std::string why;
    EXPECT_EQ(AppIdentity::IsValidId(c.id, &why), c.valid) << c.id;
    EXPECT_EQ(why.empty(), c.valid) << c.id;
  }
  EXPECT_TRUE(AppIdentity::IsValidId("a." + std::string(253, 'b'), nullptr));
  EXPECT_FALSE(AppIdentity::IsValidId("a." + std::string(254, 'b'), nullptr));
}

TEST(AppIdentityTest, KeysAndTheirFaults) {
  const std::string dir = MakeDir();
  std::ofstream(dir + "/icon.png") << "png";
  AppIdentity good = AppIdentity::From(ProjectFile::FromText(
      dir, R"({"id": "dev.q.s", "name": "Sample", "icon": "icon.png", "version": "1.2"})"));
  EXPECT_EQ(good.id(), "dev.q.s");
  EXPECT_EQ(good.name(), "Sample");
  EXPECT_EQ(good.icon_path(), dir + "/icon.png");
  EXPECT_EQ(good.version(), "1.2");

  const ProjectFile bad = ProjectFile::FromText(
      dir + "/", "{\"id\": \"sample\",\n\"name\": 7,\n\"icon\": \"missing.svg\"}");
  AppIdentity fallback = AppIdentity::From(bad);
  EXPECT_FALSE(fallback.has_id());
  EXPECT_EQ(fallback.name(), dir.substr(dir.rfind('/') + 1));  // The directory's name.
  EXPECT_TRUE(fallback.icon_path().empty());
  ASSERT_EQ(bad.problems().size(), 3u);
  EXPECT_TRUE(bad.problems()[0].error);  // An id that is no id.
  EXPECT_EQ(bad.problems()[1].line, 2);
  EXPECT_EQ(bad.problems()[2].key, "icon");
}

}  // namespace
