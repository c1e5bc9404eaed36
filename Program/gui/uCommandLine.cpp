#include "uCommandLine.h"

#include "uUtil.h"

TCommandLine ParseCommandLine(int AArgc, const char *const *AArgv) {
  TCommandLine LResult;
  bool LOptions = true;
  for (int i = 1; i < AArgc; ++i) {
    const QByteArray LArg(AArgv[i]);
    if (LOptions && LArg == "--") {
      LOptions = false;
      continue;
    }
    if (LOptions && LArg.startsWith('-') && LArg.size() > 1) {
      if (LArg == "--help" || LArg == "-h") {
        LResult.FAction = TCommandLine::TAction::Help;
        return LResult;
      }
      if (LArg == "--version") {
        LResult.FAction = TCommandLine::TAction::Version;
        return LResult;
      }
      if (LArg == "--folders") {
        LResult.FFolders = true;
        continue;
      }
      // The first unknown option is the error, unless --help or --version
      // comes later.
      if (LResult.FError.isEmpty())
        LResult.FError = QStringLiteral("unknown option: ") + QString::fromLocal8Bit(LArg);
      continue;
    }
    const QString LPath = PathFromArgument(LArg);
    if (!LPath.isEmpty())
      LResult.FPaths.append(LPath);
  }
  if (LResult.FError.isEmpty() && LResult.FFolders && LResult.FPaths.isEmpty())
    LResult.FError = QStringLiteral("--folders needs at least one folder");
  if (!LResult.FError.isEmpty())
    LResult.FAction = TCommandLine::TAction::Error;
  return LResult;
}

QString CommandLineHelp() {
  return QStringLiteral(
      "Usage: varnwell [PATH]...\n"
      "       varnwell --folders PATH...\n"
      "Renames many files, or many folders, in one go.\n"
      "\n"
      "  PATH...            open the file page with these files; a folder adds\n"
      "                     every file below it\n"
      "  --folders PATH...  open the folder page with these folders, taken with the\n"
      "                     \"include\" choices the folder page remembers (the\n"
      "                     folders themselves, their subfolders, or both)\n"
      "  --help             show this help and exit\n"
      "  --version          show the version and exit\n");
}
