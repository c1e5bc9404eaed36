// The page kit on its own: when a field counts as exited, what a press on a
// sort header asks for, the reports after Rename and Rollback (logged before
// they are shown), and the repaint guard. The pages' tests drive the rest of
// the kit through the real pages.
#include "GuiTestSupport.h"
#include "uControlUtils.h"
#include "uGridSupport.h"
#include "uLog.h"
#include "uPageKit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

using guitest::TExecutableFolder;

namespace {

// A model that names its columns the way the page grids do.
class TNamedColumnsModel : public QStandardItemModel {
public:
  TNamedColumnsModel(int ARows, QStringList ANames)
      : QStandardItemModel(ARows, static_cast<int>(ANames.size())), FNames(std::move(ANames)) {}
  QVariant headerData(int ASection, Qt::Orientation AOrientation, int ARole) const override {
    if (AOrientation == Qt::Horizontal && ARole == ColumnNameRole)
      return FNames.value(ASection);
    return QStandardItemModel::headerData(ASection, AOrientation, ARole);
  }

private:
  QStringList FNames;
};

enum class TFieldEvent { Return, KeypadEnter, OtherKey, FocusOut };

} // namespace

Q_DECLARE_METATYPE(TFieldEvent)
Q_DECLARE_METATYPE(TFieldExits::TExitOn)
Q_DECLARE_METATYPE(Qt::FocusReason)

class TTestPageKit : public QObject {
  Q_OBJECT
private Q_SLOTS:
  void FieldExits_data() {
    QTest::addColumn<TFieldExits::TExitOn>("ExitOn");
    QTest::addColumn<TFieldEvent>("Event");
    QTest::addColumn<Qt::FocusReason>("Reason"); // for FocusOut
    QTest::addColumn<bool>("Exits");
    const auto LLeave = TFieldExits::TExitOn::EnterOrLeave;
    const auto LEnter = TFieldExits::TExitOn::EnterOnly;
    QTest::newRow("Return") << LLeave << TFieldEvent::Return << Qt::NoFocusReason << true;
    QTest::newRow("Enter of the keypad")
        << LLeave << TFieldEvent::KeypadEnter << Qt::NoFocusReason << true;
    QTest::newRow("another key") << LLeave << TFieldEvent::OtherKey << Qt::NoFocusReason << false;
    QTest::newRow("Tab to another control")
        << LLeave << TFieldEvent::FocusOut << Qt::TabFocusReason << true;
    QTest::newRow("a click on another control")
        << LLeave << TFieldEvent::FocusOut << Qt::MouseFocusReason << true;
    QTest::newRow("focus moved by the program")
        << LLeave << TFieldEvent::FocusOut << Qt::OtherFocusReason << true;
    QTest::newRow("a popup over the field")
        << LLeave << TFieldEvent::FocusOut << Qt::PopupFocusReason << false;
    QTest::newRow("the window losing activation")
        << LLeave << TFieldEvent::FocusOut << Qt::ActiveWindowFocusReason << false;
    QTest::newRow("Return in an Enter-only field")
        << LEnter << TFieldEvent::Return << Qt::NoFocusReason << true;
    QTest::newRow("Tab from an Enter-only field")
        << LEnter << TFieldEvent::FocusOut << Qt::TabFocusReason << false;
  }
  void FieldExits() {
    QFETCH(TFieldExits::TExitOn, ExitOn);
    QFETCH(TFieldEvent, Event);
    QFETCH(Qt::FocusReason, Reason);
    QFETCH(bool, Exits);
    QWidget LPage;
    auto *LField = new QLineEdit(&LPage);
    auto *LOther = new QLineEdit(&LPage);
    QStringList LCalls;
    TFieldExits LExits([&LCalls] { LCalls.append(QStringLiteral("after")); });
    LExits.Watch(
        *LField, [&LCalls] { LCalls.append(QStringLiteral("field")); }, ExitOn);
    LExits.Watch(*LOther, [&LCalls] { LCalls.append(QStringLiteral("other")); });
    QSignalSpy LReturns(LField, &QLineEdit::returnPressed);
    if (Event == TFieldEvent::FocusOut) {
      QFocusEvent LOut(QEvent::FocusOut, Reason);
      QApplication::sendEvent(LField, &LOut);
    } else {
      const int LKey = Event == TFieldEvent::Return        ? Qt::Key_Return
                       : Event == TFieldEvent::KeypadEnter ? Qt::Key_Enter
                                                           : Qt::Key_A;
      QTest::keyClick(LField, static_cast<Qt::Key>(LKey));
    }
    QCOMPARE(LCalls, Exits ? (QStringList{QStringLiteral("field"), QStringLiteral("after")})
                           : QStringList());
    // The field itself still gets its keys.
    if (Event == TFieldEvent::Return || Event == TFieldEvent::KeypadEnter)
      QCOMPARE(LReturns.count(), 1);
  }

  void SortPresses() {
    TNamedColumnsModel LModel(
        2, {HintColumnName, QStringLiteral("scOldName"), QStringLiteral("scLocation"), QString()});
    QTableView LGrid;
    auto *LHeader = new TSortHeaderView(&LGrid);
    LGrid.setHorizontalHeader(LHeader);
    LGrid.setModel(&LModel);
    // The hint column and a section without a name ask for nothing and keep
    // the marker where it is.
    LHeader->PlaceSortMarker(2);
    QVERIFY(!SortPress(*LHeader, 0, 2));
    QVERIFY(!SortPress(*LHeader, 3, 2));
    QCOMPARE(LHeader->MarkerSection(), 2);
    // Neither does any press on fewer than two rows.
    QVERIFY(!SortPress(*LHeader, 1, 1));
    QCOMPARE(LHeader->SectionTag(1), QString());
    // A column's first press sorts ascending, the next one descending.
    std::optional<TSortPress> LPress = SortPress(*LHeader, 1, 2);
    QVERIFY(LPress);
    QCOMPARE(LPress->FColumn, QStringLiteral("scOldName"));
    QVERIFY(!LPress->FDown);
    QCOMPARE(LHeader->MarkerSection(), 1);
    LPress = SortPress(*LHeader, 1, 2);
    QVERIFY(LPress && LPress->FDown);
    // The marker placed at set-up flipped "Location" once already.
    LPress = SortPress(*LHeader, 2, 2);
    QVERIFY(LPress && LPress->FDown);
  }

  void ReportsAreLoggedBeforeTheyAreShown_data() {
    QTest::addColumn<bool>("Rollback");
    QTest::addColumn<int>("Failed");
    QTest::addColumn<QString>("Text");
    QTest::newRow("rename done") << false << 0 << QStringLiteral("Rename done.");
    QTest::newRow("one rename failed")
        << false << 1 << QStringLiteral("Failed to rename 1 file. List is below.");
    QTest::newRow("three renames failed")
        << false << 3 << QStringLiteral("Failed to rename 3 files. List is below.");
    QTest::newRow("rollback done") << true << 0 << QStringLiteral("Rollback done.");
    QTest::newRow("one rollback failed")
        << true << 1 << QStringLiteral("Failed to rollback 1 file. List is below.");
    QTest::newRow("two rollbacks failed")
        << true << 2 << QStringLiteral("Failed to rollback 2 files. List is below.");
  }
  void ReportsAreLoggedBeforeTheyAreShown() {
    QFETCH(bool, Rollback);
    QFETCH(int, Failed);
    QFETCH(QString, Text);
    TExecutableFolder LExe;
    GetLogger().StartLogging(LExe.File(QStringLiteral("Logs")), 0);
    QStringList LShown;
    QString LLogWhenShown;
    const TMessageHook LPrevious = SetMessageHook([&](const QString &AText, TMessageFormType) {
      LShown.append(AText);
      LLogWhenShown = guitest::ReadLogFile(GetLogger().LogFileName());
    });
    if (Rollback)
      ReportRollback(Failed);
    else
      ReportRename(Failed);
    SetMessageHook(LPrevious);
    GetLogger().StopLogging();
    QCOMPARE(LShown, QStringList{Text});
    QVERIFY2(LLogWhenShown.contains(QLatin1Char('\t') + Text), qPrintable(LLogWhenShown));
  }

  void RepaintingComesBackAsItWas() {
    QWidget LWidget;
    {
      const TUpdatesSuspended LSuspended(LWidget);
      QVERIFY(!LWidget.updatesEnabled());
      { const TUpdatesSuspended LNested(LWidget); }
      QVERIFY(!LWidget.updatesEnabled());
    }
    QVERIFY(LWidget.updatesEnabled());
    // A widget that goes away inside the scope is left alone at its end.
    auto LGone = std::make_unique<QWidget>();
    {
      const TUpdatesSuspended LSuspended(*LGone);
      LGone.reset();
    }
  }

  // The probe reports the folder asked for last, measured whole; a folder
  // asked for while another is measured is measured next.
  void FolderSizeProbeReportsTheFolderAskedForLast() {
    QTemporaryDir LDir;
    const auto LWrite = [&LDir](const QString &AName, int ASize) {
      QDir().mkpath(LDir.filePath(AName));
      QFile LFile(LDir.filePath(AName + QStringLiteral("/data")));
      QVERIFY(LFile.open(QIODevice::WriteOnly));
      LFile.write(QByteArray(ASize, 'x'));
    };
    LWrite(QStringLiteral("a"), 10);
    LWrite(QStringLiteral("b"), 20);
    TFolderSizeProbe LProbe;
    QSignalSpy LMeasured(&LProbe, &TFolderSizeProbe::Measured);
    LProbe.Measure(LDir.filePath(QStringLiteral("a")));
    LProbe.Measure(LDir.filePath(QStringLiteral("b")));
    QVERIFY(LProbe.Busy());
    QTRY_VERIFY(!LProbe.Busy());
    QVERIFY(!LMeasured.isEmpty());
    QCOMPARE(LMeasured.last().at(0).toString(), LDir.filePath(QStringLiteral("b")));
    QCOMPARE(LMeasured.last().at(1).toLongLong(), 20);
    // A probe destroyed while it measures stops and waits.
    {
      TFolderSizeProbe LGone;
      LGone.Measure(LDir.path());
    }
  }

  // While a step runs the focus rests on Cancel: a Space or Enter typed
  // for a field a moment before does not cancel the step; Esc and a click do.
  void CancelTakesOnlyAClickOrEsc() {
    QWidget LPage;
    TStepWorker LWorker;
    TStepProgress LProgress(LWorker, &LPage);
    std::atomic<bool> LRelease{false};
    QVERIFY(LWorker.Start(
        [&LRelease](TProgress &AProgress) {
          while (!LRelease.load() && !AProgress.StopRequested())
            QThread::msleep(1);
        },
        [] {}));
    for (const int LKey : {int(Qt::Key_Space), int(Qt::Key_Return), int(Qt::Key_Enter)})
      QTest::keyClick(LProgress.btnStepCancel, static_cast<Qt::Key>(LKey));
    QVERIFY(!LWorker.CancelRequested());
    QTest::keyClick(LProgress.btnStepCancel, Qt::Key_Escape);
    QVERIFY(LWorker.CancelRequested());
    QTRY_VERIFY(!LWorker.Running());
  }
};

QTEST_MAIN(TTestPageKit)
#include "tst_pagekit.moc"
