// The port's own process messages between the UI process and the web process, beside the
// application's. Their names start with a prefix that applications must not use. Each carries
// its frame in the message's frame identifier (process_message_impl.h); the arguments follow.
#ifndef QVEX_ENGINE_COMMON_ENGINE_MESSAGES_H_
#define QVEX_ENGINE_COMMON_ENGINE_MESSAGES_H_

#include <cstring>
#include <string>

namespace qvex_engine {
namespace engine_messages {

constexpr char kPrefix[] = "qvex-engine:";

// Web process -> UI process, about sub-frames (the main frame's life is WebKit's to report).
// A sub-frame has a new document: [parent id (decimal string), name, URL, is a load (bool);
// false for the empty document a new frame starts with].
constexpr char kFrameCommitted[] = "qvex-engine:frame-committed";
// The sub-frame's document has loaded (its window's load event): [URL].
constexpr char kFrameLoaded[] = "qvex-engine:frame-loaded";
// A sub-frame asked for a new document: [URL, redirect (bool)]. Frame 0: a frame the web
// process could not tell.
constexpr char kFrameNavigating[] = "qvex-engine:frame-navigating";
// The sub-frame is gone: [].
constexpr char kFrameDetached[] = "qvex-engine:frame-detached";

// UI process -> web process, for one frame.
// Run script in the frame's document, then reply (an empty message): [code, script URL, line].
constexpr char kExecute[] = "qvex-engine:execute";
// Navigate the frame: [URL].
constexpr char kLoadUrl[] = "qvex-engine:load-url";
// Stop the frame's loading: [].
constexpr char kStop[] = "qvex-engine:stop";

inline bool IsEngineMessage(const std::string& name) {
  return name.compare(0, std::strlen(kPrefix), kPrefix) == 0;
}

}  // namespace engine_messages
}  // namespace qvex_engine

#endif  // QVEX_ENGINE_COMMON_ENGINE_MESSAGES_H_
