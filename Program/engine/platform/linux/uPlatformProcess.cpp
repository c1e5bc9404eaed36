#include "uPlatformProcess.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace platform {

QString ExecutableFolder() {
  QString LFolder;
  if (QCoreApplication::instance())
    LFolder = QCoreApplication::applicationDirPath();
  else
    LFolder = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).path();
  if (!LFolder.endsWith(QLatin1Char('/')))
    LFolder.append(QLatin1Char('/'));
  return LFolder;
}

} // namespace platform
