#include "uUtil.h"

#include "platform/uPlatformDirWalk.h"
#include "platform/uPlatformFs.h"
#include "platform/uPlatformProcess.h"

#include <QDir>

#include <QLocale>

int64_t GetFileSizeByName(const QString &APath) {
  const platform::TPathInfo LInfo = platform::StatPathNoLocalTime(APath);
  if (!LInfo.FExists)
    return -1;
  return LInfo.FIsDirectory ? 0 : LInfo.FSize;
}

int64_t GetFolderSize(const QString &AFolder, const std::atomic<bool> *AStop) {
  return platform::TreeSizeNoFollow(AFolder, AStop);
}

namespace {

QString FixedTwoDecimals(double AValue) {
  QString LText = QString::number(AValue, 'f', 2);
  LText.replace(QLatin1Char('.'), QLocale().decimalPoint());
  return LText;
}

} // namespace

QString SizeToStr(int64_t ASize) {
  if (ASize < 1024)
    return QString::number(ASize) + QStringLiteral(" B");
  if (ASize < 1048576)
    return QString::number(ASize / 1024) + QStringLiteral(" KB");
  if (ASize < 1073741824)
    return FixedTwoDecimals(static_cast<double>(ASize) / 1048576.0) + QStringLiteral(" MB");
  return FixedTwoDecimals(static_cast<double>(ASize) / 1073741824.0) + QStringLiteral(" GB");
}

QString DisplayText(const QString &AText) {
  return platform::DisplayText(AText);
}

bool ResolveChosenPath(QString &APath) {
  const platform::TResolvedPath LResolved = platform::ResolveDecodedPath(APath);
  if (LResolved.FOutcome == platform::TResolveOutcome::Ambiguous)
    return false;
  APath = LResolved.FPath;
  return true;
}

TPathKind PathKindOf(const QString &APath) {
  if (platform::DirectoryExists(APath))
    return TPathKind::Folder;
  return platform::EntryExists(APath) ? TPathKind::File : TPathKind::Missing;
}

QString PathUnreachableReason(const QString &APath) {
  return platform::UnreachableReason(APath);
}

QString PathFromArgument(const QByteArray &AArgument) {
  if (AArgument.isEmpty())
    return QString();
  QString LPath = platform::DecodeNativePath(AArgument);
  if (!LPath.startsWith(QLatin1Char('/')))
    LPath = platform::JoinPath(platform::CurrentFolder(), LPath);
  // Text only: the code units that stand for bytes which are not UTF-8 stay.
  return QDir::cleanPath(LPath);
}

QString PathFromFileUri(const QByteArray &AUri) {
  const QByteArray LUri = AUri.trimmed();
  const QByteArray LScheme("file:");
  if (!LUri.left(LScheme.size()).toLower().startsWith(LScheme))
    return QString();
  QByteArray LRest = LUri.mid(LScheme.size());
  if (LRest.startsWith("//")) {
    LRest = LRest.mid(2);
    const qsizetype LSlash = LRest.indexOf('/');
    if (LSlash < 0)
      return QString();
    const QByteArray LHost = LRest.left(LSlash).toLower();
    if (!LHost.isEmpty() && LHost != "localhost")
      return QString();
    LRest = LRest.mid(LSlash);
  }
  if (!LRest.startsWith('/'))
    return QString();
  // A query or a fragment is no part of the path.
  for (const char LStop : {'?', '#'}) {
    const qsizetype LEnd = LRest.indexOf(LStop);
    if (LEnd >= 0)
      LRest.truncate(LEnd);
  }
  const QByteArray LBytes = QByteArray::fromPercentEncoding(LRest);
  if (LBytes.contains('\0'))
    return QString();
  return platform::DecodeNativePath(LBytes);
}
