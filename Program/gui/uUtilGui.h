// The window-side utilities: folder browsing, text measuring, the screen's
// size, opening web links and bringing the main window to the front.
//
// Test seams: BrowseFolder, GetTextWidth and ShellOpen each take a hook. While
// a hook is set it answers in place of the dialog, the font measurement or the
// desktop; tests set them so that nothing waits for a person or starts a
// browser. Each setter returns the previous hook; pass an empty one to clear.
#pragma once

#include <QPointF>
#include <QString>

#include <functional>
#include <optional>

class QFont;
class QLabel;
class QWidget;

// Shows Qt's own (non-native) folder dialog with the caption ACaption, starting
// in AFolder when that names an existing folder. When the user chooses a
// folder, AFolder becomes its path and the result is true; on cancel AFolder
// keeps its value and the result is false. AOwner owns the dialog (the main
// window when null). AAllowNewFolder shows the dialog's "new folder" button.
bool BrowseFolder(const QString &ACaption, QString &AFolder, QWidget *AOwner, bool AAllowNewFolder);

// Answers BrowseFolder without a dialog: receives the caption and the starting
// folder, returns the chosen folder or nullopt for a cancel.
using TBrowseFolderHook =
    std::function<std::optional<QString>(const QString &ACaption, const QString &AFolder)>;
TBrowseFolderHook SetBrowseFolderHook(TBrowseFolderHook AHook);

// The width of AText on one line, unwrapped, in AFont.
float GetTextWidth(const QFont &AFont, const QString &AText);

// Replaces the font measurement of GetTextWidth (tests use a fixed width per
// character, so that sizes do not depend on the installed fonts).
using TTextWidthHook = std::function<float(const QFont &AFont, const QString &AText)>;
TTextWidthHook SetTextWidthHook(TTextWidthHook AHook);

// The widest line of a label's text, lines split at CR LF, CR or LF; 0 for no
// text.
float GetMaxLineWidth(const QLabel &AControl);

// The lines of AText split at CR LF, CR or LF; an empty text has no line.
QStringList SplitLines(const QString &AText);

// Width and height of the primary screen; (0, 0) when there is no screen.
QPointF GetMainScreenSize();

// Opens a web address or document with the desktop's default handler. The
// result is ignored.
void ShellOpen(const QString &ATarget);
using TShellOpenHook = std::function<void(const QString &ATarget)>;
TShellOpenHook SetShellOpenHook(TShellOpenHook AHook);

// The program's main window (object name "fmMain"), or null.
QWidget *FindMainWindow();

// Raises and activates the program's own main window; nothing when there is
// none.
void BringMainWindowToFront();
