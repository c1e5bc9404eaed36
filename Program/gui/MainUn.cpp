#include "MainUn.h"

#include "FMX.BallonHint.h"
#include "MainUnFilePage.h"
#include "MainUnFolderPage.h"
#include "MainUnHistoryPage.h"
#include "MainUnSettings.h"
#include "uControlUtils.h"
#include "uJournal.h"
#include "uLog.h"
#include "uMessageForm.h"
#include "uResourceString.h"
#include "uSetting.h"
#include "uStyle.h"
#include "uUtilGui.h"
#include "uWarningSink.h"

#include <QAbstractItemModel>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyleHints>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#if defined(VARNWELL_HAVE_XCB) && QT_CONFIG(xcb)
#include <xcb/xcb.h>
#define VARNWELL_ASK_X11_WM 1
#endif

namespace {

const QString AboutHomeUrl = QStringLiteral("https://varnwell.org");
const QString AboutStoreUrl = QStringLiteral("https://varnwell.org/store");

QToolButton *MakeMenuButton(const QString &AName, const QString &AText, QWidget *AParent) {
  auto *LButton = new QToolButton(AParent);
  LButton->setObjectName(AName);
  LButton->setText(AText);
  LButton->setFixedSize(60, 60);
  LButton->setCursor(Qt::PointingHandCursor);
  LButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  LButton->setIconSize(QSize(28, 28));
  LButton->setAutoRaise(true);
  return LButton;
}

QLabel *MakeImage(const QString &AName, const QString &APicture, QWidget *AParent) {
  auto *LImage = new QLabel(AParent);
  LImage->setObjectName(AName);
  LImage->setFixedSize(16, 16);
  LImage->setScaledContents(true);
  LImage->setCursor(Qt::PointingHandCursor);
  QPixmap LPixmap;
  if (LoadBitmapFromResource(LPixmap, APicture))
    LImage->setPixmap(LPixmap);
  return LImage;
}

QWidget *MakePage(const QString &AName, QWidget *AParent) {
  auto *LPage = new QWidget(AParent);
  LPage->setObjectName(AName);
  auto *LLayout = new QVBoxLayout(LPage);
  LLayout->setContentsMargins(0, 0, 0, 0);
  return LPage;
}

#ifdef VARNWELL_ASK_X11_WM
// The values of AWindow's property AProperty of type AType (32-bit items);
// empty when the window or the property is not there.
std::vector<uint32_t> X11Property(xcb_connection_t *AConnection, xcb_window_t AWindow,
                                  xcb_atom_t AProperty, xcb_atom_t AType) {
  xcb_generic_error_t *LError = nullptr;
  xcb_get_property_reply_t *LReply = xcb_get_property_reply(
      AConnection, xcb_get_property(AConnection, 0, AWindow, AProperty, AType, 0, 4096), &LError);
  std::free(LError);
  std::vector<uint32_t> LValues;
  if (LReply != nullptr && LReply->format == 32) {
    const auto *LData = static_cast<const uint32_t *>(xcb_get_property_value(LReply));
    LValues.assign(LData, LData + xcb_get_property_value_length(LReply) / 4);
  }
  std::free(LReply);
  return LValues;
}

xcb_atom_t X11Atom(xcb_connection_t *AConnection, const char *AName) {
  xcb_intern_atom_reply_t *LReply = xcb_intern_atom_reply(
      AConnection,
      xcb_intern_atom(AConnection, 1, static_cast<uint16_t>(std::strlen(AName)), AName), nullptr);
  const xcb_atom_t LAtom = LReply != nullptr ? LReply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(LReply);
  return LAtom;
}
#endif

} // namespace

QString GetFileVersion(const QString &ACompiled) {
  if (ACompiled.trimmed().isEmpty())
    return QStringLiteral("0.0.0.0");
  QStringList LParts = ACompiled.trimmed().split(QLatin1Char('.'));
  while (LParts.size() < 4)
    LParts.append(QStringLiteral("0"));
  return LParts.mid(0, 4).join(QLatin1Char('.'));
}

TfmMain::TfmMain(QWidget *AParent) : QWidget(AParent) {
  setObjectName(QStringLiteral("fmMain"));
  setWindowTitle(QStringLiteral("Varnwell"));
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setAttribute(Qt::WA_StyledBackground, true);
  setStyleSheet(MainStyleSheet());
  // The pages are laid out for 900 x 700 at least; the grids take what the
  // window has beyond that.
  setMinimumSize(ClientWidth, ClientHeight);
  resize(ClientWidth, ClientHeight);

  FActions = new TActionList(this);

  Panel5 = new QWidget(this);
  Panel5->setObjectName(QStringLiteral("Panel5"));
  Panel5->setAttribute(Qt::WA_StyledBackground, true);
  Panel5->installEventFilter(this);
  auto *LRoot = new QVBoxLayout(this);
  LRoot->setContentsMargins(0, 0, 0, 0);
  LRoot->addWidget(Panel5);
  auto *LPanelLayout = new QVBoxLayout(Panel5);
  LPanelLayout->setContentsMargins(0, 0, 0, 0);
  LPanelLayout->setSpacing(0);

  CreateHeader();
  LPanelLayout->addWidget(Panel10);

  LayoutMain = new QWidget(Panel5);
  LayoutMain->setObjectName(QStringLiteral("LayoutMain"));
  auto *LMainLayout = new QVBoxLayout(LayoutMain);
  LMainLayout->setContentsMargins(12, 10, 12, 12);
  LPanelLayout->addWidget(LayoutMain, 1);

  // The hidden holder of every page not shown: pages keep their state there.
  LayoutInvisible = new QWidget(Panel5);
  LayoutInvisible->setObjectName(QStringLiteral("LayoutInvisible"));
  LayoutInvisible->setLayout(new QVBoxLayout);
  LayoutInvisible->hide();

  ltFileRename = MakePage(QStringLiteral("ltFileRename"), LayoutInvisible);
  ltFolderRename = MakePage(QStringLiteral("ltFolderRename"), LayoutInvisible);
  ltSelectMode = MakePage(QStringLiteral("ltSelectMode"), LayoutInvisible);
  LayoutSetting = MakePage(QStringLiteral("LayoutSetting"), LayoutInvisible);
  LayoutAbout = MakePage(QStringLiteral("LayoutAbout"), LayoutInvisible);
  LayoutHistory = MakePage(QStringLiteral("LayoutHistory"), LayoutInvisible);
  CreateModePage();
  SettingsPage = new TSettingsPage(*this, LayoutSetting);
  LayoutSetting->layout()->addWidget(SettingsPage);
  CheckBox_EnblLogging = SettingsPage->CheckBox_EnblLogging;
  GroupBox_LogDirectory = SettingsPage->GroupBox_LogDirectory;
  Edit_LogDirectory = SettingsPage->Edit_LogDirectory;
  Button_SelectLogDirectory = SettingsPage->Button_SelectLogDirectory;
  CheckBox_AutoDelete = SettingsPage->CheckBox_AutoDelete;
  SpinBox_Days = SettingsPage->SpinBox_Days;
  Button_RestoreSettings = SettingsPage->Button_RestoreSettings;
  Button_ApplySettings = SettingsPage->Button_ApplySettings;
  acApplySettings = SettingsPage->acApplySettings;
  acRestoreSettings = SettingsPage->acRestoreSettings;
  CreateAboutPage();

  // The deferred-run timer: RunDeferred hands it one handler at a time.
  FRunTimer = new QTimer(this);
  FRunTimer->setObjectName(QStringLiteral("FRunTimer"));
  FRunTimer->setSingleShot(true);
  FRunTimer->setInterval(1);
  connect(FRunTimer, &QTimer::timeout, this, [this] {
    FRunTimer->stop();
    std::function<void()> LHandler = std::move(FRunHandler);
    FRunHandler = nullptr;
    if (LHandler)
      LHandler();
    UpdateActions();
  });

  // Both lists, empty, before the pages that show them; every Rename and
  // Rollback goes to the journal.
  FFileList = std::make_unique<TFileList>();
  FFolderList = std::make_unique<TFolderList>();
  FFileList->SetJournal(&GetJournal());
  FFolderList->SetJournal(&GetJournal());
  FilePage = new TFilePage(*this, *FFileList, ltFileRename);
  ltFileRename->layout()->addWidget(FilePage);
  FolderPage = new TFolderPage(*this, *FFolderList, ltFolderRename);
  ltFolderRename->layout()->addWidget(FolderPage);
  HistoryPage = new THistoryPage(*this, LayoutHistory);
  LayoutHistory->layout()->addWidget(HistoryPage);
  HistoryPage->SetOnBatchRolledBack([this](const QString &ABatchId) {
    FilePage->BatchRolledBack(ABatchId);
    FolderPage->BatchRolledBack(ABatchId);
  });

  // Pictures, once every control that shows one exists.
  LoadButtonImages();
  // The header's buttons for features the program does not have yet.
  btnSearch->hide();
  btnRename->hide();
  // The program always opens on the mode selection.
  ShowPage(TMainPage::mpSelectMode);

  // The engine's warnings (the log's failures) appear in the message dialog.
  SetWarningSink([](const QString &AText) { ShowWarningMessage(AText); });

  // The settings file into the settings page.
  TSettings &LSettings = GetSettings();
  LSettings.LoadSettingsFromIniFile();
  SettingsPage->SettingsToForm();

  // A logger that cannot write switches logging off on the settings page.
  GetLogger().SetOnDisableLogging(
      [this](TLogger &ASender) { SettingsPage->LoggingDisabled(ASender); });

  // The version under the title.
  textVersion->setText(QStringLiteral("ver. ") + GetFileVersion());

  // Logging, when the settings say so.
  if (LSettings.EnableLog()) {
    GetLogger().StartLogging(LSettings.LogFolder(),
                             LSettings.DeleteOldLogFiles() ? LSettings.DeleteOldLogFilesDays() : 0);
    GetLogger().WriteLog(rs::ApplicationStarted);
  }

  // The journal keeps as many batches, and for as long, as the settings say.
  GetJournal().Prune(LSettings.JournalKeepBatches(), LSettings.JournalKeepDays());

  // F1 shows the about page from anywhere in the window.
  auto *LAbout = new QShortcut(QKeySequence(Qt::Key_F1), this);
  LAbout->setObjectName(QStringLiteral("scAbout"));
  LAbout->setContext(Qt::WindowShortcut);
  connect(LAbout, &QShortcut::activated, this, [this] { ShowPage(TMainPage::mpAbout); });
  btnAbout->setToolTip(QStringLiteral("About (") +
                       LAbout->key().toString(QKeySequence::NativeText) + QLatin1Char(')'));

  UpdateActions();
  RestoreWindowGeometry();
}

void TfmMain::RestoreWindowGeometry() {
  const TSettings &LSettings = GetSettings();
  const QScreen *LScreen = screen();
  const QRect LAvail = LScreen != nullptr ? LScreen->availableGeometry() : QRect();
  if (LSettings.WindowWidth() > 0 && LSettings.WindowHeight() > 0)
    resize(std::max(LSettings.WindowWidth(), ClientWidth),
           std::max(LSettings.WindowHeight(), ClientHeight));
  // On Wayland the compositor places windows; elsewhere the remembered place
  // is taken when it is still on a screen.
  const bool LCanPlace = !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
  const QRect LRemembered(LSettings.WindowLeft(), LSettings.WindowTop(), width(), height());
  bool LPlaced = false;
  if (LCanPlace && LSettings.WindowWidth() > 0) {
    for (const QScreen *LEach : QGuiApplication::screens()) {
      if (LEach->availableGeometry().intersects(LRemembered)) {
        move(LRemembered.topLeft());
        LPlaced = true;
        break;
      }
    }
  }
  // Else centred on the primary screen when first shown.
  if (!LPlaced && LScreen != nullptr)
    move(LAvail.center() - QPoint(width() / 2, height() / 2));
  if (LSettings.WindowMaximized()) {
    // Without a window manager the window fills the screen itself.
    const QScreen *LOn = QGuiApplication::screenAt(geometry().center());
    if (LOn == nullptr)
      LOn = LScreen;
    if (!WindowSystemMaximises() && LOn != nullptr) {
      FHandNormalGeometry = geometry();
      setGeometry(LOn->availableGeometry());
    }
    setWindowState(windowState() | Qt::WindowMaximized);
  }
}

void TfmMain::SaveWindowGeometry() {
  // The normal geometry of a maximised window is the one it is restored to.
  const bool LMaximized = isMaximized();
  const QRect LNormal = !LMaximized                    ? geometry()
                        : FHandNormalGeometry.isNull() ? normalGeometry()
                                                       : FHandNormalGeometry;
  if (LNormal.width() <= 0 || LNormal.height() <= 0) {
    GetSettings().SetWindowGeometry(x(), y(), width(), height(), LMaximized);
    return;
  }
  GetSettings().SetWindowGeometry(LNormal.x(), LNormal.y(), LNormal.width(), LNormal.height(),
                                  LMaximized);
}

void TfmMain::OpenPaths(bool AFolders, const QStringList &APaths) {
  if (APaths.isEmpty())
    return;
  if (AFolders) {
    ShowPage(TMainPage::mpFolderRename);
    FolderPage->AddOutsideFolders(APaths);
  } else {
    ShowPage(TMainPage::mpFileRename);
    FilePage->AddOutsidePaths(APaths);
  }
  UpdateActions();
}

void TfmMain::ToggleMaximized() {
  if (isMaximized()) {
    const QRect LNormal = std::exchange(FHandNormalGeometry, QRect());
    showNormal();
    if (!LNormal.isNull())
      setGeometry(LNormal);
    return;
  }
  FHandNormalGeometry = QRect();
  if (!WindowSystemMaximises()) {
    if (const QScreen *LScreen = screen()) {
      // Set before the state: a geometry set afterwards would end it.
      FHandNormalGeometry = geometry();
      setGeometry(LScreen->availableGeometry());
    }
  }
  showMaximized();
}

bool TfmMain::WindowSystemMaximises() {
#ifdef VARNWELL_ASK_X11_WM
  auto *LX11 =
      qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (LX11 == nullptr || LX11->connection() == nullptr)
    return true;
  xcb_connection_t *LConnection = LX11->connection();
  const xcb_screen_iterator_t LRoots = xcb_setup_roots_iterator(xcb_get_setup(LConnection));
  if (LRoots.rem == 0)
    return true;
  const xcb_window_t LRoot = LRoots.data->root;
  // EWMH: a running window manager names a window of its own on the root
  // window, and that window names itself; the root lists what it supports.
  const xcb_atom_t LCheckAtom = X11Atom(LConnection, "_NET_SUPPORTING_WM_CHECK");
  const xcb_atom_t LSupportedAtom = X11Atom(LConnection, "_NET_SUPPORTED");
  const xcb_atom_t LVert = X11Atom(LConnection, "_NET_WM_STATE_MAXIMIZED_VERT");
  const xcb_atom_t LHorz = X11Atom(LConnection, "_NET_WM_STATE_MAXIMIZED_HORZ");
  if (LCheckAtom == XCB_ATOM_NONE || LSupportedAtom == XCB_ATOM_NONE || LVert == XCB_ATOM_NONE ||
      LHorz == XCB_ATOM_NONE)
    return false;
  const std::vector<uint32_t> LCheck = X11Property(LConnection, LRoot, LCheckAtom, XCB_ATOM_WINDOW);
  if (LCheck.empty() ||
      X11Property(LConnection, LCheck.front(), LCheckAtom, XCB_ATOM_WINDOW) != LCheck)
    return false;
  const std::vector<uint32_t> LSupported =
      X11Property(LConnection, LRoot, LSupportedAtom, XCB_ATOM_ATOM);
  const auto LHas = [&LSupported](xcb_atom_t AAtom) {
    return std::find(LSupported.begin(), LSupported.end(), AAtom) != LSupported.end();
  };
  return LHas(LVert) && LHas(LHorz);
#else
  return true;
#endif
}

Qt::Edges TfmMain::ResizeEdgesAt(const QPoint &APos) const {
  Qt::Edges LEdges;
  if (isMaximized() || isFullScreen())
    return LEdges;
  if (APos.x() < ResizeBorder)
    LEdges |= Qt::LeftEdge;
  if (APos.x() >= width() - ResizeBorder)
    LEdges |= Qt::RightEdge;
  if (APos.y() < ResizeBorder)
    LEdges |= Qt::TopEdge;
  if (APos.y() >= height() - ResizeBorder)
    LEdges |= Qt::BottomEdge;
  return LEdges;
}

bool TfmMain::WindowMouseEvent(QEvent &AEvent) {
  const auto LShowCursor = [this](Qt::Edges AEdges) {
    Qt::CursorShape LShape = Qt::ArrowCursor;
    if (AEdges == (Qt::LeftEdge | Qt::TopEdge) || AEdges == (Qt::RightEdge | Qt::BottomEdge))
      LShape = Qt::SizeFDiagCursor;
    else if (AEdges == (Qt::RightEdge | Qt::TopEdge) || AEdges == (Qt::LeftEdge | Qt::BottomEdge))
      LShape = Qt::SizeBDiagCursor;
    else if (AEdges & (Qt::LeftEdge | Qt::RightEdge))
      LShape = Qt::SizeHorCursor;
    else if (AEdges & (Qt::TopEdge | Qt::BottomEdge))
      LShape = Qt::SizeVerCursor;
    if (AEdges && !FEdgeCursor) {
      QGuiApplication::setOverrideCursor(QCursor(LShape));
      FEdgeCursor = true;
    } else if (AEdges && FEdgeCursor) {
      QGuiApplication::changeOverrideCursor(QCursor(LShape));
    } else if (!AEdges && FEdgeCursor) {
      QGuiApplication::restoreOverrideCursor();
      FEdgeCursor = false;
    }
  };
  switch (AEvent.type()) {
  case QEvent::MouseMove: {
    const auto &LMouse = static_cast<const QMouseEvent &>(AEvent);
    if (LMouse.buttons() == Qt::NoButton)
      LShowCursor(ResizeEdgesAt(LMouse.position().toPoint()));
    return false;
  }
  case QEvent::MouseButtonPress: {
    const auto &LMouse = static_cast<const QMouseEvent &>(AEvent);
    const Qt::Edges LEdges = ResizeEdgesAt(LMouse.position().toPoint());
    if (LMouse.button() != Qt::LeftButton || !LEdges)
      return false;
    LShowCursor({});
    CloseDropDowns();
    // The platform's own resize, as the header's move is the platform's own.
    if (QWindow *LWindow = windowHandle())
      LWindow->startSystemResize(LEdges);
    return true;
  }
  case QEvent::Leave:
    LShowCursor({});
    return false;
  default:
    return false;
  }
}

TfmMain::~TfmMain() {
  // A resize cursor still showing over an edge goes with the window.
  if (FEdgeCursor)
    QGuiApplication::restoreOverrideCursor();
  HideBalloonHint();
  FRunTimer->stop();
  // The pages go before the lists they show.
  delete FilePage;
  FilePage = nullptr;
  delete FolderPage;
  FolderPage = nullptr;
  delete HistoryPage;
  HistoryPage = nullptr;
  FFileList.reset();
  FFolderList.reset();
  // The settings page's values are kept whether or not "Apply" was
  // pressed, then saved.
  SettingsPage->SettingsFromForm();
  SaveWindowGeometry();
  GetSettings().SaveSettingsToIniFile();
  // The closing entry (written only while logging is on).
  GetLogger().WriteLog(rs::ApplicationFinished);
  GetLogger().SetOnDisableLogging(nullptr);
  SetWarningSink(nullptr);
}

void TfmMain::CreateHeader() {
  Panel10 = new QWidget(Panel5);
  Panel10->setObjectName(QStringLiteral("Panel10"));
  Panel10->setAttribute(Qt::WA_StyledBackground, true);
  Panel10->setFixedHeight(HeaderHeight);
  Panel10->installEventFilter(this);

  btnMode = MakeMenuButton(QStringLiteral("btnMode"), QStringLiteral("Mode"), Panel10);
  btnSettings = MakeMenuButton(QStringLiteral("btnSettings"), QStringLiteral("Settings"), Panel10);
  btnAbout = MakeMenuButton(QStringLiteral("btnAbout"), QStringLiteral("About"), Panel10);
  btnSearch = MakeMenuButton(QStringLiteral("btnSearch"), QStringLiteral("Search"), Panel10);
  btnHistory = MakeMenuButton(QStringLiteral("btnHistory"), QStringLiteral("History"), Panel10);
  btnRename = MakeMenuButton(QStringLiteral("btnRename"), QStringLiteral("Rename"), Panel10);
  connect(btnMode, &QToolButton::clicked, this, [this] { ShowPage(TMainPage::mpSelectMode); });
  connect(btnRename, &QToolButton::clicked, this, [this] { ShowPage(TMainPage::mpSelectMode); });
  connect(btnSettings, &QToolButton::clicked, this, [this] { ShowPage(TMainPage::mpSettings); });
  connect(btnAbout, &QToolButton::clicked, this, [this] { ShowPage(TMainPage::mpAbout); });
  connect(btnHistory, &QToolButton::clicked, this, [this] { ShowPage(TMainPage::mpHistory); });

  auto *LTitle = new QLabel(QStringLiteral("Varnwell"), Panel10);
  LTitle->setObjectName(QStringLiteral("textTitle"));
  textVersion = new QLabel(Panel10);
  textVersion->setObjectName(QStringLiteral("textVersion"));
  Image2 = MakeImage(QStringLiteral("Image2"), QStringLiteral("Header_Close"), Panel10);
  Image3 = MakeImage(QStringLiteral("Image3"), QStringLiteral("Header_Minimize"), Panel10);
  Image2->setToolTip(QStringLiteral("Close"));
  Image3->setToolTip(QStringLiteral("Minimize"));
  Image2->installEventFilter(this);
  Image3->installEventFilter(this);

  auto *LLayout = new QHBoxLayout(Panel10);
  LLayout->setContentsMargins(16, 0, 10, 0);
  LLayout->setSpacing(6);
  LLayout->addWidget(btnMode);
  LLayout->addWidget(btnSettings);
  LLayout->addWidget(btnAbout);
  LLayout->addWidget(btnSearch);
  LLayout->addWidget(btnHistory);
  LLayout->addWidget(btnRename);
  LLayout->addSpacing(18);
  auto *LTitleColumn = new QVBoxLayout;
  LTitleColumn->setSpacing(0);
  LTitleColumn->addStretch(1);
  LTitleColumn->addWidget(LTitle);
  LTitleColumn->addWidget(textVersion);
  LTitleColumn->addStretch(1);
  LLayout->addLayout(LTitleColumn);
  LLayout->addStretch(1);
  auto *LImages = new QVBoxLayout;
  auto *LImageRow = new QHBoxLayout;
  LImageRow->setSpacing(10);
  LImageRow->addWidget(Image3);
  LImageRow->addWidget(Image2);
  LImages->setContentsMargins(0, 10, 0, 0);
  LImages->addLayout(LImageRow);
  LImages->addStretch(1);
  LLayout->addLayout(LImages);
}

void TfmMain::CreateModePage() {
  auto *LGroup = new QGroupBox(QStringLiteral("Select Mode"), ltSelectMode);
  LGroup->setObjectName(QStringLiteral("gbSelectMode"));
  ltSelectMode->layout()->addWidget(LGroup);
  btnFileRename = new QPushButton(QStringLiteral("File rename"), LGroup);
  btnFileRename->setObjectName(QStringLiteral("btnFileRename"));
  btnFolderRename = new QPushButton(QStringLiteral("Folder rename"), LGroup);
  btnFolderRename->setObjectName(QStringLiteral("btnFolderRename"));
  for (QPushButton *LButton : {btnFileRename, btnFolderRename}) {
    QFont LFont = LButton->font();
    LFont.setPixelSize(22);
    LButton->setFont(LFont);
    LButton->setCursor(Qt::PointingHandCursor);
    LButton->setMinimumSize(300, 260);
    LButton->setIconSize(QSize(64, 64));
  }
  connect(btnFileRename, &QPushButton::clicked, this,
          [this] { ShowPage(TMainPage::mpFileRename); });
  connect(btnFolderRename, &QPushButton::clicked, this,
          [this] { ShowPage(TMainPage::mpFolderRename); });
  auto *LLayout = new QHBoxLayout(LGroup);
  LLayout->setContentsMargins(40, 40, 40, 40);
  LLayout->setSpacing(40);
  LLayout->addWidget(btnFileRename);
  LLayout->addWidget(btnFolderRename);
}

void TfmMain::CreateAboutPage() {
  auto *LGroup = new QGroupBox(LayoutAbout);
  LGroup->setObjectName(QStringLiteral("gbAbout"));
  LayoutAbout->layout()->addWidget(LGroup);
  auto *LLogo = new QLabel(LGroup);
  LLogo->setObjectName(QStringLiteral("imgLogo"));
  LLogo->setFixedSize(330, 70);
  LLogo->setScaledContents(true);
  QPixmap LPixmap;
  if (LoadBitmapFromResource(LPixmap, QStringLiteral("Logo")))
    LLogo->setPixmap(LPixmap);
  auto *LNotice = new QLabel(
      QStringLiteral("Varnwell renames many files or folders in one go.\n"
                     "Copyright \u00A9 2026 the Varnwell developers. All rights reserved."),
      LGroup);
  LNotice->setObjectName(QStringLiteral("textNotice"));
  LNotice->setAlignment(Qt::AlignCenter);
  auto *LMail = new QLabel(QStringLiteral("E-mail: support@varnwell.org"), LGroup);
  LMail->setObjectName(QStringLiteral("textMail"));
  LMail->setAlignment(Qt::AlignCenter);
  Text_AbouteLink = new QLabel(QStringLiteral("varnwell.org"), LGroup);
  Text_AbouteLink->setObjectName(QStringLiteral("Text_AbouteLink"));
  Text4 = new QLabel(QStringLiteral("More tools in the Varnwell store"), LGroup);
  Text4->setObjectName(QStringLiteral("Text4"));
  for (QLabel *LLink : {Text_AbouteLink, Text4}) {
    LLink->setCursor(Qt::PointingHandCursor);
    LLink->setAlignment(Qt::AlignCenter);
    LLink->setProperty("link", true);
    LLink->installEventFilter(this);
  }
  auto *LLayout = new QVBoxLayout(LGroup);
  LLayout->addStretch(2);
  LLayout->addWidget(LLogo, 0, Qt::AlignHCenter);
  LLayout->addSpacing(24);
  LLayout->addWidget(LNotice);
  LLayout->addSpacing(8);
  LLayout->addWidget(LMail);
  LLayout->addSpacing(16);
  LLayout->addWidget(Text_AbouteLink);
  LLayout->addWidget(Text4);
  LLayout->addStretch(3);
}

void TfmMain::LoadButtonImages() {
  const auto LSetIcon = [](QAbstractButton *AButton, const QString &AName) {
    QPixmap LPixmap;
    if (AButton != nullptr && LoadBitmapFromResource(LPixmap, AName))
      AButton->setIcon(QIcon(LPixmap));
  };
  LSetIcon(btnMode, QStringLiteral("Header_Mode"));
  LSetIcon(btnSettings, QStringLiteral("Header_Settings"));
  LSetIcon(btnAbout, QStringLiteral("Header_About"));
  LSetIcon(btnHistory, QStringLiteral("Header_History"));
  LSetIcon(btnFileRename, QStringLiteral("Mode_FileRename"));
  LSetIcon(btnFolderRename, QStringLiteral("Mode_FolderRename"));
  QPixmap LPixmap;
  if (LoadBitmapFromResource(LPixmap, QStringLiteral("Button_Undo")))
    acRestoreSettings->setIcon(QIcon(LPixmap));
  if (LoadBitmapFromResource(LPixmap, QStringLiteral("Button_Addfile")))
    acApplySettings->setIcon(QIcon(LPixmap));
}

QWidget *TfmMain::PageLayout(TMainPage APage) const {
  switch (APage) {
  case TMainPage::mpFileRename:
    return ltFileRename;
  case TMainPage::mpFolderRename:
    return ltFolderRename;
  case TMainPage::mpSelectMode:
    return ltSelectMode;
  case TMainPage::mpSettings:
    return LayoutSetting;
  case TMainPage::mpAbout:
    return LayoutAbout;
  case TMainPage::mpHistory:
    return LayoutHistory;
  }
  return ltSelectMode;
}

void TfmMain::ShowPage(TMainPage APage) {
  // Leaving the settings page, or choosing it again, takes its values into the
  // settings object without saving them.
  if (LayoutSetting->parentWidget() == LayoutMain)
    SettingsPage->SettingsFromForm();
  for (const TMainPage LPage :
       {TMainPage::mpFileRename, TMainPage::mpFolderRename, TMainPage::mpSelectMode,
        TMainPage::mpSettings, TMainPage::mpAbout, TMainPage::mpHistory}) {
    QWidget *LLayout = PageLayout(LPage);
    if (LPage == APage)
      continue;
    if (LLayout->parentWidget() != LayoutInvisible)
      LayoutInvisible->layout()->addWidget(LLayout);
  }
  QWidget *LShown = PageLayout(APage);
  if (LShown->parentWidget() != LayoutMain)
    LayoutMain->layout()->addWidget(LShown);
  LShown->show();
  btnMode->setProperty("current", APage == TMainPage::mpSelectMode ||
                                      APage == TMainPage::mpFileRename ||
                                      APage == TMainPage::mpFolderRename);
  btnSettings->setProperty("current", APage == TMainPage::mpSettings);
  btnAbout->setProperty("current", APage == TMainPage::mpAbout);
  btnHistory->setProperty("current", APage == TMainPage::mpHistory);
  if (APage == TMainPage::mpHistory)
    HistoryPage->ReloadHistory();
  for (QWidget *LButton : {static_cast<QWidget *>(btnMode), static_cast<QWidget *>(btnSettings),
                           static_cast<QWidget *>(btnAbout), static_cast<QWidget *>(btnHistory)}) {
    LButton->style()->unpolish(LButton);
    LButton->style()->polish(LButton);
  }
  UpdateActions();
}

TMainPage TfmMain::CurrentPage() const {
  for (const TMainPage LPage :
       {TMainPage::mpFileRename, TMainPage::mpFolderRename, TMainPage::mpSelectMode,
        TMainPage::mpSettings, TMainPage::mpAbout, TMainPage::mpHistory}) {
    if (PageLayout(LPage)->parentWidget() == LayoutMain)
      return LPage;
  }
  return TMainPage::mpSelectMode;
}

void TfmMain::RunDeferred(std::function<void()> AHandler) {
  FRunTimer->stop();
  FRunHandler = std::move(AHandler);
  FRunTimer->start();
}

void TfmMain::UpdateActions() {
  FActions->UpdateActions();
}

int TfmMain::ColumnMinWidth(const QString &AGridName, const QString &AColumnName, int ADefault) {
  static const QStringList LFileColumns = {QStringLiteral("StringColumn_OldName"),
                                           QStringLiteral("StringColumn_NewName"),
                                           QStringLiteral("StringColumn_Location")};
  static const QStringList LFolderColumns = {
      QStringLiteral("scOldName"), QStringLiteral("scNewName"), QStringLiteral("scLocation")};
  const QStringList *LNameColumns = nullptr;
  if (AGridName == QStringLiteral("StringGrid_Rename"))
    LNameColumns = &LFileColumns;
  else if (AGridName == QStringLiteral("sgFolderRename"))
    LNameColumns = &LFolderColumns;
  else
    return ADefault;
  if (LNameColumns->contains(AColumnName))
    return 100;
  if (AColumnName == HintColumnName)
    return 20;
  return ADefault;
}

void TfmMain::GetColumnMinWidth(const QTableView &AGrid, int AColumn, int &AMinWidth) const {
  const QAbstractItemModel *LModel = AGrid.model();
  if (LModel == nullptr)
    return;
  const QString LColumnName =
      LModel->headerData(AColumn, Qt::Horizontal, ColumnNameRole).toString();
  AMinWidth = ColumnMinWidth(AGrid.objectName(), LColumnName, AMinWidth);
}

bool TfmMain::StepRunning() const {
  return (FilePage != nullptr && FilePage->StepRunning()) ||
         (FolderPage != nullptr && FolderPage->StepRunning()) ||
         (HistoryPage != nullptr && HistoryPage->StepRunning());
}

void TfmMain::RegisterDropDown(QComboBox &ACombo) {
  FDropDowns.append(&ACombo);
}

void TfmMain::CloseDropDowns() {
  for (QComboBox *LCombo : FDropDowns)
    LCombo->hidePopup();
}

bool TfmMain::CommonPanelMouseDown(Qt::MouseButton AButton, std::optional<QPointF> AGlobalPos) {
  if (AButton != Qt::LeftButton)
    return false;
  CloseDropDowns();
  if (QWidget *LGrabber = QWidget::mouseGrabber())
    LGrabber->releaseMouse();
  // The move waits for the mouse to travel: the platform's move takes the
  // mouse away from the window, and the second press of a double click with
  // it.
  FMovePress = AGlobalPos.value_or(QPointF(QCursor::pos()));
  FHandMoveOffset = pos() - FMovePress->toPoint();
  FMovingByHand = false;
  return true;
}

bool TfmMain::CommonPanelMouseMove(Qt::MouseButtons AButtons, const QPointF &AGlobalPos) {
  if (!FMovePress)
    return false;
  if (!(AButtons & Qt::LeftButton)) {
    CommonPanelMouseUp();
    return false;
  }
  if (!FMovingByHand) {
    const QPoint LTravel = (AGlobalPos - *FMovePress).toPoint();
    if (LTravel.manhattanLength() < QGuiApplication::styleHints()->startDragDistance())
      return true;
    // The platform's move follows the mouse from here on; where the platform
    // has none (an X server without a window manager), the window follows
    // the mouse by hand, keeping the place the press held it by.
    QWindow *LWindow = windowHandle();
    if (LWindow != nullptr && LWindow->startSystemMove()) {
      CommonPanelMouseUp();
      return true;
    }
    FMovingByHand = true;
  }
  move(AGlobalPos.toPoint() + FHandMoveOffset);
  return true;
}

void TfmMain::CommonPanelMouseUp() {
  FMovePress.reset();
  FMovingByHand = false;
}

void TfmMain::Image2Click() {
  close();
}

void TfmMain::Image3Click() {
  showMinimized();
}

void TfmMain::Text_AbouteLinkClick() {
  ShellOpen(AboutHomeUrl);
}

void TfmMain::Text4Click() {
  ShellOpen(AboutStoreUrl);
}

bool TfmMain::eventFilter(QObject *AWatched, QEvent *AEvent) {
  if (AWatched == windowHandle() && AWatched != nullptr)
    return WindowMouseEvent(*AEvent) || QWidget::eventFilter(AWatched, AEvent);
  if (AEvent->type() == QEvent::MouseButtonDblClick && AWatched == Panel10 &&
      static_cast<QMouseEvent *>(AEvent)->button() == Qt::LeftButton) {
    CommonPanelMouseUp();
    ToggleMaximized();
    return true;
  }
  const bool LPanel = AWatched == Panel5 || AWatched == Panel10;
  if (AEvent->type() == QEvent::MouseButtonPress && LPanel) {
    const auto *LMouse = static_cast<QMouseEvent *>(AEvent);
    if (CommonPanelMouseDown(LMouse->button(), LMouse->globalPosition()))
      return true;
  } else if (AEvent->type() == QEvent::MouseMove && LPanel) {
    const auto *LMouse = static_cast<QMouseEvent *>(AEvent);
    if (CommonPanelMouseMove(LMouse->buttons(), LMouse->globalPosition()))
      return true;
  } else if (AEvent->type() == QEvent::MouseButtonRelease &&
             static_cast<QMouseEvent *>(AEvent)->button() == Qt::LeftButton) {
    if (LPanel)
      CommonPanelMouseUp();
    if (AWatched == Image2) {
      Image2Click();
      return true;
    }
    if (AWatched == Image3) {
      Image3Click();
      return true;
    }
    if (AWatched == Text_AbouteLink) {
      Text_AbouteLinkClick();
      return true;
    }
    if (AWatched == Text4) {
      Text4Click();
      return true;
    }
  }
  return QWidget::eventFilter(AWatched, AEvent);
}

void TfmMain::closeEvent(QCloseEvent *AEvent) {
  HideBalloonHint();
  // A step running in a page is cancelled and ended first (its report and
  // log line included); then the window closes as usual.
  if (FilePage != nullptr)
    FilePage->CancelStepAndWait();
  if (FolderPage != nullptr)
    FolderPage->CancelStepAndWait();
  if (HistoryPage != nullptr)
    HistoryPage->CancelStepAndWait();
  QWidget::closeEvent(AEvent);
}

void TfmMain::showEvent(QShowEvent *AEvent) {
  // Every mouse event of the window passes its platform window first: the
  // edges are watched there, whichever control lies under them.
  if (QWindow *LWindow = windowHandle()) {
    LWindow->removeEventFilter(this);
    LWindow->installEventFilter(this);
  }
  QWidget::showEvent(AEvent);
}

void TfmMain::changeEvent(QEvent *AEvent) {
  if (AEvent->type() == QEvent::ActivationChange && !isActiveWindow())
    HideBalloonHint();
  QWidget::changeEvent(AEvent);
}
