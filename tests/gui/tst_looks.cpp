// The window at its smallest size, 900 x 700, on every page, with files,
// folders and a batch of History in view: every label, check box, radio
// button, button, menu button, combo box and group title shows its whole
// text, no control runs over its group's border, the grids' column titles and
// History's short columns show whole; the folder page's buttons look like the
// file page's; and every control that takes the keyboard focus shows it.
#include "GuiTestSupport.h"
#include "MainUn.h"
#include "MainUnFilePage.h"
#include "MainUnFolderPage.h"
#include "MainUnHistoryPage.h"
#include "uAction.h"
#include "uGridSupport.h"
#include "uJournal.h"
#include "uPageKit.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

#include <algorithm>
#include <memory>

using guitest::TExecutableFolder;
using guitest::TMessageRecorder;

namespace {

QString Name(const QWidget &AWidget) {
  return AWidget.objectName().isEmpty() ? QString::fromLatin1(AWidget.metaObject()->className())
                                        : AWidget.objectName();
}

QString Describe(const QWidget &AWidget) {
  QString LText;
  if (const auto *LLabel = qobject_cast<const QLabel *>(&AWidget))
    LText = LLabel->text();
  else if (const auto *LButton = qobject_cast<const QAbstractButton *>(&AWidget))
    LText = LButton->text();
  else if (const auto *LGroup = qobject_cast<const QGroupBox *>(&AWidget))
    LText = LGroup->title();
  else if (const auto *LCombo = qobject_cast<const QComboBox *>(&AWidget))
    LText = LCombo->currentText();
  return LText.isEmpty() ? Name(AWidget)
                         : Name(AWidget) + QStringLiteral(" \"") + LText + QLatin1Char('"');
}

QString SizeText(const QSize &ASize) {
  return QStringLiteral("%1x%2").arg(ASize.width()).arg(ASize.height());
}

// A widget inside a control made of widgets (a combo box's or a spin box's
// field, a grid's header and viewport): the control is checked, not its
// parts.
bool IsPartOfControl(const QWidget &AWidget, const QWidget &ATop) {
  for (const QWidget *LParent = AWidget.parentWidget(); LParent != nullptr && LParent != &ATop;
       LParent = LParent->parentWidget()) {
    if (qobject_cast<const QAbstractScrollArea *>(LParent) != nullptr ||
        qobject_cast<const QComboBox *>(LParent) != nullptr ||
        qobject_cast<const QAbstractSpinBox *>(LParent) != nullptr)
      return true;
  }
  return false;
}

QGroupBox *GroupOf(const QWidget &AWidget) {
  for (QWidget *LParent = AWidget.parentWidget(); LParent != nullptr;
       LParent = LParent->parentWidget())
    if (auto *LGroup = qobject_cast<QGroupBox *>(LParent))
      return LGroup;
  return nullptr;
}

// Why AWidget does not show its whole text, or nothing.
QString TextProblem(const QWidget &AWidget) {
  const QSize LSize = AWidget.size();
  QSize LNeeded;
  if (const auto *LLabel = qobject_cast<const QLabel *>(&AWidget)) {
    if (LLabel->text().isEmpty())
      return {};
    if (LLabel->wordWrap()) {
      const int LHeight = LLabel->heightForWidth(LSize.width());
      return LSize.height() < LHeight ? QStringLiteral("%1 is %2 high, its text needs %3")
                                            .arg(Describe(AWidget))
                                            .arg(LSize.height())
                                            .arg(LHeight)
                                      : QString();
    }
    LNeeded = LLabel->minimumSizeHint();
  } else if (const auto *LButton = qobject_cast<const QAbstractButton *>(&AWidget)) {
    if (LButton->text().isEmpty())
      return {};
    LNeeded = LButton->sizeHint();
  } else if (qobject_cast<const QComboBox *>(&AWidget) != nullptr ||
             qobject_cast<const QAbstractSpinBox *>(&AWidget) != nullptr) {
    // Every item, the longest included, shows whole.
    LNeeded = AWidget.sizeHint();
  } else if (const auto *LGroup = qobject_cast<const QGroupBox *>(&AWidget)) {
    // The title and everything the group holds.
    if (LGroup->title().isEmpty() && LGroup->layout() == nullptr)
      return {};
    LNeeded = LGroup->minimumSizeHint();
  } else {
    return {};
  }
  if (LSize.width() >= LNeeded.width() && LSize.height() >= LNeeded.height())
    return {};
  return QStringLiteral("%1 is %2, its text needs %3")
      .arg(Describe(AWidget), SizeText(LSize), SizeText(LNeeded));
}

// Why AWidget runs over the border of the group it is in, or nothing.
QString GroupProblem(const QWidget &AWidget) {
  QGroupBox *LGroup = GroupOf(AWidget);
  if (LGroup == nullptr)
    return {};
  // A group box keeps the room inside its frame and under its title as its
  // contents rectangle.
  const QRect LInside = LGroup->contentsRect();
  const QRect LRect(AWidget.mapTo(LGroup, QPoint(0, 0)), AWidget.size());
  if (LInside.contains(LRect))
    return {};
  return QStringLiteral("%1 at %2,%3 %4 runs over %5 (inside: %6,%7 %8)")
      .arg(Describe(AWidget))
      .arg(LRect.x())
      .arg(LRect.y())
      .arg(SizeText(LRect.size()), Name(*LGroup))
      .arg(LInside.x())
      .arg(LInside.y())
      .arg(SizeText(LInside.size()));
}

// Why a grid cuts a column title, or a cell of a column that must show its
// cells whole, or nothing.
QStringList GridProblems(const QTableView &AGrid, const QList<int> &AWholeColumns) {
  QStringList LProblems;
  const QHeaderView &LHeader = *AGrid.horizontalHeader();
  const QAbstractItemModel *LModel = AGrid.model();
  if (!LHeader.isVisible() || LModel == nullptr)
    return LProblems;
  // The sort marker takes the right end of a section, the title is centred.
  const int LMarker = qobject_cast<const TSortHeaderView *>(&LHeader) != nullptr
                          ? 2 * (TSortHeaderView::MarkerWidth + TSortHeaderView::MarkerMarginRight)
                          : 0;
  for (int LColumn = 0; LColumn < LHeader.count(); ++LColumn) {
    if (LHeader.isSectionHidden(LColumn))
      continue;
    const QString LTitle = LModel->headerData(LColumn, Qt::Horizontal).toString();
    if (!LTitle.isEmpty() &&
        LHeader.sectionSize(LColumn) < LHeader.sectionSizeHint(LColumn) + LMarker)
      LProblems.append(QStringLiteral("%1: the column \"%2\" is %3 wide, its title needs %4")
                           .arg(Name(AGrid), LTitle)
                           .arg(LHeader.sectionSize(LColumn))
                           .arg(LHeader.sectionSizeHint(LColumn) + LMarker));
    const int LRight = LHeader.sectionViewportPosition(LColumn) + LHeader.sectionSize(LColumn);
    if (!LTitle.isEmpty() && LRight > LHeader.viewport()->width())
      LProblems.append(QStringLiteral("%1: the column \"%2\" ends at %3, out of view (%4)")
                           .arg(Name(AGrid), LTitle)
                           .arg(LRight)
                           .arg(LHeader.viewport()->width()));
    if (!AWholeColumns.contains(LColumn))
      continue;
    // As the cells are painted: the text within the cell's margins.
    const QFontMetrics LMetrics(AGrid.font());
    for (int LRow = 0; LRow < LModel->rowCount(); ++LRow) {
      const QModelIndex LCell = LModel->index(LRow, LColumn);
      const QString LText = LCell.data().toString();
      const int LRoom = AGrid.visualRect(LCell).width() - 2 * TPlainTextDelegate::TextMargin;
      if (LMetrics.elidedText(LText, Qt::ElideRight, LRoom) != LText)
        LProblems.append(QStringLiteral("%1: \"%2\" in the column \"%3\" is cut (%4 wide)")
                             .arg(Name(AGrid), LText, LTitle)
                             .arg(LRoom));
    }
  }
  return LProblems;
}

// The bounding box of the pixels in which A and B differ.
QRect Difference(const QImage &A, const QImage &B) {
  QRect LBox;
  if (A.size() != B.size())
    return QRect(QPoint(0, 0), A.size());
  for (int y = 0; y < A.height(); ++y)
    for (int x = 0; x < A.width(); ++x)
      if (A.pixel(x, y) != B.pixel(x, y))
        LBox |= QRect(x, y, 1, 1);
  return LBox;
}

} // namespace

class TTestLooks : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<TExecutableFolder> FExe;
  std::unique_ptr<TMessageRecorder> FMessages;
  std::unique_ptr<QTemporaryDir> FDir;
  std::unique_ptr<TfmMain> FMain;

  QString Write(const QString &ARelative) const {
    const QString LPath = FDir->filePath(ARelative);
    QDir().mkpath(QFileInfo(LPath).path());
    QFile LFile(LPath);
    if (LFile.open(QIODevice::WriteOnly))
      LFile.write("x");
    return LPath;
  }
  TFilePage &Files() const { return *FMain->FilePage; }
  TFolderPage &Folders() const { return *FMain->FolderPage; }

  static void AddPageRows() {
    QTest::addColumn<int>("Page");
    QTest::newRow("mode") << int(TMainPage::mpSelectMode);
    QTest::newRow("files") << int(TMainPage::mpFileRename);
    QTest::newRow("folders") << int(TMainPage::mpFolderRename);
    QTest::newRow("settings") << int(TMainPage::mpSettings);
    QTest::newRow("about") << int(TMainPage::mpAbout);
    QTest::newRow("history") << int(TMainPage::mpHistory);
  }
  QWidget &Shown(TMainPage APage) {
    FMain->ShowPage(APage);
    // History fills its rows from the worker that reads the batches.
    if (APage == TMainPage::mpHistory)
      if (!QTest::qWaitFor([this] { return !FMain->HistoryPage->Loading(); }))
        qWarning("History was still reading its batches");
    QApplication::processEvents();
    return *FMain->LayoutMain;
  }

private Q_SLOTS:
  void initTestCase() {
    FExe = std::make_unique<TExecutableFolder>();
    FMessages = std::make_unique<TMessageRecorder>();
    FDir = std::make_unique<QTemporaryDir>();
    QDir(GetJournal().Folder()).removeRecursively();
    FMain = std::make_unique<TfmMain>();
    FMain->resize(TfmMain::ClientWidth, TfmMain::ClientHeight);
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
    FMain->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FMain.get()));
    // A batch renamed in a folder deep down, for History; then files and
    // folders in two folders deep down whose paths differ at their ends.
    const QString LDeep = QStringLiteral("Pictures/Holidays and trips with the family/"
                                         "Camera uploads from both phones/%1");
    const QString LLisbon = LDeep.arg(QStringLiteral("2025 Lisbon"));
    const QString LPorto = LDeep.arg(QStringLiteral("2026 Porto"));
    FMain->OpenPaths(false, {Write(LLisbon + QStringLiteral("/IMG_2040.JPG"))});
    QVERIFY(guitest::WaitForStep(Files()));
    Files().Edit_RenameMask->setText(QStringLiteral("[N]_r"));
    QTest::keyClick(Files().Edit_RenameMask, Qt::Key_Return);
    Files().acRename->trigger();
    QTRY_COMPARE(FMessages->Texts(), QStringList{QStringLiteral("Rename done.")});
    FMain->OpenPaths(false, {Write(LLisbon + QStringLiteral("/IMG_2041.JPG")),
                             Write(LPorto + QStringLiteral("/IMG_2042.JPG"))});
    QVERIFY(guitest::WaitForStep(Files()));
    QCOMPARE(Files().StringGrid_Rename->model()->rowCount(), 2);
    // Logging on: the log folder's controls are in use.
    FMain->CheckBox_EnblLogging->setChecked(true);
    QDir().mkpath(FDir->filePath(LLisbon + QStringLiteral("/Day one")));
    FMain->OpenPaths(true, {FDir->filePath(LLisbon)});
    QVERIFY(guitest::WaitForStep(Folders()));
  }
  void cleanupTestCase() {
    FMain.reset();
    FDir.reset();
    FMessages.reset();
    FExe.reset();
  }

  // The window keeps its smallest size on every page: what the pages hold
  // fits in 900 x 700 without being squeezed below its own minimum.
  void PagesFitTheMinimumSize_data() { AddPageRows(); }
  void PagesFitTheMinimumSize() {
    QFETCH(int, Page);
    Shown(static_cast<TMainPage>(Page));
    QCOMPARE(FMain->size(), QSize(TfmMain::ClientWidth, TfmMain::ClientHeight));
    const QSize LNeeded = FMain->layout()->minimumSize();
    QVERIFY2(LNeeded.width() <= TfmMain::ClientWidth && LNeeded.height() <= TfmMain::ClientHeight,
             qPrintable(QStringLiteral("the page needs ") + SizeText(LNeeded)));
  }

  void NothingIsClipped_data() { AddPageRows(); }
  void NothingIsClipped() {
    QFETCH(int, Page);
    QWidget &LTop = Shown(static_cast<TMainPage>(Page));
    QStringList LProblems;
    for (QWidget *LWidget : LTop.findChildren<QWidget *>()) {
      if (!LWidget->isVisibleTo(FMain.get()) || IsPartOfControl(*LWidget, LTop))
        continue;
      for (const QString &LProblem : {TextProblem(*LWidget), GroupProblem(*LWidget)})
        if (!LProblem.isEmpty())
          LProblems.append(LProblem);
      if (auto *LGrid = qobject_cast<QTableView *>(LWidget)) {
        // History's columns but the folder show their cells whole, and so
        // does the detail grids' column of property names.
        QList<int> LWhole;
        if (LGrid == FMain->HistoryPage->sgHistory)
          LWhole = {0, 1, 2, 4};
        else if (LGrid->objectName().startsWith(QStringLiteral("sgDetailInfo")))
          LWhole = {0};
        LProblems += GridProblems(*LGrid, LWhole);
      }
    }
    QVERIFY2(LProblems.isEmpty(), qPrintable(LProblems.join(QLatin1Char('\n'))));
  }

  // The header's buttons show whole too.
  void HeaderIsNotClipped() {
    Shown(TMainPage::mpFileRename);
    QStringList LProblems;
    for (QWidget *LWidget : FMain->Panel10->findChildren<QWidget *>())
      if (LWidget->isVisibleTo(FMain.get()))
        if (const QString LProblem = TextProblem(*LWidget); !LProblem.isEmpty())
          LProblems.append(LProblem);
    QVERIFY2(LProblems.isEmpty(), qPrintable(LProblems.join(QLatin1Char('\n'))));
  }

  // A path too long for its column keeps its start and its end, so that two
  // folders that differ at their ends read apart; the whole path is its
  // tooltip.
  void LongPathsKeepTheirEnds_data() {
    QTest::addColumn<int>("Page");
    QTest::addColumn<int>("Column"); // counted from the grid's last column
    QTest::newRow("files: Location") << int(TMainPage::mpFileRename) << 0;
    QTest::newRow("history: Folder") << int(TMainPage::mpHistory) << 1;
  }
  void LongPathsKeepTheirEnds() {
    QFETCH(int, Page);
    QFETCH(int, Column);
    Shown(static_cast<TMainPage>(Page));
    QTableView &LGrid = Page == int(TMainPage::mpHistory) ? *FMain->HistoryPage->sgHistory
                                                          : *Files().StringGrid_Rename;
    QCOMPARE(LGrid.textElideMode(), Qt::ElideMiddle);
    const int LColumn = LGrid.model()->columnCount() - 1 - Column;
    const QModelIndex LCell = LGrid.model()->index(0, LColumn);
    const QString LText = LCell.data().toString();
    const QRect LRect = LGrid.visualRect(LCell);
    QVERIFY(QFontMetrics(LGrid.font()).horizontalAdvance(LText) > LRect.width());
    QHelpEvent LTip(QEvent::ToolTip, LRect.center(), LGrid.viewport()->mapToGlobal(LRect.center()));
    QCoreApplication::sendEvent(LGrid.viewport(), &LTip);
    QTRY_COMPARE(QToolTip::text(), LText);
    QToolTip::hideText();
    if (LGrid.model()->rowCount() < 2)
      return;
    // The files in the two folders: cut at their ends they would read alike.
    const QFontMetrics LMetrics(LGrid.font());
    const int LRoom = LRect.width() - 2 * TPlainTextDelegate::TextMargin;
    const QString LOther = LGrid.model()->index(1, LColumn).data().toString();
    QVERIFY(LMetrics.elidedText(LText, Qt::ElideRight, LRoom) ==
            LMetrics.elidedText(LOther, Qt::ElideRight, LRoom));
    QVERIFY(LMetrics.elidedText(LText, Qt::ElideMiddle, LRoom) !=
            LMetrics.elidedText(LOther, Qt::ElideMiddle, LRoom));
    // The cell is painted as the grid elides.
    LGrid.clearSelection();
    const QImage LMiddle = LGrid.viewport()->grab(LRect).toImage();
    LGrid.setTextElideMode(Qt::ElideRight);
    const QImage LRight = LGrid.viewport()->grab(LRect).toImage();
    LGrid.setTextElideMode(Qt::ElideMiddle);
    QVERIFY(LMiddle != LRight);
  }

  // The folder page's token buttons, "More…" and list buttons are the file
  // page's kind of control and look alike.
  void FolderPageButtonsLookLikeTheFilePages() {
    const struct {
      QAbstractButton *FFile;
      QAbstractButton *FFolder;
    } LPairs[] = {{Files().Btn_NName, Folders().btnFolder_Name},
                  {Files().Btn_CCounter, Folders().btnFolder_Count},
                  {Files().Btn_YMDDate, Folders().btnFolder_Date},
                  {Files().Btn_hmsTime, Folders().btnFolder_Time},
                  {Files().Btn_MoreTokens, Folders().Btn_MoreTokens},
                  {Files().btnAddFile, Folders().btnAddFolders},
                  {Files().btnClear, Folders().btnClearFolder},
                  {Files().Button_Delete, Folders().btnDeleteFolder},
                  {Files().Button_Rename, Folders().btnRenameFolder},
                  {Files().Button_Undo, Folders().btnRollbackFolder},
                  {Files().btn_ApplyName, Folders().btnApplyAllFolder},
                  {Files().btnFilePresets, Folders().btnFolderPresets}};
    for (const auto &LPair : LPairs) {
      const QString LWhat = Name(*LPair.FFolder);
      QCOMPARE(QString::fromLatin1(LPair.FFolder->metaObject()->className()),
               QString::fromLatin1(LPair.FFile->metaObject()->className()));
      QVERIFY2(LPair.FFolder->property("look") == LPair.FFile->property("look"), qPrintable(LWhat));
      QVERIFY2(LPair.FFolder->iconSize() == LPair.FFile->iconSize(), qPrintable(LWhat));
      QVERIFY2(LPair.FFolder->icon().isNull() == LPair.FFile->icon().isNull(), qPrintable(LWhat));
      QVERIFY2(!LPair.FFolder->text().isEmpty(), qPrintable(LWhat));
      QVERIFY2(LPair.FFolder->cursor().shape() == LPair.FFile->cursor().shape(), qPrintable(LWhat));
      Shown(TMainPage::mpFileRename);
      const int LFileHeight = LPair.FFile->height();
      const QSize LFileMinimum = LPair.FFile->minimumSize();
      Shown(TMainPage::mpFolderRename);
      QVERIFY2(LPair.FFolder->height() == LFileHeight, qPrintable(LWhat));
      QVERIFY2(LPair.FFolder->minimumSize() == LFileMinimum, qPrintable(LWhat));
    }
    QCOMPARE(Folders().Btn_MoreTokens->text(), QStringLiteral("More…"));
    QCOMPARE(Files().Btn_MoreTokens->text(), QStringLiteral("More…"));
  }

  // Every control that takes the keyboard focus draws a frame when it has
  // it: the pixels that change span the control (a text field's caret alone
  // does not count).
  void FocusShowsAFrame_data() { AddPageRows(); }
  void FocusShowsAFrame() {
    QFETCH(int, Page);
    QWidget &LTop = Shown(static_cast<TMainPage>(Page));
    QList<QWidget *> LControls;
    for (QWidget *LWidget : LTop.findChildren<QWidget *>())
      if (LWidget->isVisibleTo(FMain.get()) && LWidget->isEnabled() &&
          (LWidget->focusPolicy() & Qt::TabFocus) && LWidget->focusProxy() == nullptr &&
          !IsPartOfControl(*LWidget, LTop))
        LControls.append(LWidget);
    if (static_cast<TMainPage>(Page) == TMainPage::mpFileRename)
      for (QWidget *LButton : FMain->Panel10->findChildren<QToolButton *>())
        if (LButton->isVisibleTo(FMain.get()))
          LControls.append(LButton);
    if (LControls.isEmpty())
      QSKIP("no control of the page takes the focus");
    // The focus comes from the keyboard, as Tab gives it.
    FMain->setAttribute(Qt::WA_KeyboardFocusChange);
    QStringList LProblems;
    for (QWidget *LControl : LControls) {
      // Another control has the focus while the plain look is taken.
      QWidget *LOther = LControl == LControls.first() ? LControls.last() : LControls.first();
      LOther->setFocus(Qt::TabFocusReason);
      QApplication::processEvents();
      const QImage LPlain = LControl->grab().toImage();
      LControl->setFocus(Qt::TabFocusReason);
      QApplication::processEvents();
      if (!LControl->hasFocus()) {
        LProblems.append(Describe(*LControl) + QStringLiteral(" does not take the focus"));
        continue;
      }
      const QImage LFocused = LControl->grab().toImage();
      const QRect LChanged = Difference(LPlain, LFocused);
      const QSize LSize = LPlain.size();
      // A control stretched beyond what it draws (a check box along a whole
      // row) is measured by what it draws.
      const QSize LDrawn = LSize.boundedTo(LControl->sizeHint());
      if (LChanged.width() * 2 < LDrawn.width() || LChanged.height() * 2 < LDrawn.height())
        LProblems.append(
            QStringLiteral("%1 (%2): the focus changes %3 at %4,%5")
                .arg(Describe(*LControl), SizeText(LSize),
                     LChanged.isEmpty() ? QStringLiteral("nothing") : SizeText(LChanged.size()))
                .arg(LChanged.x())
                .arg(LChanged.y()));
    }
    QVERIFY2(LProblems.isEmpty(), qPrintable(LProblems.join(QLatin1Char('\n'))));
  }
};

QTEST_MAIN(TTestLooks)
#include "tst_looks.moc"
