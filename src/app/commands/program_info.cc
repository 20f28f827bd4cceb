// ProgramInfo: what `qvexdesk --version` and `qvexdesk --help` print.
#include "app/commands/program_info.h"

#include "include/cef_command_line.h"

#ifndef QVEXDESK_VERSION
#error "QVEXDESK_VERSION comes from the project's version in CMakeLists.txt"
#endif

namespace {

// Kept in step with the SYNOPSIS and OPTIONS of packaging/qvexdesk.1.in (test_install
// compares them).
const char kUsage[] =
    "Usage: qvexdesk [--url=URL] [--enable-chrome-runtime] [--automation] [--safe-rendering] "
    "[--log-severity=LEVEL]\n"
    "       qvexdesk --check [--json] [--url=URL] [--safe-rendering]\n"
    "       qvexdesk --package [--out=DIR]\n"
    "       qvexdesk --version | --help\n"
    "\n"
    "Opens the Quenvale project named by QVEX_PROJPATH in a window around a web engine.\n"
    "\n"
    "  --url=URL                start URL when the project does not name one\n"
    "                           (default: https://www.quenvale.dev/)\n"
    "  --enable-chrome-runtime  accepted for compatibility; changes nothing in this engine\n"
    "  --automation             lets a W3C WebDriver client (WebKitWebDriver) drive the shell\n"
    "  --safe-rendering         draws without WebKit's DMA-BUF renderer and compositing, for\n"
    "                           a blank or broken window (variables you set still win)\n"
    "  --check                  checks the project and this desktop without opening a window:\n"
    "                           one line per finding (ok, warning, error) and how to fix it\n"
    "  --json                   with --check: the findings as one JSON document\n"
    "  --package                builds the project's own Debian package and prints its path\n"
    "  --out=DIR                with --package: where the package goes (default: here)\n"
    "  --log-severity=LEVEL     lowest severity written to standard error, for the shell's\n"
    "                           lines and the pages' console: verbose, info (default),\n"
    "                           warning, error, fatal or disable\n"
    "  --version                print the name and version, then exit\n"
    "  --help                   print this help, then exit\n"
    "\n"
    "Environment:\n"
    "  QVEX_PROJPATH            the project directory, which holds app.qvex\n"
    "\n"
    "The exit status is 0 once the last window has closed (also after SIGTERM, SIGINT or\n"
    "SIGHUP), 1 when the display cannot be opened; with --check, 0 when nothing is an error\n"
    "and 1 otherwise; with --package, 0 once it is built. See qvexdesk(1).\n";

}  // namespace

std::string ProgramInfo::VersionText() { return std::string("qvexdesk ") + QVEXDESK_VERSION; }

std::string ProgramInfo::Version() { return QVEXDESK_VERSION; }

std::string ProgramInfo::ProductVersion() { return std::string("qvexdesk/") + QVEXDESK_VERSION; }

std::string ProgramInfo::UsageText() { return kUsage; }

int ProgramInfo::Answer(int argc, const char* const* argv, std::ostream& out) {
  // The engine's own parser, so "-help", "--help=x" and a switch after "--" mean what they
  // mean for every other switch of the shell.
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
  command_line->InitFromArgv(argc, argv);
  if (command_line->HasSwitch("help")) {
    out << UsageText();
  } else if (command_line->HasSwitch("version")) {
    out << VersionText() << '\n';
  } else {
    return -1;
  }
  out.flush();
  return out ? 0 : 1;
}
