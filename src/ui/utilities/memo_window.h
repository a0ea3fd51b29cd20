#pragma once
#include <memory>

#include "ui/common/form_window.h"

class QPlainTextEdit;
class QAction;

namespace tavrin {
class MemoFile;
}

namespace tavrin::ui {

// Memo pad (Form7): the memo file, loaded once per process.
class MemoWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit MemoWindow(AppContext& ctx);
  ~MemoWindow() override;

  QString text() const;
  void setText(const QString& text);
  // Saves and hides; on a failed save tells the user and stays open.
  bool mnuSAVE_Click();
  bool mnuEND_Click() { return mnuSAVE_Click(); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QPlainTextEdit* text1_;
  std::unique_ptr<MemoFile> file_;
  bool damageTold_ = false;
};

}  // namespace tavrin::ui
