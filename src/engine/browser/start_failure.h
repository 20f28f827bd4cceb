// What the UI process says on standard error when it cannot start its UI, in the one-line
// form of command-line programs ("qvexdesk: cannot open display ":99""). Main thread.
#ifndef QVEX_ENGINE_BROWSER_START_FAILURE_H_
#define QVEX_ENGINE_BROWSER_START_FAILURE_H_

#include <string>

namespace qvex_engine {

// The line for an X display that cannot be opened: `display_name` as given (the --display
// switch, else DISPLAY); null or empty when none was. Without the trailing newline.
std::string CannotOpenDisplayLine(const char* program, const char* display_name);

// Writes that line for the display GTK was to open.
void SayCannotOpenDisplay();

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_START_FAILURE_H_
