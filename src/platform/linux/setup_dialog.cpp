#include "platform/setup_dialog.h"

#include <cstdio>
#include <string>

#include "platform/linux/gtk_session.h"
#include "platform/video.h"

namespace {

// "&Runit" -> "_Runit": GTK marks mnemonics with an underscore.
std::string mnemonic(const char* text) {
  std::string out(text);
  for (char& c : out)
    if (c == '&') c = '_';
  return out;
}

GtkObject* comboWith(const GtkApi& gtk, const std::vector<std::string>& entries, int selected) {
  GtkObject* combo = gtk.gtk_combo_box_text_new();
  for (const std::string& entry : entries) gtk.gtk_combo_box_text_append_text(combo, entry.c_str());
  gtk.gtk_combo_box_set_active(combo, selected);
  return combo;
}

GtkObject* checkWith(const GtkApi& gtk, const char* text, bool checked) {
  GtkObject* check = gtk.gtk_check_button_new_with_mnemonic(mnemonic(text).c_str());
  gtk.gtk_toggle_button_set_active(check, checked);
  return check;
}

// What a button's "clicked" handler needs: the dialog to answer, the answer.
struct ButtonAnswer {
  const GtkApi* gtk;
  GtkObject* dialog;
  int response;
};

GtkObject* buttonAnswering(const GtkApi& gtk, ButtonAnswer& answer, const char* text) {
  GtkObject* button = gtk.gtk_button_new_with_mnemonic(mnemonic(text).c_str());
  gtkConnect(gtk, button, "clicked", +[](GtkObject*, void* d) {
    auto* a = static_cast<ButtonAnswer*>(d);
    a->gtk->gtk_dialog_response(a->dialog, a->response);
  }, &answer);
  return button;
}

// What the handlers of the lists and check boxes need.
struct ModelLink {
  const GtkApi* gtk;
  SetupDialogModel* model;
};

}  // namespace

int runSetupDialog(VideoSettings& settings, ModeQuery query, const std::vector<DisplayMode>& modes) {
  SetupDialogModel model(settings);
  model.open(query, modes);
  const GtkApi* api = gtkSessionOpen();
  if (!api) {
    std::fprintf(stderr,
                 "tinlantern: no set-up dialog (no GTK 3 or no display); starting with its defaults: "
                 "%s at %ix%i, %ix anti-aliasing, vertical sync %s\n",
                 settings.fullscreen() ? "full screen" : "a window", settings.width, settings.height,
                 settings.samples, settings.vsync ? "on" : "off");
    return SetupDialogModel::kRun;
  }
  const GtkApi& gtk = *api;

  GtkObject* dialog = gtk.gtk_dialog_new();
  gtk.gtk_window_set_title(dialog, SetupDialogModel::kCaption);
  gtk.gtk_window_set_modal(dialog, 1);
  gtk.gtk_window_set_resizable(dialog, 0);
  gtk.gtk_window_set_position(dialog, GtkValue::kWindowPositionCenter);

  ButtonAnswer runAnswer{&gtk, dialog, SetupDialogModel::kRun};
  ButtonAnswer cancelAnswer{&gtk, dialog, SetupDialogModel::kCancel};
  GtkObject* resolution = comboWith(gtk, model.resolutions(), model.resolutionIndex());
  GtkObject* antialiasing = comboWith(gtk, model.antialiasing(), model.antialiasingIndex());
  GtkObject* fullscreen = checkWith(gtk, SetupDialogModel::kFullscreenText, model.fullscreenChecked());
  GtkObject* vsync = checkWith(gtk, SetupDialogModel::kVsyncText, model.vsyncChecked());
  GtkObject* run = buttonAnswering(gtk, runAnswer, SetupDialogModel::kRunText);
  GtkObject* cancel = buttonAnswering(gtk, cancelAnswer, SetupDialogModel::kCancelText);

  // The same arrangement as the classic template: labels and buttons on the
  // left, lists and check boxes on the right.
  GtkObject* grid = gtk.gtk_grid_new();
  gtk.gtk_grid_set_row_spacing(grid, 6);
  gtk.gtk_grid_set_column_spacing(grid, 8);
  gtk.gtk_container_set_border_width(grid, 10);
  GtkObject* resolutionLabel = gtk.gtk_label_new(SetupDialogModel::kResolutionLabel);
  GtkObject* antialiasingLabel = gtk.gtk_label_new(SetupDialogModel::kAntialiasingLabel);
  gtk.gtk_label_set_xalign(resolutionLabel, 0.0f);
  gtk.gtk_label_set_xalign(antialiasingLabel, 0.0f);
  gtk.gtk_grid_attach(grid, resolutionLabel, 0, 0, 2, 1);
  gtk.gtk_grid_attach(grid, resolution, 2, 0, 1, 1);
  gtk.gtk_grid_attach(grid, antialiasingLabel, 0, 1, 2, 1);
  gtk.gtk_grid_attach(grid, antialiasing, 2, 1, 1, 1);
  gtk.gtk_grid_attach(grid, run, 0, 2, 1, 2);
  gtk.gtk_grid_attach(grid, cancel, 1, 2, 1, 2);
  gtk.gtk_grid_attach(grid, fullscreen, 2, 2, 1, 1);
  gtk.gtk_grid_attach(grid, vsync, 2, 3, 1, 1);
  gtk.gtk_container_add(gtk.gtk_dialog_get_content_area(dialog), grid);

  gtk.gtk_widget_set_can_default(run, 1);
  gtk.gtk_window_set_default(dialog, run);

  // Connected after the initial state is set, so only the user's changes arrive.
  ModelLink link{&gtk, &model};
  gtkConnect(gtk, resolution, "changed", +[](GtkObject* c, void* d) {
    auto* l = static_cast<ModelLink*>(d);
    l->model->confirmResolution(l->gtk->gtk_combo_box_get_active(c));
  }, &link);
  gtkConnect(gtk, antialiasing, "changed", +[](GtkObject* c, void* d) {
    auto* l = static_cast<ModelLink*>(d);
    l->model->confirmAntialiasing(l->gtk->gtk_combo_box_get_active(c));
  }, &link);
  gtkConnect(gtk, fullscreen, "toggled", +[](GtkObject* t, void* d) {
    auto* l = static_cast<ModelLink*>(d);
    l->model->setFullscreen(l->gtk->gtk_toggle_button_get_active(t) != 0);
  }, &link);
  gtkConnect(gtk, vsync, "toggled", +[](GtkObject* t, void* d) {
    auto* l = static_cast<ModelLink*>(d);
    l->model->setVsync(l->gtk->gtk_toggle_button_get_active(t) != 0);
  }, &link);

  // The video layer turns an interrupt or terminate signal into a quit
  // request; while the dialog runs, that request closes it like "&Nah".
  unsigned watch = gtk.g_timeout_add(100, +[](void* d) -> int {
    auto* a = static_cast<ButtonAnswer*>(d);
    if (quitSignalled()) a->gtk->gtk_dialog_response(a->dialog, SetupDialogModel::kCancel);
    return GtkValue::kSourceContinue;
  }, &cancelAnswer);

  gtk.gtk_widget_show_all(dialog);
  gtk.gtk_widget_grab_focus(run);
  int response = gtk.gtk_dialog_run(dialog);
  gtk.g_source_remove(watch);
  gtk.gtk_widget_destroy(dialog);
  gtkSessionFlush();
  return response == SetupDialogModel::kRun ? SetupDialogModel::kRun : SetupDialogModel::kCancel;
}
