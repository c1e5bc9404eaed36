// The window's command line: `varnwell [PATH]...` opens the file page with
// those files, `varnwell --folders PATH...` the folder page with those
// folders; `--help` and `--version` answer on standard output. Read from the
// raw argument bytes before the GUI application exists, so that the two
// answers need no display and paths keep bytes that are not UTF-8.
#pragma once

#include <QString>
#include <QStringList>

struct TCommandLine {
  enum class TAction { Open, Help, Version, Error };
  TAction FAction = TAction::Open;
  // The paths are folders for the folder page (--folders).
  bool FFolders = false;
  // Absolute, lossless paths in the order given.
  QStringList FPaths;
  // What was wrong, for TAction::Error.
  QString FError;
};

// Reads the arguments after the program's name. "--" ends the options: what
// follows is a path also when it begins with "-". --help and --version win
// over everything else; otherwise the first unknown option is the error.
TCommandLine ParseCommandLine(int AArgc, const char *const *AArgv);

// The text --help prints.
QString CommandLineHelp();
