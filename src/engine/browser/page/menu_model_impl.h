// MenuModelImpl: a CefMenuModel over the context menu WebKit prepared. WebKit's own items are
// carried through unchanged; items the application adds become actions of ours. UI thread.
#ifndef QVEX_ENGINE_BROWSER_PAGE_MENU_MODEL_IMPL_H_
#define QVEX_ENGINE_BROWSER_PAGE_MENU_MODEL_IMPL_H_

#include <webkit2/webkit2.h>

#include <functional>
#include <string>
#include <vector>

#include "include/cef_menu_model.h"

namespace qvex_engine {

class MenuModelImpl : public CefMenuModel {
 public:
  // Takes WebKit's items (by reference) from `menu`.
  explicit MenuModelImpl(WebKitContextMenu* menu);
  ~MenuModelImpl() override;

  // Replaces the items of `menu` with the model's. Choosing an item the application added calls
  // `on_command` with its id. False when the model is empty (no menu to show).
  bool ApplyTo(WebKitContextMenu* menu, std::function<void(int)> on_command);

  bool Clear() override;
  size_t GetCount() override { return items_.size(); }
  bool AddSeparator() override;
  bool AddItem(int command_id, const CefString& label) override;
  bool Remove(int command_id) override;
  bool RemoveAt(size_t index) override;
  int GetIndexOf(int command_id) override;
  int GetCommandIdAt(size_t index) override;
  CefString GetLabelAt(size_t index) override;
  cef_menu_item_type_t GetTypeAt(size_t index) override;

  // CEF's id for one of WebKit's stock actions; ids from MENU_ID_USER_LAST up for the rest.
  static int CommandIdOf(WebKitContextMenuAction action, size_t index);

 private:
  struct Item {
    int command_id;
    std::string label;
    cef_menu_item_type_t type;
    WebKitContextMenuItem* webkit_item;  // Owned reference; null for the application's items.
  };

  std::vector<Item> items_;
  IMPLEMENT_REFCOUNTING(MenuModelImpl);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_PAGE_MENU_MODEL_IMPL_H_
