// BackendWrites: the backend's command read word by word for writes to relative paths.
#include "app/package/backend_writes.h"

#include <cctype>
#include <vector>

#include "app/backend/backend_config.h"
#include "app/project_file.h"

namespace {

// Words and operators of a shell command line, quotes removed (no expansion).
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  auto end_word = [&] {
    if (in_word) words.push_back(word);
    word.clear();
    in_word = false;
  };
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\'' || c == '"') {
      const size_t close = line.find(c, i + 1);
      word += line.substr(i + 1, (close == std::string::npos ? line.size() : close) - i - 1);
      in_word = true;
      i = close == std::string::npos ? line.size() : close;
    } else if (c == '\\' && i + 1 < line.size()) {
      word += line[++i];
      in_word = true;
    } else if (isspace(static_cast<unsigned char>(c))) {
      end_word();
    } else if (c == '>' || c == '|' || c == ';' || c == '&') {
      // "2>", ">>", ">&2", "&&": an operator with its own word; a file descriptor number
      // before '>' belongs to it.
      if (c == '>' && in_word && word.find_first_not_of("0123456789") == std::string::npos) {
        word.clear();
        in_word = false;
      }
      end_word();
      std::string op(1, c);
      while (i + 1 < line.size() && (line[i + 1] == c || (c == '>' && line[i + 1] == '&')))
        op += line[++i];
      if (op == ">&" || op == ">>&") {
        // ">&2": a copy of another descriptor, not a file.
        while (i + 1 < line.size() && isdigit(static_cast<unsigned char>(line[i + 1]))) ++i;
        op = "dup";
      }
      words.push_back(op);
    } else {
      word += c;
      in_word = true;
    }
  }
  end_word();
  return words;
}

// A path that names something in the project's folder once the command runs there.
bool IsInProject(const std::string& path) {
  if (path.empty()) return false;
  // Absolute paths, the home folder and variables ($QVEX_DATADIR, $HOME, $TMPDIR) are
  // elsewhere; "-" is standard output for tee.
  return path[0] != '/' && path[0] != '~' && path[0] != '$' && path != "-";
}

}  // namespace

constexpr char BackendWrites::kWhatIsChecked[];

std::string BackendWrites::CommandOf(const ProjectFile& file) {
  return BackendConfig::From(file).command();
}

std::string BackendWrites::Guess(const std::string& command) {
  const std::vector<std::string> words = Words(command);
  bool command_start = true;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if ((w == ">" || w == ">>") && i + 1 < words.size() && IsInProject(words[i + 1]))
      return w + " " + words[i + 1];
    if (w == "|" || w == "||" || w == ";" || w == "&" || w == "&&") {
      command_start = true;
      continue;
    }
    if (command_start && w == "tee") {
      for (size_t j = i + 1; j < words.size() && words[j] != "|" && words[j] != ";" &&
                             words[j] != "&" && words[j] != "&&" && words[j] != ">";
           ++j) {
        if (words[j][0] != '-' && IsInProject(words[j])) return "tee " + words[j];
      }
    }
    command_start = false;
  }
  return std::string();
}
