// StartScripts: one-shot user scripts for the next main-frame document, removed once it is
// parsed.
#include "browser/loads/start_scripts.h"

#include <algorithm>

#include "browser/loads/start_script_turns.h"
#include "common/engine_messages.h"
#include "include/base/cef_bind.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

// How long a view of a group may keep the turn while another waits: a document that is slow
// to come (or never comes) must not hold the others back.
constexpr int64_t kTurnTimeoutMs = 1000;

// `text` as a JavaScript string literal: quotes, backslashes, control characters and the two
// Unicode line breaks escaped; other bytes as they are.
std::string StringLiteral(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      g_snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else if (c == 0xE2 && i + 2 < text.size() && text[i + 1] == '\x80' &&
               (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
      out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
  return out;
}

}  // namespace

struct StartScripts::Group : std::enable_shared_from_this<Group> {
  explicit Group(WebKitUserContentManager* m)
      : manager(ScopedGObject<WebKitUserContentManager>::Ref(m)) {}

  StartScripts* Find(StartScriptTurns::Member member) const {
    auto it = std::find(members.begin(), members.end(), member);
    return it == members.end() ? nullptr : *it;
  }

  // The turn went to `next` (null: nobody): it resumes from a task of its own, and the clock
  // starts again for whoever waits.
  void HandOver(StartScriptTurns::Member next) {
    if (next) {
      CefPostTask(TID_UI, base::Bind(
                              [](const std::weak_ptr<Group>& weak, StartScriptTurns::Member m) {
                                auto group = weak.lock();
                                StartScripts* member = group ? group->Find(m) : nullptr;
                                if (member && group->turns.holder() == m) member->OnTurn();
                              },
                              weak_from_this(), next));
    }
    RestartClock();
  }

  void RestartClock() {
    ++clock;
    if (!turns.waiting()) return;
    CefPostDelayedTask(TID_UI,
                       base::Bind(
                           [](const std::weak_ptr<Group>& weak, uint64_t started) {
                             auto group = weak.lock();
                             if (group && group->clock == started) group->Expire();
                           },
                           weak_from_this(), clock),
                       kTurnTimeoutMs);
  }

  void Expire() {
    StartScripts* expired = Find(turns.holder());
    StartScriptTurns::Member next = turns.Expire();
    // Out of the shared manager before the next one's go in: a document must not get both.
    if (next && expired) expired->OnExpired();
    HandOver(next);
  }

  ScopedGObject<WebKitUserContentManager> manager;
  std::vector<StartScripts*> members;
  StartScriptTurns turns;
  uint64_t clock = 0;  // Tells a running turn's time-out from an earlier turn's.
};

StartScripts::StartScripts(WebKitUserContentManager* own, const StartScripts* opener)
    : own_(ScopedGObject<WebKitUserContentManager>::Ref(own)),
      group_(opener ? opener->group_ : std::make_shared<Group>(own)) {
  group_->members.push_back(this);
}

StartScripts::~StartScripts() {
  Uninstall();
  resume_ = nullptr;
  auto& members = group_->members;
  members.erase(std::remove(members.begin(), members.end(), this), members.end());
  LeaveTurns();
}

bool StartScripts::TakeTurn(std::function<void()> resume) {
  if (group_->turns.Take(this)) return true;
  resume_ = std::move(resume);
  if (group_->turns.waiting() == 1) group_->RestartClock();
  return false;
}

StartScripts::Collecting::Collecting(StartScripts* scripts) : scripts_(scripts) {
  scripts_->collecting_ = true;
  scripts_->collected_.clear();
}

StartScripts::Collecting::~Collecting() { scripts_->collecting_ = false; }

bool StartScripts::Collect(const std::string& code, const std::string& script_url) {
  if (!collecting_) return false;
  collected_.emplace_back(code, script_url);
  return true;
}

void StartScripts::InstallFor(const std::string& uri) {
  Uninstall();
  scripts_ = std::move(collected_);
  collected_.clear();
  installed_for_ = uri;
  if (scripts_.empty()) {
    Clear();
    return;
  }
  Install();
}

std::vector<std::pair<std::string, std::string>> StartScripts::TakeCollected() {
  return std::move(collected_);
}

void StartScripts::Install() {
  CEF_REQUIRE_UI_THREAD();
  std::vector<WebKitUserScript*> scripts;
  // One user script per request: a syntax error in one does not keep the others from running.
  for (const auto& [code, script_url] : scripts_) {
    scripts.push_back(webkit_user_script_new(WithSourceUrl(code, script_url).c_str(),
                                             WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START,
                                             nullptr, nullptr));
  }
  WebKitUserContentManager* shared = group_->manager.get();
  for (WebKitUserScript* script : scripts) {
    webkit_user_content_manager_add_script(own_.get(), script);
    if (shared != own_.get()) webkit_user_content_manager_add_script(shared, script);
    installed_.push_back(script);
  }
}

void StartScripts::Uninstall() {
  WebKitUserContentManager* shared = group_->manager.get();
  for (WebKitUserScript* script : installed_) {
    webkit_user_content_manager_remove_script(own_.get(), script);
    if (shared != own_.get()) webkit_user_content_manager_remove_script(shared, script);
    webkit_user_script_unref(script);
  }
  installed_.clear();
}

void StartScripts::Clear() {
  Uninstall();
  scripts_.clear();
  installed_for_.clear();
  // A load start that waits for its turn keeps its place.
  if (!resume_) LeaveTurns();
}

void StartScripts::DocumentParsed() {
  // Also when its scripts wait outside the managers (its turn expired): the document is past
  // the moment they were for.
  if (!scripts_.empty()) Clear();
}

void StartScripts::LeaveTurns() {
  const bool held = group_->turns.holder() == this;
  StartScriptTurns::Member next = group_->turns.Release(this);
  if (held) group_->HandOver(next);
}

void StartScripts::ClearIfFor(const std::string& uri) {
  if (!scripts_.empty() && uri == installed_for_) Clear();
}

void StartScripts::OnTurn() {
  if (resume_) {
    std::function<void()> resume = std::move(resume_);
    resume_ = nullptr;
    resume();
  } else if (!scripts_.empty() && installed_.empty()) {
    Install();  // Its document has still not run them.
  } else {
    LeaveTurns();
  }
}

void StartScripts::OnExpired() {
  // Its scripts wait outside the managers for its next turn (OnTurn), unless its document is
  // parsed meanwhile or a newer load start replaces them.
  Uninstall();
}

std::string StartScripts::WithSourceUrl(const std::string& code, const std::string& script_url) {
  // WebKit names its user scripts itself ("user-script:1"): the text hands the code to the web
  // process's runner, which evaluates it under the script URL. Both travel as string literals
  // (WebKit takes the text as a C string: a NUL in them is escaped like any control character).
  // Were the runner missing, the code still runs, under WebKit's name.
  return std::string("(function (run, code, url) { if (typeof run === 'function') run(code, url);"
                     " else (0, eval)(code); })(window.") +
         engine_messages::kStartScriptRunner + ", " + StringLiteral(code) + ", " +
         StringLiteral(script_url) + ");";
}

}  // namespace qvex_engine
