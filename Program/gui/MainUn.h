// TfmMain: the program's one main window.
//
// How the pages plug in
// ---------------------
// The window is a frameless widget (object name "fmMain") with a header strip,
// the page host LayoutMain and a hidden holder LayoutInvisible. It owns five
// page layouts, one of them inside LayoutMain at a time (ShowPage):
//   ltFileRename   -> TFilePage   (MainUnFilePage.h)
//   ltFolderRename -> TFolderPage (MainUnFolderPage.h)
//   ltSelectMode   -> the two large mode buttons
//   LayoutSetting  -> TSettingsPage (MainUnSettings.h)
//   LayoutAbout    -> the about page
// The pages know the window only as their TPageHost (uPageHost.h): its
// actions and their updates, the minimum widths of grid columns, the
// drop-down boxes to close before the window moves, and the owner of their
// dialogs. The renaming pages are constructed with the list they work on:
//   TFilePage(host, *FFileList, parent), TFolderPage(host, *FFolderList, parent)
// (created before the pages, freed after them). The window includes the
// pages, never the other way round; it tells them of the command line's
// paths, of batches rolled back from History, and of its closing.
// The four page flags (acRename, acRollback, acRenameFolder, acRollbackFolder)
// are the Tag of the pages' own actions.
//
// Life cycle: the constructor is the start-up, the destructor the shut-down.
// The destructor deletes the page widgets before the lists they show, then
// takes the settings page's values, saves the settings and writes the closing
// log entry. Settings and logger outlive the window.
#pragma once

#include "uAction.h"
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uPageHost.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class QToolButton;
class TFilePage;
class TFolderPage;
class THistoryPage;
class TSettingsPage;
class TLogger;

enum class TMainPage {
  mpFileRename = 0,
  mpFolderRename = 1,
  mpSelectMode = 2,
  mpSettings = 3,
  mpAbout = 4,
  mpHistory = 5
};

// The version compiled into the program: four numbers, e.g. "1.0.0.1";
// "0.0.0.0" when ACompiled is empty.
QString GetFileVersion(const QString &ACompiled = QStringLiteral(VARNWELL_VERSION));

class TfmMain : public QWidget, public TPageHost {
  Q_OBJECT
public:
  static constexpr int ClientWidth = 900;
  static constexpr int ClientHeight = 700;
  static constexpr int HeaderHeight = 100;
  // How far from the window's edge a press resizes the window.
  static constexpr int ResizeBorder = 6;

  explicit TfmMain(QWidget *AParent = nullptr);
  ~TfmMain() override;

  // ---- Used by the pages ----
  void ShowPage(TMainPage APage);
  TMainPage CurrentPage() const;
  void RunDeferred(std::function<void()> AHandler);
  TActionList &Actions() override { return *FActions; }
  void UpdateActions() override;
  // The minimum width of a column of AGrid, by the grid's object name and the
  // column's name (ColumnNameRole); AMinWidth comes in as 10.
  void GetColumnMinWidth(const QTableView &AGrid, int AColumn, int &AMinWidth) const override;
  // The rule of GetColumnMinWidth on names.
  static int ColumnMinWidth(const QString &AGridName, const QString &AColumnName, int ADefault);
  void RegisterDropDown(QComboBox &ACombo) override;
  QWidget &DialogOwner() override { return *this; }
  bool StepRunning() const override;
  void CloseDropDowns();

  // The command line's paths: with AFolders the folder page opens with those
  // folders (TFolderPage::AddOutsideFolders), else the file page with those
  // files (TFilePage::AddOutsidePaths). Nothing for no paths.
  void OpenPaths(bool AFolders, const QStringList &APaths);

  // Maximises the window, or restores it when it is maximised (a double click
  // on the header). Where no window manager maximises windows (an X server
  // without one), the window fills the screen's available area itself and
  // comes back to its own size and place.
  void ToggleMaximized();
  // True when the window system maximises a window that asks for it: on X11
  // only under a window manager that supports the EWMH maximised states.
  static bool WindowSystemMaximises();
  // The edges of the window a press at APos (in the window's coordinates)
  // resizes; none while the window is maximised.
  Qt::Edges ResizeEdgesAt(const QPoint &APos) const;

  // The mouse on the background and the header. A left press closes the
  // drop-down boxes and returns true; the window moves once the mouse has
  // travelled the drag distance with the button down (so a double click
  // never starts a move): by the platform's own move, or by hand where the
  // platform has none. AGlobalPos is the mouse's place on the screen
  // (QCursor::pos() when not given).
  bool CommonPanelMouseDown(Qt::MouseButton AButton, std::optional<QPointF> AGlobalPos = {});
  // Returns true when the move or the press waiting for one took the event.
  bool CommonPanelMouseMove(Qt::MouseButtons AButtons, const QPointF &AGlobalPos);
  void CommonPanelMouseUp();
  void Image2Click();
  void Image3Click();
  void Text_AbouteLinkClick();
  void Text4Click();

  // Header.
  QWidget *Panel5 = nullptr;
  QWidget *Panel10 = nullptr;
  QToolButton *btnMode = nullptr;
  QToolButton *btnSettings = nullptr;
  QToolButton *btnAbout = nullptr;
  QToolButton *btnSearch = nullptr;
  QToolButton *btnHistory = nullptr;
  QToolButton *btnRename = nullptr;
  QLabel *textVersion = nullptr;
  QLabel *Image2 = nullptr;
  QLabel *Image3 = nullptr;

  // Page host, holder and pages.
  QWidget *LayoutMain = nullptr;
  QWidget *LayoutInvisible = nullptr;
  QWidget *ltFileRename = nullptr;
  QWidget *ltFolderRename = nullptr;
  QWidget *ltSelectMode = nullptr;
  QWidget *LayoutSetting = nullptr;
  QWidget *LayoutAbout = nullptr;
  QWidget *LayoutHistory = nullptr;
  TFilePage *FilePage = nullptr;
  TFolderPage *FolderPage = nullptr;
  THistoryPage *HistoryPage = nullptr;

  // Mode page.
  QPushButton *btnFileRename = nullptr;
  QPushButton *btnFolderRename = nullptr;

  // Settings page, and its controls by their names.
  TSettingsPage *SettingsPage = nullptr;
  QCheckBox *CheckBox_EnblLogging = nullptr;
  QGroupBox *GroupBox_LogDirectory = nullptr;
  QLineEdit *Edit_LogDirectory = nullptr;
  QToolButton *Button_SelectLogDirectory = nullptr;
  QCheckBox *CheckBox_AutoDelete = nullptr;
  QSpinBox *SpinBox_Days = nullptr;
  QPushButton *Button_RestoreSettings = nullptr;
  QPushButton *Button_ApplySettings = nullptr;
  TAction *acApplySettings = nullptr;
  TAction *acRestoreSettings = nullptr;

  // About page.
  QLabel *Text_AbouteLink = nullptr;
  QLabel *Text4 = nullptr;

  // The lists of the two renaming pages, owned for the whole run; freed
  // first at shut-down, after the pages that show them.
  std::unique_ptr<TFileList> FFileList;
  std::unique_ptr<TFolderList> FFolderList;
  QTimer *FRunTimer = nullptr;

protected:
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;
  void closeEvent(QCloseEvent *AEvent) override;
  void changeEvent(QEvent *AEvent) override;
  void showEvent(QShowEvent *AEvent) override;

private:
  // The size, position and maximised state the settings remember; the
  // position only where the platform lets a program place its windows.
  void RestoreWindowGeometry();
  void SaveWindowGeometry();
  // The window's edges: the resize cursor over them, a press resizes.
  bool WindowMouseEvent(QEvent &AEvent);
  void CreateHeader();
  void CreateModePage();
  void CreateAboutPage();
  void LoadButtonImages();
  QWidget *PageLayout(TMainPage APage) const;

  TActionList *FActions = nullptr;
  std::function<void()> FRunHandler;
  QList<QComboBox *> FDropDowns;
  // The resize cursor is showing over an edge.
  bool FEdgeCursor = false;
  // The mouse's place at a left press on the background or the header, while
  // the press may become a move or a move by hand runs.
  std::optional<QPointF> FMovePress;
  // The window's top left minus the mouse's place at that press.
  QPoint FHandMoveOffset;
  // The window follows the mouse by hand (the platform has no move of its own).
  bool FMovingByHand = false;
  // The geometry to come back to after the window maximised itself (no window
  // manager did); null while the window system keeps it.
  QRect FHandNormalGeometry;
};
