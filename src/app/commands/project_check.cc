// ProjectCheck: the project part of `qvexdesk --check`, read as the shell reads the project.
#include "app/commands/project_check.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/app_profile.h"
#include "app/app_identity.h"
#include "app/backend/backend_config.h"
#include "app/commands/backend_check.h"
#include "app/browser_events.h"
#include "app/package/package_check.h"
#include "app/project_file.h"
#include "bridge/native_names.h"
#include "include/qvex_diagnostics.h"

namespace {

const char* const kBackend = ProjectFile::kBackendType;
const char kNotBackendMeans[] =
    "pages get no native functions, first.js does not run and fronturl is ignored";

using ReadResult = ProjectFile::ReadResult;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string At(int line, int column) {
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

bool IsAnswered(const std::string& name) {
  for (const char* answered : native_names::kAnswered) {
    if (name == answered) return true;
  }
  return false;
}

std::string AnsweredList() {
  std::string list;
  for (const char* answered : native_names::kAnswered)
    list += (list.empty() ? "" : ", ") + std::string(answered);
  return list;
}

}  // namespace

const ProjectFile* ProjectCheck::CheckProjectFile(const ProjectFile& file, CheckReport* report) {
  const std::string path = file.path();
  switch (file.status()) {
    case ProjectFile::Status::kNoProject:
      return nullptr;
    case ProjectFile::Status::kMissing:
      report->Error("app.qvex",
                    "no app.qvex in " + file.project_dir() +
                        ": the project counts as not backend: " + kNotBackendMeans,
                    "create app.qvex, for example {\"type\": \"backend\", \"fronturl\": "
                    "\"http://127.0.0.1:8080/index.html\"}");
      return nullptr;
    case ProjectFile::Status::kUnreadable:
      report->Error("app.qvex", path + " cannot be read (" + file.why() + ")",
                    "make app.qvex a file the user running the shell can read");
      return nullptr;
    case ProjectFile::Status::kNotJson:
    case ProjectFile::Status::kNotObject:
      report->Error("app.qvex",
                    path + " is " +
                        (file.status() == ProjectFile::Status::kNotObject
                             ? std::string("valid JSON, but not an object")
                             : file.why()) +
                        ": the project counts as not backend",
                    "make app.qvex one JSON object, for example {\"type\": \"backend\", "
                    "\"fronturl\": \"http://127.0.0.1:8080/index.html\"}");
      return nullptr;
    case ProjectFile::Status::kRead:
      break;
  }
  report->Ok("app.qvex", path + " is a JSON object");
  return &file;
}

void ProjectCheck::ReportProblems(const ProjectFile& file, CheckReport* report) {
  for (const ProjectFile::Problem& p : file.problems()) {
    std::string message = "\"" + p.key + "\"" +
                          (p.line > 0 ? " (line " + std::to_string(p.line) + ")" : "") + " " +
                          p.message;
    if (p.error) report->Error(p.key, message, p.fix);
    else report->Warning(p.key, message, p.fix);
  }
}

namespace {

void ReportType(const std::string& type, CheckReport* report) {
  if (type == kBackend) {
    report->Ok("type", "\"backend\": native functions, first.js and fronturl are used");
  } else if (Lower(type) == kBackend) {
    report->Warning("type",
                    Quoted(type) + " differs from \"backend\" only in letter case, so the "
                                   "project counts as not backend: " + kNotBackendMeans,
                    "write \"type\": \"backend\" in app.qvex");
  } else {
    report->Ok("type", (type.empty() ? std::string("none") : Quoted(type)) +
                           ": not a backend project (" + kNotBackendMeans + ")");
  }
}

// What the shell makes of the keys that make the project a desktop program (their faults are
// the owners' problems, said with the others).
void ReportDesktopKeys(const ProjectFile& file, const AppProfile& profile, CheckReport* report) {
  const AppIdentity& identity = profile.identity();
  if (identity.has_id()) {
    report->Ok("id", Quoted(identity.id()) + ": the window class, the program name and the data "
                     "folder " + profile.folders().data_dir());
  }
  if (identity.has_name()) {
    report->Ok("name", Quoted(identity.name()) +
                           ": the window's title until the page gives one, and the app's name "
                           "for accessibility and notifications");
  }
  if (!identity.icon_path().empty()) {
    const qvex_diagnostics::ImageDiagnosis d =
        qvex_diagnostics::DiagnoseImage(identity.icon_path());
    if (!d.ok) {
      report->Error("icon", identity.icon_path() + " does not decode (" + d.error +
                                "): the windows get no icon of the app's",
                    "use a PNG or SVG file");
    } else {
      report->Ok("icon", identity.icon_path() + " is " + d.format +
                             (d.width > 0 ? " " + std::to_string(d.width) + "x" +
                                                std::to_string(d.height)
                                          : std::string()) +
                             ": the windows' icon until a page gives its own");
    }
  }
  if (file.Member("window")) {
    const WindowOptions& w = profile.window();
    report->Ok("window", std::to_string(w.width()) + "x" + std::to_string(w.height()) +
                             (w.min_width() || w.min_height()
                                  ? ", at least " + std::to_string(w.min_width()) + "x" +
                                        std::to_string(w.min_height())
                                  : std::string()) +
                             (w.resizable() ? ", resizable" : ", not resizable") +
                             (w.maximized() ? ", maximized" : "") +
                             (identity.has_id() && w.remember() ? ", size remembered" : ""));
  }
  if (file.Member("storage") || identity.has_id()) {
    report->Ok("storage", profile.storage().persistent()
                              ? "persistent, in " + profile.folders().web_data_dir() +
                                    " (HTTP cache in " + profile.folders().http_cache_dir() + ")"
                              : std::string("in memory: gone when the app ends"));
  }
  if (identity.has_id()) {
    report->Ok("single_instance", profile.single_instance()
                                      ? "a second start brings the running window forward"
                                      : "false: every start opens a window of its own");
  }
}

}  // namespace

void ProjectCheck::Run(const std::string& project, const std::string& url_switch,
                       CheckReport* report) {
  const ProjectFile file = ProjectFile::Load(project);
  const ProjectFile* read = nullptr;
  struct stat info;
  const bool exists = !project.empty() && stat(project.c_str(), &info) == 0;
  if (project.empty()) {
    report->Warning("project", "QVEX_PROJPATH is not set: no project file, no native functions",
                    "set QVEX_PROJPATH to the project directory (the one that holds app.qvex)");
  } else if (!exists || !S_ISDIR(info.st_mode)) {
    report->Error("project",
                  "QVEX_PROJPATH " + project + (exists ? " is not a directory" : " does not exist"),
                  "set QVEX_PROJPATH to the project directory (the one that holds app.qvex)");
  } else {
    report->Ok("project", project);
    read = CheckProjectFile(file, report);
    if (read) ReportType(read->type(), report);
  }
  const std::string type = read ? read->type() : std::string();
  const std::string front = read ? read->Value("fronturl") : std::string();

  const bool backend_ish = Lower(type) == kBackend;
  const BackendConfig backend = read ? BackendConfig::From(*read) : BackendConfig();
  if (backend_ish && !front.empty() && backend.present()) {
    report->Ok("fronturl", Quoted(front) + ": served by the project's backend once the shell "
                                           "has started it (not asked by --check)");
  } else if (backend_ish && !front.empty() && !backend.given() &&
             front.find(BackendConfig::kPortMark) != std::string::npos) {
    // BackendCheck says what is wrong: no backend to choose the port.
  } else if (backend_ish && !front.empty()) {
    CheckFrontUrl(front, report);
  } else if (type == kBackend) {
    report->Ok("fronturl", "none: the start URL comes from --url or the home page");
  } else if (!front.empty()) {
    report->Ok("fronturl", "ignored: not a backend project");
  }

  const ProjectFile::StartUrl start = file.ChooseStartUrl(url_switch, BrowserEvents::kHomePageUrl);
  report->Ok("start URL", start.url + " (" + start.why + ")");
  if (read) {
    // Each owner of keys says what is wrong with them.
    const AppProfile profile = AppProfile::From(*read);
    ReportProblems(*read, report);
    ReportDesktopKeys(*read, profile, report);
    BackendCheck::Run(*read, backend, report);
    // Last: what shipping needs, and whether the backend's command suits an installed app.
    PackageCheck::Run(*read, profile.identity(), false, report);
  }

  if (backend_ish) {
    CheckScript(file.extension_script_path(), report, true);
    CheckScript(file.startup_script_path(), report, false);
  }
}

void ProjectCheck::CheckFrontUrl(const std::string& front, CheckReport* report) {
  using qvex_diagnostics::UrlDiagnosis;
  const UrlDiagnosis d = qvex_diagnostics::ProbeUrl(front, kFrontUrlTimeoutMs);
  const char kTopic[] = "fronturl";
  switch (d.outcome) {
    case UrlDiagnosis::kNotAbsolute:
      report->Error(kTopic,
                    Quoted(front) + " is not an absolute http(s) URL: the window cannot load it",
                    "write the whole URL in app.qvex, for example "
                    "\"http://127.0.0.1:8080/index.html\"");
      return;
    case UrlDiagnosis::kNotHttp:
      report->Warning(kTopic,
                      Quoted(front) + " is a " + d.scheme + ": URL, not http(s); not requested",
                      "serve the front end over http(s), unless " + d.scheme + ": is meant");
      return;
    case UrlDiagnosis::kFailed:
      report->Error(kTopic,
                    front + " does not answer (" + d.error + "): the window shows an error page",
                    "start the server of the front end, or correct fronturl in app.qvex");
      return;
    case UrlDiagnosis::kAnswered:
      break;
  }
  std::string answer = front + " answers " + std::to_string(d.status) + " " + d.reason;
  if (d.status >= 400) {
    report->Warning(kTopic, answer + ": the window shows that page",
                    "check the path in fronturl and the server of the front end");
  } else {
    if (!d.location.empty()) answer += ", redirecting to " + d.location;
    report->Ok(kTopic, answer);
  }
}

void ProjectCheck::CheckScript(const std::string& path, CheckReport* report, bool extension) {
  const std::string topic = path.substr(path.rfind('/') + 1);
  std::string text, why;
  switch (ProjectFile::ReadWhole(path, &text, &why)) {
    case ReadResult::kMissing:
      report->Error(topic,
                    path + " is missing: the shell runs the text \"File Can't open ...\" " +
                        (extension ? "as the extension, so pages get no native functions"
                                   : "at every page load, a syntax error in the page"),
                    extension ? "create it: it declares the native functions the pages call, as "
                                "`native function NAME(params);`"
                              : "create it: it runs at the start of every page load and defines "
                                "qvex_nt_api");
      return;
    case ReadResult::kUnreadable:
      report->Error(topic, path + " cannot be read (" + why + ")",
                    "make it a file the user running the shell can read");
      return;
    case ReadResult::kRead:
      break;
  }
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
    report->Warning(topic,
                    path + " is empty: " +
                        (extension ? "pages get no native functions"
                                   : "pages get no qvex_nt_api, so closing a window "
                                     "calls nothing"),
                    extension ? "declare the native functions the pages call"
                              : "define qvex_nt_api with an unload function");
    return;
  }
  const qvex_diagnostics::ScriptDiagnosis d =
      qvex_diagnostics::DiagnoseScript(text, topic, extension);
  if (!d.utf8) {
    report->Error(topic,
                  path + " is not UTF-8 text (first bad byte at " +
                      At(d.bad_utf8_line, d.bad_utf8_column) + ")",
                  "save it as UTF-8");
    return;
  }
  if (!d.syntax_ok) {
    std::string where = d.column > 0 ? At(d.line, d.column) : "line " + std::to_string(d.line);
    std::string quoted = d.line_text;
    quoted.erase(0, std::min(quoted.find_first_not_of(" \t"), quoted.size()));
    size_t cut = std::min<size_t>(quoted.size(), 80);
    while (cut < quoted.size() && (quoted[cut] & 0xC0) == 0x80) --cut;  // Whole characters.
    quoted.resize(cut);
    if (!quoted.empty()) where += " (" + quoted + ")";
    report->Error(topic,
                  "syntax error at " + where + ": " + d.syntax_error +
                      (extension ? "; no native function reaches the pages" : "; none of it runs"),
                  "correct the script at that place");
  } else {
    std::string names;
    for (const auto& n : d.natives) names += (names.empty() ? "" : ", ") + n.name;
    report->Ok(topic, path + " is UTF-8 and parses" +
                          (extension ? "; native functions: " + (names.empty() ? "none" : names)
                                     : std::string()));
  }
  for (const auto& n : d.natives) {
    if (IsAnswered(n.name)) continue;
    report->Warning(
        topic,
        "native function " + n.name + " (line " + std::to_string(n.line) +
            ") is not answered by the shell: calling it does nothing",
        "did you mean " + NearestAnsweredName(n.name) + "? The shell answers " + AnsweredList());
  }
  if (!extension && text.find("qvex_nt_api") == std::string::npos) {
    report->Warning(topic,
                    path +
                        " never mentions qvex_nt_api: closing a window calls "
                        "qvex_nt_api.unload(), which then fails",
                    "define window.qvex_nt_api = { unload: function () { ... } } in first.js");
  }
}

std::string ProjectCheck::NearestAnsweredName(const std::string& name) {
  // Edit distance in half steps: a change of letter case costs 1, any other edit 2.
  auto distance = [](const std::string& a, const std::string& b) {
    std::vector<int> previous(b.size() + 1), current(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) previous[j] = static_cast<int>(2 * j);
    for (size_t i = 1; i <= a.size(); ++i) {
      current[0] = static_cast<int>(2 * i);
      for (size_t j = 1; j <= b.size(); ++j) {
        int change = a[i - 1] == b[j - 1] ? 0
                     : tolower(static_cast<unsigned char>(a[i - 1])) ==
                             tolower(static_cast<unsigned char>(b[j - 1]))
                         ? 1
                         : 2;
        current[j] = std::min({previous[j] + 2, current[j - 1] + 2, previous[j - 1] + change});
      }
      std::swap(previous, current);
    }
    return previous[b.size()];
  };
  std::string best;
  int best_distance = 0;
  for (const char* answered : native_names::kAnswered) {
    int d = distance(name, answered);
    if (best.empty() || d < best_distance) best = answered, best_distance = d;
  }
  return best;
}
