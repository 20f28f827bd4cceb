// MenuModelImpl: WebKit's context menu as a CefMenuModel.
#include "browser/page/menu_model_impl.h"

#include <memory>

namespace qvex_engine {

namespace {

std::string LabelOf(WebKitContextMenuItem* item) {
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GtkAction* action = webkit_context_menu_item_get_action(item);
  const gchar* label = action ? gtk_action_get_label(action) : nullptr;
  G_GNUC_END_IGNORE_DEPRECATIONS
  return label ? label : "";
}

}  // namespace

int MenuModelImpl::CommandIdOf(WebKitContextMenuAction action, size_t index) {
  switch (action) {
    case WEBKIT_CONTEXT_MENU_ACTION_GO_BACK: return MENU_ID_BACK;
    case WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD: return MENU_ID_FORWARD;
    case WEBKIT_CONTEXT_MENU_ACTION_RELOAD: return MENU_ID_RELOAD;
    case WEBKIT_CONTEXT_MENU_ACTION_STOP: return MENU_ID_STOPLOAD;
    case WEBKIT_CONTEXT_MENU_ACTION_CUT: return MENU_ID_CUT;
    case WEBKIT_CONTEXT_MENU_ACTION_COPY: return MENU_ID_COPY;
    case WEBKIT_CONTEXT_MENU_ACTION_PASTE: return MENU_ID_PASTE;
    case WEBKIT_CONTEXT_MENU_ACTION_DELETE: return MENU_ID_DELETE;
    case WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL: return MENU_ID_SELECT_ALL;
    default: return MENU_ID_USER_LAST + 1 + static_cast<int>(index);
  }
}

MenuModelImpl::MenuModelImpl(WebKitContextMenu* menu) {
  size_t index = 0;
  for (GList* l = webkit_context_menu_get_items(menu); l; l = l->next, ++index) {
    auto* item = WEBKIT_CONTEXT_MENU_ITEM(l->data);
    bool separator = webkit_context_menu_item_is_separator(item);
    items_.push_back({separator ? -1 : CommandIdOf(webkit_context_menu_item_get_stock_action(item), index),
                      separator ? "" : LabelOf(item),
                      separator ? MENUITEMTYPE_SEPARATOR : MENUITEMTYPE_COMMAND,
                      WEBKIT_CONTEXT_MENU_ITEM(g_object_ref(item))});
  }
}

MenuModelImpl::~MenuModelImpl() { Clear(); }

bool MenuModelImpl::Clear() {
  for (Item& item : items_)
    if (item.webkit_item) g_object_unref(item.webkit_item);
  items_.clear();
  return true;
}

bool MenuModelImpl::AddSeparator() {
  items_.push_back({-1, "", MENUITEMTYPE_SEPARATOR, nullptr});
  return true;
}

bool MenuModelImpl::AddItem(int command_id, const CefString& label) {
  items_.push_back({command_id, label.ToString(), MENUITEMTYPE_COMMAND, nullptr});
  return true;
}

bool MenuModelImpl::Remove(int command_id) {
  int index = GetIndexOf(command_id);
  return index >= 0 && RemoveAt(static_cast<size_t>(index));
}

bool MenuModelImpl::RemoveAt(size_t index) {
  if (index >= items_.size()) return false;
  if (items_[index].webkit_item) g_object_unref(items_[index].webkit_item);
  items_.erase(items_.begin() + static_cast<long>(index));
  return true;
}

int MenuModelImpl::GetIndexOf(int command_id) {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].type != MENUITEMTYPE_SEPARATOR && items_[i].command_id == command_id)
      return static_cast<int>(i);
  return -1;
}

int MenuModelImpl::GetCommandIdAt(size_t index) {
  return index < items_.size() ? items_[index].command_id : -1;
}

CefString MenuModelImpl::GetLabelAt(size_t index) {
  return index < items_.size() ? CefString(items_[index].label) : CefString();
}

cef_menu_item_type_t MenuModelImpl::GetTypeAt(size_t index) {
  return index < items_.size() ? items_[index].type : MENUITEMTYPE_NONE;
}

bool MenuModelImpl::ApplyTo(WebKitContextMenu* menu, std::function<void(int)> on_command) {
  webkit_context_menu_remove_all(menu);
  auto shared = std::make_shared<std::function<void(int)>>(std::move(on_command));
  for (Item& item : items_) {
    if (item.webkit_item) {
      webkit_context_menu_append(menu, item.webkit_item);
      continue;
    }
    if (item.type == MENUITEMTYPE_SEPARATOR) {
      webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
      continue;
    }
    std::string name = "qvex-command-" + std::to_string(item.command_id);
    GSimpleAction* action = g_simple_action_new(name.c_str(), nullptr);
    auto* data = new std::pair<std::shared_ptr<std::function<void(int)>>, int>(shared,
                                                                                item.command_id);
    g_signal_connect_data(
        action, "activate",
        G_CALLBACK(+[](GSimpleAction*, GVariant*,
                       std::pair<std::shared_ptr<std::function<void(int)>>, int>* d) {
          (*d->first)(d->second);
        }),
        data,
        [](gpointer p, GClosure*) {
          delete static_cast<std::pair<std::shared_ptr<std::function<void(int)>>, int>*>(p);
        },
        GConnectFlags(0));
    webkit_context_menu_append(
        menu, webkit_context_menu_item_new_from_gaction(G_ACTION(action), item.label.c_str(),
                                                        nullptr));
    g_object_unref(action);
  }
  return !items_.empty();
}

}  // namespace qvex_engine
