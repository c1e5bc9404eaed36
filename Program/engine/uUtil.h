// File-system utilities of the engine: the size of a file, the size of a
// whole folder tree, and a size written as text.
#pragma once

#include <QString>

#include <cstdint>

// The size in bytes of the entry at APath (links followed); -1 when there is
// none. A folder's own entry counts 0 bytes. The file is not opened.
int64_t GetFileSizeByName(const QString &APath);

// The sum of the sizes of every file below AFolder, hidden ones included, at
// every depth; links are followed, and a folder reached twice (through a link
// back to a folder already summed) counts once, so a link loop ends. A folder
// that cannot be listed adds 0. "/data" and "/data/" give the same sum.
int64_t GetFolderSize(const QString &AFolder);

// ASize as "1023 B", "1 KB" (whole kilobytes, truncated), "1.50 MB" or
// "5.00 GB" (two decimals with the decimal separator of the user's locale).
QString SizeToStr(int64_t ASize);
