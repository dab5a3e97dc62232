#pragma once
// A file written whole or not at all. The data goes to a temporary file in
// the target's folder, which replaces the target (by rename) only once it is
// complete: a failed or interrupted export leaves no partial file, and an
// existing target stays as it was until then. A target that exists and is
// not a regular file (a device, a pipe) is written in place instead.
// A symbolic link is followed: the file it names is replaced.
#include <string>

namespace cellshow {

class TargetFile {
 public:
  TargetFile() = default;
  ~TargetFile();  // discards the temporary file unless committed
  TargetFile(const TargetFile&) = delete;
  TargetFile& operator=(const TargetFile&) = delete;

  // Creates the (empty) temporary file. False with `error` set to the
  // system's reason ("Permission denied").
  bool Create(const std::string& target, std::string& error);
  // Where the data is to be written.
  const std::string& writePath() const { return writePath_; }
  // Flushes the written file to disk and renames it over the target, with
  // the target's old permissions or those a new file would get.
  bool Commit(std::string& error);
  // Removes the temporary file (nothing when the target is written in place).
  void Discard();

 private:
  std::string target_;
  std::string writePath_;
  bool inPlace_ = false;
  bool pending_ = false;  // a temporary file exists and is ours to remove
  bool hadTarget_ = false;
  unsigned targetMode_ = 0;
};

}  // namespace cellshow
