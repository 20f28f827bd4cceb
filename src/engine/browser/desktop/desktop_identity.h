// The program's desktop identity inside the port: kept from QvexSetDesktopIdentity and applied
// around the display's opening (program name and class before, the default icon list after).
// UI thread.
#ifndef QVEX_ENGINE_BROWSER_DESKTOP_DESKTOP_IDENTITY_H_
#define QVEX_ENGINE_BROWSER_DESKTOP_DESKTOP_IDENTITY_H_

#include <string>

#include "include/qvex_desktop.h"

namespace qvex_engine {

const QvexDesktopIdentity& DesktopIdentity();
// Before gtk_init: the program name and class that every window's WM_CLASS is made of, and
// the display name. `argv0` is what GTK is given as argv[0] (it names the program from it).
void ApplyIdentityBeforeDisplay(std::string* argv0);
// After the display opened: the program class again (GTK sets its own while opening) and the
// default icon list of every window, from the icon file.
void ApplyIdentityAfterDisplay();

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_DESKTOP_DESKTOP_IDENTITY_H_
