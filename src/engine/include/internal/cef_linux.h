// Linux specifics: the X display the port's windows live on.
#ifndef CEF_INCLUDE_INTERNAL_CEF_LINUX_H_
#define CEF_INCLUDE_INTERNAL_CEF_LINUX_H_

typedef struct _XDisplay XDisplay;

// The Xlib display that GDK opened, or null before CefInitialize. UI thread.
XDisplay* cef_get_xdisplay();

#endif  // CEF_INCLUDE_INTERNAL_CEF_LINUX_H_
