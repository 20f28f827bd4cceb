// Native panels around a browser's page, for what the application has to say while no page
// can: a panel in the page's place (the way the engine shows a page whose web process keeps
// ending) and a bar above the page that leaves the page where it is. The port's addition, not
// CEF's. UI thread; the button callbacks run there too, and may hide their own panel.
#ifndef QVEX_INCLUDE_QVEX_PANELS_H_
#define QVEX_INCLUDE_QVEX_PANELS_H_

#include <functional>
#include <string>

#include "include/cef_browser.h"

namespace qvex_panels {

// "NAME", "Starting…" and a spinner in the page's place.
void ShowStarting(CefRefPtr<CefBrowser> browser, const std::string& name);
// `title` in bold, `detail` below it, `output` as selectable monospaced text (empty: none),
// and the buttons "Try Again" (focused) and "Quit".
void ShowFailure(CefRefPtr<CefBrowser> browser, const std::string& title,
                 const std::string& detail, const std::string& output,
                 std::function<void()> try_again, std::function<void()> quit);
// Takes the panel away and shows the page again; nothing when none is shown.
void HidePanel(CefRefPtr<CefBrowser> browser);
bool PanelShown(CefRefPtr<CefBrowser> browser);

// A bar with `text` and one button above the page, replacing an earlier bar.
void ShowBar(CefRefPtr<CefBrowser> browser, const std::string& text,
             const std::string& button_label, std::function<void()> on_click);
void HideBar(CefRefPtr<CefBrowser> browser);
bool BarShown(CefRefPtr<CefBrowser> browser);

}  // namespace qvex_panels

#endif  // QVEX_INCLUDE_QVEX_PANELS_H_
