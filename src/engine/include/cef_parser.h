// Text encodings used when building URLs. Any thread.
#ifndef CEF_INCLUDE_CEF_PARSER_H_
#define CEF_INCLUDE_CEF_PARSER_H_

#include "include/cef_base.h"

// Standard Base64 (with padding) of `data_size` bytes.
CefString CefBase64Encode(const void* data, size_t data_size);

// Escapes the text for use as a query value: every UTF-8 byte except alphanumerics and
// -_.!~*'() becomes %XX; with `use_plus` a space becomes '+'.
CefString CefURIEncode(const CefString& text, bool use_plus);

#endif  // CEF_INCLUDE_CEF_PARSER_H_
