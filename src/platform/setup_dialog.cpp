#include "platform/setup_dialog.h"

#include <cstdio>
#include <string>

#include "platform/gtk_session.h"
#include "platform/video.h"

namespace {

// "&Runit" -> "_Runit": GTK marks mnemonics with an underscore.
std::string mnemonic(const char* text) {
  std::string out(text);
  for (char& c : out)
    if (c == '&') c = '_';
  return out;
}

GtkWidget* comboWith(const std::vector<std::string>& entries, int selected) {
  GtkWidget* combo = gtk_combo_box_text_new();
  for (const std::string& entry : entries)
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), entry.c_str());
  gtk_combo_box_set_active(GTK_COMBO_BOX(combo), selected);
  return combo;
}

GtkWidget* checkWith(const char* text, bool checked) {
  GtkWidget* check = gtk_check_button_new_with_mnemonic(mnemonic(text).c_str());
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), checked);
  return check;
}

GtkWidget* buttonAnswering(GtkWidget* dialog, const char* text, int response) {
  GtkWidget* button = gtk_button_new_with_mnemonic(mnemonic(text).c_str());
  g_object_set_data(G_OBJECT(button), "response", GINT_TO_POINTER(response));
  g_signal_connect(button, "clicked", G_CALLBACK(+[](GtkButton* b, gpointer d) {
                     gtk_dialog_response(GTK_DIALOG(d),
                                         GPOINTER_TO_INT(g_object_get_data(G_OBJECT(b), "response")));
                   }),
                   dialog);
  return button;
}

}  // namespace

int runSetupDialog(VideoSettings& settings, ModeQuery query, const std::vector<DisplayMode>& modes) {
  SetupDialogModel model(settings);
  model.open(query, modes);
  if (!gtkSessionOpen()) {
    std::fprintf(stderr, "tinlantern: no display for the set-up dialog; starting with its defaults\n");
    return SetupDialogModel::kRun;
  }

  GtkWidget* dialog = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(dialog), SetupDialogModel::kCaption);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);

  GtkWidget* resolution = comboWith(model.resolutions(), model.resolutionIndex());
  GtkWidget* antialiasing = comboWith(model.antialiasing(), model.antialiasingIndex());
  GtkWidget* fullscreen = checkWith(SetupDialogModel::kFullscreenText, model.fullscreenChecked());
  GtkWidget* vsync = checkWith(SetupDialogModel::kVsyncText, model.vsyncChecked());
  GtkWidget* run = buttonAnswering(dialog, SetupDialogModel::kRunText, SetupDialogModel::kRun);
  GtkWidget* cancel = buttonAnswering(dialog, SetupDialogModel::kCancelText, SetupDialogModel::kCancel);

  // The same arrangement as the classic template: labels and buttons on the
  // left, lists and check boxes on the right.
  GtkWidget* grid = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
  gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
  gtk_container_set_border_width(GTK_CONTAINER(grid), 10);
  GtkWidget* resolutionLabel = gtk_label_new(SetupDialogModel::kResolutionLabel);
  GtkWidget* antialiasingLabel = gtk_label_new(SetupDialogModel::kAntialiasingLabel);
  gtk_label_set_xalign(GTK_LABEL(resolutionLabel), 0.0f);
  gtk_label_set_xalign(GTK_LABEL(antialiasingLabel), 0.0f);
  gtk_grid_attach(GTK_GRID(grid), resolutionLabel, 0, 0, 2, 1);
  gtk_grid_attach(GTK_GRID(grid), resolution, 2, 0, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), antialiasingLabel, 0, 1, 2, 1);
  gtk_grid_attach(GTK_GRID(grid), antialiasing, 2, 1, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), run, 0, 2, 1, 2);
  gtk_grid_attach(GTK_GRID(grid), cancel, 1, 2, 1, 2);
  gtk_grid_attach(GTK_GRID(grid), fullscreen, 2, 2, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), vsync, 2, 3, 1, 1);
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), grid);

  gtk_widget_set_can_default(run, TRUE);
  gtk_window_set_default(GTK_WINDOW(dialog), run);

  // Connected after the initial state is set, so only the user's changes arrive.
  g_signal_connect(resolution, "changed", G_CALLBACK(+[](GtkComboBox* c, gpointer m) {
                     static_cast<SetupDialogModel*>(m)->confirmResolution(gtk_combo_box_get_active(c));
                   }),
                   &model);
  g_signal_connect(antialiasing, "changed", G_CALLBACK(+[](GtkComboBox* c, gpointer m) {
                     static_cast<SetupDialogModel*>(m)->confirmAntialiasing(gtk_combo_box_get_active(c));
                   }),
                   &model);
  g_signal_connect(fullscreen, "toggled", G_CALLBACK(+[](GtkToggleButton* t, gpointer m) {
                     static_cast<SetupDialogModel*>(m)->setFullscreen(gtk_toggle_button_get_active(t));
                   }),
                   &model);
  g_signal_connect(vsync, "toggled", G_CALLBACK(+[](GtkToggleButton* t, gpointer m) {
                     static_cast<SetupDialogModel*>(m)->setVsync(gtk_toggle_button_get_active(t));
                   }),
                   &model);

  // The video layer turns an interrupt or terminate signal into a quit
  // request; while the dialog runs, that request closes it like "&Nah".
  guint watch = g_timeout_add(100, +[](gpointer d) -> gboolean {
    if (quitSignalled()) gtk_dialog_response(GTK_DIALOG(d), SetupDialogModel::kCancel);
    return G_SOURCE_CONTINUE;
  }, dialog);

  gtk_widget_show_all(dialog);
  gtk_widget_grab_focus(run);
  int response = gtk_dialog_run(GTK_DIALOG(dialog));
  g_source_remove(watch);
  gtk_widget_destroy(dialog);
  gtkSessionFlush();
  return response == SetupDialogModel::kRun ? SetupDialogModel::kRun : SetupDialogModel::kCancel;
}
