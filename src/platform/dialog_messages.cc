#include "platform/dialog_messages.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/shared_library.h"
#include "platform/status.h"

namespace boleto {
namespace {

// GTK 3 is opened only when the first dialog is due: linked into the program
// it would load nearly seventy shared libraries into every run, also the
// runs that show nothing. Its headers give the entry points their types.
constexpr char kGtkLibrary[] = "libgtk-3.so.0";

struct GtkApi {
  decltype(&gtk_disable_setlocale) disable_setlocale = nullptr;
  decltype(&g_set_prgname) set_prgname = nullptr;
  decltype(&gtk_init_check) init_check = nullptr;
  decltype(&gtk_message_dialog_new) message_dialog_new = nullptr;
  decltype(&gtk_message_dialog_get_message_area) message_dialog_get_message_area = nullptr;
  decltype(&gtk_widget_get_parent) widget_get_parent = nullptr;
  decltype(&gtk_image_new_from_icon_name) image_new_from_icon_name = nullptr;
  decltype(&gtk_widget_set_valign) widget_set_valign = nullptr;
  decltype(&gtk_box_pack_start) box_pack_start = nullptr;
  decltype(&gtk_box_reorder_child) box_reorder_child = nullptr;
  decltype(&gtk_widget_show) widget_show = nullptr;
  decltype(&gtk_window_set_title) window_set_title = nullptr;
  decltype(&gtk_window_set_position) window_set_position = nullptr;
  decltype(&gtk_window_set_keep_above) window_set_keep_above = nullptr;
  decltype(&gtk_dialog_run) dialog_run = nullptr;
  decltype(&gtk_widget_hide) widget_hide = nullptr;
  decltype(&gtk_events_pending) events_pending = nullptr;
  decltype(&gtk_main_iteration) main_iteration = nullptr;
  decltype(&g_utf8_make_valid) utf8_make_valid = nullptr;
  decltype(&g_free) free = nullptr;
};

// The toolkit with its display open, or why there is none.
struct Toolkit {
  GtkApi api;
  std::string unavailable;  // empty when dialogs can be shown
};

bool DisplaySet() {
  for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

Toolkit OpenToolkit() {
  Toolkit toolkit;
  if (!DisplaySet()) {
    toolkit.unavailable = "neither WAYLAND_DISPLAY nor DISPLAY is set";
    return toolkit;
  }
  SharedLibrary library(kGtkLibrary);
  if (!library.opened()) {
    toolkit.unavailable = library.why();
    return toolkit;
  }
  GtkApi& api = toolkit.api;
  library.Bind(api.disable_setlocale, "gtk_disable_setlocale");
  library.Bind(api.set_prgname, "g_set_prgname");
  library.Bind(api.init_check, "gtk_init_check");
  library.Bind(api.message_dialog_new, "gtk_message_dialog_new");
  library.Bind(api.message_dialog_get_message_area, "gtk_message_dialog_get_message_area");
  library.Bind(api.widget_get_parent, "gtk_widget_get_parent");
  library.Bind(api.image_new_from_icon_name, "gtk_image_new_from_icon_name");
  library.Bind(api.widget_set_valign, "gtk_widget_set_valign");
  library.Bind(api.box_pack_start, "gtk_box_pack_start");
  library.Bind(api.box_reorder_child, "gtk_box_reorder_child");
  library.Bind(api.widget_show, "gtk_widget_show");
  library.Bind(api.window_set_title, "gtk_window_set_title");
  library.Bind(api.window_set_position, "gtk_window_set_position");
  library.Bind(api.window_set_keep_above, "gtk_window_set_keep_above");
  library.Bind(api.dialog_run, "gtk_dialog_run");
  library.Bind(api.widget_hide, "gtk_widget_hide");
  library.Bind(api.events_pending, "gtk_events_pending");
  library.Bind(api.main_iteration, "gtk_main_iteration");
  library.Bind(api.utf8_make_valid, "g_utf8_make_valid");
  library.Bind(api.free, "g_free");
  if (!library.complete()) {
    toolkit.unavailable = std::string(kGtkLibrary) + " lacks a needed function";
    return toolkit;
  }
  // Numbers and dates are formatted by the program's own functions with
  // their fixed conventions; the toolkit must not switch the C library's
  // locale under them.
  api.disable_setlocale();
  api.set_prgname(kProgramName);
  if (!api.init_check(nullptr, nullptr)) toolkit.unavailable = "the display cannot be opened";
  return toolkit;
}

// Opened once per process, when the first dialog is due.
const Toolkit& OpenedToolkit() {
  static const Toolkit toolkit = OpenToolkit();
  return toolkit;
}

// A modal dialog with `text`; returns once it is closed and gone from the
// screen.
void ShowDialog(const GtkApi& api, const std::string& text, MessageIcon icon) {
  std::string lines = MessageLines(text);
  lines.pop_back();  // the line feed that ends the last line
  // A text read from the database may hold bytes that are not UTF-8, which
  // the toolkit would refuse to show.
  gchar* shown = api.utf8_make_valid(lines.c_str(), -1);
  GtkWidget* dialog = api.message_dialog_new(
      nullptr, GTK_DIALOG_MODAL,
      icon == MessageIcon::kExclamation ? GTK_MESSAGE_WARNING : GTK_MESSAGE_OTHER, GTK_BUTTONS_OK,
      "%s", shown);
  api.free(shown);
  // The toolkit's cast macros would call into its type system, which is not
  // linked; a message dialog is a dialog and a window by its C layout.
  auto* message_dialog = reinterpret_cast<GtkMessageDialog*>(dialog);
  auto* window = reinterpret_cast<GtkWindow*>(dialog);
  if (icon == MessageIcon::kExclamation) {
    // GTK 3 message dialogs show no icon of their own since 3.12: the
    // warning icon goes before the text, in the box that holds it.
    auto* text_box = reinterpret_cast<GtkBox*>(
        api.widget_get_parent(api.message_dialog_get_message_area(message_dialog)));
    GtkWidget* image = api.image_new_from_icon_name("dialog-warning", GTK_ICON_SIZE_DIALOG);
    api.widget_set_valign(image, GTK_ALIGN_START);
    api.box_pack_start(text_box, image, FALSE, FALSE, 0);
    api.box_reorder_child(text_box, image, 0);
    api.widget_show(image);
  }
  api.window_set_title(window, kProgramName);
  api.window_set_position(window, GTK_WIN_POS_CENTER);
  // The program was started by another application's window, which would
  // otherwise cover the dialog the run waits on.
  api.window_set_keep_above(window, TRUE);
  api.dialog_run(reinterpret_cast<GtkDialog*>(dialog));
  // Hidden, not destroyed: destroying a dialog with an icon that an
  // accessibility client (a screen reader) has read makes GTK 3.24's
  // accessibility bridge write criticals to standard error, among the
  // messages. The few dialogs of a run last until the process ends.
  api.widget_hide(dialog);
  while (api.events_pending()) api.main_iteration();
}

}  // namespace

std::optional<MessagesMode> ParseMessagesMode(std::string_view text) {
  if (text == "auto") return MessagesMode::kAuto;
  if (text == "dialog") return MessagesMode::kDialog;
  if (text == "console") return MessagesMode::kConsole;
  return std::nullopt;
}

void DialogMessages::Show(const std::string& text, MessageIcon icon) {
  const Toolkit& toolkit = OpenedToolkit();
  if (!toolkit.unavailable.empty() && announce_fallback_) {
    std::fprintf(stderr, "%s: no dialogs (%s); messages go to standard error only\n", kProgramName,
                 toolkit.unavailable.c_str());
    announce_fallback_ = false;
  }
  console_.Show(text, icon);
  if (toolkit.unavailable.empty()) ShowDialog(toolkit.api, text, icon);
}

std::unique_ptr<Messages> MakeMessages(MessagesMode mode) {
  switch (mode) {
    case MessagesMode::kConsole:
      break;
    case MessagesMode::kDialog:
      return std::make_unique<DialogMessages>(true);
    case MessagesMode::kAuto:
      if (DisplaySet() && !isatty(STDERR_FILENO)) return std::make_unique<DialogMessages>(false);
      break;
  }
  return std::make_unique<ConsoleMessages>();
}

}  // namespace boleto
