// CefMenuModel: the items of a context menu being built; carries the menu WebKit prepared, so
// items the application adds come after WebKit's own. UI thread.
#ifndef CEF_INCLUDE_CEF_MENU_MODEL_H_
#define CEF_INCLUDE_CEF_MENU_MODEL_H_

#include "include/cef_base.h"

class CefMenuModel : public virtual CefBaseRefCounted {
 public:
  virtual bool Clear() = 0;
  virtual size_t GetCount() = 0;
  virtual bool AddSeparator() = 0;
  virtual bool AddItem(int command_id, const CefString& label) = 0;
  virtual bool Remove(int command_id) = 0;
  virtual bool RemoveAt(size_t index) = 0;
  virtual int GetIndexOf(int command_id) = 0;
  virtual int GetCommandIdAt(size_t index) = 0;
  virtual CefString GetLabelAt(size_t index) = 0;
  virtual cef_menu_item_type_t GetTypeAt(size_t index) = 0;
};

#endif  // CEF_INCLUDE_CEF_MENU_MODEL_H_
