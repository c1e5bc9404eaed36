// Renders every page of the main window and both dialogs on the offscreen
// platform into PNG files (scripts/screenshots). Settings and logs go to a
// temporary folder; no message waits for a person.
#include "FMX.BallonHint.h"
#include "MainUn.h"
#include "MainUnFilePage.h"
#include "uMessageForm.h"
#include "uResourceString.h"
#include "uSelectFolderForm.h"
#include "uSetting.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QStyleFactory>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

bool Save(const QPixmap &APixmap, const QString &AFolder, const QString &AName) {
  const QString LPath = QDir(AFolder).filePath(AName + QStringLiteral(".png"));
  if (!APixmap.save(LPath)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(LPath));
    return false;
  }
  std::printf("%s\n", qPrintable(LPath));
  return true;
}

// A top-level widget shown, laid out and painted, then grabbed.
QPixmap Grab(QWidget &AWidget) {
  AWidget.show();
  QApplication::processEvents();
  QTest::qWait(30);
  return AWidget.grab();
}

} // namespace

int main(int argc, char *argv[]) {
  QApplication LApp(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  if (argc < 2) {
    std::fprintf(stderr, "usage: VarnwellScreenshots <output folder>\n");
    return 2;
  }
  const QString LOut = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(LOut);
  QTemporaryDir LExecutableFolder;
  TSettings::SetExecutableFolderForTesting(LExecutableFolder.path());
  SetMessageHook([](const QString &, TMessageFormType) {});

  bool LOk = true;
  {
    TfmMain LMain;
    LMain.move(0, 0);
    // The settings page as a user would have it: logging on, in a folder of
    // their own (the logger itself is not started).
    GetSettings().SetEnableLog(true);
    GetSettings().SetLogFolder(QStringLiteral("/home/user/Documents/Varnwell Logs"));
    LMain.SettingsToForm();
    const struct {
      TMainPage Page;
      const char *Name;
    } LPages[] = {{TMainPage::mpSelectMode, "mode-page"},
                  {TMainPage::mpFileRename, "file-page"},
                  {TMainPage::mpFolderRename, "folder-page"},
                  {TMainPage::mpSettings, "settings-page"},
                  {TMainPage::mpAbout, "about-page"}};
    for (const auto &LPage : LPages) {
      LMain.ShowPage(LPage.Page);
      LOk &= Save(Grab(LMain), LOut, QString::fromLatin1(LPage.Name));
    }

    TfmMessageForm LMessage(&LMain);
    LMessage.SetMessageType(TMessageFormType::mftWarting);
    LMessage.SetMessageText(rs::FormatMessage(rs::FailedToRenameMany, {3}));
    LOk &= Save(Grab(LMessage), LOut, QStringLiteral("message-dialog"));
    LMessage.hide();

    TfmMessageForm LLong(&LMain);
    LLong.SetMessageType(TMessageFormType::mftInfo);
    LLong.SetMessageText(
        QStringLiteral("Rename done.\n\nFiles: 128\nFolder: /home/user/Pictures/Holiday 2026"));
    LOk &= Save(Grab(LLong), LOut, QStringLiteral("message-dialog-lines"));
    LLong.hide();

    TfmSelectFolderForm LSelect(&LMain);
    LSelect.SetSelectedFolderName(QStringLiteral("/home/user/Pictures"));
    LSelect.SetIncludeSubFolder(true);
    LOk &= Save(Grab(LSelect), LOut, QStringLiteral("select-folder-dialog"));
    LSelect.hide();

    // The balloon, drawn over a plain background (its window is transparent
    // around the rounded rectangle and the tail).
    LMain.ShowPage(TMainPage::mpFileRename);
    ShowBalloonHint(
        LMain.ltFileRename, QStringLiteral("holiday-0042.jpg"),
        QStringLiteral("File not exist\nThe file was moved or deleted before the rename."));
    TfmBallonHint *LBalloon = TfmBallonHint::Instance();
    const QPixmap LBalloonPixmap = Grab(*LBalloon);
    QPixmap LCanvas(LBalloonPixmap.size() + QSize(40, 40));
    LCanvas.fill(QColor(0xee, 0xf2, 0xf6));
    {
      QPainter LPainter(&LCanvas);
      LPainter.drawPixmap(20, 20, LBalloonPixmap);
    }
    LOk &= Save(LCanvas, LOut, QStringLiteral("balloon-hint"));
    LBalloon->hide();

    // The file page after a Rename in which one of five files failed: it had
    // been deleted before the rename.
    QTemporaryDir LPictures;
    QStringList LFiles;
    for (const char *LName :
         {"IMG_2041.JPG", "IMG_2042.JPG", "IMG_2043.JPG", "IMG_2044.JPG", "IMG_2045.JPG"}) {
      const QString LPath = QDir(LPictures.path()).filePath(QString::fromLatin1(LName));
      QFile LFile(LPath);
      if (LFile.open(QIODevice::WriteOnly))
        LFile.write(QByteArray(2048, 'x'));
      LFiles.append(LPath);
    }
    const TOpenFilesHook LPreviousOpen =
        SetOpenFilesHook([LFiles](const QString &) { return std::optional<QStringList>(LFiles); });
    LMain.ShowPage(TMainPage::mpFileRename);
    Grab(LMain);
    TFilePage &LFilePage = *LMain.FilePage;
    LFilePage.Edit_RenameMask->setText(QStringLiteral("Holiday [C]"));
    LFilePage.acAddFile->trigger();
    QFile::remove(LFiles.at(2));
    LFilePage.Rename();
    LMain.UpdateActions();
    LOk &= Save(Grab(LMain), LOut, QStringLiteral("file-page-renamed"));
    SetOpenFilesHook(LPreviousOpen);
  }
  {
    // The window as large as a maximised one on a 1600 x 1000 screen, with
    // 240 photos in the file page's list (the offscreen screen is smaller
    // than that, so the window is sized by hand).
    QTemporaryDir LPictures;
    QStringList LFiles;
    for (int LIndex = 1; LIndex <= 240; ++LIndex) {
      const QString LPath =
          QDir(LPictures.path()).filePath(QStringLiteral("DSC_%1.JPG").arg(4000 + LIndex));
      QFile LFile(LPath);
      if (LFile.open(QIODevice::WriteOnly))
        LFile.write(QByteArray(4096, 'x'));
      LFiles.append(LPath);
    }
    TfmMain LMain;
    LMain.resize(1600, 1000);
    TFilePage &LFilePage = *LMain.FilePage;
    LFilePage.Edit_RenameMask->setText(QStringLiteral("Lisbon [C]"));
    LFilePage.CBox_CounterNumber->setCurrentIndex(2);
    LMain.OpenPaths(false, LFiles);
    LFilePage.StringGrid_Rename->selectRow(3);
    LOk &= Save(Grab(LMain), LOut, QStringLiteral("file-page-large"));
  }
  SetMessageHook(nullptr);
  return LOk ? 0 : 1;
}
