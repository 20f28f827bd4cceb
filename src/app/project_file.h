// ProjectFile: the one reader of the project file app.qvex. The shell, `--check` and the
// packager all ask it; each later key gets a small owner of its own that reads its member
// from here and reports its faults here. One thread per process (the UI thread of the browser
// process, the main thread of a web process); not locked.
#ifndef QVEXDESK_APP_PROJECT_FILE_H_
#define QVEXDESK_APP_PROJECT_FILE_H_

#include <rapidjson/document.h>

#include <map>
#include <string>
#include <vector>

class ProjectFile {
 public:
  static constexpr char kFileName[] = "app.qvex";
  static constexpr char kBackendType[] = "backend";
  static constexpr char kExtensionScript[] = "/temp/js/qvexext.js";
  static constexpr char kStartupScript[] = "/temp/js/first.js";

  enum class Status {
    kRead,        // A JSON object: its values are known.
    kNoProject,   // QVEX_PROJPATH is unset.
    kMissing,     // No app.qvex in the project.
    kUnreadable,  // app.qvex exists but cannot be read (permissions, a directory, ...).
    kNotJson,     // Not JSON, nested too deep or a number out of range.
    kNotObject,   // Valid JSON, but not an object.
  };

  // A fault of one key: said by --check and, once per process, logged at start.
  struct Problem {
    bool error;           // An error stops --package; a warning is said and the key ignored.
    std::string key;      // The top-level key: "type", "backend", ...
    int line;             // Line of the key in app.qvex (1-based); 0 when not known.
    std::string message;  // What is wrong and what the shell does instead.
    std::string fix;      // How to mend it.
  };

  // Where the start URL comes from: the project's fronturl, --url, or the home page.
  struct StartUrl {
    std::string url;
    std::string why;
  };

  // Reads a file of the project whole; `why` says why it could not be (a missing file has no
  // why). Shared by the project file and --check's reading of the project's scripts.
  enum class ReadResult { kRead, kMissing, kUnreadable };
  static ReadResult ReadWhole(const std::string& path, std::string* content, std::string* why);

  // The file of `project_dir` (without the trailing "/app.qvex"; may be empty), read now.
  // Prints nothing.
  static ProjectFile Load(const std::string& project_dir);
  // The same from text already read, for tests and tools.
  static ProjectFile FromText(const std::string& project_dir, const std::string& text);

  // This process's file (of BrowserEvents::GetProjectPath()). Read at the first call; while it
  // is not known (no project, a missing or broken file) it is read again at each call, so a
  // file that is mended is taken up; once read, it stays for the life of the process, unless
  // `read_again` (the project type is read again while it is empty) or the project directory
  // was set to another one.
  static const ProjectFile& Current(bool read_again = false);

  Status status() const { return status_; }
  bool known() const { return status_ == Status::kRead; }
  const std::string& project_dir() const { return project_dir_; }
  // project_dir + "/app.qvex": plain concatenation, as the shell has always looked for it.
  std::string path() const { return project_dir_ + "/" + kFileName; }
  // Why it could not be read (for kUnreadable and kNotJson); empty otherwise.
  const std::string& why() const { return why_; }
  // The whole text, as read (empty unless kRead or kNotObject).
  const std::string& text() const { return text_; }

  // The key's value as the shell's JSON document gives it (strings as they are, numbers as
  // text, true and false as "1" and "0"); empty for a missing key or an unknown file.
  std::string Value(const char* key) const;
  // The key's member, or null.
  const rapidjson::Value* Member(const char* key) const;
  // The line of a top-level key (1-based), 0 when the key is not there.
  int LineOf(const std::string& key) const;

  // "type", as given; "backend" (exactly) makes a backend project.
  std::string type() const { return Value("type"); }
  bool is_backend() const { return type() == kBackendType; }
  // A backend project's fronturl; empty otherwise or when not given.
  std::string front_url() const { return is_backend() ? Value("fronturl") : std::string(); }
  // The start URL for a run with `url_switch` as --url (empty: none), `home_page` otherwise.
  StartUrl ChooseStartUrl(const std::string& url_switch, const std::string& home_page) const;
  // The project's two scripts, as the shell reads them.
  std::string extension_script_path() const { return project_dir_ + kExtensionScript; }
  std::string startup_script_path() const { return project_dir_ + kStartupScript; }

  // Faults found in the keys, in the order they were found; each said once.
  const std::vector<Problem>& problems() const { return problems_; }
  // For the owners of keys: records a fault of `key` (its line is looked up) unless the same
  // one was recorded before.
  void Report(bool error, const std::string& key, const std::string& message,
              const std::string& fix) const;
  // "a string", "a number", "null", ...: for messages about a value of the wrong type.
  static const char* KindOf(const rapidjson::Value& value);
  // Writes each problem not yet logged to the log as one line (once per process and problem).
  void LogProblemsOnce() const;

 private:
  ProjectFile() = default;
  void Parse();
  void CheckKnownKeys() const;

  Status status_ = Status::kNoProject;
  std::string project_dir_;
  std::string why_;
  std::string text_;
  rapidjson::Document document_;
  // Found when a fault is first reported: a file without faults is read only once.
  mutable std::map<std::string, int> key_lines_;
  mutable bool key_lines_found_ = false;
  mutable std::vector<Problem> problems_;
};

#endif  // QVEXDESK_APP_PROJECT_FILE_H_
