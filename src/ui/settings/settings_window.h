#pragma once
#include <QString>

#include "ui/common/background_task.h"
#include "ui/common/datafetch_texts.h"
#include "ui/common/form_window.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrin::ui {

class ClickableLabel;

// Where the API key is now (the environment, the desktop's secret store, the
// key file), without the key. Waits for the secret store (on its own
// thread): call it from a task's thread.
KeyPlaces readKeyPlaces();

// The settings (SettingsWindow): the data service's API key. It shows
// whether a key is set and where, takes a new one in a password box and
// saves it in the desktop's secret store (or, where none answers, in the key
// file readable by the user alone), and removes it after a question. The key
// is never shown again once saved, not even in part. The secret store is
// asked on the task's thread.
class SettingsWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit SettingsWindow(AppContext& ctx);
  ~SettingsWindow() override;

  // Finds where the key is (on the task's thread) and shows it.
  void refresh();
  // Saves the key typed in the box; false when nothing was started (a key
  // that cannot be used, or a task still running).
  bool saveKey();
  // Removes the stored key after asking; false when nothing was started.
  bool forgetKey();
  bool running() const { return task_.running(); }
  const KeyPlaces& places() const { return places_; }
  void closeWindow();

  QString statusText() const;
  QString messageText() const;

 signals:
  // A key was saved or removed.
  void keyChanged();

 protected:
  void showEvent(QShowEvent* event) override;
  void titleBarClose() override { closeWindow(); }

 private:
  void showPlaces(const KeyPlaces& places);
  void failed(const char* where, std::exception_ptr error);
  void updateEnabled();

  QLabel* statusLabel_;
  QLineEdit* keyEdit_;
  QPushButton* saveButton_;
  QPushButton* forgetButton_;
  QLabel* messageLabel_;
  ClickableLabel* registerLink_;
  QPushButton* closeButton_;

  KeyPlaces places_;
  BackgroundTask task_;  // destroyed first, which waits for the secret store
};

}  // namespace tavrin::ui
