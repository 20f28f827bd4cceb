// CefCommandLine: switches ("--name" or "--name=value") and arguments of a command line.
// The global command line is the browser process's own argv, set by CefInitialize.
#ifndef CEF_INCLUDE_CEF_COMMAND_LINE_H_
#define CEF_INCLUDE_CEF_COMMAND_LINE_H_

#include <map>
#include <vector>

#include "include/cef_base.h"

class CefCommandLine : public virtual CefBaseRefCounted {
 public:
  typedef std::vector<CefString> ArgumentList;
  typedef std::map<CefString, CefString> SwitchMap;

  static CefRefPtr<CefCommandLine> CreateCommandLine();
  static CefRefPtr<CefCommandLine> GetGlobalCommandLine();

  virtual void InitFromArgv(int argc, const char* const* argv) = 0;
  virtual CefString GetProgram() = 0;
  virtual bool HasSwitches() = 0;
  virtual bool HasSwitch(const CefString& name) = 0;
  // The switch's value; empty when the switch is absent or has no value.
  virtual CefString GetSwitchValue(const CefString& name) = 0;
  virtual void GetSwitches(SwitchMap& switches) = 0;
  virtual void AppendSwitch(const CefString& name) = 0;
  virtual void AppendSwitchWithValue(const CefString& name, const CefString& value) = 0;
  virtual bool HasArguments() = 0;
  virtual void GetArguments(ArgumentList& arguments) = 0;
  virtual void GetArgv(std::vector<CefString>& argv) = 0;
};

#endif  // CEF_INCLUDE_CEF_COMMAND_LINE_H_
