// ProjectFile: reads app.qvex once, keeps its document and the lines of its keys, and
// collects the faults that the owners of its keys find.
#include "app/project_file.h"

#include <errno.h>
#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>

#include "app/browser_events.h"
#include "include/base/cef_logging.h"
#include "include/qvex_diagnostics.h"
#include "util/json.h"

namespace {

// Finds the line of every top-level key: rapidjson's documents keep no positions, so the
// text is read a second time by a reader that notes where each key of the root ends.
class KeyLineHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, KeyLineHandler> {
 public:
  KeyLineHandler(const std::string& text, const rapidjson::StringStream* stream,
                 std::map<std::string, int>* lines)
      : text_(text), stream_(stream), lines_(lines) {}

  bool Key(const char* str, rapidjson::SizeType length, bool) {
    if (depth_ != 1) return true;
    std::string key(str, length);
    if (lines_->count(key)) return true;  // The first member of a name is the one read.
    const size_t end = std::min(stream_->Tell(), text_.size());
    (*lines_)[key] =
        1 + static_cast<int>(std::count(text_.begin(), text_.begin() + end, '\n'));
    return true;
  }
  bool StartObject() { return ++depth_ <= JSON::kMaxNestingDepth; }
  bool EndObject(rapidjson::SizeType) { return --depth_, true; }
  bool StartArray() { return ++depth_ <= JSON::kMaxNestingDepth; }
  bool EndArray(rapidjson::SizeType) { return --depth_, true; }
  bool Default() { return true; }

 private:
  const std::string& text_;
  const rapidjson::StringStream* stream_;
  std::map<std::string, int>* lines_;
  int depth_ = 0;
};

// Why the shell's JSON document refused the text.
std::string JsonProblem(const std::string& text) {
  rapidjson::Document document;
  // Iterative: a text nested a million levels deep must not exhaust the stack here either.
  document.Parse<rapidjson::kParseIterativeFlag>(text.c_str());  // Up to the first NUL.
  if (!document.HasParseError()) {
    return "nested deeper than " + std::to_string(JSON::kMaxNestingDepth) +
           " levels or holds a number out of range";
  }
  int line = 0, column = 0;
  qvex_diagnostics::LineAndColumn(text, document.GetErrorOffset(), &line, &column);
  return std::string("not valid JSON: ") + rapidjson::GetParseError_En(document.GetParseError()) +
         " (line " + std::to_string(line) + ", column " + std::to_string(column) + ")";
}

}  // namespace

constexpr char ProjectFile::kFileName[];
constexpr char ProjectFile::kBackendType[];
constexpr char ProjectFile::kExtensionScript[];
constexpr char ProjectFile::kStartupScript[];

ProjectFile::ReadResult ProjectFile::ReadWhole(const std::string& path, std::string* content,
                                               std::string* why) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return ReadResult::kMissing;
    *why = strerror(errno);
    return ReadResult::kUnreadable;
  }
  if (S_ISDIR(info.st_mode)) {
    *why = "it is a directory";
    return ReadResult::kUnreadable;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *why = strerror(errno);
    return ReadResult::kUnreadable;
  }
  content->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    *why = "read error";
    return ReadResult::kUnreadable;
  }
  return ReadResult::kRead;
}

ProjectFile ProjectFile::Load(const std::string& project_dir) {
  ProjectFile file;
  file.project_dir_ = project_dir;
  if (project_dir.empty()) {
    file.status_ = Status::kNoProject;
    return file;
  }
  switch (ReadWhole(file.path(), &file.text_, &file.why_)) {
    case ReadResult::kMissing:
      file.status_ = Status::kMissing;
      return file;
    case ReadResult::kUnreadable:
      file.status_ = Status::kUnreadable;
      file.text_.clear();
      return file;
    case ReadResult::kRead:
      break;
  }
  file.Parse();
  return file;
}

ProjectFile ProjectFile::FromText(const std::string& project_dir, const std::string& text) {
  ProjectFile file;
  file.project_dir_ = project_dir;
  file.text_ = text;
  file.Parse();
  return file;
}

const ProjectFile& ProjectFile::Current(bool read_again) {
  static std::unique_ptr<ProjectFile> current;
  const std::string dir = BrowserEvents::GetProjectPath();
  if (!current || !current->known() || read_again || current->project_dir_ != dir)
    current.reset(new ProjectFile(Load(dir)));
  return *current;
}

void ProjectFile::Parse() {
  // The shell's own JSON document decides what counts as readable, so --check and the shell
  // never disagree about a file.
  JSON json;
  const bool object = json.parse(text_);
  if (!json.parsed) {
    status_ = Status::kNotJson;
    why_ = JsonProblem(text_);
    text_.clear();
    return;
  }
  if (!object) {
    status_ = Status::kNotObject;
    return;
  }
  status_ = Status::kRead;
  document_.Swap(json.document);
  CheckKnownKeys();
}

std::string ProjectFile::Value(const char* key) const {
  const rapidjson::Value* member = Member(key);
  return member ? JSON::val2String(*member) : std::string();
}

const rapidjson::Value* ProjectFile::Member(const char* key) const {
  if (status_ != Status::kRead || !document_.IsObject()) return nullptr;
  // The first member of a name, as the shell's JSON document finds it.
  for (auto it = document_.MemberBegin(); it != document_.MemberEnd(); ++it) {
    if (strcmp(it->name.GetString(), key) == 0) return &it->value;
  }
  return nullptr;
}

int ProjectFile::LineOf(const std::string& key) const {
  if (!key_lines_found_ && status_ == Status::kRead) {
    key_lines_found_ = true;
    rapidjson::StringStream stream(text_.c_str());
    KeyLineHandler handler(text_, &stream, &key_lines_);
    rapidjson::Reader reader;
    reader.Parse(stream, handler);
  }
  auto it = key_lines_.find(key);
  return it == key_lines_.end() ? 0 : it->second;
}

ProjectFile::StartUrl ProjectFile::ChooseStartUrl(const std::string& url_switch,
                                                  const std::string& home_page) const {
  const std::string front = front_url();
  if (!front.empty()) return {front, "the project's fronturl"};
  if (!url_switch.empty()) return {url_switch, "--url"};
  return {home_page, "the home page: no fronturl and no --url"};
}

void ProjectFile::Report(bool error, const std::string& key, const std::string& message,
                         const std::string& fix) const {
  for (const Problem& p : problems_) {
    if (p.key == key && p.message == message) return;
  }
  problems_.push_back(Problem{error, key, LineOf(key), message, fix});
}

void ProjectFile::LogProblemsOnce() const {
  static std::set<std::string> logged;  // A file read again does not say the same twice.
  for (const Problem& p : problems_) {
    std::string line = path() + (p.line > 0 ? ":" + std::to_string(p.line) : std::string()) +
                       ": \"" + p.key + "\" " + p.message + " (" + p.fix + ")";
    if (logged.insert(line).second) LOG(WARNING) << line;
  }
}

const char* ProjectFile::KindOf(const rapidjson::Value& value) {
  switch (value.GetType()) {
    case rapidjson::kNullType: return "null";
    case rapidjson::kFalseType:
    case rapidjson::kTrueType: return "a boolean";
    case rapidjson::kObjectType: return "an object";
    case rapidjson::kArrayType: return "an array";
    case rapidjson::kStringType: return "a string";
    case rapidjson::kNumberType: return "a number";
  }
  return "a value";
}

void ProjectFile::CheckKnownKeys() const {
  // The two keys every project may have. They are read as text whatever their type (a number
  // as its digits), so a wrong type is a warning: the shell goes on with that text.
  for (const char* key : {"type", "fronturl"}) {
    const rapidjson::Value* member = Member(key);
    if (member && !member->IsString()) {
      Report(false, key,
             std::string("is ") + KindOf(*member) + ", not a string: read as \"" +
                 Value(key) + "\"",
             std::string("write \"") + key + "\" as a string");
    }
  }
}
