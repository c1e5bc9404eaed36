#include "uMessageForm.h"

#include "uControlUtils.h"
#include "uStyle.h"
#include "uUtilGui.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include <cmath>
#include <utility>

namespace {

TMessageHook &MessageHook() {
  static TMessageHook LHook;
  return LHook;
}

constexpr int TopStripTop = 8;
constexpr int TopStripHeight = 16;
constexpr int BottomStripHeight = 30;
constexpr int BottomMargin = 15;
constexpr int IconColumnLeft = 15;
constexpr int IconColumnWidth = 85;
constexpr int TextAreaLeft = IconColumnLeft + IconColumnWidth + 5;
constexpr int SideMargin = 5;

} // namespace

TfmMessageForm::TfmMessageForm(QWidget *AOwner) : QDialog(AOwner) {
  setObjectName(QStringLiteral("fmMessageForm"));
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setWindowTitle(QStringLiteral("Varnwell"));
  setModal(true);
  setAttribute(Qt::WA_StyledBackground, true);
  setStyleSheet(MessageFormStyleSheet());

  Image2 = new QLabel(this);
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->setCursor(Qt::PointingHandCursor);
  Image2->setScaledContents(true);
  QPixmap LClose;
  if (LoadBitmapFromResource(LClose, QStringLiteral("CloseImage")))
    Image2->setPixmap(LClose);
  Image2->installEventFilter(this);

  ImageIcon = new QLabel(this);
  ImageIcon->setObjectName(QStringLiteral("ImageIcon"));
  ImageIcon->setScaledContents(true);

  LayoutText = new QWidget(this);
  LayoutText->setObjectName(QStringLiteral("LayoutText"));
  TextFirstLine = new QLabel(LayoutText);
  TextFirstLine->setObjectName(QStringLiteral("TextFirstLine"));
  TextFirstLine->setWordWrap(false);
  TextFirstLine->setTextFormat(Qt::PlainText);
  TextFirstLine->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  TextFirstLine->setTextInteractionFlags(Qt::TextSelectableByMouse);

  Button_Clear = new QPushButton(QStringLiteral("OK"), this);
  Button_Clear->setObjectName(QStringLiteral("Button_Clear"));
  Button_Clear->setCursor(Qt::PointingHandCursor);
  Button_Clear->setDefault(true);
  connect(Button_Clear, &QPushButton::clicked, this, &QDialog::accept);

  resize(DesignWidth, DesignHeight);
  TextFirstLine->resize(0, 0);
  LayoutControls();
  CenterOverMainForm(*this);
}

void TfmMessageForm::ShowMessage(const QString &AText, TMessageFormType AType) {
  if (MessageHook()) {
    MessageHook()(AText, AType);
    return;
  }
  // A message from a modal dialog (the select-folder dialog's warning) belongs
  // to that dialog: the main window is not raised over it, and the dialog is
  // put in front again afterwards, which nothing else does without a window
  // manager.
  QWidget *LDialog = QApplication::activeModalWidget();
  if (LDialog == nullptr)
    BringMainWindowToFront();
  // The dialog lives for this call only, on the stack.
  TfmMessageForm LForm(LDialog != nullptr ? LDialog : FindMainWindow());
  LForm.SetMessageType(AType);
  LForm.SetMessageText(AText);
  CenterOverMainForm(LForm);
  LForm.exec();
  if (LDialog != nullptr) {
    LDialog->raise();
    LDialog->activateWindow();
  }
}

void TfmMessageForm::SetMessageType(TMessageFormType AType) {
  QString LName = QStringLiteral("InfoMessageIcon");
  if (AType == TMessageFormType::mftWarting)
    LName = QStringLiteral("WarningMessageIcon");
  else if (AType == TMessageFormType::mftError)
    LName = QStringLiteral("ErrorMessageIcon");
  QPixmap LIcon;
  if (LoadBitmapFromResource(LIcon, LName))
    ImageIcon->setPixmap(LIcon);
}

void TfmMessageForm::SetMessageText(const QString &AText) {
  TextFirstLine->setText(AText);
  const QSize LTextSize = AText.isEmpty() ? QSize(0, 0) : TextFirstLine->sizeHint();
  TextFirstLine->resize(LTextSize);
  FitToText(GetMaxLineWidth(*TextFirstLine), LTextSize.height());
}

void TfmMessageForm::FitToText(float AMaxLineWidth, int ATextHeight) {
  const int LWidth = std::max(DesignWidth, static_cast<int>(std::floor(AMaxLineWidth)) + 160);
  int LHeight = DesignHeight;
  if (DesignTextAreaHeight > ATextHeight) {
    // The text is centred vertically in the design-size text area.
    FTextTop = (DesignTextAreaHeight - ATextHeight) / 2;
  } else {
    // The dialog grows by the excess; the text starts at the top.
    FTextTop = 0;
    LHeight = ATextHeight - DesignTextAreaHeight + DesignHeight;
  }
  // The label keeps at least its text's size; a wider dialog gives it room.
  TextFirstLine->resize(
      std::max(TextFirstLine->width(), static_cast<int>(std::ceil(AMaxLineWidth))),
      std::max(TextFirstLine->height(), ATextHeight));
  resize(LWidth, LHeight);
  LayoutControls();
}

void TfmMessageForm::resizeEvent(QResizeEvent *AEvent) {
  QDialog::resizeEvent(AEvent);
  LayoutControls();
}

bool TfmMessageForm::eventFilter(QObject *AWatched, QEvent *AEvent) {
  if (AWatched == Image2 && AEvent->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent *>(AEvent)->button() == Qt::LeftButton) {
    Image2Click();
    return true;
  }
  return QDialog::eventFilter(AWatched, AEvent);
}

void TfmMessageForm::Image2Click() {
  reject();
}

void TfmMessageForm::LayoutControls() {
  const int LWidth = width();
  const int LHeight = height();
  Image2->setGeometry(LWidth - SideMargin - 16, TopStripTop, 16, 16);
  const int LMiddleTop = TopStripTop + TopStripHeight;
  const int LMiddleHeight = LHeight - LMiddleTop - BottomStripHeight - BottomMargin;
  ImageIcon->setGeometry(IconColumnLeft + (IconColumnWidth - 80) / 2,
                         LMiddleTop + (std::min(LMiddleHeight, DesignTextAreaHeight) - 80) / 2, 80,
                         80);
  LayoutText->setGeometry(TextAreaLeft, LMiddleTop, LWidth - TextAreaLeft - SideMargin,
                          LMiddleHeight);
  TextFirstLine->move(0, FTextTop);
  Button_Clear->setGeometry((LWidth - 90) / 2, LHeight - BottomMargin - BottomStripHeight, 90, 30);
}

TMessageHook SetMessageHook(TMessageHook AHook) {
  return std::exchange(MessageHook(), std::move(AHook));
}

void ShowWarningMessage(const QString &AText) {
  TfmMessageForm::ShowMessage(AText, TMessageFormType::mftWarting);
}

void ShowInfoMessage(const QString &AText) {
  TfmMessageForm::ShowMessage(AText, TMessageFormType::mftInfo);
}

void ShowErrorMessage(const QString &AText) {
  TfmMessageForm::ShowMessage(AText, TMessageFormType::mftError);
}
