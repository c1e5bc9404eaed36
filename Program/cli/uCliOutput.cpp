#include "uCliOutput.h"

#include "platform/uLosslessUtf8.h"
#include "uUtil.h"

#include <QJsonDocument>

QByteArray NameBytes(const QString &AName) {
  QByteArray LBytes;
  if (!platform::EncodeUtf8Lossless(AName, LBytes))
    return AName.toUtf8();
  return LBytes;
}

bool HasForeignBytes(const QString &AName) {
  // Bytes that are not UTF-8 are held as the lone surrogates U+DC80..U+DCFF.
  for (const QChar LChar : AName)
    if (LChar.unicode() >= 0xDC80 && LChar.unicode() <= 0xDCFF)
      return true;
  return false;
}

namespace {

QByteArray Octal(unsigned AByte) {
  return QByteArray("\\") + QByteArray::number(AByte, 8).rightJustified(3, '0');
}

// One ASCII byte inside $'...'.
QByteArray QuotedAscii(char AByte) {
  switch (AByte) {
  case '\n':
    return "\\n";
  case '\t':
    return "\\t";
  case '\r':
    return "\\r";
  case '\\':
    return "\\\\";
  case '\'':
    return "\\'";
  default:
    break;
  }
  const auto LCode = static_cast<unsigned char>(AByte);
  if (LCode < 0x20 || LCode == 0x7F)
    return Octal(LCode);
  return QByteArray(1, AByte);
}

} // namespace

QByteArray QuoteForTerminal(const QString &AName) {
  const QByteArray LBytes = NameBytes(AName);
  bool LPlain = !HasForeignBytes(AName) && !LBytes.contains(" -> ");
  for (const char LByte : LBytes) {
    const auto LCode = static_cast<unsigned char>(LByte);
    if (LCode < 0x20 || LCode == 0x7F || LByte == '\\')
      LPlain = false;
  }
  if (LPlain)
    return LBytes;
  QByteArray LOut = "$'";
  for (qsizetype i = 0; i < AName.size(); ++i) {
    const char16_t LCode = AName[i].unicode();
    if (LCode >= 0xDC80 && LCode <= 0xDCFF) {
      LOut += Octal(LCode - 0xDC00u); // a byte that is not UTF-8
    } else if (LCode < 0x80) {
      LOut += QuotedAscii(static_cast<char>(LCode));
    } else if (QChar::isHighSurrogate(LCode) && i + 1 < AName.size() &&
               AName[i + 1].isLowSurrogate()) {
      LOut += AName.mid(i, 2).toUtf8();
      ++i;
    } else {
      LOut += QString(AName[i]).toUtf8();
    }
  }
  LOut += '\'';
  return LOut;
}

void PutName(QJsonObject &AObject, const QString &AKey, const QString &AName) {
  AObject.insert(AKey, DisplayText(AName));
  if (HasForeignBytes(AName))
    AObject.insert(AKey + QStringLiteral("_bytes"),
                   QString::fromLatin1(NameBytes(AName).toBase64()));
}

QByteArray JsonLine(const QJsonObject &AObject) {
  return QJsonDocument(AObject).toJson(QJsonDocument::Compact) + '\n';
}
