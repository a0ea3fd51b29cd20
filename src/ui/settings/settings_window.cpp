#include "ui/settings/settings_window.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <string>

#include "app/prompts.h"
#include "base/log.h"
#include "datafetch/service_key.h"
#include "platform/secret_store.h"
#include "ui/app/app_context.h"
#include "ui/common/clickable_label.h"
#include "ui/common/secret_store_thread.h"

namespace tavrin::ui {

namespace {

constexpr const char* kTitle = "設定";

// What saving or removing the key ends with, and where the key is after it.
struct KeyChange {
  bool ok = false;
  bool toFile = false;
  std::string why;
  KeyPlaces places;
};

}  // namespace

KeyPlaces readKeyPlaces() {
  return runOnSecretStoreThread([] {
    KeyPlaces p;
    p.environment = datafetch::keyFromEnvironment().has_value();
    const platform::StoredKey stored = platform::readStoredKey();
    if (stored.key) (stored.fromFile ? p.file : p.store) = true;
    return p;
  });
}

SettingsWindow::SettingsWindow(AppContext& ctx) : FormWindow(ctx, "SettingsWindow"), task_(this) {
  setWindowTitle(QString::fromUtf8(kTitle));
  setTitleBarCloseAllowed(true);
  auto* root = new QVBoxLayout(this);

  auto* box = new QGroupBox(QStringLiteral("J-Quants（日本取引所グループのデータサービス）"), this);
  box->setObjectName(QStringLiteral("jquantsBox"));
  auto* bl = new QVBoxLayout(box);
  QLabel* help =
      makeLabel("jquantsHelpLabel",
                QStringLiteral("「データ取得」で株価と銘柄リストを J-Quants API から取り込むための APIキーです。"
                               "保存したキーは画面に表示しません。"));
  help->setWordWrap(true);
  bl->addWidget(help);
  statusLabel_ = makeLabel("jquantsKeyStatusLabel", QStringLiteral("APIキーを確かめています…"));
  statusLabel_->setWordWrap(true);
  bl->addWidget(statusLabel_);

  auto* row = new QHBoxLayout;
  QLabel* keyLabel = makeLabel("jquantsKeyLabel", QStringLiteral("APIキー"));
  keyEdit_ = makeText("jquantsKeyEdit");
  keyEdit_->setEchoMode(QLineEdit::Password);
  keyEdit_->setPlaceholderText(QStringLiteral("新しいキーを入力"));
  keyEdit_->setMinimumWidth(260);
  // No input method: a key is plain ASCII, and candidates would show it.
  keyEdit_->setAttribute(Qt::WA_InputMethodEnabled, false);
  keyLabel->setBuddy(keyEdit_);
  saveButton_ = makeButton("jquantsKeySaveButton", QStringLiteral("保存"));
  forgetButton_ = makeButton("jquantsKeyForgetButton", QStringLiteral("削除"));
  row->addWidget(keyLabel);
  row->addWidget(keyEdit_, 1);
  row->addWidget(saveButton_);
  row->addWidget(forgetButton_);
  bl->addLayout(row);

  messageLabel_ = makeLabel("jquantsKeyMessageLabel", QString());
  messageLabel_->setWordWrap(true);
  bl->addWidget(messageLabel_);

  const QString url = QString::fromLatin1(kServiceRegistrationUrl);
  registerLink_ =
      new ClickableLabel(QStringLiteral("<a href=\"#\">J-Quants の利用登録（%1）</a>").arg(url.toHtmlEscaped()), this);
  registerLink_->setObjectName(QStringLiteral("jquantsRegisterLink"));
  registerLink_->setTextFormat(Qt::RichText);
  registerLink_->setTextInteractionFlags(Qt::NoTextInteraction);
  registerLink_->setCursor(Qt::PointingHandCursor);
  registerLink_->setFocusPolicy(Qt::TabFocus);
  registerLink_->setToolTip(QStringLiteral("ブラウザーで開きます"));
  bl->addWidget(registerLink_);
  root->addWidget(box);
  root->addStretch();

  auto* buttons = new QHBoxLayout;
  closeButton_ = makeButton("settingsCloseButton", QStringLiteral("閉じる"));
  buttons->addStretch();
  buttons->addWidget(closeButton_);
  root->addLayout(buttons);

  connect(saveButton_, &QPushButton::clicked, this, &SettingsWindow::saveKey);
  connect(keyEdit_, &QLineEdit::returnPressed, this, &SettingsWindow::saveKey);
  connect(keyEdit_, &QLineEdit::textChanged, this, &SettingsWindow::updateEnabled);
  connect(forgetButton_, &QPushButton::clicked, this, &SettingsWindow::forgetKey);
  connect(closeButton_, &QPushButton::clicked, this, &SettingsWindow::closeWindow);
  connect(registerLink_, &ClickableLabel::clicked, this, [this, url] {
    if (!ctx_.openUrl || !ctx_.openUrl(url.toStdString())) {
      logLine("settings", "no browser opened " + url.toStdString());
      messageLabel_->setText(QStringLiteral("ブラウザーを開けませんでした。%1 を開いてください。").arg(url));
    }
  });
  connect(&task_, &BackgroundTask::finished, this, &SettingsWindow::updateEnabled);
  updateEnabled();
  resize(560, 260);
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::showEvent(QShowEvent* event) {
  FormWindow::showEvent(event);
  if (!running()) refresh();
}

QString SettingsWindow::statusText() const { return statusLabel_->text(); }
QString SettingsWindow::messageText() const { return messageLabel_->text(); }

void SettingsWindow::updateEnabled() {
  const bool idle = !task_.running();
  saveButton_->setEnabled(idle && !keyEdit_->text().trimmed().isEmpty());
  forgetButton_->setEnabled(idle && (places_.store || places_.file));
  keyEdit_->setEnabled(idle);
}

void SettingsWindow::showPlaces(const KeyPlaces& places) {
  places_ = places;
  statusLabel_->setText(keyStatusText(places, datafetch::keyFilePath()));
  updateEnabled();
}

void SettingsWindow::failed(const char* where, std::exception_ptr error) {
  const std::string what = BackgroundTask::message(error);
  logLine("settings", std::string(where) + ": " + what);
  messageLabel_->setText(
      QStringLiteral("APIキーの保管場所を扱えませんでした（%1）。").arg(QString::fromStdString(what)));
}

void SettingsWindow::refresh() {
  if (task_.running()) return;
  task_.start([](TaskControl&) { return readKeyPlaces(); }, [this](const KeyPlaces& p) { showPlaces(p); },
              [this](std::exception_ptr e) { failed("key places", e); });
  updateEnabled();
}

bool SettingsWindow::saveKey() {
  if (task_.running()) return false;
  const std::string typed = keyEdit_->text().toStdString();
  // The box is emptied at once: what was typed is not kept on the screen.
  keyEdit_->clear();
  const std::optional<std::string> key = datafetch::cleanedKey(typed);
  if (!key) {
    messageLabel_->setText(keyRejectedText());
    return false;
  }
  messageLabel_->setText(QStringLiteral("保存しています…"));
  auto work = [key = *key](TaskControl&) {
    KeyChange c;
    const platform::KeySaved saved = runOnSecretStoreThread([&key] { return platform::saveKey(key); });
    c.ok = saved.ok;
    c.toFile = saved.toFile;
    c.why = saved.why;
    c.places = readKeyPlaces();
    return c;
  };
  task_.start(
      work,
      [this](const KeyChange& c) {
        if (!c.ok) logLine("settings", "API key not saved: " + c.why);
        messageLabel_->setText(keySavedText(c.ok, c.toFile, c.why, datafetch::keyFilePath()));
        showPlaces(c.places);
        if (c.ok) emit keyChanged();
      },
      [this](std::exception_ptr e) { failed("key save", e); });
  updateEnabled();
  return true;
}

bool SettingsWindow::forgetKey() {
  if (task_.running() || !(places_.store || places_.file)) return false;
  MessageRequest ask;
  ask.title = kTitle;
  ask.icon = MessageIcon::Warning;
  ask.buttons = MessageButtons::OkCancel;
  ask.lines = {"保存した J-Quants の APIキーを削除します。",
               "データ取得にはもう一度キーの入力が必要です。よろしいですか？"};
  if (ctx_.prompts().message(ask) != MessageAnswer::Ok) return false;
  messageLabel_->setText(QStringLiteral("削除しています…"));
  auto work = [](TaskControl&) {
    KeyChange c;
    c.ok = runOnSecretStoreThread([] { return platform::forgetKey(); });
    c.places = readKeyPlaces();
    return c;
  };
  task_.start(
      work,
      [this](const KeyChange& c) {
        if (!c.ok) logLine("settings", "API key not removed");
        messageLabel_->setText(keyForgottenText(c.ok, c.places.environment));
        showPlaces(c.places);
        emit keyChanged();
      },
      [this](std::exception_ptr e) { failed("key removal", e); });
  updateEnabled();
  return true;
}

void SettingsWindow::closeWindow() {
  keyEdit_->clear();
  hide();
}

}  // namespace tavrin::ui
