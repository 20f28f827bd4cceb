// LoadingEnd: holds a browser's "no longer loading" report (OnLoadingStateChange with
// isLoading false) until it comes where CEF puts it: after the main frame's load end and the
// load ends of its sub-frames. WebKit says the view stopped loading before it says the main
// frame finished, and sub-frame loads are the web process's to report: once the main frame has
// finished, the web process is asked to answer when the page's sub-frames are done (their
// reports travel ahead of its answer). UI thread.
#ifndef QVEX_ENGINE_BROWSER_LOADS_LOADING_END_H_
#define QVEX_ENGINE_BROWSER_LOADS_LOADING_END_H_

#include <gio/gio.h>

namespace qvex_engine {

class BrowserImpl;

class LoadingEnd {
 public:
  // WebKit's is-loading changed to `loading`. A new load first ends a report still held.
  void LoadingChanged(BrowserImpl* browser, bool loading);
  // The main frame's load finished (its load end, or its failure, has been reported).
  void MainFinished(BrowserImpl* browser);
  // The page's web process is gone: what is held is reported now.
  void WebProcessGone(BrowserImpl* browser);

 private:
  void AskWebProcess(BrowserImpl* browser);
  static void OnAnswer(GObject* source, GAsyncResult* result, gpointer data);
  void Report(BrowserImpl* browser, bool loading);

  bool held_ = false;           // isLoading false, not yet reported.
  bool main_finished_ = false;  // Since the last load started.
  unsigned asked_ = 0;          // The question in flight (0: none); questions are numbered.
  unsigned questions_ = 0;
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_LOADS_LOADING_END_H_
