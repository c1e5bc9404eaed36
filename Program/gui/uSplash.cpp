#include "uSplash.h"

#include "uResourceString.h"
#include "uUtilGui.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace {

QPointer<TSplash> &SplashInstance() {
  static QPointer<TSplash> LSplash;
  return LSplash;
}

constexpr int PanelWidth = 300;
constexpr int PanelHeight = 120;

} // namespace

TSplash::TSplash(QWidget *AOwner) : QWidget(AOwner) {
  setObjectName(QStringLiteral("Splash"));
  setAttribute(Qt::WA_TransparentForMouseEvents, true);
  setAttribute(Qt::WA_NoSystemBackground, true);

  FPanel = new QFrame(this);
  FPanel->setObjectName(QStringLiteral("PanelBackground"));
  FPanel->setFixedSize(PanelWidth, PanelHeight);
  FPanel->setAttribute(Qt::WA_StyledBackground, true);
  FPanel->setStyleSheet(QStringLiteral(
      "#PanelBackground { background: white; border: 1px solid #2c3e50; border-radius: 8px; }"));

  FLabel = new QLabel(FPanel);
  FLabel->setObjectName(QStringLiteral("SplashLabel"));
  FLabel->setAlignment(Qt::AlignCenter);
  auto *LPanelLayout = new QVBoxLayout(FPanel);
  LPanelLayout->setContentsMargins(0, 0, 0, 0);
  LPanelLayout->addWidget(FLabel);

  auto *LLayout = new QVBoxLayout(this);
  LLayout->setContentsMargins(0, 0, 0, 0);
  LLayout->addWidget(FPanel, 0, Qt::AlignCenter);

  // Fill the owner's client area, now and whenever it is resized.
  if (AOwner != nullptr) {
    setGeometry(AOwner->rect());
    AOwner->installEventFilter(this);
  }
}

bool TSplash::eventFilter(QObject *AWatched, QEvent *AEvent) {
  if (AWatched == parentWidget() && AEvent->type() == QEvent::Resize)
    setGeometry(parentWidget()->rect());
  return QWidget::eventFilter(AWatched, AEvent);
}

void TSplash::ShowSplash(const QString &AText) {
  QPointer<TSplash> &LSplash = SplashInstance();
  if (LSplash.isNull()) {
    QWidget *LMain = FindMainWindow();
    if (LMain == nullptr)
      return;
    // The main window owns the overlay as its child widget.
    LSplash = new TSplash(LMain);
  }
  LSplash->FLabel->setText(AText.isEmpty() ? rs::PleaseWait : AText);
  LSplash->raise();
  LSplash->show();
  // Paint it now where the window is on screen, then let queued events run
  // once: the caller is about to keep the thread busy.
  if (LSplash->isVisible())
    LSplash->repaint();
  QApplication::processEvents();
}

void TSplash::HideSplash() {
  QPointer<TSplash> &LSplash = SplashInstance();
  if (LSplash.isNull())
    return;
  TSplash *LOld = LSplash.data();
  LSplash.clear();
  LOld->hide();
  if (QWidget *LOwner = LOld->parentWidget())
    LOwner->removeEventFilter(LOld);
  LOld->setParent(nullptr);
  delete LOld;
}

TSplash *TSplash::Current() {
  return SplashInstance().data();
}
