#pragma once
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrin::ui {

class AppContext;

// Base of every window: carries the form name as its object name and refuses
// the title-bar close box; windows leave through their own buttons, which
// call hideWindow() or unloadWindow().
class FormWindow : public QWidget {
  Q_OBJECT
 public:
  FormWindow(AppContext& ctx, const char* formName, QWidget* parent = nullptr);

  AppContext& context() const { return ctx_; }
  // Closing from the title bar: refused unless the window allows it.
  void setTitleBarCloseAllowed(bool allowed) { titleBarCloseAllowed_ = allowed; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Before every show the window is fitted into the screen's available area
  // (centred the first time unless it was given a position).
  void showEvent(QShowEvent* event) override;
  // A shown window that grows (a control appearing) stays inside the area.
  void resizeEvent(QResizeEvent* event) override;
  // Called instead of closing when the title-bar close box is used and
  // closing is allowed (the file selection window treats it as "OK").
  virtual void titleBarClose() {}

  // Control factories: each control gets its specified name as object name.
  QPushButton* makeButton(const QString& name, const QString& caption);
  QLabel* makeLabel(const QString& name, const QString& caption);
  QLineEdit* makeText(const QString& name, const QString& text = {});
  static void setBackground(QWidget* w, const QColor& color);

  AppContext& ctx_;

 private:
  bool titleBarCloseAllowed_ = false;
};

}  // namespace tavrin::ui
