// ProjectCheck: the project part of `qvexdesk --check`, read as the shell reads the project.
#include "app/project_check.h"

#include <errno.h>
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/browser_events.h"
#include "bridge/native_names.h"
#include "include/qvex_diagnostics.h"
#include "util/json.h"

namespace {

const char kBackend[] = "backend";
const char kProjectFile[] = "/app.qvex";
const char kExtensionScript[] = "/temp/js/qvexext.js";
const char kStartupScript[] = "/temp/js/first.js";
const char kNotBackendMeans[] =
    "pages get no native functions, first.js does not run and fronturl is ignored";

enum class ReadResult { kRead, kMissing, kUnreadable };

ReadResult ReadWhole(const std::string& path, std::string* content, std::string* why) {
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

// Why the JSON class (which the shell reads app.qvex with) refused the text.
std::string JsonProblem(const std::string& text) {
  rapidjson::Document document;
  document.Parse(text.c_str());  // Up to the first NUL, as the shell reads it.
  if (document.HasParseError()) {
    int line = 0, column = 0;
    qvex_diagnostics::LineAndColumn(text, document.GetErrorOffset(), &line, &column);
    return std::string("not valid JSON: ") + rapidjson::GetParseError_En(document.GetParseError()) +
           " (" + At(line, column) + ")";
  }
  if (!document.IsObject()) return "valid JSON, but not an object";
  return "nested deeper than " + std::to_string(JSON::kMaxNestingDepth) +
         " levels or holds a number out of range";
}

// Reads app.qvex as the shell does; false when there is nothing to read values from.
bool CheckProjectFile(const std::string& project, std::string* type, std::string* front,
                      CheckReport* report) {
  const std::string path = project + kProjectFile;
  std::string text, why;
  switch (ReadWhole(path, &text, &why)) {
    case ReadResult::kMissing:
      report->Error(
          "app.qvex",
          "no app.qvex in " + project + ": the project counts as not backend: " + kNotBackendMeans,
          "create app.qvex, for example {\"type\": \"backend\", \"fronturl\": "
          "\"http://127.0.0.1:8080/index.html\"}");
      return false;
    case ReadResult::kUnreadable:
      report->Error("app.qvex", path + " cannot be read (" + why + ")",
                    "make app.qvex a file the user running the shell can read");
      return false;
    case ReadResult::kRead:
      break;
  }
  JSON json;
  if (!json.parse(text)) {
    report->Error("app.qvex",
                  path + " is " + JsonProblem(text) + ": the project counts as not backend",
                  "make app.qvex one JSON object, for example {\"type\": \"backend\", "
                  "\"fronturl\": \"http://127.0.0.1:8080/index.html\"}");
    return false;
  }
  report->Ok("app.qvex", path + " is a JSON object");
  *type = json.value("type");
  *front = json.value("fronturl");
  return true;
}

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

}  // namespace

void ProjectCheck::Run(const std::string& project, const std::string& url_switch,
                       CheckReport* report) {
  std::string type, front;
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
    if (CheckProjectFile(project, &type, &front, report)) ReportType(type, report);
  }

  const bool backend_ish = Lower(type) == kBackend;
  if (backend_ish && !front.empty()) {
    CheckFrontUrl(front, report);
  } else if (type == kBackend) {
    report->Ok("fronturl", "none: the start URL comes from --url or the home page");
  } else if (!front.empty()) {
    report->Ok("fronturl", "ignored: not a backend project");
  }

  // The rule of BrowserEvents::onBrowserInit.
  std::string start, why;
  if (type == kBackend && !front.empty()) {
    start = front, why = "the project's fronturl";
  } else if (!url_switch.empty()) {
    start = url_switch, why = "--url";
  } else {
    start = BrowserEvents::kHomePageUrl, why = "the home page: no fronturl and no --url";
  }
  report->Ok("start URL", start + " (" + why + ")");

  if (backend_ish) {
    CheckScript(project, kExtensionScript, true, report);
    CheckScript(project, kStartupScript, false, report);
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

void ProjectCheck::CheckScript(const std::string& project, const char* relative, bool extension,
                               CheckReport* report) {
  const std::string topic = strrchr(relative, '/') + 1;
  const std::string path = project + relative;
  std::string text, why;
  switch (ReadWhole(path, &text, &why)) {
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
