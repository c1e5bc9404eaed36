#include "uUtilGui.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>
#include <QUrl>
#include <QWidget>

#include <utility>

namespace {

TBrowseFolderHook &BrowseFolderHook() {
  static TBrowseFolderHook LHook;
  return LHook;
}

TTextWidthHook &TextWidthHook() {
  static TTextWidthHook LHook;
  return LHook;
}

TShellOpenHook &ShellOpenHook() {
  static TShellOpenHook LHook;
  return LHook;
}

} // namespace

bool BrowseFolder(const QString &ACaption, QString &AFolder, QWidget *AOwner,
                  bool AAllowNewFolder) {
  const QFileInfo LInfo(AFolder);
  const QString LStart = !AFolder.isEmpty() && LInfo.isDir() ? LInfo.absoluteFilePath() : QString();
  if (BrowseFolderHook()) {
    const std::optional<QString> LChosen = BrowseFolderHook()(ACaption, LStart);
    if (!LChosen)
      return false;
    AFolder = *LChosen;
    return true;
  }

  QWidget *LOwner = AOwner != nullptr ? AOwner : FindMainWindow();
  QFileDialog LDialog(LOwner, ACaption, LStart);
  LDialog.setOption(QFileDialog::DontUseNativeDialog, true);
  LDialog.setOption(QFileDialog::ShowDirsOnly, true);
  LDialog.setFileMode(QFileDialog::Directory);
  LDialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (!AAllowNewFolder) {
    // Qt's own dialog has no option for it: hide its "new folder" button.
    for (QWidget *LChild : LDialog.findChildren<QWidget *>(QStringLiteral("newFolderButton")))
      LChild->hide();
  }
  if (LDialog.exec() != QDialog::Accepted)
    return false;
  const QStringList LFiles = LDialog.selectedFiles();
  if (LFiles.isEmpty())
    return false;
  AFolder = QDir::toNativeSeparators(LFiles.first());
  return true;
}

TBrowseFolderHook SetBrowseFolderHook(TBrowseFolderHook AHook) {
  return std::exchange(BrowseFolderHook(), std::move(AHook));
}

float GetTextWidth(const QFont &AFont, const QString &AText) {
  if (TextWidthHook())
    return TextWidthHook()(AFont, AText);
  return static_cast<float>(QFontMetricsF(AFont).horizontalAdvance(AText));
}

TTextWidthHook SetTextWidthHook(TTextWidthHook AHook) {
  return std::exchange(TextWidthHook(), std::move(AHook));
}

QStringList SplitLines(const QString &AText) {
  if (AText.isEmpty())
    return {};
  static const QRegularExpression LBreak(QStringLiteral("\r\n|\r|\n"));
  return AText.split(LBreak);
}

float GetMaxLineWidth(const QLabel &AControl) {
  float LMax = 0;
  for (const QString &LLine : SplitLines(AControl.text()))
    LMax = std::max(LMax, GetTextWidth(AControl.font(), LLine));
  return LMax;
}

QPointF GetMainScreenSize() {
  const QScreen *LScreen = QGuiApplication::primaryScreen();
  if (LScreen == nullptr)
    return {0, 0};
  return {static_cast<qreal>(LScreen->size().width()),
          static_cast<qreal>(LScreen->size().height())};
}

void ShellOpen(const QString &ATarget) {
  if (ShellOpenHook()) {
    ShellOpenHook()(ATarget);
    return;
  }
  QDesktopServices::openUrl(QUrl::fromUserInput(ATarget));
}

TShellOpenHook SetShellOpenHook(TShellOpenHook AHook) {
  return std::exchange(ShellOpenHook(), std::move(AHook));
}

QWidget *FindMainWindow() {
  for (QWidget *LWidget : QApplication::topLevelWidgets()) {
    if (LWidget->objectName() == QStringLiteral("fmMain"))
      return LWidget;
  }
  return nullptr;
}

void BringMainWindowToFront() {
  QWidget *LMain = FindMainWindow();
  if (LMain == nullptr)
    return;
  LMain->raise();
  LMain->activateWindow();
}
