// Web notifications shown through the desktop's notification server
// (org.freedesktop.Notifications on the session bus) with the app's name and icon; a click
// runs the page's click handler and brings its window forward. Also the origins granted the
// permission up front. UI thread.
#ifndef QVEX_ENGINE_BROWSER_DESKTOP_NOTIFICATIONS_H_
#define QVEX_ENGINE_BROWSER_DESKTOP_NOTIFICATIONS_H_

#include <webkit2/webkit2.h>

#include <string>

namespace qvex_engine {

class BrowserImpl;

// The context's permission set-up for each new web process.
void AttachNotifications(WebKitWebContext* context);
// Notifications of `origin` were allowed after a request: later queries say "granted".
void NoteNotificationsAccepted(const std::string& origin);
// The browser's show-notification: ours, not WebKit's (which names the app by its program).
void AttachNotificationSignals(BrowserImpl* browser);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_DESKTOP_NOTIFICATIONS_H_
