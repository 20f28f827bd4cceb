// The web process's side of the clipboard: the text goes to the page's UI process in one
// message. Renderer thread.
#include "include/qvex_clipboard.h"

#include "common/clipboard_text.h"
#include "include/base/cef_logging.h"
#include "include/wrapper/cef_helpers.h"
#include "renderer/render_browser.h"
#include "renderer/render_process.h"

namespace qvex_clipboard {

bool SetText(CefRefPtr<CefBrowser> browser, const std::string& text) {
  using qvex_engine::ClipboardText;
  CEF_REQUIRE_RENDERER_THREAD();
  CefRefPtr<qvex_engine::RenderBrowser> page =
      browser ? qvex_engine::RenderProcess::BrowserById(browser->GetIdentifier()) : nullptr;
  if (!page || !page->page()) {
    LOG(WARNING) << "clipboard: no page to hand the text to; nothing copied";
    return false;
  }
  GVariant* parameters = nullptr;
  GUnixFDList* fds = nullptr;
  std::string error;
  if (!ClipboardText::Encode(text, &parameters, &fds, &error)) {
    LOG(WARNING) << "clipboard: " << error << "; nothing copied";
    return false;
  }
  WebKitUserMessage* message =
      fds ? webkit_user_message_new_with_fd_list(ClipboardText::kMessageName, parameters, fds)
          : webkit_user_message_new(ClipboardText::kMessageName, parameters);
  if (fds) g_object_unref(fds);
  webkit_web_page_send_message_to_view(page->page(), message, nullptr, nullptr, nullptr);
  return true;
}

}  // namespace qvex_clipboard
