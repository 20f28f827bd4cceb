// Composing the error page.
#include "client/error_page.h"

#include "include/cef_parser.h"

std::string HtmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string ComposeErrorPage(const std::string& failed_url, const std::string& error_text,
                             int error_code) {
  return "<html><body bgcolor=\"white\"><h2>Failed to load URL " + HtmlEscape(failed_url) +
         " with error " + HtmlEscape(error_text) + " (" + std::to_string(error_code) +
         ").</h2></body></html>";
}

std::string ErrorPageDataUrl(const std::string& html) {
  CefString base64 = CefBase64Encode(html.data(), html.size());
  return "data:text/html;base64," + CefURIEncode(base64, false).ToString();
}
