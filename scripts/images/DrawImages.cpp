// Paints the program's pictures into Program/images/ at twice their display
// size, so that they stay crisp on high-density screens, and the application
// icon at each size of the desktop's icon theme. Run by scripts/draw-images;
// the PNG files it writes are committed.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>
#include <functional>

namespace {

const QColor Slate(0x2c, 0x3e, 0x50);
const QColor SlateLight(0x5d, 0x6d, 0x7e);
const QColor Teal(0x16, 0xa0, 0x85);
const QColor TealDark(0x11, 0x7a, 0x65);
const QColor Amber(0xf3, 0x9c, 0x12);
const QColor AmberDark(0xc8, 0x7f, 0x0a);
const QColor Red(0xe7, 0x4c, 0x3c);
const QColor RedDark(0xb8, 0x3a, 0x2d);
const QColor Blue(0x29, 0x80, 0xb9);
const QColor BlueDark(0x1f, 0x62, 0x8e);
const QColor Paper(0xfd, 0xfe, 0xfe);
const QColor HeaderInk(0xe4, 0xec, 0xf2);

QString GOutDir;

// The application icon's design box; each PNG size scales it.
constexpr double IconBox = 64;
const QString IconName = QStringLiteral("org.varnwell.Varnwell");

bool Save(const QString &AName, int AWidth, int AHeight,
          const std::function<void(QPainter &)> &ADraw) {
  QImage LImage(AWidth * 2, AHeight * 2, QImage::Format_ARGB32_Premultiplied);
  LImage.fill(Qt::transparent);
  {
    QPainter LPainter(&LImage);
    LPainter.setRenderHint(QPainter::Antialiasing, true);
    LPainter.setRenderHint(QPainter::TextAntialiasing, true);
    LPainter.scale(2, 2);
    ADraw(LPainter);
  }
  const QString LPath = GOutDir + QLatin1Char('/') + AName + QStringLiteral(".png");
  if (!LImage.save(LPath)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(LPath));
    return false;
  }
  std::printf("%s\n", qPrintable(LPath));
  return true;
}

// Paints the application icon at ASize x ASize pixels into
// <AThemeDir>/<ASize>x<ASize>/apps/, the layout of the hicolor icon theme.
bool SaveIcon(const QString &AThemeDir, int ASize, const std::function<void(QPainter &)> &ADraw) {
  QImage LImage(ASize, ASize, QImage::Format_ARGB32_Premultiplied);
  LImage.fill(Qt::transparent);
  {
    QPainter LPainter(&LImage);
    LPainter.setRenderHint(QPainter::Antialiasing, true);
    LPainter.scale(ASize / IconBox, ASize / IconBox);
    ADraw(LPainter);
  }
  const QString LDir = QStringLiteral("%1/%2x%2/apps").arg(AThemeDir).arg(ASize);
  const QString LPath = LDir + QLatin1Char('/') + IconName + QStringLiteral(".png");
  if (!QDir().mkpath(LDir) || !LImage.save(LPath)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(LPath));
    return false;
  }
  std::printf("%s\n", qPrintable(LPath));
  return true;
}

QPen Pen(const QColor &AColor, double AWidth) {
  QPen LPen(AColor, AWidth);
  LPen.setCapStyle(Qt::RoundCap);
  LPen.setJoinStyle(Qt::RoundJoin);
  return LPen;
}

// A sheet of paper with a folded corner in the box (x, y, w, h).
void Document(QPainter &P, double x, double y, double w, double h, const QColor &AInk,
              double APen) {
  const double f = w * 0.32;
  QPainterPath LPath;
  LPath.moveTo(x, y);
  LPath.lineTo(x + w - f, y);
  LPath.lineTo(x + w, y + f);
  LPath.lineTo(x + w, y + h);
  LPath.lineTo(x, y + h);
  LPath.closeSubpath();
  P.setPen(Pen(AInk, APen));
  P.setBrush(Paper);
  P.drawPath(LPath);
  QPainterPath LFold;
  LFold.moveTo(x + w - f, y);
  LFold.lineTo(x + w - f, y + f);
  LFold.lineTo(x + w, y + f);
  P.setBrush(Qt::NoBrush);
  P.drawPath(LFold);
}

// A folder in the box (x, y, w, h).
void Folder(QPainter &P, double x, double y, double w, double h, const QColor &AFill,
            const QColor &AInk, double APen) {
  const double t = h * 0.22;
  QPainterPath LBack;
  LBack.moveTo(x, y + t);
  LBack.lineTo(x, y + 1);
  LBack.quadTo(x, y, x + 1, y);
  LBack.lineTo(x + w * 0.36, y);
  LBack.lineTo(x + w * 0.46, y + t);
  LBack.lineTo(x + w, y + t);
  LBack.lineTo(x + w, y + h);
  LBack.lineTo(x, y + h);
  LBack.closeSubpath();
  P.setPen(Pen(AInk, APen));
  P.setBrush(AFill.darker(112));
  P.drawPath(LBack);
  QPainterPath LFront;
  LFront.moveTo(x, y + h);
  LFront.lineTo(x + w * 0.08, y + t * 1.9);
  LFront.lineTo(x + w * 1.04, y + t * 1.9);
  LFront.lineTo(x + w, y + h);
  LFront.closeSubpath();
  P.setBrush(AFill);
  P.drawPath(LFront);
}

// A round badge with a plus, centred at (cx, cy).
void PlusBadge(QPainter &P, double cx, double cy, double r, const QColor &AFill) {
  P.setPen(Pen(Qt::white, 1.2));
  P.setBrush(AFill);
  P.drawEllipse(QPointF(cx, cy), r, r);
  P.setPen(Pen(Qt::white, r * 0.38));
  P.drawLine(QPointF(cx - r * 0.5, cy), QPointF(cx + r * 0.5, cy));
  P.drawLine(QPointF(cx, cy - r * 0.5), QPointF(cx, cy + r * 0.5));
}

// A pencil from (x1, y1) (tip) to (x2, y2).
void Pencil(QPainter &P, QPointF ATip, QPointF AEnd, double AWidth, const QColor &ABody) {
  const QLineF LAxis(ATip, AEnd);
  P.save();
  P.translate(ATip);
  P.rotate(-LAxis.angle());
  const double L = LAxis.length();
  const double h = AWidth / 2;
  const double tip = AWidth * 1.3;
  QPainterPath LBody;
  LBody.moveTo(tip, -h);
  LBody.lineTo(L, -h);
  LBody.lineTo(L, h);
  LBody.lineTo(tip, h);
  LBody.closeSubpath();
  P.setPen(Pen(ABody.darker(140), 1.0));
  P.setBrush(ABody);
  P.drawPath(LBody);
  QPainterPath LWood;
  LWood.moveTo(0, 0);
  LWood.lineTo(tip, -h);
  LWood.lineTo(tip, h);
  LWood.closeSubpath();
  P.setBrush(QColor(0xf5, 0xd6, 0xa8));
  P.drawPath(LWood);
  QPainterPath LLead;
  LLead.moveTo(0, 0);
  LLead.lineTo(tip * 0.35, -h * 0.35);
  LLead.lineTo(tip * 0.35, h * 0.35);
  LLead.closeSubpath();
  P.setBrush(Slate);
  P.setPen(Qt::NoPen);
  P.drawPath(LLead);
  P.setPen(Pen(ABody.darker(140), 1.0));
  P.setBrush(QColor(0xe8, 0x8e, 0x9a));
  P.drawRect(QRectF(L - AWidth * 0.55, -h, AWidth * 0.55, 2 * h));
  P.restore();
}

void Triangle(QPainter &P, QRectF ABox, const QColor &AFill, const QColor &AInk, double APen) {
  QPainterPath LPath;
  LPath.moveTo(ABox.center().x(), ABox.top());
  LPath.lineTo(ABox.right(), ABox.bottom());
  LPath.lineTo(ABox.left(), ABox.bottom());
  LPath.closeSubpath();
  P.setPen(Pen(AInk, APen));
  P.setBrush(AFill);
  P.drawPath(LPath);
}

void Exclamation(QPainter &P, double cx, double top, double bottom, double w,
                 const QColor &AColor) {
  P.setPen(Pen(AColor, w));
  P.drawLine(QPointF(cx, top), QPointF(cx, bottom - w * 1.6));
  P.setPen(Qt::NoPen);
  P.setBrush(AColor);
  P.drawEllipse(QPointF(cx, bottom), w * 0.62, w * 0.62);
}

// The application icon in its 64 x 64 design box: the logo's mark (a page with
// lines of text and a pencil on a rounded teal square) with the page's folded
// corner shaded and bolder lines, so that it still reads at 16 pixels.
// data/icons/hicolor/scalable/apps/ holds the same drawing written as SVG.
void AppIcon(QPainter &P) {
  P.setPen(Qt::NoPen);
  P.setBrush(Teal);
  P.drawRoundedRect(QRectF(4, 4, 56, 56), 14, 14);
  QPainterPath LPage;
  LPage.moveTo(16, 12);
  LPage.lineTo(32, 12);
  LPage.lineTo(40, 20);
  LPage.lineTo(40, 44);
  LPage.lineTo(16, 44);
  LPage.closeSubpath();
  P.setBrush(Paper);
  P.drawPath(LPage);
  QPainterPath LFold;
  LFold.moveTo(32, 12);
  LFold.lineTo(40, 20);
  LFold.lineTo(32, 20);
  LFold.closeSubpath();
  P.setBrush(QColor(0xa3, 0xdc, 0xcf));
  P.drawPath(LFold);
  P.setPen(Pen(Teal, 2.8));
  for (double y : {24.0, 30.0, 36.0})
    P.drawLine(QPointF(21, y), QPointF(34, y));
  Pencil(P, QPointF(32, 50), QPointF(54, 26), 7, Amber);
}

} // namespace

int main(int argc, char *argv[]) {
  QGuiApplication LApp(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: DrawImages <pictures folder> <icon theme folder>\n");
    return 2;
  }
  GOutDir = QString::fromLocal8Bit(argv[1]);
  const QString LThemeDir = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(GOutDir);
  bool LOk = true;

  // ---- Page buttons, 24 x 24 ----
  LOk &= Save(QStringLiteral("Button_Addfile"), 24, 24, [](QPainter &P) {
    Document(P, 3.5, 2.5, 13, 17, SlateLight, 1.4);
    P.setPen(Pen(QColor(0xb8, 0xc4, 0xcf), 1.2));
    for (double y : {9.5, 12.5, 15.5})
      P.drawLine(QPointF(6.5, y), QPointF(13.5, y));
    PlusBadge(P, 17.5, 17.5, 5.2, Teal);
  });
  LOk &= Save(QStringLiteral("Button_Addfolder"), 24, 24, [](QPainter &P) {
    Folder(P, 2, 4.5, 17, 13.5, QColor(0xf6, 0xc3, 0x4f), AmberDark, 1.2);
    PlusBadge(P, 17.5, 17.5, 5.2, Teal);
  });
  LOk &= Save(QStringLiteral("Button_Clear"), 24, 24, [](QPainter &P) {
    P.setPen(Pen(SlateLight, 2.0));
    for (double y : {5.5, 10.0, 14.5})
      P.drawLine(QPointF(3.5, y), QPointF(13.5, y));
    P.setPen(Pen(Qt::white, 1.2));
    P.setBrush(Red);
    P.drawEllipse(QPointF(17, 17), 5.4, 5.4);
    P.setPen(Pen(Qt::white, 1.9));
    P.drawLine(QPointF(14.8, 14.8), QPointF(19.2, 19.2));
    P.drawLine(QPointF(19.2, 14.8), QPointF(14.8, 19.2));
  });
  LOk &= Save(QStringLiteral("Button_Delete"), 24, 24, [](QPainter &P) {
    P.setPen(Pen(RedDark, 1.4));
    P.setBrush(QColor(0xfb, 0xe3, 0xe0));
    QPainterPath LCan;
    LCan.moveTo(5.5, 7.5);
    LCan.lineTo(18.5, 7.5);
    LCan.lineTo(17.2, 21);
    LCan.lineTo(6.8, 21);
    LCan.closeSubpath();
    P.drawPath(LCan);
    P.setBrush(Red);
    P.drawRoundedRect(QRectF(3.5, 4.5, 17, 3), 1, 1);
    P.drawLine(QPointF(9.5, 4.5), QPointF(10, 2.5));
    P.drawLine(QPointF(10, 2.5), QPointF(14, 2.5));
    P.drawLine(QPointF(14, 2.5), QPointF(14.5, 4.5));
    P.setPen(Pen(RedDark, 1.2));
    for (double x : {9.5, 12.0, 14.5})
      P.drawLine(QPointF(x, 10.5), QPointF(x, 18));
  });
  LOk &= Save(QStringLiteral("Button_Rename"), 24, 24, [](QPainter &P) {
    P.setPen(Pen(SlateLight, 1.3));
    P.setBrush(Paper);
    P.drawRoundedRect(QRectF(1.5, 13.5, 16, 8), 1.5, 1.5);
    P.setPen(Pen(Teal, 1.6));
    P.drawLine(QPointF(4.5, 17.5), QPointF(10.5, 17.5));
    Pencil(P, QPointF(11.5, 15.5), QPointF(21.5, 3.5), 4.2, Amber);
  });
  LOk &= Save(QStringLiteral("Button_Undo"), 24, 24, [](QPainter &P) {
    QPainterPath LArc;
    LArc.moveTo(6, 9.5);
    LArc.lineTo(14, 9.5);
    LArc.cubicTo(18.5, 9.5, 21, 12.5, 21, 15.5);
    LArc.cubicTo(21, 18.5, 18.5, 21, 14, 21);
    LArc.lineTo(9, 21);
    P.setPen(Pen(Blue, 2.6));
    P.setBrush(Qt::NoBrush);
    P.drawPath(LArc);
    QPainterPath LHead;
    LHead.moveTo(2.5, 9.5);
    LHead.lineTo(8.5, 4.0);
    LHead.lineTo(8.5, 15.0);
    LHead.closeSubpath();
    P.setPen(Pen(Blue, 1.0));
    P.setBrush(Blue);
    P.drawPath(LHead);
  });

  // ---- Message icons, 80 x 80 ----
  LOk &= Save(QStringLiteral("WarningMessageIcon"), 80, 80, [](QPainter &P) {
    QPainterPath LPath;
    LPath.moveTo(40, 10);
    LPath.lineTo(72, 68);
    LPath.lineTo(8, 68);
    LPath.closeSubpath();
    QPen LPen = Pen(Amber, 9);
    P.setPen(LPen);
    P.setBrush(Amber);
    P.drawPath(LPath);
    Exclamation(P, 40, 30, 58, 6.5, Qt::white);
  });
  LOk &= Save(QStringLiteral("InfoMessageIcon"), 80, 80, [](QPainter &P) {
    P.setPen(Qt::NoPen);
    P.setBrush(Blue);
    P.drawEllipse(QPointF(40, 40), 31, 31);
    P.setBrush(Qt::white);
    P.drawEllipse(QPointF(40, 25), 4.2, 4.2);
    P.setPen(Pen(Qt::white, 7));
    P.drawLine(QPointF(40, 37), QPointF(40, 56));
  });
  LOk &= Save(QStringLiteral("ErrorMessageIcon"), 80, 80, [](QPainter &P) {
    P.setPen(Qt::NoPen);
    P.setBrush(Red);
    P.drawEllipse(QPointF(40, 40), 31, 31);
    P.setPen(Pen(Qt::white, 7));
    P.drawLine(QPointF(29, 29), QPointF(51, 51));
    P.drawLine(QPointF(51, 29), QPointF(29, 51));
  });

  // ---- The grids' hint mark, 18 x 18 ----
  LOk &= Save(QStringLiteral("HintColumnIcon"), 18, 18, [](QPainter &P) {
    QPainterPath LPath;
    LPath.moveTo(9, 2.2);
    LPath.lineTo(16, 15);
    LPath.lineTo(2, 15);
    LPath.closeSubpath();
    P.setPen(Pen(Amber, 2.4));
    P.setBrush(Amber);
    P.drawPath(LPath);
    Exclamation(P, 9, 6.6, 12.9, 1.7, Qt::white);
  });

  // What the preview predicts for a row before Rename: a conflict (two
  // sheets that claim one name, in red, unlike the amber failure triangle)
  // and a quiet mark for an item that waits for another or is swapped with
  // one (a small grey arrow).
  LOk &= Save(QStringLiteral("ConflictColumnIcon"), 18, 18, [](QPainter &P) {
    const auto LSheet = [&P](double x, double y, const QColor &AFill) {
      QPainterPath LPath;
      LPath.moveTo(x, y);
      LPath.lineTo(x + 6.5, y);
      LPath.lineTo(x + 9.5, y + 3);
      LPath.lineTo(x + 9.5, y + 12);
      LPath.lineTo(x, y + 12);
      LPath.closeSubpath();
      P.setPen(Pen(RedDark, 1.3));
      P.setBrush(AFill);
      P.drawPath(LPath);
    };
    LSheet(1.8, 1.5, Paper);
    LSheet(6.7, 4.5, Red);
    Exclamation(P, 11.45, 7.6, 14.2, 1.5, Qt::white);
  });
  LOk &= Save(QStringLiteral("ChainColumnIcon"), 18, 18, [](QPainter &P) {
    const QColor LGrey(0x95, 0xa5, 0xa6);
    P.setPen(Pen(LGrey, 1.6));
    P.drawLine(QPointF(4.5, 9), QPointF(12, 9));
    QPainterPath LHead;
    LHead.moveTo(14.5, 9);
    LHead.lineTo(10.5, 5.8);
    LHead.lineTo(10.5, 12.2);
    LHead.closeSubpath();
    P.setPen(Pen(LGrey, 0.8));
    P.setBrush(LGrey);
    P.drawPath(LHead);
  });
  // Not tried: a hollow grey ring, quieter than the failure's red.
  LOk &= Save(QStringLiteral("NotTriedColumnIcon"), 18, 18, [](QPainter &P) {
    const QColor LGrey(0x95, 0xa5, 0xa6);
    P.setPen(Pen(LGrey, 1.6));
    P.setBrush(Qt::NoBrush);
    P.drawEllipse(QPointF(9, 9), 4.2, 4.2);
  });

  // ---- Close and minimise: light for the header, dark for dialogs, 16 x 16 ----
  const auto LCross = [](const QColor &AColor) {
    return [AColor](QPainter &P) {
      P.setPen(Pen(AColor, 1.8));
      P.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
      P.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    };
  };
  LOk &= Save(QStringLiteral("Header_Close"), 16, 16, LCross(HeaderInk));
  LOk &= Save(QStringLiteral("CloseImage"), 16, 16, LCross(SlateLight));
  LOk &= Save(QStringLiteral("Header_Minimize"), 16, 16, [](QPainter &P) {
    P.setPen(Pen(HeaderInk, 1.8));
    P.drawLine(QPointF(3.5, 12), QPointF(12.5, 12));
  });

  // ---- Header menu buttons, 28 x 28, light line art ----
  LOk &= Save(QStringLiteral("Header_Mode"), 28, 28, [](QPainter &P) {
    P.setPen(Pen(HeaderInk, 1.8));
    P.setBrush(Qt::NoBrush);
    P.drawRoundedRect(QRectF(4, 4, 8.5, 8.5), 2, 2);
    P.drawRoundedRect(QRectF(15.5, 4, 8.5, 8.5), 2, 2);
    P.drawRoundedRect(QRectF(4, 15.5, 8.5, 8.5), 2, 2);
    P.setBrush(QColor(0x48, 0xd1, 0xb3));
    P.setPen(Pen(QColor(0x48, 0xd1, 0xb3), 1.8));
    P.drawRoundedRect(QRectF(15.5, 15.5, 8.5, 8.5), 2, 2);
  });
  LOk &= Save(QStringLiteral("Header_Settings"), 28, 28, [](QPainter &P) {
    QPainterPath LGear;
    const QPointF c(14, 14);
    const int LTeeth = 8;
    for (int i = 0; i < LTeeth * 2; ++i) {
      const double a0 = (i - 0.5) * M_PI / LTeeth;
      const double a1 = (i + 0.5) * M_PI / LTeeth;
      const double r = (i % 2 == 0) ? 10.5 : 8.0;
      const QPointF p0(c.x() + r * std::cos(a0), c.y() + r * std::sin(a0));
      const QPointF p1(c.x() + r * std::cos(a1), c.y() + r * std::sin(a1));
      if (i == 0)
        LGear.moveTo(p0);
      else
        LGear.lineTo(p0);
      LGear.lineTo(p1);
    }
    LGear.closeSubpath();
    P.setPen(Pen(HeaderInk, 1.6));
    P.setBrush(Qt::NoBrush);
    P.drawPath(LGear);
    P.drawEllipse(c, 3.6, 3.6);
  });
  LOk &= Save(QStringLiteral("Header_About"), 28, 28, [](QPainter &P) {
    P.setPen(Pen(HeaderInk, 1.8));
    P.setBrush(Qt::NoBrush);
    P.drawEllipse(QPointF(14, 14), 10.5, 10.5);
    P.setPen(Qt::NoPen);
    P.setBrush(HeaderInk);
    P.drawEllipse(QPointF(14, 8.8), 1.6, 1.6);
    P.setPen(Pen(HeaderInk, 2.4));
    P.drawLine(QPointF(14, 13), QPointF(14, 19.5));
  });

  // A clock face whose rim turns back at the top: what was done, undone.
  LOk &= Save(QStringLiteral("Header_History"), 28, 28, [](QPainter &P) {
    P.setPen(Pen(HeaderInk, 1.8));
    P.setBrush(Qt::NoBrush);
    P.drawArc(QRectF(3.5, 3.5, 21, 21), 120 * 16, 300 * 16);
    P.setPen(Qt::NoPen);
    P.setBrush(HeaderInk);
    QPolygonF LHead;
    LHead << QPointF(3.2, 5.8) << QPointF(9.8, 4.6) << QPointF(6.0, 10.4);
    P.drawPolygon(LHead);
    P.setPen(Pen(HeaderInk, 2.0));
    P.drawLine(QPointF(14, 14), QPointF(14, 8.5));
    P.drawLine(QPointF(14, 14), QPointF(18, 16.5));
  });

  // ---- The mode page's large buttons, 64 x 64 ----
  LOk &= Save(QStringLiteral("Mode_FileRename"), 64, 64, [](QPainter &P) {
    Document(P, 12, 6, 34, 46, SlateLight, 2.2);
    P.setPen(Pen(QColor(0xb8, 0xc4, 0xcf), 2.4));
    for (double y : {22.0, 29.0, 36.0})
      P.drawLine(QPointF(18, y), QPointF(38, y));
    Pencil(P, QPointF(32, 52), QPointF(58, 24), 9, Teal);
  });
  LOk &= Save(QStringLiteral("Mode_FolderRename"), 64, 64, [](QPainter &P) {
    Folder(P, 4, 12, 46, 38, QColor(0xf6, 0xc3, 0x4f), AmberDark, 2.2);
    Pencil(P, QPointF(34, 54), QPointF(60, 26), 9, Teal);
  });

  // ---- The about page's logo, 330 x 70 ----
  LOk &= Save(QStringLiteral("Logo"), 330, 70, [](QPainter &P) {
    P.setPen(Qt::NoPen);
    P.setBrush(Teal);
    P.drawRoundedRect(QRectF(8, 7, 56, 56), 14, 14);
    Document(P, 20, 15, 24, 32, QColor(0xde, 0xf5, 0xef), 0.01);
    P.setPen(Pen(Teal, 2.0));
    for (double y : {27.0, 32.0, 37.0})
      P.drawLine(QPointF(25, y), QPointF(38, y));
    Pencil(P, QPointF(36, 52), QPointF(58, 28), 6.5, Amber);
    QFont LFont(QStringLiteral("DejaVu Sans"));
    LFont.setPixelSize(38);
    LFont.setBold(true);
    P.setFont(LFont);
    P.setPen(Slate);
    P.drawText(QRectF(80, 4, 250, 46), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Varnwell"));
    QFont LSmall(QStringLiteral("DejaVu Sans"));
    LSmall.setPixelSize(13);
    P.setFont(LSmall);
    P.setPen(SlateLight);
    P.drawText(QRectF(82, 46, 250, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("bulk renamer for files and folders"));
  });

  // ---- The application icon, at each size the desktop's menus and file
  // managers ask for ----
  for (int LSize : {16, 32, 48, 64, 128, 256})
    LOk &= SaveIcon(LThemeDir, LSize, AppIcon);

  return LOk ? 0 : 1;
}
