// PackageInfo: the package's keys of app.qvex, checked as Debian and desktop entries want them.
#include "app/package/package_info.h"

#include <cctype>
#include <cstring>

#include "app/package/tool_run.h"
#include "app/project_file.h"

namespace {

bool IsLowerAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }
bool IsAlnum(char c) { return isalnum(static_cast<unsigned char>(c)) != 0; }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

// The member as a string, or `fallback`; any other type is an error (--package stops).
std::string Text(const ProjectFile& file, const char* key, const char* example,
                 const std::string& fallback = std::string()) {
  const rapidjson::Value* member = file.Member(key);
  if (!member) return fallback;
  if (!member->IsString()) {
    file.Report(true, key, std::string("is ") + ProjectFile::KindOf(*member) + ", not a string",
                std::string("write it as a string, for example \"") + key + "\": " + example);
    return fallback;
  }
  return std::string(member->GetString(), member->GetStringLength());
}

// An array of strings; `key` names it in messages.
std::vector<std::string> TextList(const ProjectFile& file, const rapidjson::Value* member,
                                  const char* key, const char* example) {
  std::vector<std::string> list;
  if (!member) return list;
  bool ok = member->IsArray();
  if (ok) {
    for (const auto& item : member->GetArray()) {
      if (!item.IsString()) ok = false;
      else list.emplace_back(item.GetString(), item.GetStringLength());
    }
  }
  if (!ok) {
    file.Report(true, key,
                std::string("is ") + ProjectFile::KindOf(*member) +
                    (member->IsArray() ? " holding other values than strings" : "") +
                    ", not a list of strings",
                std::string("write it as a list of strings, for example ") + example);
    list.clear();
  }
  return list;
}

// Words of a text joined by single spaces (Debian's fields and AppStream keep no layout).
std::string Squeezed(const std::string& text) {
  std::string out;
  bool space = false;
  for (char c : text) {
    if (isspace(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) < 0x20) {
      space = !out.empty();
      continue;
    }
    if (space) out += ' ';
    space = false;
    out += c;
  }
  return out;
}

std::vector<std::string> Paragraphs(const std::string& text) {
  std::vector<std::string> paragraphs;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find("\n\n", start);
    if (end == std::string::npos) end = text.size();
    std::string paragraph = Squeezed(text.substr(start, end - start));
    if (!paragraph.empty()) paragraphs.push_back(paragraph);
    start = end + 2;
  }
  return paragraphs;
}

bool HasControl(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
  }
  return false;
}

bool HasSpaceOrControl(const std::string& text) {
  return HasControl(text) || text.find(' ') != std::string::npos;
}

bool IsCommandName(const std::string& name) {
  if (name.empty() || !IsLowerAlnum(name[0])) return false;
  for (char c : name) {
    if (!IsLowerAlnum(c) && c != '.' && c != '_' && c != '+' && c != '-') return false;
  }
  return true;
}

// "a.b.c" as "c.b.a", lowercase, '_' as '-': a host name of the id's own domain.
std::string ReversedDomain(const std::string& id) {
  std::string domain;
  size_t end = id.size();
  while (true) {
    const size_t dot = id.rfind('.', end == 0 ? 0 : end - 1);
    const size_t start = dot == std::string::npos ? 0 : dot + 1;
    std::string label = Lower(id.substr(start, end - start));
    for (char& c : label) {
      if (c == '_') c = '-';
    }
    domain += (domain.empty() ? "" : ".") + label;
    if (dot == std::string::npos) break;
    end = dot;
  }
  return domain;
}

}  // namespace

constexpr char PackageInfo::kDefaultLicense[];
constexpr char PackageInfo::kDefaultCategory[];

bool PackageInfo::IsDebianVersion(const std::string& version, std::string* why) {
  auto fail = [why](const std::string& text) {
    if (why) *why = text;
    return false;
  };
  if (version.empty()) return fail("it is empty");
  std::string rest = version;
  const size_t colon = rest.find(':');
  if (colon != std::string::npos) {
    const std::string epoch = rest.substr(0, colon);
    if (epoch.empty() || epoch.find_first_not_of("0123456789") != std::string::npos)
      return fail("its epoch \"" + epoch + "\" (before the colon) is not a number");
    rest = rest.substr(colon + 1);
  }
  const size_t hyphen = rest.rfind('-');
  std::string upstream = rest, revision;
  if (hyphen != std::string::npos) {
    upstream = rest.substr(0, hyphen);
    revision = rest.substr(hyphen + 1);
    if (revision.empty()) return fail("it ends with a hyphen");
    for (char c : revision) {
      if (!IsAlnum(c) && c != '.' && c != '+' && c != '~')
        return fail("its revision \"" + revision + "\" holds '" + std::string(1, c) + "'");
    }
  }
  if (upstream.empty() || !isdigit(static_cast<unsigned char>(upstream[0])))
    return fail("it does not start with a digit");
  for (char c : upstream) {
    if (!IsAlnum(c) && c != '.' && c != '+' && c != '~' && c != '-' && c != ':')
      return fail("it holds '" + std::string(1, c) + "'; a version has letters, digits and . + ~ -");
    if (c == ':') return fail("it holds a second colon");
  }
  return true;
}

std::string PackageInfo::PackageNameOf(const std::string& id) {
  std::string name = Lower(id);
  for (char& c : name) {
    if (c == '_') c = '-';
  }
  if (name.size() < 2 || !IsLowerAlnum(name[0])) return std::string();
  for (char c : name) {
    if (!IsLowerAlnum(c) && c != '.' && c != '+' && c != '-') return std::string();
  }
  return name;
}

std::string PackageInfo::DependsError(const std::string& depends) {
  // dpkg's own parser, as dpkg-gencontrol checks a Depends field; the list is an argument,
  // never part of the script.
  const ToolRun::Result result = ToolRun::Run(
      {"perl", "-MDpkg::Deps", "-e",
       "my $d = deps_parse($ARGV[0]); exit(defined $d ? 0 : 3)", "--", depends});
  if (result.status == 0) return std::string();
  if (result.status == 3) {
    std::string said = Squeezed(result.errors);
    return said.empty() ? "dpkg cannot parse it" : said;
  }
  return "dpkg's parser could not be run (" + Squeezed(result.errors) + ")";
}

PackageInfo PackageInfo::From(const ProjectFile& file, const AppIdentity& identity) {
  PackageInfo info;
  info.identity_ = identity;
  const std::string& id = identity.id();

  const std::string version = identity.version();
  std::string why;
  info.has_version_ = !version.empty();
  if (info.has_version_ && !IsDebianVersion(version, &why)) {
    file.Report(true, "version", "\"" + version + "\" is not a Debian version: " + why,
                "write a version such as \"1.0.0\" or \"1.0.0-1\"");
  }
  if (!id.empty()) {
    info.package_name_ = PackageNameOf(id);
    if (info.package_name_.empty()) {
      file.Report(true, "id", "\"" + id + "\" makes no Debian package name (lowercase, '_' as '-')",
                  "start the id with a letter or digit");
    }
  }

  // One line wherever it goes: a line break in a desktop entry or a control file would start
  // a field of its own.
  info.name_ = Squeezed(identity.name());
  info.summary_ = Squeezed(Text(file, "summary", "\"Keeps your notes\""));
  if (info.summary_.empty()) info.summary_ = info.name_;
  info.description_ = Paragraphs(Text(file, "description", "\"A longer text.\""));
  // Never the summary again: Debian wants the long description to say more than its first line.
  if (info.description_.empty()) {
    info.description_.push_back(info.name_ +
                                " is a desktop app made with the Quenvale framework; qvexdesk "
                                "shows it in a window of its own.");
  }

  info.license_ = Squeezed(Text(file, "license", "\"MIT\"", kDefaultLicense));
  if (info.license_.empty()) info.license_ = kDefaultLicense;

  info.homepage_ = Text(file, "homepage", "\"https://example.org/\"");
  if (!info.homepage_.empty() && ((info.homepage_.compare(0, 7, "http://") != 0 &&
                                   info.homepage_.compare(0, 8, "https://") != 0) ||
                                  HasSpaceOrControl(info.homepage_))) {
    file.Report(true, "homepage", "\"" + info.homepage_ + "\" is not an http(s) URL",
                "write the whole URL, such as \"https://example.org/\"");
    info.homepage_.clear();
  }

  info.categories_ = TextList(file, file.Member("categories"), "categories", "[\"Office\"]");
  for (const std::string& category : info.categories_) {
    bool ok = !category.empty();
    for (char c : category) ok = ok && (IsAlnum(c) || c == '-');
    if (!ok) {
      file.Report(true, "categories", "\"" + category + "\" is not a desktop entry category",
                  "use registered categories such as \"Office\", \"Development\" or \"Utility\"");
    }
  }
  if (info.categories_.empty()) info.categories_.push_back(kDefaultCategory);

  info.depends_ = Squeezed(Text(file, "depends", "\"python3 (>= 3.11)\""));
  if (!info.depends_.empty()) {
    const std::string error = DependsError(info.depends_);
    if (!error.empty()) {
      file.Report(true, "depends", "\"" + info.depends_ + "\" is not a Debian dependency list: " +
                                       error,
                  "write it as Debian does, for example \"python3 (>= 3.11), curl\"");
    }
  }

  const size_t dot = id.rfind('.');
  const std::string own_command = Lower(id.substr(dot == std::string::npos ? 0 : dot + 1));
  info.command_ = Text(file, "command", "\"my-app\"", own_command);
  if (file.Member("command") && (!IsCommandName(info.command_) || info.command_ == "qvexdesk")) {
    file.Report(true, "command",
                "\"" + info.command_ + "\" cannot be the program's name on PATH" +
                    (info.command_ == "qvexdesk" ? " (it is the shell's own)" : ""),
                "use lowercase letters, digits and . _ + -, starting with a letter or digit");
  }

  std::string name = info.name_;
  for (char& c : name) {
    if (c == ',' || c == '<' || c == '>') c = ' ';
  }
  info.maintainer_ = Text(file, "maintainer", "\"Your Name <you@example.org>\"");
  if (info.maintainer_.empty() && !id.empty())
    info.maintainer_ = Squeezed(name) + " <noreply@" + ReversedDomain(id) + ">";
  const size_t open = info.maintainer_.find('<');
  if (file.Member("maintainer") &&
      (HasControl(info.maintainer_) || open == std::string::npos || open == 0 || info.maintainer_.back() != '>' ||
       info.maintainer_.find('@', open) == std::string::npos)) {
    file.Report(true, "maintainer", "\"" + info.maintainer_ + "\" is not \"Name <address>\"",
                "write it as \"Your Name <you@example.org>\"");
  }

  const rapidjson::Value* package = file.Member("package");
  if (package && !package->IsObject()) {
    file.Report(true, "package", std::string("is ") + ProjectFile::KindOf(*package) +
                                     ", not an object",
                "write it as {\"exclude\": [\"tests\", \"*.log\"]}");
  } else if (package) {
    for (auto it = package->MemberBegin(); it != package->MemberEnd(); ++it) {
      if (strcmp(it->name.GetString(), "exclude") != 0) {
        file.Report(false, "package",
                    std::string("has \"") + it->name.GetString() + "\", which is not a key of "
                    "it: ignored",
                    "its one key is \"exclude\", a list of globs");
      }
    }
    auto exclude = package->FindMember("exclude");
    if (exclude != package->MemberEnd()) {
      info.exclude_ =
          TextList(file, &exclude->value, "package", "\"exclude\": [\"tests\", \"*.log\"]");
    }
  }
  return info;
}

std::vector<std::string> PackageInfo::missing() const {
  std::vector<std::string> keys;
  if (!identity_.has_id()) keys.push_back("id");
  if (!identity_.has_name()) keys.push_back("name");
  if (!has_version_) keys.push_back("version");
  return keys;
}
