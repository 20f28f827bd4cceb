// Plain enums and records shared by the port's interfaces, with CEF's names and values.
#ifndef CEF_INCLUDE_INTERNAL_CEF_TYPES_H_
#define CEF_INCLUDE_INTERNAL_CEF_TYPES_H_

#include <cstddef>
#include <cstdint>

#include "include/internal/cef_string.h"

typedef unsigned long cef_window_handle_t;  // An X11 window id; 0 for none.

typedef enum {
  STATE_DEFAULT = 0,
  STATE_ENABLED,
  STATE_DISABLED,
} cef_state_t;

typedef enum {
  LOGSEVERITY_DEFAULT,
  LOGSEVERITY_VERBOSE,
  LOGSEVERITY_DEBUG = LOGSEVERITY_VERBOSE,
  LOGSEVERITY_INFO,
  LOGSEVERITY_WARNING,
  LOGSEVERITY_ERROR,
  LOGSEVERITY_FATAL,
  LOGSEVERITY_DISABLE = 99
} cef_log_severity_t;

typedef enum {
  PID_BROWSER,
  PID_RENDERER,
} cef_process_id_t;

typedef enum {
  TID_UI,
  TID_FILE_BACKGROUND,
  TID_FILE_USER_VISIBLE,
  TID_FILE_USER_BLOCKING,
  TID_PROCESS_LAUNCHER,
  TID_IO,
  TID_RENDERER,
} cef_thread_id_t;
typedef cef_thread_id_t CefThreadId;
typedef cef_process_id_t CefProcessId;

typedef enum {
  TT_LINK = 0,
  TT_EXPLICIT = 1,
  TT_AUTO_SUBFRAME = 3,
  TT_MANUAL_SUBFRAME = 4,
  TT_FORM_SUBMIT = 7,
  TT_RELOAD = 8,
  TT_SOURCE_MASK = 0xFF,
  TT_BLOCKED_FLAG = 0x00800000,
  TT_FORWARD_BACK_FLAG = 0x01000000,
} cef_transition_type_t;

// The network error codes the port reports (a subset of CEF's list).
typedef enum {
  ERR_NONE = 0,
  ERR_FAILED = -2,
  ERR_ABORTED = -3,
  ERR_INVALID_ARGUMENT = -4,
  ERR_FILE_NOT_FOUND = -6,
  ERR_TIMED_OUT = -7,
  ERR_ACCESS_DENIED = -10,
  ERR_CONNECTION_CLOSED = -100,
  ERR_CONNECTION_RESET = -101,
  ERR_CONNECTION_REFUSED = -102,
  ERR_CONNECTION_FAILED = -104,
  ERR_NAME_NOT_RESOLVED = -105,
  ERR_INTERNET_DISCONNECTED = -106,
  ERR_SSL_PROTOCOL_ERROR = -107,
  ERR_ADDRESS_INVALID = -108,
  ERR_ADDRESS_UNREACHABLE = -109,
  ERR_CERT_COMMON_NAME_INVALID = -200,
  ERR_CERT_DATE_INVALID = -201,
  ERR_CERT_AUTHORITY_INVALID = -202,
  ERR_CERT_REVOKED = -206,
  ERR_CERT_INVALID = -207,
  ERR_CERT_WEAK_SIGNATURE_ALGORITHM = -208,
  ERR_INVALID_URL = -300,
  ERR_DISALLOWED_URL_SCHEME = -301,
  ERR_UNKNOWN_URL_SCHEME = -302,
  ERR_TOO_MANY_REDIRECTS = -310,
  ERR_UNSAFE_PORT = -312,
  ERR_EMPTY_RESPONSE = -324,
  ERR_BLOCKED_BY_CLIENT = -20,
} cef_errorcode_t;

// Why a render (web) process ended.
typedef enum {
  TS_ABNORMAL_TERMINATION,
  TS_PROCESS_WAS_KILLED,
  TS_PROCESS_CRASHED,
  TS_PROCESS_OOM,
} cef_termination_status_t;

typedef enum {
  V8_PROPERTY_ATTRIBUTE_NONE = 0,
  V8_PROPERTY_ATTRIBUTE_READONLY = 1 << 0,
  V8_PROPERTY_ATTRIBUTE_DONTENUM = 1 << 1,
  V8_PROPERTY_ATTRIBUTE_DONTDELETE = 1 << 2,
} cef_v8_propertyattribute_t;

typedef enum {
  MENU_ID_BACK = 100,
  MENU_ID_FORWARD = 101,
  MENU_ID_RELOAD = 102,
  MENU_ID_STOPLOAD = 104,
  MENU_ID_UNDO = 110,
  MENU_ID_REDO = 111,
  MENU_ID_CUT = 112,
  MENU_ID_COPY = 113,
  MENU_ID_PASTE = 114,
  MENU_ID_DELETE = 115,
  MENU_ID_SELECT_ALL = 116,
  MENU_ID_VIEW_SOURCE = 132,
  MENU_ID_USER_FIRST = 26500,
  MENU_ID_USER_LAST = 28500,
} cef_menu_id_t;

typedef enum {
  MENUITEMTYPE_NONE,
  MENUITEMTYPE_COMMAND,
  MENUITEMTYPE_CHECK,
  MENUITEMTYPE_RADIO,
  MENUITEMTYPE_SEPARATOR,
  MENUITEMTYPE_SUBMENU,
} cef_menu_item_type_t;

typedef enum {
  EVENTFLAG_NONE = 0,
} cef_event_flags_t;

typedef enum {
  CEF_COLOR_TYPE_RGBA_8888,
  CEF_COLOR_TYPE_BGRA_8888,
} cef_color_type_t;

typedef enum {
  CEF_ALPHA_TYPE_OPAQUE,
  CEF_ALPHA_TYPE_PREMULTIPLIED,
  CEF_ALPHA_TYPE_POSTMULTIPLIED,
} cef_alpha_type_t;

typedef enum {
  VTYPE_INVALID = 0,
  VTYPE_NULL,
  VTYPE_BOOL,
  VTYPE_INT,
  VTYPE_DOUBLE,
  VTYPE_STRING,
  VTYPE_BINARY,
  VTYPE_DICTIONARY,
  VTYPE_LIST,
} cef_value_type_t;

// Settings of the whole program. Fields without a WebKit counterpart (chrome_runtime,
// multi_threaded_message_loop: the port always runs its UI on the main thread) are kept so
// applications read as they would with CEF; they have no effect here.
struct CefSettings {
  size_t size = sizeof(CefSettings);
  int no_sandbox = 0;
  int multi_threaded_message_loop = 0;
  int external_message_pump = 0;
  int windowless_rendering_enabled = 0;
  int command_line_args_disabled = 0;
  int chrome_runtime = 0;
  int persist_session_cookies = 0;
  int ignore_certificate_errors = 0;
  cef_log_severity_t log_severity = LOGSEVERITY_DEFAULT;
  int remote_debugging_port = 0;
  CefString cache_path;
  CefString root_cache_path;
  CefString user_agent;
  // "name/version" of the application: the name and version a WebDriver session is answered
  // with (the user agent is WebKit's own).
  CefString product_version;
  CefString locale;
  CefString log_file;
};

// Settings of one browser. remote_fonts and application_cache have no WebKit counterpart
// and no effect; STATE_DEFAULT keeps WebKit's own default for a field.
struct CefBrowserSettings {
  size_t size = sizeof(CefBrowserSettings);
  int windowless_frame_rate = 0;
  CefString standard_font_family;
  CefString fixed_font_family;
  int default_font_size = 0;
  int default_fixed_font_size = 0;
  int minimum_font_size = 0;
  CefString default_encoding;
  cef_state_t remote_fonts = STATE_DEFAULT;
  cef_state_t javascript = STATE_DEFAULT;
  cef_state_t javascript_close_windows = STATE_DEFAULT;
  cef_state_t javascript_access_clipboard = STATE_DEFAULT;
  cef_state_t javascript_dom_paste = STATE_DEFAULT;
  cef_state_t plugins = STATE_DEFAULT;
  cef_state_t universal_access_from_file_urls = STATE_DEFAULT;
  cef_state_t file_access_from_file_urls = STATE_DEFAULT;
  cef_state_t web_security = STATE_DEFAULT;
  cef_state_t image_loading = STATE_DEFAULT;
  cef_state_t image_shrink_standalone_to_fit = STATE_DEFAULT;
  cef_state_t text_area_resize = STATE_DEFAULT;
  cef_state_t tab_to_links = STATE_DEFAULT;
  cef_state_t local_storage = STATE_DEFAULT;
  cef_state_t databases = STATE_DEFAULT;
  cef_state_t application_cache = STATE_DEFAULT;
  cef_state_t webgl = STATE_DEFAULT;
  unsigned int background_color = 0;
};

struct CefSize {
  int width = 0;
  int height = 0;
  CefSize() = default;
  CefSize(int w, int h) : width(w), height(h) {}
  bool operator==(const CefSize& o) const { return width == o.width && height == o.height; }
};

struct CefPoint {
  int x = 0;
  int y = 0;
  CefPoint() = default;
  CefPoint(int px, int py) : x(px), y(py) {}
};

struct CefRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  CefRect() = default;
  CefRect(int px, int py, int w, int h) : x(px), y(py), width(w), height(h) {}
  bool IsEmpty() const { return width <= 0 || height <= 0; }
};

// Where and how a browser window is created (developer tools use it for their size).
struct CefWindowInfo {
  CefString window_name;
  CefRect bounds;
  cef_window_handle_t parent_window = 0;
  int windowless_rendering_enabled = 0;
  cef_window_handle_t window = 0;
  void SetAsChild(cef_window_handle_t parent, const CefRect& rect) {
    parent_window = parent;
    bounds = rect;
  }
};

struct CefMainArgs {
  int argc = 0;
  char** argv = nullptr;
  CefMainArgs() = default;
  CefMainArgs(int c, char** v) : argc(c), argv(v) {}
};

#endif  // CEF_INCLUDE_INTERNAL_CEF_TYPES_H_
