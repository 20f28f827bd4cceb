// The names of the native functions the shell gives a meaning to: the dispatch answers them,
// and `qvexdesk --check` warns about any other name a project declares. Constants only.
#ifndef QVEXDESK_BRIDGE_NATIVE_NAMES_H_
#define QVEXDESK_BRIDGE_NATIVE_NAMES_H_

namespace native_names {

constexpr char kRegisterCallBack[] = "registerCallBack";
constexpr char kClipboardWriteText[] = "clipboardWriteText";
constexpr char kPaste[] = "paste";
// Accepted without effect.
constexpr char kSendKey[] = "sendKey";
constexpr char kTriggerApp[] = "triggerApp";
constexpr char kTriggerEvent[] = "triggerEvent";
constexpr char kUnload[] = "unload";

// Every name above: a declared name that is not one of these reaches the dispatch and does
// nothing.
constexpr const char* kAnswered[] = {kRegisterCallBack, kClipboardWriteText, kPaste, kSendKey,
                                     kTriggerApp,       kTriggerEvent,       kUnload};

}  // namespace native_names

#endif  // QVEXDESK_BRIDGE_NATIVE_NAMES_H_
