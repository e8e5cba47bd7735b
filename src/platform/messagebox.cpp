#include "platform/messagebox.h"

#include "platform/gtk_session.h"
#include "platform/video.h"

namespace {
bool boxesEnabled = true;
}

void setMessageBoxesEnabled(bool enabled) { boxesEnabled = enabled; }

bool messageBoxesAvailable() { return boxesEnabled && gtkSessionOpen(); }

bool showMessageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                    BoxIcon icon) {
  if (!messageBoxesAvailable()) return true;

  bool windowWasShown = hideVideoWindow();
  GtkWidget* box = gtk_message_dialog_new(
      nullptr, GTK_DIALOG_MODAL, icon == BoxIcon::Error ? GTK_MESSAGE_ERROR : GTK_MESSAGE_QUESTION,
      buttons == BoxButtons::Ok ? GTK_BUTTONS_OK : GTK_BUTTONS_OK_CANCEL, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
  gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
  gint answer = gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  gtkSessionFlush();
  if (windowWasShown) showVideoWindow();
  return answer == GTK_RESPONSE_OK;
}
