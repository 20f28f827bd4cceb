// Resource requests of a browser. The port delivers no resource callbacks; the interface
// exists so clients can name it as a base.
#ifndef CEF_INCLUDE_CEF_RESOURCE_REQUEST_HANDLER_H_
#define CEF_INCLUDE_CEF_RESOURCE_REQUEST_HANDLER_H_

#include "include/cef_base.h"

class CefResourceRequestHandler : public virtual CefBaseRefCounted {};

#endif  // CEF_INCLUDE_CEF_RESOURCE_REQUEST_HANDLER_H_
