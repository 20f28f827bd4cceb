// FrameTree: a browser's frames in the UI process.
#include "browser/frame_tree.h"

#include "browser/browser_impl.h"

namespace qvex_engine {

FrameTree::FrameTree(BrowserImpl* browser, int64_t main_id)
    : browser_(browser), main_(new FrameImpl(browser, main_id, true)) {}

CefRefPtr<FrameImpl> FrameTree::Find(int64_t id) const {
  if (id == main_->GetIdentifier()) return main_->IsValid() ? main_ : nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = subframes_.find(id);
  return it == subframes_.end() ? nullptr : it->second;
}

CefRefPtr<FrameImpl> FrameTree::FindByName(const std::string& name) const {
  if (main_->GetName().ToString() == name) return main_->IsValid() ? main_ : nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& entry : subframes_) {
    if (entry.second->GetName().ToString() == name) return entry.second;
  }
  return nullptr;
}

CefRefPtr<FrameImpl> FrameTree::ForMessage(int64_t id) const {
  if (id == 0 || id == main_->GetIdentifier()) return main_;
  CefRefPtr<FrameImpl> frame = Find(id);
  if (frame) return frame;
  CefRefPtr<FrameImpl> gone = new FrameImpl(browser_, id, false);
  gone->Detach();
  return gone;
}

CefRefPtr<FrameImpl> FrameTree::Committed(int64_t id, int64_t parent_id, const std::string& name,
                                          const std::string& url) {
  if (id == 0 || id == main_->GetIdentifier()) return nullptr;
  CefRefPtr<FrameImpl> frame;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    CefRefPtr<FrameImpl>& slot = subframes_[id];
    if (!slot) slot = new FrameImpl(browser_, id, false);
    frame = slot;
  }
  frame->SetParentId(parent_id == 0 ? main_->GetIdentifier() : parent_id);
  frame->SetName(name);
  frame->SetURL(url);
  return frame;
}

void FrameTree::Remove(int64_t id) {
  CefRefPtr<FrameImpl> frame;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = subframes_.find(id);
    if (it == subframes_.end()) return;
    frame = it->second;
    subframes_.erase(it);
  }
  frame->Detach();
}

void FrameTree::RemoveSubframes() {
  std::map<int64_t, CefRefPtr<FrameImpl>> gone;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    gone.swap(subframes_);
  }
  for (auto& entry : gone) entry.second->Detach();
}

void FrameTree::DetachAll() {
  RemoveSubframes();
  main_->Detach();
}

size_t FrameTree::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return (main_->IsValid() ? 1 : 0) + subframes_.size();
}

std::vector<int64_t> FrameTree::Identifiers() const {
  std::vector<int64_t> ids;
  if (main_->IsValid()) ids.push_back(main_->GetIdentifier());
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& entry : subframes_) ids.push_back(entry.first);
  return ids;
}

std::vector<CefString> FrameTree::Names() const {
  std::vector<CefString> names;
  if (main_->IsValid()) names.push_back(main_->GetName());
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& entry : subframes_) names.push_back(entry.second->GetName());
  return names;
}

}  // namespace qvex_engine
