// Walking a folder tree, shared by both lists and both front ends: the
// subfolders below a folder (for the folder list) and the files below it
// (for the file list). Every folder's entries are taken A-Z regardless of
// letter case (CompareTextAZ, then their exact spelling), so a list made by
// a walk is in the same order whatever order the file system lists them in.
#pragma once

#include "uProgress.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <vector>

// The directory entry of a folder as a listing gives it: its name and its
// last-write time (in UTC or in local time; shown in local time; invalid when
// it could not be read, which shows as the zero date).
struct TFolderEntry {
  QString FName;
  QDateTime FLastWrite;
};

// A folder a walk could not list, or a path it could not reach, and the
// system's reason ("Permission denied").
struct TUnreadable {
  QString FPath;
  QString FReason;
};

// The order of two names of one folder in a walk: A-Z regardless of the
// case of a to z, then by their exact code values.
bool WalkNameLess(QStringView ALeft, QStringView ARight);

// Walks the folders below AFolder depth first and calls ACallback for every
// subfolder before walking into it: APath is the folder in which it was
// found (AFolder exactly as given for the first level), AFileInfo its entry.
// Hidden folders and symbolic links are neither reported nor entered; a
// folder that cannot be listed adds nothing, and is added to AUnreadable
// when it is given. With AProgress, each folder
// found is reported (the count so far, of an unknown total, and its path),
// and the walk ends where a stop is requested: the caller asks AProgress
// whether it ended early.
void ScanSubFolders(
    const QString &AFolder,
    const std::function<void(const QString &APath, const TFolderEntry &AFileInfo)> &ACallback,
    const TProgress *AProgress = nullptr, std::vector<TUnreadable> *AUnreadable = nullptr);

// What a walk of files tells of each entry it finds.
struct TWalkedFile {
  // A file of the walk; else an entry of its folder that is none (a folder,
  // a link to a folder), told so that a caller has the folder's whole
  // listing.
  bool FIsFile = true;
  // The folder the entry stands in, as the walk reached it (AFolder as
  // given, then each subfolder's name joined to it).
  const QString *FFolder = nullptr;
  size_t FFolderEntries = 0; // how many entries the folder has
  QStringView FName;         // valid during the call only
};

// Walks the files below AFolder in the order CollectFolderFiles gives them
// and calls AFile for each, without a text per path: for callers that keep
// names their own way. The other entries of each folder read (folders,
// links to folders) are given to AFile too, in their places, each folder
// just before the walk enters it. No entry is read whose kind the listing
// tells. With AProgress, each folder entered is reported (the files found
// so far, of an unknown total, and the folder), and the walk ends where a
// stop is requested.
void WalkFolderFiles(const QString &AFolder,
                     const std::function<void(const TWalkedFile &AFile)> &AFile,
                     const TProgress *AProgress = nullptr,
                     std::vector<TUnreadable> *AUnreadable = nullptr);

// Every entry below AFolder that is not a folder, hidden ones included, in a
// depth-first walk that descends into a subfolder where it meets it. Links
// to folders are neither collected nor entered (so the walk cannot loop);
// links to files are collected. A folder that cannot be listed adds nothing
// and is added to AUnreadable when it is given.
// Names are kept losslessly, so folders whose names are not UTF-8 are
// entered too. With AProgress, each folder entered is reported (the files
// found so far, of an unknown total, and the folder), and the walk ends
// where a stop is requested, with what it found until then.
QStringList CollectFolderFiles(const QString &AFolder, const TProgress *AProgress = nullptr,
                               std::vector<TUnreadable> *AUnreadable = nullptr);
