// DownloadNames: hostile suggestions become safe names; taken names get numbered.
#include "browser/downloads/download_names.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <string>

namespace qvex_engine {
namespace {

TEST(DownloadNamesTest, SanitizesHostileSuggestions) {
  const struct {
    std::string suggested;
    std::string expected;
  } kCases[] = {
      {"report.pdf", "report.pdf"},
      {"Grüße 2024.txt", "Grüße 2024.txt"},
      {"../../.bashrc", "_._.bashrc"},         // Separators out, no way up.
      {"/etc/passwd", "_etc_passwd"},          // Absolute path: one name.
      {"..\\..\\win.ini", "_._win.ini"},       // Backslashes too; ".." runs become ".".
      {"..", "download"},                      // The parent folder.
      {".", "download"},
      {"...hidden", "hidden"},                 // No hidden files.
      {".bashrc", "bashrc"},
      {" .profile ", "profile"},               // Spaces around do not hide a dot.
      {"", "download"},
      {"   ", "download"},
      {std::string("a\0b.txt", 7), "a_b.txt"},  // NUL would cut the name short.
      {"line\nbreak\r.txt", "line_break_.txt"},  // Control characters.
      {"bell\x07\x7f.txt", "bell__.txt"},
      {"evil\xe2\x80\xaetxt.exe", "evil_txt.exe"},  // Right-to-left override.
      {"bad\xff\xfeutf8.bin", "bad\xef\xbf\xbd\xef\xbf\xbdutf8.bin"},  // Invalid UTF-8.
      {"a..b...c", "a.b.c"},
  };
  for (const auto& c : kCases) {
    std::string name = DownloadNames::Sanitize(c.suggested);
    EXPECT_EQ(name, c.expected) << "suggested: " << c.suggested;
    EXPECT_TRUE(g_utf8_validate(name.data(), name.size(), nullptr)) << name;
  }
}

TEST(DownloadNamesTest, LongNamesKeepTheirExtensionWithinTheLimit) {
  const std::string long_stem(300, 'x');
  std::string name = DownloadNames::Sanitize(long_stem + ".tar");
  EXPECT_EQ(name.size(), DownloadNames::kMaxNameBytes);
  EXPECT_EQ(name.substr(name.size() - 4), ".tar");
  // Multi-byte characters are never cut in half.
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "\xc3\xa9";  // é
  name = DownloadNames::Sanitize(wide + ".txt");
  EXPECT_LE(name.size(), DownloadNames::kMaxNameBytes);
  EXPECT_TRUE(g_utf8_validate(name.data(), name.size(), nullptr));
  EXPECT_EQ(name.substr(name.size() - 4), ".txt");
  // A numbered name stays within the limit too.
  std::string numbered = DownloadNames::Candidate(DownloadNames::Sanitize(long_stem), 12);
  EXPECT_EQ(numbered.size(), DownloadNames::kMaxNameBytes);
  EXPECT_EQ(numbered.substr(numbered.size() - 5), " (12)");
}

TEST(DownloadNamesTest, NumbersTakenNamesBeforeTheExtension) {
  const struct {
    std::string name;
    int n;
    std::string expected;
  } kCases[] = {
      {"report.pdf", 0, "report.pdf"},
      {"report.pdf", 1, "report (1).pdf"},
      {"report.pdf", 2, "report (2).pdf"},
      {"archive.tar.gz", 1, "archive.tar (1).gz"},
      {"README", 3, "README (3)"},
      {"name.", 1, "name (1)."},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(DownloadNames::Candidate(c.name, c.n), c.expected) << c.name << " " << c.n;
}

TEST(DownloadNamesTest, FolderIsNeverTheHomeFolderItself) {
  const struct {
    std::string xdg;
    std::string expected;
  } kCases[] = {
      {"/home/u/Téléchargements", "/home/u/Téléchargements"},
      {"", "/home/u/Downloads"},             // No user-dirs.dirs.
      {"/home/u", "/home/u/Downloads"},      // XDG_DOWNLOAD_DIR="$HOME/".
      {"/home/u/", "/home/u/Downloads"},
      {"/home/u/./", "/home/u/Downloads"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(DownloadNames::Folder(c.xdg, "/home/u"), c.expected) << c.xdg;
}

}  // namespace
}  // namespace qvex_engine
