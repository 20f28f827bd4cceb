// PackageTexts: the texts a project's Debian package holds besides the project: the control
// file, the launcher on PATH, the desktop entry, the AppStream metadata, the copyright, the
// changelog and the manual page. Pure functions of the package's facts (no files, no clock),
// so two builds of one project give the same bytes. Any thread.
#ifndef QVEXDESK_APP_PACKAGE_PACKAGE_TEXTS_H_
#define QVEXDESK_APP_PACKAGE_PACKAGE_TEXTS_H_

#include <string>

#include "app/package/package_info.h"

class PackageTexts {
 public:
  // Where the installed project lies: /usr/lib/<id>.
  static std::string ProjectDir(const PackageInfo& info);

  // `shell_version`: the qvexdesk that builds it (the least one the package accepts).
  static std::string Control(const PackageInfo& info, const std::string& architecture,
                             long installed_kib, const std::string& shell_version);
  // /usr/bin/<command>: qvexdesk on the installed project, the arguments passed on.
  static std::string Launcher(const PackageInfo& info);
  // `icon`: whether the package holds the icon (Icon=<id>).
  static std::string DesktopEntry(const PackageInfo& info, bool icon);
  // `date`: "YYYY-MM-DD" of the release.
  static std::string Metainfo(const PackageInfo& info, const std::string& date, bool icon);
  static std::string Copyright(const PackageInfo& info, const std::string& year);
  // `date`: RFC 2822 ("Thu, 01 Jan 2026 00:00:00 +0000").
  static std::string Changelog(const PackageInfo& info, const std::string& date);
  // `date`: "YYYY-MM-DD".
  static std::string ManualPage(const PackageInfo& info, const std::string& date);

  // The changelog's name: changelog.gz, or changelog.Debian.gz for a version with a Debian
  // revision (a package of software made elsewhere, as Debian names it).
  static std::string ChangelogName(const PackageInfo& info);

};

#endif  // QVEXDESK_APP_PACKAGE_PACKAGE_TEXTS_H_
