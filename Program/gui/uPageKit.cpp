#include "uPageKit.h"

#include "FMX.BallonHint.h"
#include "uAction.h"
#include "uControlUtils.h"
#include "uGridSupport.h"
#include "uLog.h"
#include "uMaskScanner.h"
#include "uMessageForm.h"
#include "uNameEdits.h"
#include "uNameRecipe.h"
#include "uPageHost.h"
#include "uProgress.h"
#include "uPropertyGridModel.h"
#include "uRenamePlan.h"
#include "uResourceString.h"
#include "uUtil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include <atomic>
#include <utility>

#ifdef VARNWELL_TSAN
#include <sanitizer/tsan_interface.h>
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif

namespace {

bool IsEnterKey(const QEvent &AEvent) {
  if (AEvent.type() != QEvent::KeyPress)
    return false;
  const int LKey = static_cast<const QKeyEvent &>(AEvent).key();
  return LKey == Qt::Key_Return || LKey == Qt::Key_Enter;
}

// Focus moving to another control of the window; not a popup opening over
// the field or the window losing activation.
bool IsFocusLeaving(const QEvent &AEvent) {
  if (AEvent.type() != QEvent::FocusOut)
    return false;
  const Qt::FocusReason LReason = static_cast<const QFocusEvent &>(AEvent).reason();
  return LReason != Qt::PopupFocusReason && LReason != Qt::ActiveWindowFocusReason;
}

void ReportOutcome(int AFailed, const QString &ADone, const QString &AFailedOne,
                   const QString &AFailedMany) {
  const QString LText =
      AFailed == 0 ? ADone
                   : rs::FormatMessage(rs::ForCount(AFailed, AFailedOne, AFailedMany), {AFailed});
  GetLogger().WriteLog(LText);
  ShowWarningMessage(LText);
}

} // namespace

// ---------------------------------------------------------------------------
// Fields

TFieldExits::TFieldExits(std::function<void()> AAfterExit) : FAfterExit(std::move(AAfterExit)) {}

void TFieldExits::Watch(QLineEdit &AField, std::function<void()> AOnExit, TExitOn AExitOn) {
  FFields.push_back({&AField, std::move(AOnExit), AExitOn});
  AField.installEventFilter(this);
}

bool TFieldExits::eventFilter(QObject *AWatched, QEvent *AEvent) {
  const bool LEnter = IsEnterKey(*AEvent);
  const bool LLeaving = !LEnter && IsFocusLeaving(*AEvent);
  if (LEnter || LLeaving) {
    for (const TField &LField : FFields) {
      if (LField.FField != AWatched || (LLeaving && LField.FExitOn == TExitOn::EnterOnly))
        continue;
      LField.FOnExit();
      if (FAfterExit)
        FAfterExit();
      break;
    }
  }
  return QObject::eventFilter(AWatched, AEvent);
}

bool TFieldExits::ExitFocused() {
  const QWidget *LFocused = QApplication::focusWidget();
  for (const TField &LField : FFields) {
    if (LFocused == nullptr || LField.FField != LFocused)
      continue;
    LField.FOnExit();
    if (FAfterExit)
      FAfterExit();
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Token buttons

TTokenButton::TTokenButton(TTokenLook ALook, QWidget *AParent) : QToolButton(AParent) {
  setFocusPolicy(Qt::NoFocus);
  setToolButtonStyle(Qt::ToolButtonTextOnly);
  if (ALook == TTokenLook::PushButton) {
    // The window's style sheet draws it as its push buttons, never narrower
    // than its text and padding; the buttons of a column take its width.
    setProperty("look", QStringLiteral("push"));
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
  }
}

TTokenButton *MakeTokenButton(const QString &AName, TAction &AAction, TTokenLook ALook,
                              QWidget &AParent) {
  auto *LButton = new TTokenButton(ALook, &AParent);
  LButton->setObjectName(AName);
  AAction.BindButton(*LButton);
  return LButton;
}

std::vector<TMoreToken> MoreTokens(bool AFiles) {
  std::vector<TMoreToken> LTokens{
      {QStringLiteral("[DATE:yyyy-MM-dd]"),
       AFiles ? QStringLiteral("[DATE:yyyy-MM-dd]  the file's date in any format: 2015-03-05")
              : QStringLiteral("[DATE:yyyy-MM-dd]  today in any format: 2015-03-05")}};
  if (!AFiles)
    return LTokens;
  LTokens.push_back({QStringLiteral("[EXIF:yyyy-MM-dd_hh.mm.ss]"),
                     QStringLiteral("[EXIF:yyyy-MM-dd_hh.mm.ss]  when the photo was taken: "
                                    "2015-03-05_14.07.09")});
  LTokens.push_back({QStringLiteral("[W]"), QStringLiteral("[W]  the image's width: 4000")});
  LTokens.push_back({QStringLiteral("[H]"), QStringLiteral("[H]  the image's height: 3000")});
  LTokens.push_back(
      {QStringLiteral("[ARTIST]"), QStringLiteral("[ARTIST]  the music's artist: Ana")});
  LTokens.push_back({QStringLiteral("[ALBUM]"), QStringLiteral("[ALBUM]  the album: Live")});
  LTokens.push_back({QStringLiteral("[TITLE]"), QStringLiteral("[TITLE]  the title: Rain")});
  LTokens.push_back({QStringLiteral("[TRACK:2]"),
                     QStringLiteral("[TRACK:2]  the track, at least two digits: 07")});
  LTokens.push_back({QStringLiteral("[YEAR]"), QStringLiteral("[YEAR]  the year: 1999")});
  return LTokens;
}

TTokenButton *MakeMoreTokensButton(const QString &AName, bool AFiles, TTokenLook ALook,
                                   QLineEdit &AEdit, QWidget &AParent) {
  auto *LButton = new TTokenButton(ALook, &AParent);
  LButton->setObjectName(AName);
  LButton->setText(QStringLiteral("More…"));
  LButton->setPopupMode(QToolButton::InstantPopup);
  auto *LMenu = new QMenu(LButton);
  LMenu->setObjectName(AName + QStringLiteral("Menu"));
  const QPointer<QLineEdit> LEdit(&AEdit);
  for (const TMoreToken &LToken : MoreTokens(AFiles)) {
    QAction *LAction = LMenu->addAction(LToken.FText);
    LAction->setData(LToken.FToken);
    QObject::connect(LAction, &QAction::triggered, LButton, [LEdit, LToken = LToken.FToken] {
      if (LEdit)
        InsertText2Edit(LToken, *LEdit);
    });
  }
  LButton->setMenu(LMenu);
  return LButton;
}

// ---------------------------------------------------------------------------
// Repainting

TUpdatesSuspended::TUpdatesSuspended(QWidget &AWidget)
    : FWidget(&AWidget), FWasEnabled(AWidget.updatesEnabled()) {
  AWidget.setUpdatesEnabled(false);
}

TUpdatesSuspended::~TUpdatesSuspended() {
  if (FWidget)
    FWidget->setUpdatesEnabled(FWasEnabled);
}

// ---------------------------------------------------------------------------
// Sorting by the header

TSortHeaderView *InstallSortHeader(QTableView &AGrid, const TPageHost &AHost) {
  auto *LHeader = new TSortHeaderView(&AGrid);
  QTableView *LGrid = &AGrid;
  LHeader->SetMinWidthHook([&AHost, LGrid](int AColumn, int &AMinWidth) {
    AHost.GetColumnMinWidth(*LGrid, AColumn, AMinWidth);
  });
  AGrid.setHorizontalHeader(LHeader);
  return LHeader;
}

std::optional<TSortPress> SortPress(TSortHeaderView &AHeader, int ASection, int ARowCount) {
  if (ARowCount < 2)
    return std::nullopt;
  const QString LColumn = AHeader.SectionName(ASection);
  if (LColumn.isEmpty() || LColumn == HintColumnName)
    return std::nullopt;
  return TSortPress{LColumn, AHeader.PlaceSortMarker(ASection) == QStringLiteral("Down")};
}

// ---------------------------------------------------------------------------
// Hint column and balloon

std::optional<THintText> RowHintText(const QString &AName, const QString &AFailure,
                                     const TPlanEntry *AEntry, bool AFolders) {
  if (AEntry == nullptr)
    return THintText{AName, AFailure};
  QString LReason = PlanReason(*AEntry, AFolders);
  if (LReason.isEmpty())
    return std::nullopt;
  return THintText{AName, std::move(LReason)};
}

QString MetadataNotesText(uint16_t ANotes) {
  QStringList LLines;
  if (ANotes & (masks::mnNoPhotoLibrary | masks::mnNoMusicLibrary))
    LLines << QStringLiteral("Metadata cannot be read in this build.");
  if (ANotes & masks::mnTakenFileTime)
    LLines << QStringLiteral("The photo has no date taken: the file's modification time was used.");
  if (ANotes & masks::mnTakenDigitized)
    LLines << QStringLiteral("The photo has no original date: the date it was digitized was used.");
  if (ANotes & masks::mnNoSize)
    LLines << QStringLiteral("The file has no image size.");
  const std::pair<uint16_t, const char *> LTags[] = {{masks::mnNoArtist, "ARTIST"},
                                                     {masks::mnNoAlbum, "ALBUM"},
                                                     {masks::mnNoTitle, "TITLE"},
                                                     {masks::mnNoTrack, "TRACK"},
                                                     {masks::mnNoYear, "YEAR"}};
  for (const auto &[LBit, LTag] : LTags)
    if (ANotes & LBit)
      LLines << QStringLiteral("The file has no %1 tag.").arg(QLatin1String(LTag));
  return LLines.join(QLatin1Char('\n'));
}

TGridMouseWatch::TGridMouseWatch(QTableView &AGrid, std::function<void(const QPoint &APos)> AOnMove)
    : FOnMove(std::move(AOnMove)) {
  AGrid.setMouseTracking(true);
  AGrid.viewport()->setMouseTracking(true);
  AGrid.viewport()->installEventFilter(this);
}

bool TGridMouseWatch::eventFilter(QObject *AWatched, QEvent *AEvent) {
  if (AEvent->type() == QEvent::MouseMove)
    FOnMove(static_cast<QMouseEvent *>(AEvent)->position().toPoint());
  else if (AEvent->type() == QEvent::Leave)
    FOnMove(QPoint(-1, -1));
  return QObject::eventFilter(AWatched, AEvent);
}

void HintColumnMouseMove(QTableView &AGrid, const QPoint &APos, int &ALastRow,
                         const THintTextOf &ATextOf) {
  const int LRow = AGrid.rowAt(APos.y());
  const int LColumn = AGrid.columnAt(APos.x());
  const QAbstractItemModel *LModel = AGrid.model();
  const bool LOnHint =
      LModel != nullptr && LColumn >= 0 &&
      LModel->headerData(LColumn, Qt::Horizontal, ColumnNameRole).toString() == HintColumnName;
  if (LOnHint && LRow >= 0) {
    if (LRow == ALastRow)
      return;
    if (const std::optional<THintText> LText = ATextOf(LRow))
      ShowBalloonHint(&AGrid, DisplayText(LText->FName), DisplayText(LText->FReason));
    else
      HideBalloonHint();
    ALastRow = LRow;
    return;
  }
  ForgetHintBalloon(ALastRow);
}

void ForgetHintBalloon(int &ALastRow) {
  HideBalloonHint();
  ALastRow = -1;
}

// ---------------------------------------------------------------------------
// The plan of a Rename

void ReselectRow(QTableView &AGrid, int ARow) {
  const QAbstractItemModel *LModel = AGrid.model();
  if (ARow < 0 || LModel == nullptr || ARow >= LModel->rowCount())
    return;
  AGrid.selectionModel()->select(LModel->index(ARow, 0),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// ---------------------------------------------------------------------------
// Reports

void ReportRename(int AFailed) {
  ReportOutcome(AFailed, rs::RenameDone, rs::FailedToRenameOne, rs::FailedToRenameMany);
}

void ReportRollback(int AFailed) {
  ReportOutcome(AFailed, rs::RollbackDone, rs::FailedToRollbackOne, rs::FailedToRollbackMany);
}

bool ReportBatchRefused(int AFailed, const QString &AError) {
  if (AFailed >= 0)
    return false;
  GetLogger().WriteLog(AError);
  ShowWarningMessage(AError);
  return true;
}

void ReportCancelled(const QString &AFormat, int ADone, int ATotal) {
  const QString LText = rs::FormatMessage(AFormat, {ADone, ATotal});
  GetLogger().WriteLog(LText);
  ShowWarningMessage(LText);
}

void ReportJournalIncomplete(const QString &AError, const QString &AFormat, int ADone, int ATotal) {
  const QString LText = rs::FormatMessage(rs::JournalIncomplete, {AError}) + QLatin1Char('\n') +
                        rs::FormatMessage(AFormat, {ADone, ATotal});
  GetLogger().WriteLog(LText);
  ShowWarningMessage(LText);
}

void ReportAddCancelled(int AFound) {
  const QString LText = rs::FormatMessage(rs::AddCancelled, {AFound});
  GetLogger().WriteLog(LText);
  ShowWarningMessage(LText);
}

// ---------------------------------------------------------------------------
// Long steps

namespace {

std::atomic<int> &StopAfter() {
  static std::atomic<int> LStopAfter{-1};
  return LStopAfter;
}

// The shortest time between two progress reports the GUI thread receives.
constexpr qint64 ReportIntervalMs = 40;

// Qt orders a thread's work before what another thread does next when that
// one has waited for it (QThread::wait()) or runs an event it posted, through
// locks inside Qt that ThreadSanitizer does not see in a Qt built without it.
// In the ThreadSanitizer build the code says where it relies on that order:
// the work hands over (HandOver) and the other thread takes over (TakeOver),
// as around a join.
void HandOver([[maybe_unused]] const QObject *AKey) {
#ifdef VARNWELL_TSAN
  __tsan_release(const_cast<QObject *>(AKey));
#endif
}

void TakeOver([[maybe_unused]] const QObject *AKey) {
#ifdef VARNWELL_TSAN
  __tsan_acquire(const_cast<QObject *>(AKey));
#endif
}

// Runs AFunction on AReceiver's thread, after all that this thread did
// before. The event that carries it is made on this thread and read on the
// other: the runtime is told not to watch its making, which Qt's event queue
// orders before its reading.
template <class TFunction> void PostTo(QObject *AReceiver, TFunction AFunction) {
  HandOver(AReceiver);
#ifdef VARNWELL_TSAN
  __tsan_ignore_thread_begin();
#endif
  QMetaObject::invokeMethod(
      AReceiver,
      [AReceiver, AFunction = std::move(AFunction)] {
        TakeOver(AReceiver);
        AFunction();
      },
      Qt::QueuedConnection);
#ifdef VARNWELL_TSAN
  __tsan_ignore_thread_end();
#endif
}

} // namespace

void HandOverTo(const QObject *AKey) {
  HandOver(AKey);
}

void TakeOverFrom(const QObject *AKey) {
  TakeOver(AKey);
}

void PostToThreadOf(QObject *AReceiver, std::function<void()> AFunction) {
  PostTo(AReceiver, std::move(AFunction));
}

TStepWorker::TStepWorker(QObject *AParent)
    : QObject(AParent), FProgress(std::make_unique<TProgress>()) {}

TStepWorker::~TStepWorker() {
  if (FThread == nullptr)
    return;
  FProgress->RequestStop();
  FThread->wait();
  TakeOver(this);
  delete FThread;
}

int TStepWorker::SetStopAfter(int ADone) {
  return StopAfter().exchange(ADone);
}

bool TStepWorker::Start(std::function<void(TProgress &)> AWork, std::function<void()> AOnEnd) {
  if (FThread != nullptr)
    return false;
  FProgress->ClearStop();
  FOnEnd = std::move(AOnEnd);
  // The clock and the time of the last report belong to the step's thread.
  auto LClock = std::make_shared<QElapsedTimer>();
  auto LLast = std::make_shared<qint64>(-ReportIntervalMs);
  const int LStopAfter = StopAfter().load();
  FProgress->SetOnReport([this, LClock, LLast, LStopAfter](int ADone, int ATotal,
                                                           const QString &ACurrent) {
    if (LStopAfter >= 0 && ADone >= LStopAfter)
      FProgress->RequestStop();
    const qint64 LNow = LClock->elapsed();
    if (ADone != ATotal && LNow - *LLast < ReportIntervalMs)
      return;
    *LLast = LNow;
    PostTo(this, [this, ADone, ATotal, ACurrent] { Q_EMIT Progressed(ADone, ATotal, ACurrent); });
  });
  FThread = QThread::create([this, LClock, AWork = std::move(AWork)] {
    LClock->start();
    AWork(*FProgress);
    HandOver(this);
  });
  // The end of a step already ended by CancelAndWait finds another thread
  // or none, and ends nothing.
  connect(
      FThread, &QThread::finished, this,
      [this, LThread = FThread] {
        if (FThread == LThread)
          End();
      },
      Qt::QueuedConnection);
  Q_EMIT Started();
  FThread->start();
  return true;
}

void TStepWorker::Cancel() {
  FProgress->RequestStop();
}

bool TStepWorker::CancelRequested() const {
  return FProgress->StopRequested();
}

void TStepWorker::CancelAndWait() {
  if (FThread == nullptr)
    return;
  FProgress->RequestStop();
  FThread->wait();
  End();
}

void TStepWorker::End() {
  FThread->wait();
  TakeOver(this);
  delete FThread;
  FThread = nullptr;
  FProgress->SetOnReport(nullptr);
  Q_EMIT Finished();
  if (auto LOnEnd = std::exchange(FOnEnd, nullptr))
    LOnEnd();
}

TFolderSizeProbe::TFolderSizeProbe(QObject *AParent)
    : QObject(AParent), FMeasure([](const QString &AFolder, const std::atomic<bool> *AStop) {
        return GetFolderSize(AFolder, AStop);
      }) {}

TFolderSizeProbe::~TFolderSizeProbe() {
  if (FThread == nullptr)
    return;
  FStop.store(true);
  FThread->wait();
  TakeOver(this);
}

void TFolderSizeProbe::Measure(const QString &AFolder) {
  FWanted = AFolder;
  if (FThread == nullptr) {
    StartNext();
    return;
  }
  if (FRunning != AFolder)
    FStop.store(true);
}

void TFolderSizeProbe::StartNext() {
  FRunning = std::exchange(FWanted, QString());
  FStop.store(false);
  FResult = -1;
  FThread.reset(QThread::create([this, LFolder = FRunning] {
    FResult = FMeasure(LFolder, &FStop);
    HandOver(this);
  }));
  connect(FThread.get(), &QThread::finished, this, &TFolderSizeProbe::Ended, Qt::QueuedConnection);
  FThread->start();
}

void TFolderSizeProbe::Ended() {
  FThread->wait();
  TakeOver(this);
  FThread.reset();
  const QString LFolder = std::exchange(FRunning, QString());
  const bool LWhole = FResult >= 0 && !FStop.load();
  // The folder asked for last is measured next, unless that was this one and
  // it was measured whole. The next one starts before the report, whose
  // receiver may ask for yet another.
  if (!FWanted.isEmpty() && !(LWhole && FWanted == LFolder))
    StartNext();
  else
    FWanted.clear();
  if (LWhole)
    Q_EMIT Measured(LFolder, FResult);
}

TStepProgress::TStepProgress(TStepWorker &AWorker, QWidget *AParent) : QFrame(AParent) {
  setObjectName(QStringLiteral("StepProgress"));
  setFrameShape(QFrame::StyledPanel);
  auto *LLayout = new QVBoxLayout(this);
  auto *LRow = new QHBoxLayout;
  ProgressBar_Step = new QProgressBar(this);
  ProgressBar_Step->setObjectName(QStringLiteral("ProgressBar_Step"));
  ProgressBar_Step->setTextVisible(false);
  txtStepCount = new QLabel(this);
  txtStepCount->setObjectName(QStringLiteral("txtStepCount"));
  btnStepCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnStepCancel->setObjectName(QStringLiteral("btnStepCancel"));
  LRow->addWidget(ProgressBar_Step, 1);
  LRow->addWidget(txtStepCount);
  LRow->addWidget(btnStepCancel);
  LLayout->addLayout(LRow);
  txtStepCurrent = new QLabel(this);
  txtStepCurrent->setObjectName(QStringLiteral("txtStepCurrent"));
  // A long name must not widen the window.
  txtStepCurrent->setMinimumWidth(1);
  txtStepCurrent->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  LLayout->addWidget(txtStepCurrent);
  hide();
  btnStepCancel->setAutoDefault(false);
  btnStepCancel->installEventFilter(this);
  connect(btnStepCancel, &QPushButton::clicked, &AWorker, [&AWorker] { AWorker.Cancel(); });
  connect(&AWorker, &TStepWorker::Started, this, [this] {
    ShowProgress(0, 0, QString());
    btnStepCancel->setEnabled(true);
    show();
  });
  connect(&AWorker, &TStepWorker::Progressed, this,
          [this](int ADone, int ATotal, const QString &ACurrent) {
            ShowProgress(ADone, ATotal, ACurrent);
          });
  connect(&AWorker, &TStepWorker::Finished, this, [this] { hide(); });
}

bool TStepProgress::eventFilter(QObject *AWatched, QEvent *AEvent) {
  if (AWatched == btnStepCancel &&
      (AEvent->type() == QEvent::KeyPress || AEvent->type() == QEvent::KeyRelease)) {
    const int LKey = static_cast<QKeyEvent *>(AEvent)->key();
    if (LKey == Qt::Key_Escape) {
      if (AEvent->type() == QEvent::KeyPress && btnStepCancel->isEnabled())
        btnStepCancel->click();
      return true;
    }
    if (LKey == Qt::Key_Space || LKey == Qt::Key_Return || LKey == Qt::Key_Enter ||
        LKey == Qt::Key_Select)
      return true;
  }
  return QFrame::eventFilter(AWatched, AEvent);
}

void TStepProgress::ShowProgress(int ADone, int ATotal, const QString &ACurrent) {
  const QLocale LLocale(QLocale::English);
  if (ATotal > 0) {
    ProgressBar_Step->setRange(0, ATotal);
    ProgressBar_Step->setValue(ADone);
    txtStepCount->setText(
        QStringLiteral("%1 of %2").arg(LLocale.toString(ADone), LLocale.toString(ATotal)));
  } else {
    // The total is not known yet: the bar shows that the step is busy.
    ProgressBar_Step->setRange(0, 0);
    txtStepCount->setText(ADone > 0 ? LLocale.toString(ADone) : QString());
  }
  txtStepCurrent->setText(DisplayText(ACurrent));
}

// ---------------------------------------------------------------------------
// Detail view

void SetupDetailGrid(QTableView &AGrid, TPropertyGridModel &AModel) {
  AGrid.setModel(&AModel);
  AGrid.setEditTriggers(QAbstractItemView::NoEditTriggers);
  AGrid.setSelectionMode(QAbstractItemView::NoSelection);
  AGrid.setAlternatingRowColors(false);
  AGrid.setFocusPolicy(Qt::NoFocus);
  AGrid.setAttribute(Qt::WA_TransparentForMouseEvents, true);
  QHeaderView *LRows = AGrid.verticalHeader();
  LRows->hide();
  LRows->setSectionResizeMode(QHeaderView::Fixed);
  LRows->setDefaultSectionSize(PreviewRowHeight);
  AGrid.setColumnWidth(0, 100);
  AGrid.setColumnWidth(1, 200);
}

void ShowDetails(QTableView &AGrid, TPropertyGridModel &AModel,
                 const std::optional<QStringList> &AValues) {
  AGrid.setEnabled(false);
  if (!AValues) {
    AModel.ClearValues();
    return;
  }
  AModel.SetValues(*AValues);
  AGrid.setEnabled(true);
}

// ---------------------------------------------------------------------------
// Paths from outside the window

QStringList DroppedPaths(const QMimeData &AData) {
  QList<QByteArray> LUris;
  const QString LUriList = QStringLiteral("text/uri-list");
  if (AData.hasFormat(LUriList)) {
    // One address a line, lines starting with "#" are comments.
    for (const QByteArray &LLine : AData.data(LUriList).split('\n')) {
      const QByteArray LUri = LLine.trimmed();
      if (!LUri.isEmpty() && !LUri.startsWith('#'))
        LUris.append(LUri);
    }
  } else {
    for (const QUrl &LUrl : AData.urls())
      LUris.append(LUrl.toEncoded());
  }
  QStringList LPaths;
  for (const QByteArray &LUri : LUris) {
    const QString LPath = PathFromFileUri(LUri);
    if (!LPath.isEmpty())
      LPaths.append(LPath);
  }
  return LPaths;
}

void SplitMissingPaths(const QStringList &APaths, QStringList &AFound, QStringList &AMissing) {
  for (const QString &LPath : APaths) {
    if (PathKindOf(LPath) == TPathKind::Missing)
      AMissing.append(LPath);
    else
      AFound.append(LPath);
  }
}

void ReportNotFound(const QStringList &AMissing) {
  if (AMissing.isEmpty())
    return;
  QStringList LShown;
  for (const QString &LPath : AMissing)
    LShown.append(DisplayText(LPath));
  ShowWarningMessage(rs::FormatMessage(rs::NotFound, {LShown.join(QLatin1Char('\n'))}));
}

void ReportAddProblems(const TAddProblems &AProblems) {
  constexpr qsizetype KShown = 10;
  QStringList LParts;
  const auto LList = [](QStringList &ALines, const QStringList &AItems) {
    for (qsizetype i = 0; i < AItems.size() && i < KShown; ++i)
      ALines.append(AItems[i]);
    if (AItems.size() > KShown)
      ALines.append(rs::FormatMessage(rs::AndMore, {static_cast<int>(AItems.size() - KShown)}));
  };
  if (!AProblems.FMissing.isEmpty()) {
    QStringList LShown;
    for (const QString &LPath : AProblems.FMissing)
      LShown.append(DisplayText(LPath));
    LParts.append(rs::FormatMessage(rs::NotFound, {LShown.join(QLatin1Char('\n'))}));
  }
  if (AProblems.FNotAdded > 0) {
    QStringList LLines{rs::FormatMessage(
        rs::ForCount(AProblems.FNotAdded, rs::FileWasNotAdded, rs::FilesWereNotAdded),
        {AProblems.FNotAdded})};
    QStringList LOwn;
    for (const QString &LPath : AProblems.FOwnFiles)
      LOwn.append(DisplayText(LPath) + QStringLiteral(": ") + rs::UsedByVarnwell);
    LList(LLines, LOwn);
    LParts.append(LLines.join(QLatin1Char('\n')));
  }
  if (!AProblems.FUnreadable.isEmpty()) {
    const int LCount = static_cast<int>(AProblems.FUnreadable.size());
    QStringList LLines{rs::FormatMessage(
        rs::ForCount(LCount, rs::CouldNotReadOne, rs::CouldNotReadMany), {LCount})};
    QStringList LPaths;
    for (const auto &[LPath, LReason] : AProblems.FUnreadable)
      LPaths.append(DisplayText(LPath) + QStringLiteral(": ") + LReason);
    LList(LLines, LPaths);
    LParts.append(LLines.join(QLatin1Char('\n')));
  }
  if (LParts.isEmpty())
    return;
  const QString LText = LParts.join(QStringLiteral("\n\n"));
  GetLogger().WriteLog(LText);
  ShowWarningMessage(LText);
}

TPathDropTarget::TPathDropTarget(QTableView &AGrid,
                                 std::function<void(const QStringList &APaths)> AOnDrop)
    : FOnDrop(std::move(AOnDrop)) {
  AGrid.viewport()->setAcceptDrops(true);
  AGrid.viewport()->installEventFilter(this);
}

bool TPathDropTarget::eventFilter(QObject *AWatched, QEvent *AEvent) {
  switch (AEvent->type()) {
  case QEvent::DragEnter:
  case QEvent::DragMove: {
    auto *LEvent = static_cast<QDropEvent *>(AEvent);
    if (LEvent->mimeData() != nullptr && !DroppedPaths(*LEvent->mimeData()).isEmpty()) {
      LEvent->setDropAction(Qt::CopyAction);
      LEvent->accept();
    } else {
      LEvent->ignore();
    }
    return true;
  }
  case QEvent::Drop: {
    auto *LEvent = static_cast<QDropEvent *>(AEvent);
    const QStringList LPaths =
        LEvent->mimeData() != nullptr ? DroppedPaths(*LEvent->mimeData()) : QStringList();
    if (LPaths.isEmpty()) {
      LEvent->ignore();
      return true;
    }
    LEvent->setDropAction(Qt::CopyAction);
    LEvent->accept();
    QMetaObject::invokeMethod(
        this, [this, LPaths] { FOnDrop(LPaths); }, Qt::QueuedConnection);
    return true;
  }
  default:
    break;
  }
  return QObject::eventFilter(AWatched, AEvent);
}

// ---------------------------------------------------------------------------
// Selection and keys

void EnableRowMultiSelection(QTableView &AGrid) {
  AGrid.setSelectionBehavior(QAbstractItemView::SelectRows);
  AGrid.setSelectionMode(QAbstractItemView::ExtendedSelection);
}

QList<int> SelectedGridRows(const QTableView &AGrid) {
  QList<int> LRows;
  if (AGrid.selectionModel() == nullptr)
    return LRows;
  for (const QModelIndex &LIndex : AGrid.selectionModel()->selectedRows())
    LRows.append(LIndex.row());
  std::sort(LRows.begin(), LRows.end());
  return LRows;
}

void AddActionShortcut(TAction &AAction, const QKeySequence &AKey, Qt::ShortcutContext AContext,
                       QWidget &AScope) {
  AAction.setShortcut(AKey);
  AAction.setShortcutContext(AContext);
  AScope.addAction(&AAction);
}

void ShowShortcutInToolTip(QAbstractButton &AButton, const QString &AText,
                           const QKeySequence &AKey) {
  AButton.setToolTip(AText + QStringLiteral(" (") + AKey.toString(QKeySequence::NativeText) +
                     QLatin1Char(')'));
}

void ScrollToHintMarks(QTableView &AGrid) {
  const QAbstractItemModel *LModel = AGrid.model();
  if (LModel == nullptr || LModel->rowCount() == 0 || LModel->columnCount() == 0)
    return;
  AGrid.scrollTo(LModel->index(0, 0), QAbstractItemView::PositionAtTop);
  AGrid.horizontalScrollBar()->setValue(AGrid.horizontalScrollBar()->minimum());
}

// ---------------------------------------------------------------------------
// Search options

TSearchOptions MakeSearchOptions(QWidget &AParent, QBoxLayout &ALayout, const QString &APrefix,
                                 bool ARegex, bool AMatchCase, std::function<void()> AOnToggle) {
  TSearchOptions LOptions;
  LOptions.FRegex = new QCheckBox(QStringLiteral("Regular expression"), &AParent);
  LOptions.FRegex->setObjectName(QStringLiteral("cb%1RegexSearch").arg(APrefix));
  LOptions.FRegex->setChecked(ARegex);
  LOptions.FMatchCase = new QCheckBox(QStringLiteral("Match case"), &AParent);
  LOptions.FMatchCase->setObjectName(QStringLiteral("cb%1MatchCase").arg(APrefix));
  LOptions.FMatchCase->setChecked(AMatchCase);
  LOptions.FError = new QLabel(&AParent);
  LOptions.FError->setObjectName(QStringLiteral("txt%1SearchError").arg(APrefix));
  LOptions.FError->setWordWrap(true);
  LOptions.FError->setStyleSheet(QStringLiteral("color: #c0392b;"));
  LOptions.FError->hide();
  // One under the other: side by side they would widen the search group
  // beyond the room the window has at its smallest.
  ALayout.addWidget(LOptions.FRegex);
  ALayout.addWidget(LOptions.FMatchCase);
  ALayout.addWidget(LOptions.FError);
  for (QCheckBox *LBox : {LOptions.FRegex, LOptions.FMatchCase})
    QObject::connect(LBox, &QCheckBox::toggled, LBox, [AOnToggle](bool) { AOnToggle(); });
  return LOptions;
}

bool ShowSearchError(const TSearchOptions &AOptions, const TNameRecipe &ARecipe) {
  const nameedits::TSearchReplace LSearch(ARecipe.FSearch, ARecipe.FReplace, ARecipe.FRegex,
                                          ARecipe.FMatchCase);
  const QString LError = LSearch.ErrorText();
  AOptions.FError->setText(LError.isEmpty() ? QString()
                                            : QStringLiteral("Invalid pattern: ") + LError);
  AOptions.FError->setVisible(!LError.isEmpty());
  return LError.isEmpty();
}
