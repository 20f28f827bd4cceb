// BackendConfig: the "backend" object of app.qvex and its faults.
#include "app/backend/backend_config.h"

#include "app/project_file.h"

constexpr char BackendConfig::kKey[];
constexpr char BackendConfig::kPortMark[];
constexpr double BackendConfig::kDefaultTimeoutSeconds;

namespace {

const char kExample[] =
    "\"backend\": {\"command\": \"python3 server.py {port}\", \"ready\": "
    "\"http://127.0.0.1:{port}/\"}";
const char kRunsWithout[] = "; the project runs without its backend";

bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

}  // namespace

BackendConfig BackendConfig::From(const ProjectFile& file) {
  BackendConfig config;
  const rapidjson::Value* member = file.Member(kKey);
  if (!member) return config;
  config.given_ = true;
  auto fault = [&file](const std::string& message, const std::string& fix) {
    file.Report(true, kKey, message + kRunsWithout, fix);
  };
  if (!member->IsObject()) {
    fault(std::string("is ") + ProjectFile::KindOf(*member) + ", not an object",
          std::string("write it as an object, for example ") + kExample);
    return config;
  }
  const rapidjson::Value* command = nullptr;
  bool ok = true;
  for (auto it = member->MemberBegin(); it != member->MemberEnd(); ++it) {
    const std::string name(it->name.GetString(), it->name.GetStringLength());
    const rapidjson::Value& value = it->value;
    if (name == "command" || name == "cwd" || name == "ready") {
      if (!value.IsString()) {
        fault("\"" + name + "\" is " + ProjectFile::KindOf(value) + ", not a string",
              "write \"" + name + "\" as a string");
        ok = false;
        continue;
      }
      const std::string text(value.GetString(), value.GetStringLength());
      if (name == "command") command = &value, config.command_ = text;
      else if (name == "cwd") config.cwd_ = text;
      else config.ready_ = text;
    } else if (name == "timeout") {
      if (!value.IsNumber() || !(value.GetDouble() > 0) || value.GetDouble() > 86400) {
        fault("\"timeout\" is " +
                  (value.IsNumber() ? std::string("not a positive number of seconds")
                                    : std::string(ProjectFile::KindOf(value)) +
                                          ", not a number"),
              "give the seconds to wait for the backend, for example \"timeout\": 30");
        ok = false;
        continue;
      }
      config.timeout_seconds_ = value.GetDouble();
    } else {
      file.Report(false, kKey, "has the unknown member \"" + name + "\": ignored",
                  "use \"command\", \"cwd\", \"ready\" and \"timeout\"");
    }
  }
  if (!command || config.command_.find_first_not_of(" \t\r\n") == std::string::npos) {
    if (!command || command->IsString())
      fault(command ? "\"command\" is empty" : "has no \"command\"",
            std::string("name the command that starts the backend, for example ") + kExample);
    return config;
  }
  if (IsAbsolute(config.cwd_)) {
    fault("\"cwd\" \"" + config.cwd_ + "\" is absolute", "give a directory inside the project");
    return config;
  }
  if (!ok) return config;
  config.directory_ = file.project_dir();
  if (!config.cwd_.empty()) config.directory_ += "/" + config.cwd_;
  config.present_ = true;
  return config;
}

bool BackendConfig::wants_port(const std::string& front_url) const {
  for (const std::string* text : {&command_, &ready_, &front_url}) {
    if (text->find(kPortMark) != std::string::npos) return true;
  }
  return false;
}

std::string BackendConfig::WithPort(const std::string& text, int port) {
  std::string result;
  const std::string mark = kPortMark;
  size_t start = 0;
  while (true) {
    const size_t at = text.find(mark, start);
    if (at == std::string::npos) break;
    result.append(text, start, at - start).append(std::to_string(port));
    start = at + mark.size();
  }
  return result.append(text, start, std::string::npos);
}
