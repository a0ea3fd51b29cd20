#include "ui/app/chooser_window.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "base/value.h"
#include "ui/app/app_context.h"
#include "ui/app/file_select_window.h"
#include "ui/app/main_menu_window.h"

namespace tavrin::ui {

namespace {
// The Japanese input method types full-width digits and spaces by default:
// they stand for the plain ones.
std::string narrowDigitsAndSpaces(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    // U+FF10..U+FF19 are EF BC 90..99 in UTF-8; U+3000 is E3 80 80.
    if (text.compare(i, 2, "\xEF\xBC") == 0 && i + 2 < text.size()) {
      auto c = static_cast<unsigned char>(text[i + 2]);
      if (c >= 0x90 && c <= 0x99) {
        out += static_cast<char>('0' + (c - 0x90));
        i += 2;
        continue;
      }
    }
    if (text.compare(i, 3, "\xE3\x80\x80") == 0) {
      out += ' ';
      i += 2;
      continue;
    }
    out += text[i];
  }
  return out;
}
}  // namespace

std::optional<double> chooserAnswerNumber(const std::string& answer) {
  return parseNumber(narrowDigitsAndSpaces(answer));
}

ChooserWindow::ChooserWindow(AppContext& ctx) : FormWindow(ctx, "Form8") {
  setWindowTitle(QString::fromUtf8(kApplicationTitle));
  auto* layout = new QVBoxLayout(this);
  command1_ = makeButton("Command1", QStringLiteral("株価データベースを選びます"));
  command1_->setMinimumSize(280, 60);
  layout->addWidget(command1_);
  connect(command1_, &QPushButton::clicked, this, &ChooserWindow::Command1_Click);
}

void ChooserWindow::Command1_Click() {
  InputRequest req;
  req.title = "***************";
  req.promptLines = {"使用する株価データベースは　どちらかを選んでください   ", "１・・日単位        kabuka.mdb  ",
                     "２・・保存ファイル  ????.mdb(保存ファイル)", "・・・・・・・・・・・・・・・・・",
                     "１　２から選んでください。  "};
  req.defaultAnswer = "1";
  auto answer = ctx_.prompts().input(req);
  if (!answer) return;
  auto n = chooserAnswerNumber(*answer);
  if (!n) return;
  if (*n == 1) {
    const std::string path = toUtf8(ctx_.paths().dailyDb());
    ctx_.state().priceDbPath = path;
    MainMenuWindow& menu = ctx_.mainMenu();
    menu.setPathBox(QString::fromStdString(path));
    hide();
    menu.show();
    menu.activate();
  } else if (*n == 2) {
    FileSelectWindow& fs = ctx_.fileSelect();
    fs.prepareSearch();
    fs.show();
    hide();
  }
}

}  // namespace tavrin::ui
