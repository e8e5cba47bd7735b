#include "platform/messagebox.h"

#include "platform/linux/gtk_session.h"
#include "platform/video.h"

namespace {
bool boxesEnabled = true;
}

void setMessageBoxesEnabled(bool enabled) { boxesEnabled = enabled; }

bool messageBoxesAvailable() { return boxesEnabled && gtkSessionOpen() != nullptr; }

bool showMessageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                    BoxIcon icon) {
  if (!messageBoxesAvailable()) return true;

  const GtkApi& gtk = *gtkSessionOpen();
  bool windowWasShown = hideVideoWindow();
  GtkObject* box = gtk.gtk_message_dialog_new(
      nullptr, GtkValue::kDialogModal,
      icon == BoxIcon::Error ? GtkValue::kMessageError : GtkValue::kMessageQuestion,
      buttons == BoxButtons::Ok ? GtkValue::kButtonsOk : GtkValue::kButtonsOkCancel, "%s", text.c_str());
  gtk.gtk_window_set_title(box, caption.c_str());
  gtk.gtk_window_set_keep_above(box, 1);
  int answer = gtk.gtk_dialog_run(box);
  gtk.gtk_widget_destroy(box);
  gtkSessionFlush();
  if (windowWasShown) showVideoWindow();
  return answer == GtkValue::kResponseOk;
}
