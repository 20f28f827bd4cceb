// CheckReport: findings and their two forms.
#include "app/commands/check_report.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace {

// File names and engine messages may hold line breaks: one finding stays one line.
std::string OneLine(const std::string& text) {
  std::string line = text;
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return line;
}

}  // namespace

void CheckReport::Ok(const std::string& topic, const std::string& message) {
  findings_.push_back({kOk, topic, message, std::string()});
}

void CheckReport::Warning(const std::string& topic, const std::string& message,
                          const std::string& fix) {
  findings_.push_back({kWarning, topic, message, fix});
}

void CheckReport::Error(const std::string& topic, const std::string& message,
                        const std::string& fix) {
  findings_.push_back({kError, topic, message, fix});
}

int CheckReport::Count(Level level) const {
  int count = 0;
  for (const Finding& f : findings_) count += f.level == level;
  return count;
}

const char* CheckReport::LevelName(Level level) {
  switch (level) {
    case kOk:
      return "ok";
    case kWarning:
      return "warning";
    case kError:
      return "error";
  }
  return "";
}

std::string CheckReport::ToText() const {
  std::string text;
  for (const Finding& f : findings_) {
    std::string level = LevelName(f.level);
    level.resize(9, ' ');
    text += level + OneLine(f.topic) + ": " + OneLine(f.message);
    if (!f.fix.empty()) text += " -- fix: " + OneLine(f.fix);
    text += '\n';
  }
  return text;
}

std::string CheckReport::ToJson() const {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  auto string = [&writer](const std::string& s) {
    writer.String(s.data(), static_cast<rapidjson::SizeType>(s.size()));
  };
  writer.StartObject();
  writer.Key("errors");
  writer.Int(Count(kError));
  writer.Key("warnings");
  writer.Int(Count(kWarning));
  writer.Key("findings");
  writer.StartArray();
  for (const Finding& f : findings_) {
    writer.StartObject();
    writer.Key("level");
    writer.String(LevelName(f.level));
    writer.Key("topic");
    string(f.topic);
    writer.Key("message");
    string(f.message);
    writer.Key("fix");
    string(f.fix);
    writer.EndObject();
  }
  writer.EndArray();
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}
