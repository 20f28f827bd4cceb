// FrameTree: the frames of one UI-process browser: its main frame and the sub-frames that the
// web process reported, by identifier. Changed on the UI thread; read from any thread.
#ifndef QVEX_ENGINE_BROWSER_FRAME_TREE_H_
#define QVEX_ENGINE_BROWSER_FRAME_TREE_H_

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "browser/frame_impl.h"

namespace qvex_engine {

class FrameTree {
 public:
  FrameTree(BrowserImpl* browser, int64_t main_id);

  FrameImpl* main() const { return main_.get(); }
  // The frame with that identifier, main or sub, while it is there; else null.
  CefRefPtr<FrameImpl> Find(int64_t id) const;
  // The first frame (main first, then sub-frames as they came) with that name, or null.
  CefRefPtr<FrameImpl> FindByName(const std::string& name) const;
  // The frame a message from the web process is from or about: 0 or the main frame's
  // identifier is the main frame; a sub-frame that is not known (any more) gets a frame object
  // that is not valid, so that nothing is sent to it.
  CefRefPtr<FrameImpl> ForMessage(int64_t id) const;

  // UI thread. A sub-frame reported a new document; the frame is made at its first report.
  CefRefPtr<FrameImpl> Committed(int64_t id, int64_t parent_id, const std::string& name,
                                 const std::string& url);
  // UI thread. The sub-frame left its page.
  void Remove(int64_t id);
  // UI thread. The main frame has a new document (or a new web process): the sub-frames of the
  // old one are gone.
  void RemoveSubframes();
  // UI thread. The browser is going away.
  void DetachAll();

  size_t Count() const;
  std::vector<int64_t> Identifiers() const;
  std::vector<CefString> Names() const;

 private:
  BrowserImpl* const browser_;
  const CefRefPtr<FrameImpl> main_;
  mutable std::mutex mutex_;
  std::map<int64_t, CefRefPtr<FrameImpl>> subframes_;  // Identifiers grow as frames come.
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_FRAME_TREE_H_
