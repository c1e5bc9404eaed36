// Fixtures shared by the GUI tests: a settings folder of their own, answered
// message dialogs, a fixed text measurement and a fake mouse position.
#pragma once

#include "FMX.BallonHint.h"
#include "uMessageForm.h"
#include "uSetting.h"
#include "uUtilGui.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QList>
#include <QPoint>
#include <QString>
#include <QTemporaryDir>

#include <utility>

namespace guitest {

// A temporary folder that stands for the executable's folder, so that
// "Settings.ini" and "Logs" land there. Create it before the first window.
class TExecutableFolder {
public:
  TExecutableFolder() { TSettings::SetExecutableFolderForTesting(FDir.path()); }
  ~TExecutableFolder() { TSettings::SetExecutableFolderForTesting(QString()); }
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
