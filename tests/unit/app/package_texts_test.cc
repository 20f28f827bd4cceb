// PackageTexts, BackendWrites and PackageBuilder's exclusions: the package's texts as the
// tools that read them want them.
#include "app/package/package_texts.h"

#include <gtest/gtest.h>

#include "app/package/backend_writes.h"
#include "app/package/package_builder.h"
#include "app/project_file.h"

namespace {

PackageInfo Info(const std::string& text) {
  static ProjectFile* file = nullptr;
  delete file;
  file = new ProjectFile(ProjectFile::FromText("/nowhere/notes", text));
  return PackageInfo::From(*file, AppIdentity::From(*file));
}

TEST(PackageTextsTest, DesktopEntryAndLauncher) {
  const PackageInfo info = Info(R"({"id": "dev.example.Notes", "name": "Notes \\ more",
      "version": "1.0", "summary": "Keeps notes", "categories": ["Office", "Utility"]})");
  EXPECT_EQ(PackageTexts::DesktopEntry(info, true),
            "[Desktop Entry]\nType=Application\nName=Notes \\\\ more\nComment=Keeps notes\n"
            "Exec=notes\nIcon=dev.example.Notes\nStartupWMClass=dev.example.Notes\n"
            "Categories=Office;Utility;\nTerminal=false\n");
  EXPECT_EQ(PackageTexts::DesktopEntry(info, false).find("Icon="), std::string::npos);
  // A line break in the name would start a key of its own.
  EXPECT_NE(PackageTexts::DesktopEntry(Info(R"({"id": "a.b", "name": "N\nExec=evil"})"), true)
                .find("\nName=N Exec=evil\n"),
            std::string::npos);
  const std::string launcher = PackageTexts::Launcher(info);
  EXPECT_NE(launcher.find("QVEX_PROJPATH='/usr/lib/dev.example.Notes'\nexport QVEX_PROJPATH\n"
                          "exec /usr/bin/qvexdesk \"$@\"\n"),
            std::string::npos);
}

TEST(PackageTextsTest, ControlDescriptionIsWrappedAndSummaryPlain) {
  const PackageInfo info = Info(R"({"id": "a.b", "name": "N", "version": "2:1.0-3",
      "summary": "Does things.", "depends": "curl",
      "description": "Alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi omicron pi rho.\n\nSecond."})");
  const std::string control = PackageTexts::Control(info, "all", 12, "0.1");
  EXPECT_NE(control.find("Package: a.b\nVersion: 2:1.0-3\nArchitecture: all\n"),
            std::string::npos);
  EXPECT_NE(control.find("Installed-Size: 12\nDepends: qvexdesk (>= 0.1), curl\n"),
            std::string::npos);
  // No full stop after the synopsis; long lines broken under 80 columns; paragraphs by " .".
  EXPECT_NE(control.find("Description: Does things\n Alpha beta"), std::string::npos);
  EXPECT_NE(control.find(" xi\n omicron pi rho.\n .\n Second.\n"), std::string::npos) << control;
  for (size_t start = 0, end; (end = control.find('\n', start)) != std::string::npos;
       start = end + 1)
    EXPECT_LE(end - start, 80u);
  // A version with a revision is a package of software made elsewhere, as Debian names it.
  EXPECT_EQ(PackageTexts::ChangelogName(info), "changelog.Debian.gz");
  EXPECT_EQ(PackageTexts::ChangelogName(Info(R"({"version": "1.0"})")), "changelog.gz");
}

TEST(PackageTextsTest, MetainfoEscapesAndNamesTheRelease) {
  const PackageInfo info = Info(R"({"id": "a.b", "name": "R&D <tools>", "version": "1.0",
      "license": "GPL-3.0-or-later"})");
  const std::string xml = PackageTexts::Metainfo(info, "2026-12-08", true);
  EXPECT_NE(xml.find("<name>R&amp;D &lt;tools&gt;</name>"), std::string::npos);
  EXPECT_NE(xml.find("<release version=\"1.0\" date=\"2026-12-08\"/>"), std::string::npos);
  EXPECT_NE(xml.find("<launchable type=\"desktop-id\">a.b.desktop</launchable>"),
            std::string::npos);
  EXPECT_NE(xml.find("<project_license>GPL-3.0-or-later</project_license>"), std::string::npos);
  // Debian's copy of a common licence is named, as lintian wants.
  EXPECT_NE(PackageTexts::Copyright(info, "2026").find("/usr/share/common-licenses/GPL-3"),
            std::string::npos);
}

TEST(BackendWritesTest, GuessesWritesIntoTheProject) {
  const struct {
    const char* command;
    const char* found;
  } kCases[] = {
      {"python3 server.py --port {port}", ""},
      {"python3 server.py > server.log 2>&1", "> server.log"},
      {"python3 server.py 2>>errors.txt", ">> errors.txt"},
      {"./serve | tee -a 'out put.log'", "tee out put.log"},
      {"./serve >\"$QVEX_DATADIR/log\" 2>&1", ""},  // the data folder is the place
      {"./serve > /dev/null 2>&1", ""},
      {"./serve >&2", ""},                           // a descriptor, not a file
      {"./serve > ~/.cache/serve.log", ""},
      {"echo x | tee -", ""},
      {"node app.js --log=tee", ""},                 // tee only as a command
  };
  for (const auto& c : kCases) EXPECT_EQ(BackendWrites::Guess(c.command), c.found) << c.command;
  const ProjectFile file =
      ProjectFile::FromText("/p", R"({"backend": {"command": "./serve > log"}})");
  EXPECT_EQ(BackendWrites::CommandOf(file), "./serve > log");
  EXPECT_EQ(BackendWrites::CommandOf(ProjectFile::FromText("/p", R"({"backend": "x"})")), "");
}

TEST(PackageBuilderTest, ExcludedPaths) {
  const std::vector<std::string> globs = {"tests", "*.log", "docs/*.md", "/build/"};
  const struct {
    const char* path;
    bool excluded;
  } kCases[] = {
      {"tests", true},         {"front/tests", true},  // a name anywhere
      {"front/app.log", true}, {"docs/a.md", true},
      {"docs/sub/a.md", false},  // '*' stays inside one folder
      {"front/docs/a.md", false},  // a glob with '/' starts at the top
      {"build", true},         {"front/build", false},
      {"front/index.html", false},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(PackageBuilder::Excluded(c.path, globs), c.excluded) << c.path;
}

}  // namespace
