// ClipboardOwner: the UI process's ownership of the CLIPBOARD selection for text that a web
// process handed over (ClipboardText). The text is served from the message's own memory for as
// long as this program owns the selection, and dropped when another owner takes it. UI thread.
#ifndef QVEX_ENGINE_BROWSER_PAGE_CLIPBOARD_OWNER_H_
#define QVEX_ENGINE_BROWSER_PAGE_CLIPBOARD_OWNER_H_

#include <webkit2/webkit2.h>

namespace qvex_engine {

class ClipboardOwner {
 public:
  // Whether `message` is a clipboard text message; if it is, its text is put on the CLIPBOARD
  // selection, or a warning says why not.
  static bool TakeMessage(WebKitUserMessage* message);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_PAGE_CLIPBOARD_OWNER_H_
