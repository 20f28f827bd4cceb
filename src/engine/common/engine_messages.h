// The port's own process messages between the UI process and the web process, beside the
// application's: one type per message, with one encode/decode pair each. Their names start with
// a prefix that applications must not use. Each carries its frame in the message's frame
// identifier (process_message_impl.h); the arguments follow. Plain values; any thread.
#ifndef QVEX_ENGINE_COMMON_ENGINE_MESSAGES_H_
#define QVEX_ENGINE_COMMON_ENGINE_MESSAGES_H_

#include <cstdint>
#include <cstring>
#include <string>

#include "include/cef_process_message.h"

namespace qvex_engine {
namespace engine_messages {

constexpr char kPrefix[] = "qvex-engine:";

// Web process -> UI process, about sub-frames (the main frame's life is WebKit's to report).
// A sub-frame has a new document: [parent id (decimal string), name, URL, is a load (bool);
// false for the empty document a new frame starts with].
constexpr char kFrameCommitted[] = "qvex-engine:frame-committed";
struct FrameCommitted {
  int64_t parent_id = 0;  // 0: the main frame.
  std::string name;
  std::string url;
  bool is_load = false;
};
// The sub-frame's document has loaded (its window's load event): [URL].
constexpr char kFrameLoaded[] = "qvex-engine:frame-loaded";
struct FrameLoaded {
  std::string url;
};
// A sub-frame asked for a new document: [URL, redirect (bool)]. Frame 0: a frame the web
// process could not tell.
constexpr char kFrameNavigating[] = "qvex-engine:frame-navigating";
struct FrameNavigating {
  std::string url;
  bool redirect = false;
};
// The sub-frame is gone: [].
constexpr char kFrameDetached[] = "qvex-engine:frame-detached";
struct FrameDetached {};
// The main frame's document has been parsed to its end (DOMContentLoaded), so WebKit has run
// its start-up scripts, if it ever will: [].
constexpr char kMainDocumentParsed[] = "qvex-engine:main-document-parsed";
struct MainDocumentParsed {};

// UI process -> web process, for one frame.
// Run script in the frame's document, then reply (an empty message): [code, script URL, line].
constexpr char kExecute[] = "qvex-engine:execute";
struct Execute {
  CefString code;
  CefString script_url;
  int start_line = 0;
};
// Navigate the frame: [URL].
constexpr char kLoadUrl[] = "qvex-engine:load-url";
struct LoadUrl {
  CefString url;
};
// Stop the frame's loading: [].
constexpr char kStop[] = "qvex-engine:stop";
struct Stop {};
// The main frame has finished loading: reply (an empty message) once the page's sub-frames
// have loaded too, their reports sent ahead of the reply: [].
constexpr char kSettle[] = "qvex-engine:settle";
struct Settle {};

// The main frame's runner of start-up scripts (the web process offers it in every main-frame
// context; the UI process's one-shot user scripts call it): (code, script URL).
constexpr char kStartScriptRunner[] = "__qvexRunStartScript";

inline bool IsEngineMessage(const std::string& name) {
  return name.compare(0, std::strlen(kPrefix), kPrefix) == 0;
}

CefRefPtr<CefProcessMessage> Encode(const FrameCommitted& message);
CefRefPtr<CefProcessMessage> Encode(const FrameLoaded& message);
CefRefPtr<CefProcessMessage> Encode(const FrameNavigating& message);
CefRefPtr<CefProcessMessage> Encode(const FrameDetached& message);
CefRefPtr<CefProcessMessage> Encode(const MainDocumentParsed& message);
CefRefPtr<CefProcessMessage> Encode(const Execute& message);
CefRefPtr<CefProcessMessage> Encode(const LoadUrl& message);
CefRefPtr<CefProcessMessage> Encode(const Stop& message);
CefRefPtr<CefProcessMessage> Encode(const Settle& message);

// Each returns false, leaving `out` unspecified, unless the message has that type's name and
// exactly its layout.
bool Decode(CefRefPtr<CefProcessMessage> message, FrameCommitted* out);
bool Decode(CefRefPtr<CefProcessMessage> message, FrameLoaded* out);
bool Decode(CefRefPtr<CefProcessMessage> message, FrameNavigating* out);
bool Decode(CefRefPtr<CefProcessMessage> message, FrameDetached* out);
bool Decode(CefRefPtr<CefProcessMessage> message, MainDocumentParsed* out);
bool Decode(CefRefPtr<CefProcessMessage> message, Execute* out);
bool Decode(CefRefPtr<CefProcessMessage> message, LoadUrl* out);
bool Decode(CefRefPtr<CefProcessMessage> message, Stop* out);
bool Decode(CefRefPtr<CefProcessMessage> message, Settle* out);

// An engine message that decoded as none of the types its receiver takes. Both ends are this
// program, so it is a fault of ours: logged, and a debug check.
void ReportMalformed(CefRefPtr<CefProcessMessage> message);

}  // namespace engine_messages
}  // namespace qvex_engine

#endif  // QVEX_ENGINE_COMMON_ENGINE_MESSAGES_H_
