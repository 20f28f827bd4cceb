// PackageInfo: the package's keys of app.qvex, their defaults and their faults.
#include "app/package/package_info.h"

#include <gtest/gtest.h>

#include <string>

#include "app/app_identity.h"
#include "app/project_file.h"

namespace {

PackageInfo Read(const std::string& text, const ProjectFile** file_out = nullptr) {
  static ProjectFile* file = nullptr;
  delete file;
  file = new ProjectFile(ProjectFile::FromText("/nowhere/notes", text));
  if (file_out) *file_out = file;
  return PackageInfo::From(*file, AppIdentity::From(*file));
}

// The keys of the errors reported while reading `text`.
std::string ErrorKeys(const std::string& text) {
  const ProjectFile* file = nullptr;
  Read(text, &file);
  std::string keys;
  for (const auto& p : file->problems()) {
    if (p.error) keys += (keys.empty() ? "" : ",") + p.key;
  }
  return keys;
}

TEST(PackageInfoTest, DebianVersions) {
  const struct {
    const char* version;
    bool ok;
  } kCases[] = {
      {"1.0.0", true},   {"1.0.0-1", true},    {"2:1.0~rc1+dfsg-3", true},
      {"0", true},       {"1.0-beta-2", true},  // the last hyphen starts the revision
      {"", false},       {"v1.0", false},      // must start with a digit
      {"1.0-", false},   {"a:1.0", false},     // empty revision; epoch not a number
      {"1.0 beta", false}, {"1:2:3", false},   // a space; a second colon
      {"1.0_1", false},                        // '_' is not in a version
  };
  for (const auto& c : kCases) {
    std::string why;
    EXPECT_EQ(PackageInfo::IsDebianVersion(c.version, &why), c.ok) << c.version;
    EXPECT_EQ(why.empty(), c.ok) << c.version << ": " << why;
  }
}

TEST(PackageInfoTest, PackageNamesFromIds) {
  EXPECT_EQ(PackageInfo::PackageNameOf("dev.quenvale.sample"), "dev.quenvale.sample");
  EXPECT_EQ(PackageInfo::PackageNameOf("org.Example.My_App"), "org.example.my-app");
  EXPECT_EQ(PackageInfo::PackageNameOf("_x.app"), "");  // would start with '-'
}

TEST(PackageInfoTest, DefaultsFromTheIdentity) {
  const ProjectFile* file = nullptr;
  const PackageInfo info =
      Read(R"({"id": "org.Example.Notes_App", "name": "Notes, Plus", "version": "1.2"})", &file);
  EXPECT_TRUE(info.missing().empty());
  EXPECT_TRUE(file->problems().empty());
  EXPECT_EQ(info.package_name(), "org.example.notes-app");
  EXPECT_EQ(info.command(), "notes_app");
  EXPECT_EQ(info.license(), "LicenseRef-proprietary");
  EXPECT_EQ(info.categories(), std::vector<std::string>{"Utility"});
  // No comma in the name (a Maintainer field with one reads as two people).
  EXPECT_EQ(info.maintainer(), "Notes Plus <noreply@notes-app.example.org>");
  EXPECT_EQ(info.summary(), "Notes, Plus");
  ASSERT_EQ(info.description().size(), 1u);
  EXPECT_NE(info.description()[0], info.summary());  // Debian wants more than the summary
}

TEST(PackageInfoTest, GivenKeys) {
  const PackageInfo info = Read(R"({"id": "a.b", "name": "N", "version": "1",
      "summary": "  Keeps\n notes ", "description": "One\n line.\n\nTwo.",
      "license": "MIT", "homepage": "https://n.example/", "categories": ["Office", "Qt"],
      "depends": "python3 (>= 3.11),  curl", "command": "notes",
      "maintainer": "Ann <ann@n.example>", "package": {"exclude": ["tests", "*.log"]}})");
  EXPECT_EQ(info.summary(), "Keeps notes");
  EXPECT_EQ(info.description(), (std::vector<std::string>{"One line.", "Two."}));
  EXPECT_EQ(info.homepage(), "https://n.example/");
  EXPECT_EQ(info.categories(), (std::vector<std::string>{"Office", "Qt"}));
  EXPECT_EQ(info.depends(), "python3 (>= 3.11), curl");
  EXPECT_EQ(info.command(), "notes");
  EXPECT_EQ(info.maintainer(), "Ann <ann@n.example>");
  EXPECT_EQ(info.exclude(), (std::vector<std::string>{"tests", "*.log"}));
}

TEST(PackageInfoTest, WhatIsMissingAndWhatIsMalformed) {
  EXPECT_EQ(Read("{}").missing(), (std::vector<std::string>{"id", "name", "version"}));
  EXPECT_EQ(Read(R"({"id": "a.b", "version": 1})").missing(),
            (std::vector<std::string>{"name", "version"}));  // a number is no version
  const struct {
    const char* keys;  // beside a good id, name and version
    const char* errors;
  } kCases[] = {
      {R"("summary": 3)", "summary"},
      {R"("homepage": "n.example")", "homepage"},                   // not a URL
      {R"("categories": "Office")", "categories"},                  // not a list
      {R"("categories": ["Office;Games"])", "categories"},          // breaks the entry
      {R"("depends": "python3 (>= 3.11")", "depends"},             // dpkg cannot parse it
      {R"("depends": "pyth on3")", "depends"},                      // a space in a name
      {R"j("depends": "python3 (=> 1)")j", "depends"},              // no such relation
      {R"("command": "../bin/x")", "command"},                      // not a name on PATH
      {R"("command": "qvexdesk")", "command"},                      // the shell's own
      {R"("maintainer": "ann@n.example")", "maintainer"},           // no name, no <>
      {R"("maintainer": "A <a@n>\nDepends: x")", "maintainer"},    // a field of its own
      {R"("homepage": "https://n.example/\nDepends: x")", "homepage"},
      {R"("package": ["tests"])", "package"},
      {R"("package": {"exclude": [1]})", "package"},
      {R"("depends": "python3 (>= 3.11) [amd64]")", ""},            // dpkg takes it
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ErrorKeys(std::string(R"({"id": "a.b", "name": "N", "version": "1", )") + c.keys +
                        "}"),
              c.errors)
        << c.keys;
  }
  EXPECT_EQ(ErrorKeys(R"({"id": "a.b", "name": "N", "version": "v1"})"), "version");
  // A misspelt key of "package" is said, not an error: nothing is left out by it.
  const ProjectFile* file = nullptr;
  Read(R"({"package": {"exlude": ["tests"]}})", &file);
  ASSERT_EQ(file->problems().size(), 1u);
  EXPECT_FALSE(file->problems()[0].error);
  EXPECT_NE(file->problems()[0].message.find("\"exlude\""), std::string::npos);
}

}  // namespace
