// The change log: one UTF-16 text file per day in the log folder.
#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>

class TLogger {
public:
  using TNotifyEvent = std::function<void(TLogger &ASender)>;

  TLogger();
  ~TLogger();
  TLogger(const TLogger &) = delete;
  TLogger &operator=(const TLogger &) = delete;

  // Opens or creates today's file in ALogDirectoty, turns logging on, then
  // deletes old log files when ADeleteOldFileDay > 0.
  void StartLogging(const QString &ALogDirectoty, int ADeleteOldFileDay);
  // Turns logging off and closes the file; safe when already off.
  void StopLogging();
  // Appends CR LF, the time "hh:nn:ss", a TAB and AMsg; nothing while off.
  void WriteLog(const QString &AMsg);
  // Formats AMsg ("%d" integers, "%s" strings) with AArgs and writes it;
  // while logging is off it neither formats nor writes.
  void WriteLogFmt(const QString &AMsg, std::initializer_list<QVariant> AArgs);

  bool EnableLogging() const;
  const QString &LogFileName() const;

  // Raised, with the logger as sender, after logging switched itself off
  // because the file could not be opened or written.
  const TNotifyEvent &OnDisableLogging() const;
  void SetOnDisableLogging(TNotifyEvent AHandler);

  // Test seam: replaces how the deletion of old log files reads a file's
  // creation time (nullopt: it could not be read). An empty function restores
  // the file system's own.
  using TCreationTimeReader = std::function<std::optional<QDateTime>(const QString &APath)>;
  static void SetCreationTimeReaderForTesting(TCreationTimeReader AReader);

private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

// The one logger, created on first use (logging off, no file).
TLogger &GetLogger();
