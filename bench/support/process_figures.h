#pragma once
// A process tree's CPU time and memory, read from /proc: for the servers the
// benchmarks run (ours alone, or sshd with a process or two per viewer and
// the show's own program under each).
#include <sys/types.h>

#include <string>
#include <vector>

namespace cellshow::bench {

struct TreeFigures {
  double cpuSeconds = 0;  // user + system, with the children already reaped
  double rssKiB = 0;      // resident, each process whole
  double pssKiB = 0;      // proportional: shared pages divided among their users
  int processes = 0;
};

// `root` and every process below it.
TreeFigures ReadTree(pid_t root);

// Runs a program with its stderr (and stdout) to `logPath`, stdin from
// /dev/null and `environment` (NAME=value) added; returns its pid.
pid_t Spawn(const std::vector<std::string>& args, const std::string& logPath,
            const std::vector<std::string>& environment = {});

// A loopback TCP port nobody listens on now.
int FreePort();

std::string ReadFileText(const std::string& path);

}  // namespace cellshow::bench
