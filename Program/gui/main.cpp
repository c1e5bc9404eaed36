// The program's entry point: the command line, the GUI application, the main
// window, the event loop. The window's destructor saves the settings and
// closes the log; the settings object and the logger go after it.
#include "MainUn.h"
#include "uCommandLine.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[]) {
  // --help and --version answer before the GUI application needs a display.
  const TCommandLine LEarly = ParseCommandLine(argc, argv);
  if (LEarly.FAction == TCommandLine::TAction::Help) {
    std::fputs(CommandLineHelp().toLocal8Bit().constData(), stdout);
    return 0;
  }
  if (LEarly.FAction == TCommandLine::TAction::Version) {
    std::printf("varnwell %s\n", GetFileVersion().toLocal8Bit().constData());
    return 0;
  }
  QApplication LApp(argc, argv);
  // The application has taken its own options (-style, -platform, ...) out
  // of the arguments: the rest are the program's.
  const TCommandLine LCommandLine = ParseCommandLine(argc, argv);
  if (LCommandLine.FAction == TCommandLine::TAction::Error) {
    std::fprintf(stderr, "varnwell: %s\nTry 'varnwell --help'.\n",
                 LCommandLine.FError.toLocal8Bit().constData());
    return 2;
  }
  QApplication::setApplicationName(QStringLiteral("Varnwell"));
  QApplication::setApplicationVersion(GetFileVersion());
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  TfmMain LMain;
  LMain.show();
  // The paths are added once the window is up, so that its messages show
  // over it.
  QTimer::singleShot(0, &LMain, [&LMain, &LCommandLine] {
    LMain.OpenPaths(LCommandLine.FFolders, LCommandLine.FPaths);
  });
  return QApplication::exec();
}
