// The application's panels in a page's place and its bar above a page (qvex_panels.h), kept
// per browser. UI thread.
#include <map>
#include <memory>

#include "browser/browser_impl.h"
#include "browser/panels/panel_text.h"
#include "browser/panels/view_place.h"
#include "include/base/cef_logging.h"
#include "include/qvex_panels.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_panels {

namespace {

using qvex_engine::BrowserImpl;
using qvex_engine::PanelText;
using qvex_engine::ViewPlace;

// Runs a button's callback; the callback may take the button's panel away.
void OnClicked(GtkButton*, gpointer data) {
  CEF_REQUIRE_UI_THREAD();
  std::function<void()> callback = *static_cast<std::function<void()>*>(data);
  if (callback) callback();
}

GtkWidget* Button(const char* mnemonic, std::function<void()> callback) {
  GtkWidget* button = gtk_button_new_with_mnemonic(mnemonic);
  g_signal_connect_data(button, "clicked", G_CALLBACK(OnClicked),
                        new std::function<void()>(std::move(callback)),
                        [](gpointer p, GClosure*) { delete static_cast<std::function<void()>*>(p); },
                        GConnectFlags(0));
  return button;
}

GtkWidget* CentredBox() {
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
  gtk_widget_set_valign(box, GTK_ALIGN_CENTER);
  gtk_widget_set_halign(box, GTK_ALIGN_CENTER);
  gtk_widget_set_hexpand(box, TRUE);
  gtk_widget_set_vexpand(box, TRUE);
  return box;
}

// Never destroyed: panels may outlive the statics' order at exit.
std::map<int, std::unique_ptr<ViewPlace>>& Panels() {
  static auto* panels = new std::map<int, std::unique_ptr<ViewPlace>>;
  return *panels;
}

struct Bar {
  GtkWidget* widget;  // Strong reference.
  ~Bar() {
    GtkWidget* parent = gtk_widget_get_parent(widget);
    if (parent && !gtk_widget_in_destruction(parent))
      gtk_container_remove(GTK_CONTAINER(parent), widget);
    gtk_widget_destroy(widget);
    g_object_unref(widget);
  }
};

std::map<int, std::unique_ptr<Bar>>& Bars() {
  static auto* bars = new std::map<int, std::unique_ptr<Bar>>;
  return *bars;
}

GtkWidget* ViewOf(const CefRefPtr<CefBrowser>& browser) {
  return browser ? static_cast<BrowserImpl*>(browser.get())->widget() : nullptr;
}

void Show(const CefRefPtr<CefBrowser>& browser, GtkWidget* panel, GtkWidget* focus) {
  CEF_REQUIRE_UI_THREAD();
  GtkWidget* view = ViewOf(browser);
  if (!view) {
    g_object_ref_sink(panel);
    g_object_unref(panel);
    return;
  }
  // The old panel first: the new one takes the view's place, not the old panel's.
  Panels().erase(browser->GetIdentifier());
  auto place = std::make_unique<ViewPlace>(view, panel, "application panel");
  if (focus) gtk_widget_grab_focus(focus);
  Panels()[browser->GetIdentifier()] = std::move(place);
}

}  // namespace

void ShowStarting(CefRefPtr<CefBrowser> browser, const std::string& name) {
  GtkWidget* box = CentredBox();
  gtk_widget_set_name(box, "qvex-starting-panel");
  gtk_container_add(
      GTK_CONTAINER(box),
      PanelText::Label(PanelText::Escaped("<span size='x-large' weight='bold'>%s</span>", name),
                       false));
  GtkWidget* spinner = gtk_spinner_new();
  gtk_widget_set_size_request(spinner, 32, 32);
  gtk_spinner_start(GTK_SPINNER(spinner));
  gtk_container_add(GTK_CONTAINER(box), spinner);
  gtk_container_add(GTK_CONTAINER(box), PanelText::Label("Starting…", false));
  Show(browser, box, nullptr);
}

void ShowFailure(CefRefPtr<CefBrowser> browser, const std::string& title,
                 const std::string& detail, const std::string& output,
                 std::function<void()> try_again, std::function<void()> quit) {
  GtkWidget* box = CentredBox();
  gtk_widget_set_name(box, "qvex-failure-panel");
  gtk_container_add(
      GTK_CONTAINER(box),
      PanelText::Label(PanelText::Escaped("<span size='large' weight='bold'>%s</span>", title),
                       true));
  if (!detail.empty())
    gtk_container_add(GTK_CONTAINER(box), PanelText::Label(PanelText::Escaped("%s", detail), true));
  if (!output.empty()) {
    GtkWidget* text = gtk_text_view_new();
    gtk_text_view_set_editable(GTK_TEXT_VIEW(text), FALSE);
    gtk_text_view_set_monospace(GTK_TEXT_VIEW(text), TRUE);
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(text), GTK_WRAP_CHAR);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(text)), output.c_str(), -1);
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_widget_set_size_request(scroll, 640, 220);
    gtk_container_add(GTK_CONTAINER(scroll), text);
    gtk_container_add(GTK_CONTAINER(box), scroll);
  }
  GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  gtk_widget_set_halign(buttons, GTK_ALIGN_CENTER);
  GtkWidget* again = Button("_Try Again", std::move(try_again));
  gtk_container_add(GTK_CONTAINER(buttons), again);
  gtk_container_add(GTK_CONTAINER(buttons), Button("_Quit", std::move(quit)));
  gtk_container_add(GTK_CONTAINER(box), buttons);
  Show(browser, box, again);
}

void HidePanel(CefRefPtr<CefBrowser> browser) {
  CEF_REQUIRE_UI_THREAD();
  if (browser) Panels().erase(browser->GetIdentifier());
}

bool PanelShown(CefRefPtr<CefBrowser> browser) {
  return browser && Panels().count(browser->GetIdentifier()) != 0;
}

void ShowBar(CefRefPtr<CefBrowser> browser, const std::string& text,
             const std::string& button_label, std::function<void()> on_click) {
  CEF_REQUIRE_UI_THREAD();
  GtkWidget* view = ViewOf(browser);
  if (!view) return;
  HideBar(browser);
  GtkWidget* parent = gtk_widget_get_parent(view);
  if (!GTK_IS_BOX(parent)) {
    LOG(WARNING) << "application bar: the view is not in a box";
    return;
  }
  GtkWidget* bar = gtk_info_bar_new();
  gtk_widget_set_name(bar, "qvex-app-bar");
  gtk_info_bar_set_message_type(GTK_INFO_BAR(bar), GTK_MESSAGE_WARNING);
  GtkWidget* label = PanelText::Label(PanelText::Escaped("%s", text), true);
  gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_LEFT);
  gtk_container_add(GTK_CONTAINER(gtk_info_bar_get_content_area(GTK_INFO_BAR(bar))), label);
  GtkWidget* button = Button(button_label.c_str(), std::move(on_click));
  gtk_container_add(GTK_CONTAINER(gtk_info_bar_get_action_area(GTK_INFO_BAR(bar))), button);
  auto held = std::make_unique<Bar>();
  held->widget = GTK_WIDGET(g_object_ref_sink(bar));
  gtk_box_pack_start(GTK_BOX(parent), bar, FALSE, FALSE, 0);
  gtk_box_reorder_child(GTK_BOX(parent), bar, 0);
  gtk_widget_show_all(bar);
  gtk_widget_grab_focus(button);
  Bars()[browser->GetIdentifier()] = std::move(held);
}

void HideBar(CefRefPtr<CefBrowser> browser) {
  CEF_REQUIRE_UI_THREAD();
  if (browser) Bars().erase(browser->GetIdentifier());
}

bool BarShown(CefRefPtr<CefBrowser> browser) {
  return browser && Bars().count(browser->GetIdentifier()) != 0;
}

}  // namespace qvex_panels
