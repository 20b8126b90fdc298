// Starts a program with transparent huge pages turned off for it and its
// children (prctl(PR_SET_THP_DISABLE), kept across exec): a process-wide
// "never" that needs no change to the system's settings.
//   brisk_thp_off PROGRAM [ARGUMENTS...]
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: brisk_thp_off PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  if (prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0) != 0) {
    std::perror("prctl(PR_SET_THP_DISABLE)");
    return 2;
  }
  execvp(argv[1], argv + 1);
  std::perror(argv[1]);
  return 127;
}
