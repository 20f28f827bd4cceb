// PackageTexts: each text of the package written the way Debian policy, desktop entries,
// AppStream and lintian expect it.
#include "app/package/package_texts.h"

#include <map>

#include "client/error_page.h"

namespace {

// Lines of at most `width` characters, broken at spaces (a longer word stays whole).
std::string Wrapped(const std::string& text, size_t width, const std::string& indent) {
  std::string out, line;
  size_t start = 0;
  while (start < text.size()) {
    size_t space = text.find(' ', start);
    if (space == std::string::npos) space = text.size();
    const std::string word = text.substr(start, space - start);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out += indent + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    start = space + 1;
  }
  if (!line.empty()) out += indent + line + "\n";
  return out;
}

// A desktop entry's string value: backslashes escaped (line breaks are gone already).
std::string DesktopValue(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out;
}

// A roff line's text: a leading dot or quote would make it a request; backslashes escape.
std::string RoffText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

std::string WithoutFullStop(std::string text) {
  while (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

// The maintainer's name without its address.
std::string MaintainerName(const PackageInfo& info) {
  const std::string& m = info.maintainer();
  const size_t open = m.find('<');
  std::string name = m.substr(0, open == std::string::npos ? m.size() : open);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name.empty() ? info.name() : name;
}

// The licences whose text Debian keeps in /usr/share/common-licenses.
std::string CommonLicenseFile(const std::string& spdx) {
  static const std::map<std::string, std::string> kFiles = {
      {"Apache-2.0", "Apache-2.0"},     {"Artistic-2.0", "Artistic"},
      {"CC0-1.0", "CC0-1.0"},           {"GFDL-1.3", "GFDL-1.3"},
      {"GPL-2.0", "GPL-2"},             {"GPL-2.0-only", "GPL-2"},
      {"GPL-2.0-or-later", "GPL-2"},    {"GPL-3.0", "GPL-3"},
      {"GPL-3.0-only", "GPL-3"},        {"GPL-3.0-or-later", "GPL-3"},
      {"LGPL-2.1", "LGPL-2.1"},         {"LGPL-2.1-only", "LGPL-2.1"},
      {"LGPL-2.1-or-later", "LGPL-2.1"}, {"LGPL-3.0", "LGPL-3"},
      {"LGPL-3.0-only", "LGPL-3"},      {"LGPL-3.0-or-later", "LGPL-3"},
      {"MPL-2.0", "MPL-2.0"},
  };
  auto it = kFiles.find(spdx);
  return it == kFiles.end() ? std::string() : "/usr/share/common-licenses/" + it->second;
}

}  // namespace

std::string PackageTexts::ProjectDir(const PackageInfo& info) {
  return "/usr/lib/" + info.identity().id();
}

std::string PackageTexts::Control(const PackageInfo& info, const std::string& architecture,
                                  long installed_kib, const std::string& shell_version) {
  std::string depends = "qvexdesk (>= " + shell_version + ")";
  if (!info.depends().empty()) depends += ", " + info.depends();
  std::string text = "Package: " + info.package_name() + "\n" +
                     "Version: " + info.identity().version() + "\n" +
                     "Architecture: " + architecture + "\n" +
                     "Maintainer: " + info.maintainer() + "\n" +
                     "Installed-Size: " + std::to_string(installed_kib) + "\n" +
                     "Depends: " + depends + "\n" + "Section: misc\n" + "Priority: optional\n";
  if (!info.homepage().empty()) text += "Homepage: " + info.homepage() + "\n";
  text += "Description: " + WithoutFullStop(info.summary()) + "\n";
  bool first = true;
  for (const std::string& paragraph : info.description()) {
    if (!first) text += " .\n";
    text += Wrapped(paragraph, 79, " ");
    first = false;
  }
  return text;
}

std::string PackageTexts::Launcher(const PackageInfo& info) {
  return "#!/bin/sh\n"
         "# Starts " + info.name() + " in qvexdesk; its arguments go to the shell.\n"
         "QVEX_PROJPATH='" + ProjectDir(info) + "'\n"
         "export QVEX_PROJPATH\n"
         "exec /usr/bin/qvexdesk \"$@\"\n";
}

std::string PackageTexts::DesktopEntry(const PackageInfo& info, bool icon) {
  std::string categories;
  for (const std::string& c : info.categories()) categories += c + ";";
  const std::string& id = info.identity().id();
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" + DesktopValue(info.name()) + "\n" +
         "Comment=" + DesktopValue(info.summary()) + "\n" +
         "Exec=" + info.command() + "\n" +
         (icon ? "Icon=" + id + "\n" : std::string()) +
         "StartupWMClass=" + id + "\n" +
         "Categories=" + categories + "\n" +
         "Terminal=false\n";
}

std::string PackageTexts::Metainfo(const PackageInfo& info, const std::string& date, bool icon) {
  const std::string& id = info.identity().id();
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<component type=\"desktop-application\">\n"
      "  <id>" + HtmlEscape(id) + "</id>\n"
      "  <metadata_license>FSFAP</metadata_license>\n"
      "  <project_license>" + HtmlEscape(info.license()) + "</project_license>\n"
      "  <name>" + HtmlEscape(info.name()) + "</name>\n"
      "  <summary>" + HtmlEscape(WithoutFullStop(info.summary())) + "</summary>\n"
      "  <description>\n";
  for (const std::string& paragraph : info.description())
    text += "    <p>" + HtmlEscape(paragraph) + "</p>\n";
  text += "  </description>\n"
          "  <launchable type=\"desktop-id\">" + HtmlEscape(id) + ".desktop</launchable>\n";
  text += "  <categories>\n";
  for (const std::string& category : info.categories())
    text += "    <category>" + HtmlEscape(category) + "</category>\n";
  text += "  </categories>\n";
  if (icon) text += "  <icon type=\"stock\">" + HtmlEscape(id) + "</icon>\n";
  if (!info.homepage().empty())
    text += "  <url type=\"homepage\">" + HtmlEscape(info.homepage()) + "</url>\n";
  text += "  <developer_name>" + HtmlEscape(MaintainerName(info)) + "</developer_name>\n"
          "  <provides>\n"
          "    <binary>" + HtmlEscape(info.command()) + "</binary>\n"
          "  </provides>\n"
          "  <releases>\n"
          "    <release version=\"" + HtmlEscape(info.identity().version()) + "\" date=\"" +
          date + "\"/>\n"
          "  </releases>\n"
          "  <content_rating type=\"oars-1.1\"/>\n"
          "</component>\n";
  return text;
}

std::string PackageTexts::Copyright(const PackageInfo& info, const std::string& year) {
  std::string text =
      "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
      "Upstream-Name: " + info.name() + "\n";
  if (!info.homepage().empty()) text += "Source: " + info.homepage() + "\n";
  text += "\nFiles: *\n"
          "Copyright: " + year + " " + MaintainerName(info) + "\n"
          "License: " + info.license() + "\n";
  const std::string common = CommonLicenseFile(info.license());
  text += common.empty()
              ? " " + info.name() + " is distributed under the licence " +
                    info.license() + ".\n"
              : " On Debian systems, the full text of this licence is in\n " + common + ".\n";
  return text;
}

std::string PackageTexts::Changelog(const PackageInfo& info, const std::string& date) {
  return info.package_name() + " (" + info.identity().version() + ") unstable; urgency=medium\n"
         "\n"
         "  * " + info.name() + " " + info.identity().version() + ".\n"
         "\n"
         " -- " + info.maintainer() + "  " + date + "\n";
}

std::string PackageTexts::ManualPage(const PackageInfo& info, const std::string& date) {
  std::string upper = info.command();
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  std::string text = ".TH " + RoffText(upper) + " 1 \"" + date + "\" \"" +
                     RoffText(info.name() + " " + info.identity().version()) + "\"\n" +
                     ".SH NAME\n" + RoffText(info.command()) + " \\- " +
                     RoffText(WithoutFullStop(info.summary())) + "\n" +
                     ".SH SYNOPSIS\n.B " + RoffText(info.command()) + "\n[\\fIqvexdesk options\\fR]\n" +
                     ".SH DESCRIPTION\n";
  bool first = true;
  for (const std::string& paragraph : info.description()) {
    if (!first) text += ".PP\n";
    text += RoffText(paragraph) + "\n";
    first = false;
  }
  text += ".PP\nIt runs in qvexdesk on the project in " + RoffText(ProjectDir(info)) +
          "; its options are the shell's.\n"
          ".SH SEE ALSO\n.BR qvexdesk (1)\n";
  return text;
}

std::string PackageTexts::ChangelogName(const PackageInfo& info) {
  const std::string& version = info.identity().version();
  const size_t colon = version.find(':');
  return version.find('-', colon == std::string::npos ? 0 : colon) == std::string::npos
             ? "changelog.gz"
             : "changelog.Debian.gz";
}
