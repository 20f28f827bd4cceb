// StartScripts: the scripts a browser's main-frame load start asks for, installed as a one-shot
// WebKit user script so that they run in the new document before any of its own scripts,
// once. UI thread.
//
// WebKit runs document-start user scripts when the parser makes the document's root element,
// which may be long after the load commits (a server that flushes the top of a page early and
// then pauses). So the one-shot stays until the web process reports that the document was
// parsed to its end (by then the root element exists). A newer installation, a failed load or
// a document made without a response decision removes it earlier.
#ifndef QVEX_ENGINE_BROWSER_LOADS_START_SCRIPTS_H_
#define QVEX_ENGINE_BROWSER_LOADS_START_SCRIPTS_H_

#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/scoped_gobject.h"

namespace qvex_engine {

class StartScripts {
 public:
  // A view, or an opener with the pop-ups it opened: the views whose documents get one
  // manager's scripts. One of them at a time may have a one-shot installed.
  struct Group;

  // `own` is the view's own content manager. WebKit's web process gives a pop-up the content
  // of its opener's manager instead (measured: a related view's own manager reaches none of
  // its documents in the opener's process), so a pop-up joins the group of its opener: its
  // one-shot goes to the group's manager too. `opener` is null for other views.
  StartScripts(WebKitUserContentManager* own, const StartScripts* opener);
  ~StartScripts();
  StartScripts(const StartScripts&) = delete;
  StartScripts& operator=(const StartScripts&) = delete;

  // Takes the group's turn for a load start of this view. False: another view of the group
  // has a one-shot waiting for its document; `resume` runs (from a posted task) once it is
  // this view's turn, at the latest after about a second.
  bool TakeTurn(std::function<void()> resume);

  // While a load start is reported, main-frame scripts are collected here instead of run: for
  // the life of this scope.
  class Collecting {
   public:
    explicit Collecting(StartScripts* scripts);
    ~Collecting();
    Collecting(const Collecting&) = delete;
    Collecting& operator=(const Collecting&) = delete;

   private:
    StartScripts* const scripts_;
  };
  // True: a load start is being reported and the script was collected for its document.
  bool Collect(const std::string& code, const std::string& script_url);
  // Replaces the one-shot with what was collected, for the document
  // of `uri`. The caller lets the navigation go on afterwards: the update and the decision
  // then reach the web process that will hold the new document in this order.
  void InstallFor(const std::string& uri);
  // Hands back what was collected, to be run the ordinary way (a document that already
  // exists).
  std::vector<std::pair<std::string, std::string>> TakeCollected();

  // The one-shot will not be wanted any more (a document made without a response decision,
  // or the view goes): remove it and let the next view of the group have its turn.
  void Clear();
  // A load of `uri` failed: a load cancelled by a newer one reports its failure after the
  // newer one installed its own scripts, which stay.
  void ClearIfFor(const std::string& uri);
  // The main frame's document was parsed to its end: the one-shot has run there, or never
  // will. (The report of an older document comes before the decision of a newer one: both
  // come from the web process of that document, in this order.)
  void DocumentParsed();

  // The script text as installed: a call of the web process's runner with the code and the
  // URL its errors are reported against, both as string literals.
  static std::string WithSourceUrl(const std::string& code, const std::string& script_url);
 private:
  // Puts the scripts into the managers.
  void Install();
  // Takes this view's scripts out of the managers (they may be installed again).
  void Uninstall();
  // It is this view's turn (it waited for it).
  void OnTurn();
  // The holder kept the turn too long: its scripts wait outside the managers for its next.
  void OnExpired();
  // Gives up the turn, or its place in the queue.
  void LeaveTurns();

  ScopedGObject<WebKitUserContentManager> own_;
  std::shared_ptr<Group> group_;
  std::vector<std::pair<std::string, std::string>> scripts_;  // Code, script URL.
  std::string installed_for_;
  std::vector<WebKitUserScript*> installed_;  // In the managers now.
  std::function<void()> resume_;  // A load start that waits for the turn.
  bool collecting_ = false;
  std::vector<std::pair<std::string, std::string>> collected_;  // Code, script URL.
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_LOADS_START_SCRIPTS_H_
