#pragma once
// GTK 3 is not linked: it is opened at run time, once, by whichever window of
// ours needs it first (the set-up dialog or a message box). Where it is not
// installed, or there is no display, those windows are not shown and the
// show goes on without them.
//
// The few GTK and GLib calls the windows make are reached through GtkApi,
// under their C names, with GTK's types reduced to what crosses the call:
// every widget, window and object is a GtkObject pointer.

using GtkObject = void;
using GtkCallback = void (*)();
using GtkSourceFunc = int (*)(void*);

// The values of GTK's enumerations that the windows pass.
namespace GtkValue {
constexpr int kDialogModal = 1;         // GTK_DIALOG_MODAL
constexpr int kMessageQuestion = 2;     // GTK_MESSAGE_QUESTION
constexpr int kMessageError = 3;        // GTK_MESSAGE_ERROR
constexpr int kButtonsOk = 1;           // GTK_BUTTONS_OK
constexpr int kButtonsOkCancel = 5;     // GTK_BUTTONS_OK_CANCEL
constexpr int kResponseOk = -5;         // GTK_RESPONSE_OK
constexpr int kWindowPositionCenter = 1;  // GTK_WIN_POS_CENTER
constexpr int kSourceContinue = 1;      // G_SOURCE_CONTINUE
}  // namespace GtkValue

#define TL_GTK_FUNCTIONS(X)                                                                   \
  X(int, gtk_init_check, (int*, char***))                                                     \
  X(int, gtk_events_pending, ())                                                              \
  X(int, gtk_main_iteration, ())                                                              \
  X(GtkObject*, gtk_message_dialog_new, (GtkObject*, int, int, int, const char*, ...))        \
  X(GtkObject*, gtk_dialog_new, ())                                                           \
  X(int, gtk_dialog_run, (GtkObject*))                                                        \
  X(void, gtk_dialog_response, (GtkObject*, int))                                             \
  X(GtkObject*, gtk_dialog_get_content_area, (GtkObject*))                                    \
  X(void, gtk_window_set_title, (GtkObject*, const char*))                                    \
  X(void, gtk_window_set_keep_above, (GtkObject*, int))                                       \
  X(void, gtk_window_set_modal, (GtkObject*, int))                                            \
  X(void, gtk_window_set_resizable, (GtkObject*, int))                                        \
  X(void, gtk_window_set_position, (GtkObject*, int))                                         \
  X(void, gtk_window_set_default, (GtkObject*, GtkObject*))                                   \
  X(void, gtk_widget_destroy, (GtkObject*))                                                   \
  X(void, gtk_widget_show_all, (GtkObject*))                                                  \
  X(void, gtk_widget_grab_focus, (GtkObject*))                                                \
  X(void, gtk_widget_set_can_default, (GtkObject*, int))                                      \
  X(GtkObject*, gtk_combo_box_text_new, ())                                                   \
  X(void, gtk_combo_box_text_append_text, (GtkObject*, const char*))                          \
  X(void, gtk_combo_box_set_active, (GtkObject*, int))                                        \
  X(int, gtk_combo_box_get_active, (GtkObject*))                                              \
  X(GtkObject*, gtk_check_button_new_with_mnemonic, (const char*))                            \
  X(GtkObject*, gtk_button_new_with_mnemonic, (const char*))                                  \
  X(void, gtk_toggle_button_set_active, (GtkObject*, int))                                    \
  X(int, gtk_toggle_button_get_active, (GtkObject*))                                          \
  X(GtkObject*, gtk_label_new, (const char*))                                                 \
  X(void, gtk_label_set_xalign, (GtkObject*, float))                                          \
  X(GtkObject*, gtk_grid_new, ())                                                             \
  X(void, gtk_grid_set_row_spacing, (GtkObject*, unsigned))                                   \
  X(void, gtk_grid_set_column_spacing, (GtkObject*, unsigned))                                \
  X(void, gtk_grid_attach, (GtkObject*, GtkObject*, int, int, int, int))                      \
  X(void, gtk_container_set_border_width, (GtkObject*, unsigned))                             \
  X(void, gtk_container_add, (GtkObject*, GtkObject*))                                        \
  X(void, g_object_set_data, (GtkObject*, const char*, void*))                                \
  X(void*, g_object_get_data, (GtkObject*, const char*))                                      \
  X(unsigned long, g_signal_connect_data,                                                     \
    (GtkObject*, const char*, GtkCallback, void*, void (*)(void*, void*), int))               \
  X(unsigned, g_timeout_add, (unsigned, GtkSourceFunc, void*))                                \
  X(int, g_source_remove, (unsigned))

struct GtkApi {
#define TL_GTK_DECLARE(ret, name, args) ret(*name) args = nullptr;
  TL_GTK_FUNCTIONS(TL_GTK_DECLARE)
#undef TL_GTK_DECLARE
};

// Opens GTK on the current display the first time; the API when it is open,
// null when GTK is not installed (said once on standard error) or there is
// no display to open.
const GtkApi* gtkSessionOpen();

// Connects `handler` (a function of the signal's own signature) to `signal`.
template <typename Handler>
void gtkConnect(const GtkApi& gtk, GtkObject* instance, const char* signal, Handler handler,
                void* data) {
  gtk.g_signal_connect_data(instance, signal, reinterpret_cast<GtkCallback>(handler), data, nullptr, 0);
}

// Handles pending GTK events, so that a closed dialog really leaves the screen.
void gtkSessionFlush();
