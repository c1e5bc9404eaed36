// The message dialog: its size fitted to the text, its place over the main
// window, the two ways to end it, and the seam that answers it.
#include "GuiTestSupport.h"
#include "uControlUtils.h"
#include "uMessageForm.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using guitest::TFixedTextWidth;
using guitest::TMessageRecorder;

class TTestMessageForm : public QObject {
  Q_OBJECT
private Q_SLOTS:
  void EmptyTextKeepsDesignSize() {
    TfmMessageForm LForm(nullptr);
    LForm.SetMessageText(QString());
    QCOMPARE(LForm.size(), QSize(285, 146));
    QCOMPARE(LForm.LayoutText->height(), 77);
    QCOMPARE(LForm.TextFirstLine->text(), QString());
  }

  void WidthFollowsWidestLine_data() {
    QTest::addColumn<QString>("Text");
    QTest::addColumn<int>("Width");
    // 10 per character: 30 characters measure 300.
    QTest::newRow("a line of 300") << QString(30, QLatin1Char('x')) << 460;
    QTest::newRow("a line of 100") << QString(10, QLatin1Char('x')) << 285;
    QTest::newRow("a line of 125 gives exactly 285") << QString(12, QLatin1Char('x')) << 285;
    QTest::newRow("a line of 130") << QString(13, QLatin1Char('x')) << 290;
    QTest::newRow("widest line after CR LF")
        << QStringLiteral("ab\r\n") + QString(30, QLatin1Char('y')) << 460;
    QTest::newRow("widest line before LF")
        << QString(40, QLatin1Char('y')) + QStringLiteral("\nab") << 560;
    QTest::newRow("lines split at CR alone") << QStringLiteral("abc\rdefghijklmnopqrst") << 330;
    QTest::newRow("no upper limit") << QString(200, QLatin1Char('z')) << 2160;
  }
  void WidthFollowsWidestLine() {
    QFETCH(QString, Text);
    QFETCH(int, Width);
    TFixedTextWidth LWidth;
    TfmMessageForm LForm(nullptr);
    LForm.SetMessageText(Text);
    QCOMPARE(LForm.width(), Width);
    // The text itself is kept whole: every line, unwrapped.
    QCOMPARE(LForm.TextFirstLine->text(), Text);
    QVERIFY(!LForm.TextFirstLine->wordWrap());
  }

  void HeightFollowsTextHeight_data() {
    QTest::addColumn<int>("TextHeight");
    QTest::addColumn<int>("Height");
    QTest::addColumn<int>("TextTop");
    QTest::newRow("lower text is centred") << 20 << 146 << 28;
    QTest::newRow("odd remainder rounds down") << 16 << 146 << 30;
    QTest::newRow("as high as the area") << 77 << 146 << 0;
    QTest::newRow("taller text grows the dialog") << 100 << 169 << 0;
    QTest::newRow("much taller") << 300 << 369 << 0;
  }
  void HeightFollowsTextHeight() {
    QFETCH(int, TextHeight);
    QFETCH(int, Height);
    QFETCH(int, TextTop);
    TfmMessageForm LForm(nullptr);
    LForm.FitToText(0, TextHeight);
    QCOMPARE(LForm.height(), Height);
    QCOMPARE(LForm.TextFirstLine->y(), TextTop);
    QCOMPARE(LForm.width(), 285);
  }

  void ManyLinesAreNeitherClippedNorWrapped() {
    QStringList LLines;
    for (int LIndex = 1; LIndex <= 12; ++LIndex)
      LLines.append(QStringLiteral("Line %1").arg(LIndex));
    TfmMessageForm LForm(nullptr);
    LForm.SetMessageText(LLines.join(QStringLiteral("\r\n")));
    QVERIFY(LForm.height() > 146);
    QCOMPARE(LForm.TextFirstLine->y(), 0);
    // The whole text fits into the grown text area, above OK.
    QVERIFY(LForm.TextFirstLine->height() <= LForm.LayoutText->height());
    QVERIFY(LForm.LayoutText->geometry().bottom() < LForm.Button_Clear->geometry().top());
    QCOMPARE(LForm.height() - LForm.LayoutText->height(), 146 - 77);
  }

  void OneShortLineIsCentredVertically() {
    TfmMessageForm LForm(nullptr);
    LForm.SetMessageText(QStringLiteral("Rename done."));
    QCOMPARE(LForm.height(), 146);
    const int LBelow = 77 - LForm.TextFirstLine->y() - LForm.TextFirstLine->height();
    QVERIFY(LForm.TextFirstLine->y() > 0);
    QVERIFY(qAbs(LBelow - LForm.TextFirstLine->y()) <= 1);
  }

  void Placement_data() {
    QTest::addColumn<QRect>("Parent");
    QTest::addColumn<QSize>("Form");
    QTest::addColumn<QSize>("Primary");
    QTest::addColumn<QSize>("Virtual");
    QTest::addColumn<QPoint>("Pos");
    QTest::addColumn<bool>("CenterOnPrimary");
    const QSize LFullHd(1920, 1080);
    const QSize LTwoScreens(3840, 1080);
    QTest::newRow("centred over the main window")
        << QRect(100, 100, 900, 700) << QSize(285, 146) << LFullHd << LFullHd << QPoint(407, 377)
        << false;
    QTest::newRow("negative position becomes 0") << QRect(-500, -300, 900, 700) << QSize(285, 146)
                                                 << LFullHd << LFullHd << QPoint(0, 0) << false;
    QTest::newRow("division truncates toward zero")
        << QRect(100, 10, 900, 700) << QSize(1001, 146) << QSize(4000, 4000) << QSize(4000, 4000)
        << QPoint(50, 287) << false;
    QTest::newRow("too wide on the primary screen: its middle")
        << QRect(0, 0, 900, 700) << QSize(1100, 146) << QSize(1024, 768) << QSize(1024, 768)
        << QPoint(-38, 311) << true;
    QTest::newRow("main window on the second screen, fits")
        << QRect(1500, 200, 900, 700) << QSize(285, 146) << LFullHd << LTwoScreens
        << QPoint(1807, 477) << false;
    QTest::newRow("main window on the second screen, too low")
        << QRect(3200, 900, 900, 700) << QSize(285, 146) << LFullHd << LTwoScreens
        << QPoint(2738, 467) << false;
  }
  void Placement() {
    QFETCH(QRect, Parent);
    QFETCH(QSize, Form);
    QFETCH(QSize, Primary);
    QFETCH(QSize, Virtual);
    QFETCH(QPoint, Pos);
    QFETCH(bool, CenterOnPrimary);
    const TFormPlacement LPlace = PlaceFormOver(Parent, Form, Primary, Virtual);
    QCOMPARE(LPlace.Pos, Pos);
    QCOMPARE(LPlace.CenterOnPrimary, CenterOnPrimary);
  }

  void CenterFormOverMovesTheForm() {
    QWidget LParent;
    LParent.setGeometry(100, 50, 400, 300);
    QWidget LForm;
    LForm.resize(200, 100);
    CenterFormOver(LParent, LForm);
    const QPoint LOrigin = QGuiApplication::primaryScreen()->geometry().topLeft();
    QCOMPARE(LForm.pos(), LOrigin + QPoint(200, 150));
  }

  void IconPerKind() {
    TfmMessageForm LForm(nullptr);
    const auto LIcon = [&LForm](TMessageFormType AType) {
      LForm.SetMessageType(AType);
      return LForm.ImageIcon->pixmap().toImage();
    };
    const QImage LWarning = LIcon(TMessageFormType::mftWarting);
    const QImage LInfo = LIcon(TMessageFormType::mftInfo);
    const QImage LError = LIcon(TMessageFormType::mftError);
    QVERIFY(!LWarning.isNull() && !LInfo.isNull() && !LError.isNull());
    QVERIFY(LWarning != LInfo && LInfo != LError && LWarning != LError);
    // Any other value gets the information icon.
    QCOMPARE(LIcon(static_cast<TMessageFormType>(7)), LInfo);
  }

  void OkAndCloseImageEndTheDialogAlike_data() {
    QTest::addColumn<QString>("Control");
    QTest::newRow("OK") << QStringLiteral("Button_Clear");
    QTest::newRow("close image") << QStringLiteral("Image2");
  }
  void OkAndCloseImageEndTheDialogAlike() {
    QFETCH(QString, Control);
    bool LSeen = false;
    QTimer::singleShot(0, [&LSeen, Control] {
      auto *LForm = qobject_cast<TfmMessageForm *>(QApplication::activeModalWidget());
      if (LForm == nullptr)
        return;
      LSeen = LForm->TextFirstLine->text() == QStringLiteral("Rollback done.");
      QWidget *LTarget = LForm->findChild<QWidget *>(Control);
      QTest::mouseClick(LTarget, Qt::LeftButton, {}, LTarget->rect().center());
    });
    // Returns only because the click ended the modal loop.
    ShowWarningMessage(QStringLiteral("Rollback done."));
    QVERIFY(LSeen);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
  }

  void HookAnswersWithoutADialog() {
    TMessageRecorder LRecorder;
    ShowWarningMessage(QStringLiteral("one"));
    ShowInfoMessage(QStringLiteral("two"));
    ShowErrorMessage(QStringLiteral("three"));
    QCOMPARE(LRecorder.Texts(),
             (QStringList{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")}));
    QCOMPARE(LRecorder.Messages().at(0).Type, TMessageFormType::mftWarting);
    QCOMPARE(LRecorder.Messages().at(1).Type, TMessageFormType::mftInfo);
    QCOMPARE(LRecorder.Messages().at(2).Type, TMessageFormType::mftError);
  }
};

QTEST_MAIN(TTestMessageForm)
#include "tst_messageform.moc"
