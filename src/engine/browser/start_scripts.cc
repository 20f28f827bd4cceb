// StartScripts: one-shot user scripts for the next main-frame document.
#include "browser/start_scripts.h"

#include <deque>

namespace qvex_engine {

namespace {

// How long a view waits for another view of its group to reach its document: a load that
// never reports its end must not hold the others back.
constexpr guint kTurnTimeoutMs = 1000;

}  // namespace

struct StartScripts::Group {
  explicit Group(WebKitUserContentManager* m)
      : manager(WEBKIT_USER_CONTENT_MANAGER(g_object_ref(m))) {}
  ~Group() {
    if (timeout) g_source_remove(timeout);
    g_object_unref(manager);
  }

  // Hands the turn to the next waiting view, from the main loop.
  void Next() {
    holder = nullptr;
    if (timeout) {
      g_source_remove(timeout);
      timeout = 0;
    }
    if (waiting.empty()) return;
    auto* resume = new std::function<void()>(std::move(waiting.front()));
    waiting.pop_front();
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) {
          (*static_cast<std::function<void()>*>(data))();
          return G_SOURCE_REMOVE;
        },
        resume, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
  }

  WebKitUserContentManager* manager;    // Strong reference.
  const StartScripts* holder = nullptr;  // Whose one-shot is installed.
  std::deque<std::function<void()>> waiting;
  guint timeout = 0;
};

StartScripts::StartScripts(WebKitUserContentManager* own, const StartScripts* opener)
    : own_(WEBKIT_USER_CONTENT_MANAGER(g_object_ref(own))),
      group_(opener ? opener->group_ : std::make_shared<Group>(own)) {}

StartScripts::~StartScripts() {
  Clear();
  g_object_unref(own_);
}

bool StartScripts::TakeTurn(std::function<void()> resume) {
  if (!group_->holder || group_->holder == this) {
    group_->holder = this;
    return true;
  }
  group_->waiting.push_back(std::move(resume));
  if (!group_->timeout) {
    // Held by a weak reference: the group may go with its last view.
    auto* weak = new std::weak_ptr<Group>(group_);
    group_->timeout = g_timeout_add_full(
        G_PRIORITY_DEFAULT, kTurnTimeoutMs,
        [](gpointer data) {
          if (auto group = static_cast<std::weak_ptr<Group>*>(data)->lock()) {
            group->timeout = 0;
            group->Next();
          }
          return G_SOURCE_REMOVE;
        },
        weak, [](gpointer data) { delete static_cast<std::weak_ptr<Group>*>(data); });
  }
  return false;
}

void StartScripts::BeginCollecting() {
  collecting_ = true;
  collected_.clear();
}

void StartScripts::Add(const std::string& code, const std::string& script_url) {
  collected_.emplace_back(code, script_url);
}

void StartScripts::InstallFor(const std::string& uri) {
  Clear();
  collecting_ = false;
  if (collected_.empty()) return;
  group_->holder = this;
  WebKitUserContentManager* shared = group_->manager;
  // One user script per request: a syntax error in one does not keep the others from running.
  for (const auto& [code, script_url] : collected_) {
    std::string source = WithSourceUrl(code, script_url);
    WebKitUserScript* script = webkit_user_script_new(
        source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(own_, script);
    if (shared != own_) webkit_user_content_manager_add_script(shared, script);
    installed_.push_back(script);
  }
  collected_.clear();
  installed_for_ = uri;
}

std::vector<std::pair<std::string, std::string>> StartScripts::TakeCollected() {
  collecting_ = false;
  return std::move(collected_);
}

void StartScripts::Clear() {
  WebKitUserContentManager* shared = group_->manager;
  for (WebKitUserScript* script : installed_) {
    webkit_user_content_manager_remove_script(own_, script);
    if (shared != own_) webkit_user_content_manager_remove_script(shared, script);
    webkit_user_script_unref(script);
  }
  installed_.clear();
  installed_for_.clear();
  if (group_->holder == this) group_->Next();
}

void StartScripts::ClearIfFor(const std::string& uri) {
  if (!installed_.empty() && uri == installed_for_) Clear();
}

std::string StartScripts::WithSourceUrl(const std::string& code, const std::string& script_url) {
  // WebKit takes the text as a C string: a NUL character of the script would cut it short. As
  // the escape \x00 it means the same in string, template and regular expression literals, and
  // is as much an error as the NUL itself anywhere else.
  std::string text;
  text.reserve(code.size());
  for (char c : code) {
    if (c == '\0')
      text += "\\x00";
    else
      text += c;
  }
  // WebKit's user scripts have no name of their own; the directive gives errors the script URL
  // that the caller asked for. A URL never holds a raw line break, so it cannot end the comment
  // early.
  if (script_url.empty() || script_url.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
    return text;
  return text + "\n//# sourceURL=" + script_url;
}

}  // namespace qvex_engine
