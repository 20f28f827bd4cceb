// CefCommandLine over argv: "--name" and "--name=value" switches (also with one dash), other
// words are arguments, and everything after a lone "--" is an argument.
#include <mutex>

#include "include/cef_command_line.h"

namespace {

class CommandLineImpl : public CefCommandLine {
 public:
  void InitFromArgv(int argc, const char* const* argv) override {
    program_.clear();
    switches_.clear();
    args_.clear();
    argv_.clear();
    if (argc > 0 && argv && argv[0]) program_ = argv[0];
    bool only_args = false;
    for (int i = 1; i < argc && argv; ++i) {
      if (!argv[i]) continue;
      std::string word = argv[i];
      argv_.push_back(word);
      if (!only_args && word == "--") {
        only_args = true;
        continue;
      }
      size_t dashes = (!only_args && word.rfind("--", 0) == 0) ? 2
                      : (!only_args && word.size() > 1 && word[0] == '-') ? 1
                                                                          : 0;
      if (dashes == 0) {
        args_.push_back(word);
        continue;
      }
      std::string body = word.substr(dashes);
      size_t eq = body.find('=');
      if (eq == std::string::npos) switches_[body] = CefString();
      else switches_[body.substr(0, eq)] = body.substr(eq + 1);
    }
  }
  CefString GetProgram() override { return program_; }
  bool HasSwitches() override { return !switches_.empty(); }
  bool HasSwitch(const CefString& name) override { return switches_.count(name) > 0; }
  CefString GetSwitchValue(const CefString& name) override {
    auto it = switches_.find(name);
    return it == switches_.end() ? CefString() : it->second;
  }
  void GetSwitches(SwitchMap& switches) override { switches = switches_; }
  void AppendSwitch(const CefString& name) override {
    switches_[name] = CefString();
    argv_.push_back("--" + name.ToString());
  }
  void AppendSwitchWithValue(const CefString& name, const CefString& value) override {
    switches_[name] = value;
    argv_.push_back("--" + name.ToString() + "=" + value.ToString());
  }
  bool HasArguments() override { return !args_.empty(); }
  void GetArguments(ArgumentList& arguments) override { arguments = args_; }
  void GetArgv(std::vector<CefString>& argv) override {
    argv.clear();
    argv.push_back(program_);
    argv.insert(argv.end(), argv_.begin(), argv_.end());
  }

 private:
  CefString program_;
  SwitchMap switches_;
  ArgumentList args_;
  std::vector<CefString> argv_;

  IMPLEMENT_REFCOUNTING(CommandLineImpl);
};

std::mutex g_global_mutex;
CefRefPtr<CefCommandLine> g_global;

}  // namespace

CefRefPtr<CefCommandLine> CefCommandLine::CreateCommandLine() { return new CommandLineImpl(); }

CefRefPtr<CefCommandLine> CefCommandLine::GetGlobalCommandLine() {
  std::lock_guard<std::mutex> lock(g_global_mutex);
  if (!g_global) g_global = new CommandLineImpl();
  return g_global;
}

namespace qvex_engine {

void SetGlobalCommandLine(int argc, const char* const* argv) {
  CefRefPtr<CefCommandLine> global = CefCommandLine::GetGlobalCommandLine();
  global->InitFromArgv(argc, argv);
}

}  // namespace qvex_engine
