#pragma once
#include <QApplication>
#include <QPushButton>
#include <QString>
#include <QTest>
#include <memory>

#include "app/paths.h"
#include "app/prompts.h"
#include "data/price_schema.h"
#include "ui/app/app_context.h"
#include "ui/app/main_menu_window.h"

namespace tavrin::test {

// The date record's ten positions 26/12/20 (kabuka1) back to 26/12/11.
inline void writeTenDecemberDates(Database& d) {
  DateRecord rec = *readDateRecord(d);
  for (int i = 0; i < 10; ++i)
    rec.dates[static_cast<size_t>(i)] = QString::asprintf("26/12/%02d", 20 - i).toStdString();
  writeDateRecord(d, rec);
}

// A process context over a temporary data root with scripted prompts and
// platform services that record instead of acting.
struct UiFixture {
  explicit UiFixture(const std::filesystem::path& root) : ctx(std::make_unique<ui::AppContext>(Paths(root), prompts)) {
    ctx->quit = [this] { quitCalled = true; };
    ctx->openUrl = [this](const std::string& url) {
      openedUrls.push_back(url);
      return true;
    };
    ctx->openFileDialog = [this](QWidget*, const std::string&, const std::string&, const std::string&) {
      return nextFileChoice;
    };
    ctx->saveFileDialog = [this](QWidget*, const ui::SaveFileRequest& request) {
      saveRequests.push_back(request);
      std::optional<ui::SaveFileChoice> answer = nextSaveChoice;
      nextSaveChoice.reset();
      return answer;
    };
    ctx->now = [] {
      std::tm t{};
      t.tm_year = 126;
      t.tm_mon = 11;
      t.tm_mday = 9;
      return t;
    };
  }

  template <class T>
  static T* find(QWidget& w, const char* name) {
    return w.findChild<T*>(QString::fromLatin1(name));
  }
  static void click(QWidget& w, const char* name) {
    auto* b = find<QPushButton>(w, name);
    QVERIFY2(b, name);
    b->click();
  }

  // The main menu shown and activated on a price database.
  ui::MainMenuWindow& menuOn(const std::filesystem::path& db) {
    auto& m = ctx->mainMenu();
    m.setPathBox(QString::fromStdString(toUtf8(db)));
    m.show();
    m.activate();
    return m;
  }

  ScriptedPrompts prompts;
  std::unique_ptr<ui::AppContext> ctx;
  bool quitCalled = false;
  std::vector<std::string> openedUrls;
  std::string nextFileChoice;
  // The save dialog: what it was asked, and the one answer it gives next
  // (then cancel).
  std::vector<ui::SaveFileRequest> saveRequests;
  std::optional<ui::SaveFileChoice> nextSaveChoice;
};

}  // namespace tavrin::test
