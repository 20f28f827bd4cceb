// AppIdentity: the application id, name, icon and version of the project.
#include "app/app_identity.h"

#include <sys/stat.h>
#include <unistd.h>

#include "app/project_file.h"

namespace {

bool IsIdCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '_' || c == '-';
}

std::string LastComponent(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The member as a string; a present member of another type is reported and ignored.
std::string StringMember(const ProjectFile& file, const char* key, const char* example) {
  const rapidjson::Value* member = file.Member(key);
  if (!member) return std::string();
  if (!member->IsString()) {
    file.Report(false, key, std::string("is ") + ProjectFile::KindOf(*member) +
                                ", not a string: ignored",
                std::string("write it as a string, for example \"") + key + "\": \"" + example +
                    "\"");
    return std::string();
  }
  return std::string(member->GetString(), member->GetStringLength());
}

}  // namespace

constexpr size_t AppIdentity::kMaxIdBytes;

bool AppIdentity::IsValidId(const std::string& id, std::string* why) {
  auto fail = [why](const std::string& text) {
    if (why) *why = text;
    return false;
  };
  if (id.empty()) return fail("it is empty");
  if (id.size() > kMaxIdBytes)
    return fail("it is longer than " + std::to_string(kMaxIdBytes) + " bytes");
  int segments = 0;
  size_t start = 0;
  while (true) {
    const size_t dot = id.find('.', start);
    const std::string segment = id.substr(start, dot == std::string::npos ? dot : dot - start);
    ++segments;
    if (segment.empty()) return fail("it has an empty segment (two dots, or a dot at an end)");
    if (segment[0] >= '0' && segment[0] <= '9')
      return fail("its segment \"" + segment + "\" starts with a digit");
    for (char c : segment) {
      if (!IsIdCharacter(c))
        return fail("its segment \"" + segment +
                    "\" holds a character other than letters, digits, _ and -");
    }
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  if (segments < 2) return fail("it has one segment; a reverse-DNS id has at least two");
  return true;
}

AppIdentity AppIdentity::From(const ProjectFile& file) {
  AppIdentity identity;
  const std::string id = StringMember(file, "id", "dev.example.app");
  std::string why;
  if (file.Member("id") && file.Member("id")->IsString()) {
    if (IsValidId(id, &why)) {
      identity.id_ = id;
    } else {
      file.Report(true, "id", "\"" + id + "\" is not an application id: " + why +
                                  "; the app runs without one",
                  "use a reverse-DNS name such as \"dev.example.app\"");
    }
  }

  identity.name_ = StringMember(file, "name", "My App");
  identity.has_name_ = !identity.name_.empty();
  if (!identity.has_name_) identity.name_ = LastComponent(file.project_dir());

  const std::string icon = StringMember(file, "icon", "icon.png");
  if (!icon.empty()) {
    const std::string path = icon[0] == '/' ? icon : file.project_dir() + "/" + icon;
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        access(path.c_str(), R_OK) != 0) {
      file.Report(false, "icon", "\"" + icon + "\" is not a readable file in the project: ignored",
                  "name a PNG or SVG file, relative to the project directory");
    } else {
      identity.icon_path_ = path;
    }
  }
  identity.version_ = StringMember(file, "version", "1.0.0");
  return identity;
}
