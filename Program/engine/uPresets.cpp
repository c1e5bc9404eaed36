#include "uPresets.h"

#include "uRenameList.h"
#include "uSetting.h"

#include "platform/uIniFile.h"
#include "platform/uLosslessUtf8.h"
#include "platform/uPathRules.h"
#include "platform/uPlatformFs.h"
#include "platform/uPlatformLogFile.h"

#include <QStringList>

#include <algorithm>
#include <climits>

namespace {

const QString CSectionPrefix = QStringLiteral("Preset ");
const QString CKeyKind = QStringLiteral("Kind");
const QString CKeyNameMask = QStringLiteral("NameMask");
const QString CKeyExtMask = QStringLiteral("ExtMask");
const QString CKeyCounterStart = QStringLiteral("CounterStart");
const QString CKeyCounterStep = QStringLiteral("CounterStep");
const QString CKeyDigits = QStringLiteral("Digits");
const QString CKeySearch = QStringLiteral("Search");
const QString CKeyReplace = QStringLiteral("Replace");
const QString CKeyRegexSearch = QStringLiteral("RegexSearch");
const QString CKeyMatchCase = QStringLiteral("MatchCase");
const QString CKeyCase = QStringLiteral("Case");
const QString CKeyOrder = QStringLiteral("Order");
const QString CKeyReverse = QStringLiteral("Reverse");

// The texts of Order; the position of each but the first is its TSortKey + 1.
const QStringList &Orders() {
  static const QStringList LOrders = {QString(),
                                      QStringLiteral("name"),
                                      QStringLiteral("new-name"),
                                      QStringLiteral("location"),
                                      QStringLiteral("taken"),
                                      QStringLiteral("modified"),
                                      QStringLiteral("size")};
  return LOrders;
}

// A character the INI reader would lose or misread wherever it stands.
bool AlwaysEscaped(QChar AChar) {
  const char16_t LUnit = AChar.unicode();
  return LUnit == u'%' || LUnit == u']' || LUnit < 0x20 || LUnit == 0x7F ||
         (LUnit >= 0x80 && LUnit <= 0x9F);
}

int HexDigit(QChar AChar) {
  const char16_t LUnit = AChar.unicode();
  if (LUnit >= u'0' && LUnit <= u'9')
    return LUnit - u'0';
  if (LUnit >= u'a' && LUnit <= u'f')
    return LUnit - u'a' + 10;
  if (LUnit >= u'A' && LUnit <= u'F')
    return LUnit - u'A' + 10;
  return -1;
}

// A section of the file that heads a preset: its name as written (still
// escaped) and its keys, those of later sections of the same name after them.
struct TRawPreset {
  QString FSection;
  std::vector<std::pair<QString, QString>> FKeys;
};

std::vector<TRawPreset> RawPresets(const QByteArray &AContent) {
  std::vector<TRawPreset> LPresets;
  for (platform::TIniSection &LSection : platform::IniReadSections(AContent)) {
    if (!LSection.FName.startsWith(CSectionPrefix, Qt::CaseInsensitive))
      continue;
    auto LSame = std::find_if(LPresets.begin(), LPresets.end(), [&](const TRawPreset &APreset) {
      return APreset.FSection.compare(LSection.FName, Qt::CaseInsensitive) == 0;
    });
    if (LSame == LPresets.end())
      LPresets.push_back({LSection.FName, std::move(LSection.FKeys)});
    else
      LSame->FKeys.insert(LSame->FKeys.end(), LSection.FKeys.begin(), LSection.FKeys.end());
  }
  return LPresets;
}

// The preset a section holds; a value that cannot be read marks it damaged
// (the first such key is named) and the others are still read.
TPreset PresetOf(const TRawPreset &ARaw) {
  TPreset LPreset;
  const QString LRawName = ARaw.FSection.mid(CSectionPrefix.size());
  const auto LDamage = [&LPreset](const QString &AKey) {
    if (!LPreset.FDamaged)
      LPreset.FDamage = AKey;
    LPreset.FDamaged = true;
  };
  const std::optional<QString> LName = UnescapePresetText(LRawName);
  LPreset.FName = LName.value_or(LRawName);
  if (!LName || !IsValidPresetName(*LName))
    LDamage(QStringLiteral("name"));
  const auto LValue = [&ARaw](const QString &AKey) -> std::optional<QString> {
    for (const auto &[LKey, LText] : ARaw.FKeys)
      if (LKey.compare(AKey, Qt::CaseInsensitive) == 0)
        return LText;
    return std::nullopt;
  };
  const auto LText = [&](const QString &AKey, QString &AField) {
    const std::optional<QString> LRaw = LValue(AKey);
    if (!LRaw)
      return;
    const std::optional<QString> LPlain = UnescapePresetText(*LRaw);
    if (LPlain)
      AField = *LPlain;
    else
      LDamage(AKey);
  };
  const auto LInteger = [&](const QString &AKey, int AMin, int AMax, int &AField) {
    const std::optional<QString> LRaw = LValue(AKey);
    if (!LRaw)
      return;
    const std::optional<int> LNumber = platform::IniParseInteger(*LRaw);
    if (LNumber && *LNumber >= AMin && *LNumber <= AMax)
      AField = *LNumber;
    else
      LDamage(AKey);
  };
  const auto LBool = [&](const QString &AKey, bool &AField) {
    int LNumber = AField ? 1 : 0;
    LInteger(AKey, 0, 1, LNumber);
    AField = LNumber != 0;
  };

  if (const std::optional<QString> LKind = LValue(CKeyKind)) {
    if (LKind->compare(PresetKindText(TPresetKind::Files), Qt::CaseInsensitive) == 0)
      LPreset.FKind = TPresetKind::Files;
    else if (LKind->compare(PresetKindText(TPresetKind::Folders), Qt::CaseInsensitive) == 0)
      LPreset.FKind = TPresetKind::Folders;
    else
      LDamage(CKeyKind);
  }
  TNameRecipe &LRecipe = LPreset.FRecipe;
  LText(CKeyNameMask, LRecipe.FNameMask);
  LText(CKeyExtMask, LRecipe.FExtMask);
  LInteger(CKeyCounterStart, INT_MIN, INT_MAX, LRecipe.FCounterStart);
  LInteger(CKeyCounterStep, INT_MIN, INT_MAX, LRecipe.FCounterStep);
  LInteger(CKeyDigits, 1, 10, LRecipe.FCounterDigits);
  LText(CKeySearch, LRecipe.FSearch);
  LText(CKeyReplace, LRecipe.FReplace);
  LBool(CKeyRegexSearch, LRecipe.FRegex);
  LBool(CKeyMatchCase, LRecipe.FMatchCase);
  int LCase = static_cast<int>(LRecipe.FCase);
  LInteger(CKeyCase, 0, 4, LCase);
  LRecipe.FCase = CaseRuleFromIndex(LCase);
  QString LOrder;
  LText(CKeyOrder, LOrder);
  const qsizetype LOrderIndex = Orders().indexOf(LOrder.toLower());
  if (LOrderIndex < 0)
    LDamage(CKeyOrder);
  else
    LPreset.FOrder = Orders().at(LOrderIndex);
  // A folder has no date taken and no size.
  const std::optional<TSortKey> LKey = PresetSortKey(LPreset.FOrder);
  if (LPreset.FKind == TPresetKind::Folders && LKey &&
      (*LKey == TSortKey::Taken || *LKey == TSortKey::Size))
    LDamage(CKeyOrder);
  LBool(CKeyReverse, LPreset.FReverse);
  return LPreset;
}

std::vector<TPreset> PresetsOf(const QByteArray &AContent) {
  std::vector<TPreset> LPresets;
  for (const TRawPreset &LRaw : RawPresets(AContent))
    LPresets.push_back(PresetOf(LRaw));
  return LPresets;
}

// The section (as written) of the preset named AName, any letter case.
std::optional<QString> SectionOf(const QByteArray &AContent, const QString &AName) {
  for (const TRawPreset &LRaw : RawPresets(AContent))
    if (PresetOf(LRaw).FName.compare(AName, Qt::CaseInsensitive) == 0)
      return LRaw.FSection;
  return std::nullopt;
}

QString SectionName(const QString &APresetName) {
  return CSectionPrefix + EscapePresetText(APresetName);
}

QString ErrorText(const QString &AAction, const QString &AFileName, const QString &AReason) {
  return QStringLiteral("Cannot %1 %2: %3").arg(AAction, AFileName, AReason);
}

} // namespace

QString PresetKindText(TPresetKind AKind) {
  return AKind == TPresetKind::Files ? QStringLiteral("files") : QStringLiteral("folders");
}

std::optional<TSortKey> PresetSortKey(const QString &AOrder) {
  const qsizetype LIndex = Orders().indexOf(AOrder);
  if (LIndex < 1)
    return std::nullopt;
  return static_cast<TSortKey>(LIndex - 1);
}

QString PresetOrderText(TSortKey AKey) {
  return Orders().at(static_cast<int>(AKey) + 1);
}

bool IsValidPresetName(const QString &AName) {
  return !AName.isEmpty() && !AName.contains(QLatin1Char('\n')) &&
         !AName.contains(QLatin1Char('\r'));
}

QString EscapePresetText(const QString &AText) {
  // The blanks the reader would trim: those before the first other
  // character and after the last.
  qsizetype LFirst = 0;
  while (LFirst < AText.size() && AText.at(LFirst).isSpace())
    ++LFirst;
  qsizetype LLast = AText.size();
  while (LLast > LFirst && AText.at(LLast - 1).isSpace())
    --LLast;
  QString LResult;
  LResult.reserve(AText.size());
  for (qsizetype i = 0; i < AText.size(); ++i) {
    const QChar LChar = AText.at(i);
    if (!AlwaysEscaped(LChar) && i >= LFirst && i < LLast) {
      LResult.append(LChar);
      continue;
    }
    // Only characters of the Basic Multilingual Plane are ever escaped (no
    // surrogate is a blank or a control character): each stands alone.
    QByteArray LBytes;
    platform::EncodeUtf8Lossless(QStringView(AText).mid(i, 1), LBytes);
    for (const char LByte : LBytes)
      LResult.append(QStringLiteral("%%1")
                         .arg(static_cast<int>(static_cast<uchar>(LByte)), 2, 16, QLatin1Char('0'))
                         .toUpper());
  }
  return LResult;
}

std::optional<QString> UnescapePresetText(const QString &AText) {
  if (!AText.contains(QLatin1Char('%')))
    return AText;
  QString LResult;
  LResult.reserve(AText.size());
  qsizetype i = 0;
  while (i < AText.size()) {
    if (AText.at(i) != QLatin1Char('%')) {
      LResult.append(AText.at(i++));
      continue;
    }
    // A run of escaped bytes is decoded as one, so that a character of
    // several bytes comes back whole.
    QByteArray LBytes;
    while (i < AText.size() && AText.at(i) == QLatin1Char('%')) {
      if (i + 2 >= AText.size())
        return std::nullopt;
      const int LHigh = HexDigit(AText.at(i + 1));
      const int LLow = HexDigit(AText.at(i + 2));
      if (LHigh < 0 || LLow < 0)
        return std::nullopt;
      LBytes.append(static_cast<char>(LHigh * 16 + LLow));
      i += 3;
    }
    LResult.append(platform::DecodeUtf8Lossless(LBytes));
  }
  return LResult;
}

QString TPresetsFile::DefaultFileName() {
  return platform::JoinPath(platform::ExtractLocation(GetSettings().SettingsFileName()),
                            QStringLiteral("Presets.ini"));
}

TPresetsRead TPresetsFile::Read() const {
  TPresetsRead LRead;
  QByteArray LContent;
  QString LError;
  if (platform::ReadWholeFile(FFileName, LContent, LError) == platform::TReadOutcome::Failed) {
    LRead.FOk = false;
    LRead.FError = ErrorText(QStringLiteral("read"), FFileName, LError);
    return LRead;
  }
  LRead.FPresets = PresetsOf(LContent);
  return LRead;
}

std::optional<TPreset> TPresetsFile::Find(const QString &AName, QString &AError) const {
  TPresetsRead LRead = Read();
  AError = LRead.FError;
  for (TPreset &LPreset : LRead.FPresets)
    if (LPreset.FName.compare(AName, Qt::CaseInsensitive) == 0)
      return std::move(LPreset);
  return std::nullopt;
}

template <class TChange> TPresetWrite TPresetsFile::Change(TChange AChange) {
  TPresetWrite LWrite;
  QByteArray LContent;
  QString LError;
  const platform::TReadOutcome LOutcome = platform::ReadWholeFile(FFileName, LContent, LError);
  if (LOutcome == platform::TReadOutcome::Failed) {
    LWrite.FOk = false;
    LWrite.FError = ErrorText(QStringLiteral("read"), FFileName, LError);
    return LWrite;
  }
  QByteArray LNew = LContent;
  if (!AChange(LNew, LWrite)) {
    LWrite.FOk = false;
    return LWrite;
  }
  if (LOutcome == platform::TReadOutcome::Read && LNew == LContent)
    return LWrite;
  // The folder of an installed program's settings may not exist yet.
  const QString LFolder = platform::ExtractLocation(FFileName);
  if (!platform::LogFolderExists(LFolder) && !platform::CreateLogFolder(LFolder, LError)) {
    LWrite.FOk = false;
    LWrite.FError = ErrorText(QStringLiteral("write"), FFileName, LError);
    return LWrite;
  }
  if (!platform::ReplaceFileContents(FFileName, LNew, LError)) {
    LWrite.FOk = false;
    LWrite.FError = ErrorText(QStringLiteral("write"), FFileName, LError);
  }
  return LWrite;
}

TPresetWrite TPresetsFile::Save(const TPreset &APreset) {
  return Change([&](QByteArray &AContent, TPresetWrite &AWrite) {
    if (!IsValidPresetName(APreset.FName)) {
      AWrite.FError = QStringLiteral("A preset needs a name without line breaks.");
      return false;
    }
    const QString LSection = SectionName(APreset.FName);
    if (const std::optional<QString> LOld = SectionOf(AContent, APreset.FName)) {
      AWrite.FReplaced = true;
      AContent = platform::IniRenameSection(AContent, *LOld, LSection);
    }
    const TNameRecipe &LRecipe = APreset.FRecipe;
    const auto LBool = [](bool AValue) {
      return AValue ? QStringLiteral("1") : QStringLiteral("0");
    };
    const std::pair<QString, QString> LKeys[] = {
        {CKeyKind, PresetKindText(APreset.FKind)},
        {CKeyNameMask, EscapePresetText(LRecipe.FNameMask)},
        {CKeyExtMask, EscapePresetText(LRecipe.FExtMask)},
        {CKeyCounterStart, QString::number(LRecipe.FCounterStart)},
        {CKeyCounterStep, QString::number(LRecipe.FCounterStep)},
        {CKeyDigits, QString::number(LRecipe.FCounterDigits)},
        {CKeySearch, EscapePresetText(LRecipe.FSearch)},
        {CKeyReplace, EscapePresetText(LRecipe.FReplace)},
        {CKeyRegexSearch, LBool(LRecipe.FRegex)},
        {CKeyMatchCase, LBool(LRecipe.FMatchCase)},
        {CKeyCase, QString::number(static_cast<int>(LRecipe.FCase))},
        {CKeyOrder, EscapePresetText(APreset.FOrder)},
        {CKeyReverse, LBool(APreset.FReverse)},
    };
    for (const auto &[LKey, LValue] : LKeys)
      AContent = platform::IniWriteValue(AContent, LSection, LKey, LValue);
    return true;
  });
}

TPresetWrite TPresetsFile::Remove(const QString &AName) {
  return Change([&](QByteArray &AContent, TPresetWrite &AWrite) {
    const std::optional<QString> LSection = SectionOf(AContent, AName);
    if (!LSection) {
      AWrite.FError = QStringLiteral("There is no preset \"%1\".").arg(AName);
      return false;
    }
    AContent = platform::IniRemoveSection(AContent, *LSection);
    return true;
  });
}

TPresetWrite TPresetsFile::Rename(const QString &AOld, const QString &ANew) {
  return Change([&](QByteArray &AContent, TPresetWrite &AWrite) {
    if (!IsValidPresetName(ANew)) {
      AWrite.FError = QStringLiteral("A preset needs a name without line breaks.");
      return false;
    }
    const std::optional<QString> LSection = SectionOf(AContent, AOld);
    if (!LSection) {
      AWrite.FError = QStringLiteral("There is no preset \"%1\".").arg(AOld);
      return false;
    }
    const std::optional<QString> LOther = SectionOf(AContent, ANew);
    if (LOther && LOther->compare(*LSection, Qt::CaseInsensitive) != 0) {
      AWrite.FError = QStringLiteral("A preset \"%1\" exists already.").arg(ANew);
      return false;
    }
    AContent = platform::IniRenameSection(AContent, *LSection, SectionName(ANew));
    return true;
  });
}
