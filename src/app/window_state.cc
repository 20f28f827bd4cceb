// WindowState: the remembered window size, read and written as a small JSON file.
#include "app/window_state.h"

#include <rapidjson/document.h>
#include <stdio.h>
#include <unistd.h>

#include "app/project_file.h"
#include "app/window_options.h"

bool WindowState::Load(const std::string& path) {
  std::string text, why;
  if (ProjectFile::ReadWhole(path, &text, &why) != ProjectFile::ReadResult::kRead) return false;
  rapidjson::Document doc;
  doc.Parse(text.c_str(), text.size());
  if (doc.HasParseError() || !doc.IsObject()) return false;
  auto side = [&doc](const char* name, int* out) {
    auto it = doc.FindMember(name);
    if (it == doc.MemberEnd() || !it->value.IsInt() ||
        it->value.GetInt() < WindowOptions::kSmallestSide ||
        it->value.GetInt() > WindowOptions::kLargestSide)
      return false;
    *out = it->value.GetInt();
    return true;
  };
  int w = 0, h = 0;
  if (!side("width", &w) || !side("height", &h)) return false;
  auto max = doc.FindMember("maximized");
  width = w;
  height = h;
  maximized = max != doc.MemberEnd() && max->value.IsBool() && max->value.GetBool();
  return true;
}

bool WindowState::Save(const std::string& path) const {
  const std::string temp = path + ".new";
  FILE* file = fopen(temp.c_str(), "we");
  if (!file) return false;
  const int written = fprintf(file, "{\"width\": %d, \"height\": %d, \"maximized\": %s}\n", width,
                              height, maximized ? "true" : "false");
  const bool ok = written > 0 && fflush(file) == 0 && fsync(fileno(file)) == 0;
  if (fclose(file) != 0 || !ok || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  return true;
}
