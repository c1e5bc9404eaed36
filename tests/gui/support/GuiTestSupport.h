// Fixtures shared by the GUI tests: a settings folder of their own, answered
// message dialogs, a fixed text measurement, a fake mouse position, and the
// marks of a grid's hint column with their balloons.
#pragma once

#include "FMX.BallonHint.h"
#include "uControlUtils.h"
#include "uJournal.h"
#include "uMessageForm.h"
#include "uSetting.h"
#include "uUtilGui.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QLabel>
#include <QList>
#include <QPoint>
#include <QString>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <utility>

namespace guitest {

// A temporary folder that stands for the executable's folder, so that
// "Settings.ini" and "Logs" land there. Create it before the first window.
class TExecutableFolder {
public:
  // The rename journal goes to a folder of its own there too.
  TExecutableFolder() {
    TSettings::SetExecutableFolderForTesting(FDir.path());
    GetJournal().SetFolder(FDir.filePath(QStringLiteral("journal")));
  }
  ~TExecutableFolder() {
    TSettings::SetExecutableFolderForTesting(QString());
    GetJournal().SetFolder(QString());
  }
  TExecutableFolder(const TExecutableFolder &) = delete;
  TExecutableFolder &operator=(const TExecutableFolder &) = delete;

  QString Path() const { return FDir.path(); }
  QString File(const QString &AName) const { return FDir.filePath(AName); }
  QString SettingsFile() const { return File(QStringLiteral("Settings.ini")); }

  // Writes the settings file with AText (lines joined with CR LF).
  void WriteSettings(const QString &AText) const {
    QFile LFile(SettingsFile());
    if (LFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
      LFile.write(AText.toUtf8());
  }
  QString ReadSettings() const {
    QFile LFile(SettingsFile());
    if (!LFile.open(QIODevice::ReadOnly))
      return {};
    return QString::fromUtf8(LFile.readAll());
  }
  void RemoveSettings() const { QFile::remove(SettingsFile()); }

private:
  QTemporaryDir FDir;
};

// Answers every message dialog and keeps what it would have shown.
class TMessageRecorder {
public:
  struct TMessage {
    QString Text;
    TMessageFormType Type;
  };
  TMessageRecorder() {
    FPrevious = SetMessageHook([this](const QString &AText, TMessageFormType AType) {
      FMessages.append({AText, AType});
    });
  }
  ~TMessageRecorder() { SetMessageHook(std::move(FPrevious)); }
  TMessageRecorder(const TMessageRecorder &) = delete;
  TMessageRecorder &operator=(const TMessageRecorder &) = delete;

  const QList<TMessage> &Messages() const { return FMessages; }
  QStringList Texts() const {
    QStringList LTexts;
    for (const TMessage &LMessage : FMessages)
      LTexts.append(LMessage.Text);
    return LTexts;
  }
  void Clear() { FMessages.clear(); }

private:
  QList<TMessage> FMessages;
  TMessageHook FPrevious;
};

// Every character measures APerChar, whatever the font.
class TFixedTextWidth {
public:
  explicit TFixedTextWidth(float APerChar = 10) {
    FPrevious = SetTextWidthHook([APerChar](const QFont &, const QString &AText) {
      return APerChar * static_cast<float>(AText.size());
    });
  }
  ~TFixedTextWidth() { SetTextWidthHook(std::move(FPrevious)); }
  TFixedTextWidth(const TFixedTextWidth &) = delete;
  TFixedTextWidth &operator=(const TFixedTextWidth &) = delete;

private:
  TTextWidthHook FPrevious;
};

// The mouse position that the balloon reads, in screen coordinates.
class TFakeCursor {
public:
  TFakeCursor() {
    FPrevious = SetCursorPosHook([this] { return FPos; });
  }
  ~TFakeCursor() { SetCursorPosHook(std::move(FPrevious)); }
  TFakeCursor(const TFakeCursor &) = delete;
  TFakeCursor &operator=(const TFakeCursor &) = delete;

  void MoveTo(const QPoint &APos) { FPos = APos; }
  QPoint Pos() const { return FPos; }

private:
  QPoint FPos{-1000, -1000};
  TCursorPosHook FPrevious;
};

// Answers the folder dialog with AChosen (nullopt: cancel) and records the
// captions and starting folders it was asked with.
class TBrowseAnswer {
public:
  explicit TBrowseAnswer(std::optional<QString> AChosen) : FChosen(std::move(AChosen)) {
    FPrevious = SetBrowseFolderHook([this](const QString &ACaption, const QString &AFolder) {
      FCalls.append({ACaption, AFolder});
      return FChosen;
    });
  }
  ~TBrowseAnswer() { SetBrowseFolderHook(std::move(FPrevious)); }
  TBrowseAnswer(const TBrowseAnswer &) = delete;
  TBrowseAnswer &operator=(const TBrowseAnswer &) = delete;

  const QList<std::pair<QString, QString>> &Calls() const { return FCalls; }

private:
  std::optional<QString> FChosen;
  QList<std::pair<QString, QString>> FCalls;
  TBrowseFolderHook FPrevious;
};

// The marks of AGrid's hint column, one letter a row: "-" none, "F" failure,
// "C" conflict, "Q" quiet, "N" not tried; empty when the grid has no hint column.
inline QString HintMarks(const QTableView &AGrid) {
  const QAbstractItemModel &LModel = *AGrid.model();
  if (LModel.columnCount() == 0 ||
      LModel.headerData(0, Qt::Horizontal, ColumnNameRole).toString() != HintColumnName)
    return {};
  QString LMarks;
  for (int LRow = 0; LRow < LModel.rowCount(); ++LRow) {
    switch (THintColumn::MarkOf(LModel.index(LRow, 0))) {
    case THintMark::None:
      LMarks += QLatin1Char('-');
      break;
    case THintMark::Failure:
      LMarks += QLatin1Char('F');
      break;
    case THintMark::Conflict:
      LMarks += QLatin1Char('C');
      break;
    case THintMark::Quiet:
      LMarks += QLatin1Char('Q');
      break;
    case THintMark::NotTried:
      LMarks += QLatin1Char('N');
      break;
    }
  }
  return LMarks;
}

// Moves the mouse over the next cell of ARow, then onto its mark, and
// returns the title and the text of the balloon requested there; empty when
// none was requested.
inline QStringList HoverMark(QTableView &AGrid, int ARow) {
  QWidget *LViewport = AGrid.viewport();
  QTest::mouseMove(LViewport, AGrid.visualRect(AGrid.model()->index(ARow, 1)).center());
  QTest::mouseMove(LViewport, AGrid.visualRect(AGrid.model()->index(ARow, 0)).center());
  const TfmBallonHint *LBalloon = TfmBallonHint::Instance();
  if (LBalloon == nullptr || !LBalloon->TimerActive())
    return {};
  return {LBalloon->lbTitle->text(), LBalloon->lBallonHint->text()};
}

// Lets the events run until APage's step (an Add, a Rename, a Rollback) has
// ended and its end handler has run; false when it still runs after a minute.
template <class TStepPage> bool WaitForStep(const TStepPage &APage) {
  QElapsedTimer LTimer;
  LTimer.start();
  while (APage.StepRunning()) {
    if (LTimer.elapsed() > 60000)
      return false;
    QTest::qWait(1);
  }
  return true;
}

// The text of a UTF-16 little-endian log file, without its byte-order mark.
inline QString ReadLogFile(const QString &APath) {
  QFile LFile(APath);
  if (!LFile.open(QIODevice::ReadOnly))
    return {};
  QByteArray LBytes = LFile.readAll();
  if (LBytes.startsWith("\xFF\xFE"))
    LBytes.remove(0, 2);
  return QString::fromUtf16(reinterpret_cast<const char16_t *>(LBytes.constData()),
                            LBytes.size() / 2);
}

} // namespace guitest
