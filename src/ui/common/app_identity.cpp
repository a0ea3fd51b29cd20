#include "ui/common/app_identity.h"

#include <QApplication>

namespace tavrin::ui {

QIcon applicationIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/%1x%1/%2.png").arg(size).arg(QLatin1String(kDesktopId)), QSize(size, size));
  }
  return icon;
}

void applyApplicationIdentity() {
  QGuiApplication::setDesktopFileName(QLatin1String(kDesktopId));
  QApplication::setWindowIcon(applicationIcon());
}

}  // namespace tavrin::ui
