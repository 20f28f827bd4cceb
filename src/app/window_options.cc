// WindowOptions: the main window's size and behaviour from app.qvex.
#include "app/window_options.h"

#include <string>

#include "app/project_file.h"

namespace {

const char kKey[] = "window";

void Ignored(const ProjectFile& file, const std::string& what, const std::string& fix) {
  file.Report(false, kKey, what + ": ignored", fix);
}

// A whole number of pixels in [lowest, kLargestSide]; false (reported) otherwise.
bool ReadSide(const ProjectFile& file, const rapidjson::Value& window, const char* name,
              int lowest, int* out) {
  auto it = window.FindMember(name);
  if (it == window.MemberEnd()) return false;
  const rapidjson::Value& v = it->value;
  const std::string range =
      std::to_string(lowest) + " to " + std::to_string(WindowOptions::kLargestSide);
  if (!v.IsInt64() || v.GetInt64() < lowest || v.GetInt64() > WindowOptions::kLargestSide) {
    Ignored(file,
            std::string("\"") + name + "\" is " +
                (v.IsNumber() ? "not a whole number from " + range
                              : std::string(ProjectFile::KindOf(v)) + ", not a number"),
            std::string("give \"") + name + "\" in pixels, " + range);
    return false;
  }
  *out = static_cast<int>(v.GetInt64());
  return true;
}

void ReadFlag(const ProjectFile& file, const rapidjson::Value& window, const char* name,
              bool* out) {
  auto it = window.FindMember(name);
  if (it == window.MemberEnd()) return;
  if (!it->value.IsBool()) {
    Ignored(file,
            std::string("\"") + name + "\" is " + ProjectFile::KindOf(it->value) +
                ", not true or false",
            std::string("write \"") + name + "\": true or false");
    return;
  }
  *out = it->value.GetBool();
}

}  // namespace

constexpr int WindowOptions::kDefaultWidth;
constexpr int WindowOptions::kDefaultHeight;
constexpr int WindowOptions::kSmallestSide;
constexpr int WindowOptions::kLargestSide;

WindowOptions WindowOptions::From(const ProjectFile& file) {
  WindowOptions options;
  const rapidjson::Value* window = file.Member(kKey);
  if (!window) return options;
  if (!window->IsObject()) {
    Ignored(file, std::string("is ") + ProjectFile::KindOf(*window) + ", not an object",
            "write it as an object, for example \"window\": {\"width\": 1024, \"height\": 768}");
    return options;
  }
  for (auto it = window->MemberBegin(); it != window->MemberEnd(); ++it) {
    const std::string name = it->name.GetString();
    if (name != "width" && name != "height" && name != "min_width" && name != "min_height" &&
        name != "resizable" && name != "maximized" && name != "remember") {
      Ignored(file, "has the unknown key \"" + name + "\"",
              "the window takes width, height, min_width, min_height, resizable, maximized "
              "and remember");
    }
  }
  ReadSide(file, *window, "width", kSmallestSide, &options.width_);
  ReadSide(file, *window, "height", kSmallestSide, &options.height_);
  ReadSide(file, *window, "min_width", 0, &options.min_width_);
  ReadSide(file, *window, "min_height", 0, &options.min_height_);
  ReadFlag(file, *window, "resizable", &options.resizable_);
  ReadFlag(file, *window, "maximized", &options.maximized_);
  ReadFlag(file, *window, "remember", &options.remember_);
  // A window smaller than its own limit would open at the limit anyway: say so.
  if (options.min_width_ > options.width_ || options.min_height_ > options.height_) {
    file.Report(false, kKey,
                "has a minimum size larger than its size: the window opens at the minimum",
                "make min_width and min_height at most width and height");
    if (options.min_width_ > options.width_) options.width_ = options.min_width_;
    if (options.min_height_ > options.height_) options.height_ = options.min_height_;
  }
  return options;
}
