// The baseline of scripts/bench-peers: renames every "fNNNNNN.txt" of a
// folder to "Photo_NNNNNN.txt" with no-replace renames in a plain loop, as
// a whole process, the way the peers are timed.
#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const int LFolder = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR *LDir = LFolder < 0 ? nullptr : ::fdopendir(::dup(LFolder));
  if (!LDir) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<std::string> LNames;
  while (const dirent *LEntry = ::readdir(LDir)) {
    const size_t LLength = std::strlen(LEntry->d_name);
    if (LEntry->d_name[0] == 'f' && LLength > 5 &&
        std::strcmp(LEntry->d_name + LLength - 4, ".txt") == 0)
      LNames.emplace_back(LEntry->d_name);
  }
  ::closedir(LDir);
  int LFailed = 0;
  for (const std::string &LName : LNames) {
    const std::string LTarget = "Photo_" + LName.substr(1);
    LFailed += ::syscall(SYS_renameat2, LFolder, LName.c_str(), LFolder, LTarget.c_str(),
                         RENAME_NOREPLACE) != 0;
  }
  ::close(LFolder);
  return LFailed == 0 ? 0 : 1;
}
