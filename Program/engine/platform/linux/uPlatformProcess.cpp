#include "uPlatformProcess.h"

#include "uPlatformFs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <climits>

#include <unistd.h>

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

QString ConfigHome() {
  const QByteArray LConfig = qgetenv("XDG_CONFIG_HOME");
  // A relative value is to be ignored, as the XDG rules say.
  if (!LConfig.isEmpty() && LConfig.startsWith('/'))
    return DecodeNativePath(LConfig);
  return QDir::homePath() + QStringLiteral("/.config");
}

QString CurrentFolder() {
  char LBuffer[PATH_MAX];
  if (::getcwd(LBuffer, sizeof LBuffer) == nullptr)
    return QString();
  return DecodeNativePath(QByteArray(LBuffer));
}

} // namespace platform
