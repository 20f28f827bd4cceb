// BackendCheck: --check's view of the project's backend.
#include "app/commands/backend_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "app/backend/backend_config.h"
#include "app/project_file.h"
#include "util/ZcLib.h"

namespace {

const char kTopic[] = "backend";

std::string Seconds(double seconds) {
  char text[32];
  snprintf(text, sizeof(text), "%g s", seconds);
  return text;
}

// Words the shell reads itself: the program they run cannot be told from the text.
bool IsShellWord(const std::string& word) {
  static const char* const kWords[] = {
      "cd", ".", "source", "export", "set", "if", "for", "while", "until", "case", "{", "(",
      "!", "eval", "command", "nohup", "env", "trap", "umask", "ulimit", "test", "[", "echo",
      "printf", "true", "false", ":", "wait", "read", "unset", "shift", "exit", "return"};
  for (const char* w : kWords) {
    if (word == w) return true;
  }
  return word.find_first_of("$`\\*?<>|;&") != std::string::npos;
}

bool IsAssignment(const std::string& word) {
  const size_t eq = word.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  for (size_t i = 0; i < eq; ++i) {
    const char c = word[i];
    if (!(isalnum(static_cast<unsigned char>(c)) || c == '_') || (i == 0 && isdigit(c)))
      return false;
  }
  return true;
}

// The words of a command line, with simple quoting undone; stops at what it cannot read.
bool NextWord(const std::string& line, size_t* at, std::string* word) {
  word->clear();
  size_t i = line.find_first_not_of(" \t\r\n", *at);
  if (i == std::string::npos) return false;
  for (; i < line.size() && !strchr(" \t\r\n", line[i]); ++i) {
    const char c = line[i];
    if (c == '\'' || c == '"') {
      const size_t end = line.find(c, i + 1);
      if (end == std::string::npos) return false;
      word->append(line, i + 1, end - i - 1);
      i = end;
    } else {
      *word += c;
    }
  }
  *at = i;
  return true;
}

}  // namespace

std::string BackendCheck::FirstProgram(const std::string& command) {
  size_t at = 0;
  std::string word;
  while (NextWord(command, &at, &word)) {
    if (IsAssignment(word) || word == "exec") continue;
    return IsShellWord(word) ? std::string() : word;
  }
  return std::string();
}

std::string BackendCheck::FindProgram(const std::string& program, const std::string& directory,
                                      std::string* why) {
  auto usable = [why](const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) *why = "is a directory";
    else if (access(path.c_str(), X_OK) != 0) *why = "is not executable";
    return true;
  };
  if (program.find('/') != std::string::npos) {
    const std::string path = program[0] == '/' ? program : directory + "/" + program;
    return usable(path) ? path : std::string();
  }
  const std::string search = ZcLib::GetEnvVar("PATH");
  size_t start = 0;
  while (start <= search.size()) {
    size_t end = search.find(':', start);
    if (end == std::string::npos) end = search.size();
    const std::string path =
        (end > start ? search.substr(start, end - start) : std::string(".")) + "/" + program;
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0)
      return path;
    start = end + 1;
  }
  return std::string();
}

void BackendCheck::Run(const ProjectFile& file, const BackendConfig& config, CheckReport* report) {
  const std::string front = file.Value("fronturl");
  if (!config.given()) {
    if (front.find(BackendConfig::kPortMark) != std::string::npos) {
      report->Error("fronturl",
                    "\"" + front + "\" holds {port}, but the project has no \"backend\" to "
                    "choose one: the window cannot load it",
                    "add a \"backend\" that serves the front end on {port}, or write the "
                    "port's number in fronturl");
    }
    return;
  }
  if (!config.present()) return;  // Its faults are said with the project file's.
  struct stat info;
  if (stat(config.directory().c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    report->Error(kTopic,
                  "its \"cwd\" " + config.directory() + " is not a directory: the backend "
                  "cannot start",
                  "create it, or give \"cwd\" relative to the project directory");
    return;
  }
  const std::string program = FirstProgram(config.command());
  if (!program.empty()) {
    std::string why;
    const std::string path = FindProgram(program, config.directory(), &why);
    if (path.empty()) {
      report->Error(kTopic,
                    "its command's program \"" + program + "\" is not found" +
                        (program.find('/') != std::string::npos ? " in " + config.directory()
                                                                 : std::string(" on $PATH")) +
                        ": the backend cannot start",
                    "install it, or correct \"command\" in app.qvex");
      return;
    }
    if (!why.empty()) {
      report->Error(kTopic, "its command's program " + path + " " + why +
                                ": the backend cannot start",
                    "make it an executable file (chmod +x), or run it through its "
                    "interpreter in \"command\"");
      return;
    }
  }
  report->Ok(kTopic, "\"" + config.command() + "\" in " + config.directory() +
                         (config.wants_port(front) ? ", on a port the shell chooses" : "") +
                         "; waited for " + Seconds(config.timeout_seconds()) + " at " +
                         (config.ready().empty() ? "the start URL" : config.ready()) +
                         " (not started by --check)");
}
