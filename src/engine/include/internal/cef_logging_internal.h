// The minimum log level, as CEF reports it: -1 verbose, 0 info, 1 warning, 2 error, 3 fatal,
// 4 and above nothing. Set by CefInitialize from CefSettings::log_severity, or from the switch
// --log-severity, which wins as in CEF.
#ifndef CEF_INCLUDE_INTERNAL_CEF_LOGGING_INTERNAL_H_
#define CEF_INCLUDE_INTERNAL_CEF_LOGGING_INTERNAL_H_

extern "C" int cef_get_min_log_level();

#endif  // CEF_INCLUDE_INTERNAL_CEF_LOGGING_INTERNAL_H_
