// The settings window and the API key: where it is kept with no secret store
// on the desktop (the key file, 0600), what the window says, and that the
// key is never shown again.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QtTest>

#include "base/log.h"
#include "datafetch/service_key.h"
#include "test_support.h"
#include "ui/app/main_menu_window.h"
#include "ui/settings/settings_window.h"
#include "ui_test_support.h"

using namespace tavrin;
using test::UiFixture;

namespace {

// Every text a window shows: captions, boxes, titles and tips.
QString shownTexts(QWidget& w) {
  QStringList all{w.windowTitle(), w.toolTip()};
  for (QWidget* c : w.findChildren<QWidget*>()) {
    all << c->toolTip() << c->accessibleName();
    if (auto* l = qobject_cast<QLabel*>(c)) all << l->text();
    if (auto* e = qobject_cast<QLineEdit*>(c)) all << e->text() << e->displayText() << e->placeholderText();
    if (auto* b = qobject_cast<QAbstractButton*>(c)) all << b->text();
    if (auto* p = qobject_cast<QPlainTextEdit*>(c)) all << p->toPlainText();
    if (auto* g = qobject_cast<QGroupBox*>(c)) all << g->title();
  }
  return all.join(QLatin1Char('\n'));
}

// A home of its own with no secret store: the session bus points nowhere.
struct Home {
  test::TempDir dir;
  UiFixture f{dir / "root"};
  std::filesystem::path keyFile = dir / "home" / ".config" / "tavrin" / "jquants-key";
  std::filesystem::path log = dir / "tavrin.log";

  Home() {
    std::filesystem::create_directories(dir / "home");
    qputenv("HOME", QByteArray::fromStdString((dir / "home").string()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir / "home" / ".config").string()));
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray::fromStdString("unix:path=" + (dir / "no-bus").string()));
    qunsetenv(datafetch::kKeyVariable);
    setLogFile(log.string());
  }
  ~Home() {
    f.ctx->unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    setLogFile({});
    qunsetenv(datafetch::kKeyVariable);
  }
  ui::SettingsWindow& open() {
    auto& menu = f.ctx->mainMenu();
    menu.show();
    menu.button("settingsButton")->click();
    ui::SettingsWindow& w = f.ctx->settings();
    if (!QTest::qWaitFor([&] { return !w.running(); }, 20000)) qWarning("the key's place was not found in time");
    return w;
  }
  static void waitDone(ui::SettingsWindow& w) { QTRY_VERIFY_WITH_TIMEOUT(!w.running(), 20000); }
  static void type(ui::SettingsWindow& w, const QString& key) {
    UiFixture::find<QLineEdit>(w, "jquantsKeyEdit")->setText(key);
  }
  std::string logText() const { return test::readFileBytes(log); }
};

int modeOf(const std::filesystem::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 0777);
}

}  // namespace

class SettingsWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void savesToTheKeyFileWhereNoSecretStoreAnswersAndNeverShowsTheKey() {
    Home h;
    ui::SettingsWindow& w = h.open();
    QVERIFY(w.isVisible());
    QVERIFY(w.statusText().contains(QStringLiteral("設定されていません")));
    auto* edit = UiFixture::find<QLineEdit>(w, "jquantsKeyEdit");
    QCOMPARE(edit->echoMode(), QLineEdit::Password);
    auto* save = UiFixture::find<QAbstractButton>(w, "jquantsKeySaveButton");
    QVERIFY(!save->isEnabled());                                                           // nothing typed
    QVERIFY(!UiFixture::find<QAbstractButton>(w, "jquantsKeyForgetButton")->isEnabled());  // nothing stored

    const QString key = QStringLiteral("Zq7-secret-KEY-1234abcd");
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("  ") + key + QStringLiteral(" "));
    QVERIFY(save->isEnabled());
    QSignalSpy changed(&w, &ui::SettingsWindow::keyChanged);
    save->click();
    QVERIFY(edit->text().isEmpty());  // emptied at once, before the store answers
    h.waitDone(w);
    QCOMPARE(changed.count(), 1);

    // Written to the key file, the blanks around it dropped, readable by the user alone.
    QCOMPARE(QString::fromStdString(test::readFileBytes(h.keyFile)).trimmed(), key);
    QCOMPARE(modeOf(h.keyFile), 0600);
    QCOMPARE(modeOf(h.keyFile.parent_path()), 0700);
    QVERIFY2(w.messageText().contains(QStringLiteral("鍵の保管庫が使えないため")), qPrintable(w.messageText()));
    QVERIFY(w.messageText().contains(QStringLiteral("~/.config/tavrin/jquants-key")));
    QVERIFY(w.messageText().contains(QStringLiteral("ほかのユーザーには読めません")));
    QVERIFY2(w.statusText().contains(QStringLiteral("鍵ファイル ~/.config/tavrin/jquants-key")),
             qPrintable(w.statusText()));
    QVERIFY(w.places().file && !w.places().store && !w.places().environment);

    // Nothing of the key on the screen, not even its end; nothing in the log.
    const QString shown = shownTexts(w);
    QVERIFY2(!shown.contains(key), qPrintable(shown));
    QVERIFY(!shown.contains(QStringLiteral("abcd")));
    QVERIFY(!shown.contains(QStringLiteral("1234")));
    QVERIFY(h.logText().find(key.toStdString()) == std::string::npos);

    // Opened again, the window finds it in the file and still shows none of it.
    UiFixture::click(w, "settingsCloseButton");
    QVERIFY(!w.isVisible());
    h.f.ctx->unload(&w);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ui::SettingsWindow& again = h.open();
    QVERIFY(again.places().file);
    QVERIFY(UiFixture::find<QAbstractButton>(again, "jquantsKeyForgetButton")->isEnabled());
    QVERIFY(UiFixture::find<QLineEdit>(again, "jquantsKeyEdit")->text().isEmpty());
    QVERIFY(!shownTexts(again).contains(key));

    // A second key replaces the first.
    h.type(again, QStringLiteral("second-key"));
    UiFixture::click(again, "jquantsKeySaveButton");
    h.waitDone(again);
    QCOMPARE(QString::fromStdString(test::readFileBytes(h.keyFile)).trimmed(), QStringLiteral("second-key"));
  }

  void refusesAKeyARequestCannotCarry() {
    Home h;
    ui::SettingsWindow& w = h.open();
    QSignalSpy changed(&w, &ui::SettingsWindow::keyChanged);
    for (const QString& typed : {QStringLiteral("two words"), QStringLiteral("鍵１２３")}) {
      h.type(w, typed);
      QVERIFY(!w.saveKey());
      QVERIFY(UiFixture::find<QLineEdit>(w, "jquantsKeyEdit")->text().isEmpty());
      QVERIFY(w.messageText().contains(QStringLiteral("保存していません")));
      QVERIFY(!shownTexts(w).contains(typed));
    }
    QVERIFY(!std::filesystem::exists(h.keyFile));
    QCOMPARE(changed.count(), 0);
    QVERIFY(h.f.prompts.shown().empty());  // told in the window, no dialog
  }

  void removesTheStoredKeyAfterTheQuestion() {
    Home h;
    std::string why;
    QVERIFY2(datafetch::writeKeyFile("stored-key-0001", why), why.c_str());
    ui::SettingsWindow& w = h.open();
    QVERIFY(w.places().file);
    QSignalSpy changed(&w, &ui::SettingsWindow::keyChanged);

    // "Cancel" keeps it.
    h.f.prompts.queueMessageAnswer(MessageAnswer::Cancel);
    UiFixture::click(w, "jquantsKeyForgetButton");
    QCOMPARE(h.f.prompts.shown().size(), std::size_t{1});
    QVERIFY(QString::fromStdString(h.f.prompts.shown()[0].text).contains(QStringLiteral("削除します")));
    QVERIFY(!w.running());
    QVERIFY(std::filesystem::exists(h.keyFile));
    QCOMPARE(changed.count(), 0);

    h.f.prompts.queueMessageAnswer(MessageAnswer::Ok);
    UiFixture::click(w, "jquantsKeyForgetButton");
    h.waitDone(w);
    QVERIFY(!std::filesystem::exists(h.keyFile));
    QCOMPARE(changed.count(), 1);
    QVERIFY(w.messageText().contains(QStringLiteral("削除しました")));
    QVERIFY(w.statusText().contains(QStringLiteral("設定されていません")));
    QVERIFY(!w.places().any());
    QVERIFY(!UiFixture::find<QAbstractButton>(w, "jquantsKeyForgetButton")->isEnabled());
  }

  void theEnvironmentsKeyIsNamedAndOutranksTheStoredOne() {
    Home h;
    std::string why;
    QVERIFY(datafetch::writeKeyFile("stored-key-0002", why));
    qputenv(datafetch::kKeyVariable, "env-key-0003");
    ui::SettingsWindow& w = h.open();
    QVERIFY(w.places().environment && w.places().file);
    QVERIFY2(w.statusText().contains(QStringLiteral("環境変数 TAVRIN_JQUANTS_API_KEY")), qPrintable(w.statusText()));
    QVERIFY(w.statusText().contains(QStringLiteral("優先します")));
    const QString shown = shownTexts(w);
    QVERIFY(!shown.contains(QStringLiteral("env-key-0003")));
    QVERIFY(!shown.contains(QStringLiteral("stored-key-0002")));

    // Removing the stored key says that the variable's key is still used.
    h.f.prompts.queueMessageAnswer(MessageAnswer::Ok);
    QVERIFY(w.forgetKey());
    h.waitDone(w);
    QVERIFY(w.messageText().contains(QStringLiteral("引き続き使われます")));
    QVERIFY(w.places().environment && !w.places().file);
  }

  void theRegistrationPageOpensInTheBrowser() {
    Home h;
    ui::SettingsWindow& w = h.open();
    auto* link = UiFixture::find<QLabel>(w, "jquantsRegisterLink");
    QVERIFY(link && link->isVisible());
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(h.f.openedUrls, std::vector<std::string>{"https://jpx-jquants.com/"});
    // No browser: the window gives the address instead.
    h.f.ctx->openUrl = [](const std::string&) { return false; };
    link->setFocus();
    QTest::keyClick(link, Qt::Key_Return);
    QVERIFY(w.messageText().contains(QStringLiteral("https://jpx-jquants.com/")));
    QVERIFY(h.f.prompts.shown().empty());
  }
};

QTEST_MAIN(SettingsWindowTest)
#include "settings_window_test.moc"
