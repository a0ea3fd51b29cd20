#include <QDialogButtonBox>
#include <QFile>
#include <QLibraryInfo>
#include <QPushButton>
#include <QtTest>

#include "ui/common/qt_translation.h"

class QtTranslationTest : public QObject {
  Q_OBJECT
 private slots:
  void standardButtonsSpeakJapanese();
};

void QtTranslationTest::standardButtonsSpeakJapanese() {
  const QString file = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm");
  if (!QFile::exists(file)) QSKIP(qPrintable(QStringLiteral("no %1 (qt6-translations-l10n)").arg(file)));
  // English before, whatever the locale of the test run.
  {
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Cancel"));
  }
  QVERIFY(tavrin::ui::installJapaneseQtTranslation(*QCoreApplication::instance()));
  QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QVERIFY2(box.button(QDialogButtonBox::Cancel)->text().startsWith(QStringLiteral("キャンセル")),
           qPrintable(box.button(QDialogButtonBox::Cancel)->text()));
}

QTEST_MAIN(QtTranslationTest)
#include "qt_translation_test.moc"
