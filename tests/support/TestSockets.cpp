#include "TestSockets.h"

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

int OpenSocketCount() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  while (dirent* e = readdir(dir)) {
    char target[64] = {};
    const std::string path = std::string("/proc/self/fd/") + e->d_name;
    if (readlink(path.c_str(), target, sizeof target - 1) > 0 &&
        std::string(target).starts_with("socket:"))
      ++count;
  }
  closedir(dir);
  return count;
}

bool WaitSocketCount(int expected, int msecs) {
  for (int waited = 0; waited <= msecs; waited += 10) {
    if (OpenSocketCount() == expected) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}
