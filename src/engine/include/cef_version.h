// The CEF API level the port follows.
#ifndef CEF_INCLUDE_CEF_VERSION_H_
#define CEF_INCLUDE_CEF_VERSION_H_

#define CEF_API_HASH_UNIVERSAL "abf4cc6ff102e5cd019aaf51f13eb30f9bfeae45"

#endif  // CEF_INCLUDE_CEF_VERSION_H_
