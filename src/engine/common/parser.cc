// Base64 and query-value escaping for URLs built by the application.
#include <glib.h>

#include <cstring>

#include "include/cef_parser.h"

CefString CefBase64Encode(const void* data, size_t data_size) {
  if (!data || data_size == 0) return CefString();
  gchar* encoded = g_base64_encode(static_cast<const guchar*>(data), data_size);
  CefString result{std::string(encoded)};
  g_free(encoded);
  return result;
}

CefString CefURIEncode(const CefString& text, bool use_plus) {
  static const char kHex[] = "0123456789ABCDEF";
  const std::string utf8 = text.ToString();
  std::string out;
  out.reserve(utf8.size() * 3);
  for (unsigned char c : utf8) {
    if (g_ascii_isalnum(c) || strchr("-_.!~*'()", c) != nullptr) {
      if (c) out.push_back(static_cast<char>(c));
      else out += "%00";
    } else if (c == ' ' && use_plus) {
      out.push_back('+');
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
  return CefString(out);
}
