#pragma once
// What the server's terminfo says of the terminal types viewers name, looked
// up once per name when a viewer's show starts (never per frame) and kept:
// at most MaxNames names, the first ones seen.
//
// A name that cannot be a terminfo entry's (empty, longer than MaxNameLength,
// or with a character other than letters, digits and ".+-_") is not looked
// up; neither is any name once the cache is full. Such a name, like one
// terminfo does not know, stands for xterm-256color.
//
// Single-threaded: the server's loop owns it.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/terminal/terminal_probe.h"

namespace cellshow {

class TerminalTypes {
 public:
  static constexpr size_t MaxNames = 64;
  static constexpr size_t MaxNameLength = 64;
  // The type a viewer that names none, or an unknown one, is taken to have.
  static constexpr const char* Fallback = "xterm-256color";

  // `lookup` reads terminfo (tests give their own).
  using Lookup = TerminfoFacts (*)(const char* term);
  explicit TerminalTypes(Lookup lookup = ReadServerTerminfo);

  // The facts for the type `term` names; a name that is unknown here, or
  // could not be looked up, has those of Fallback.
  TerminfoFacts Facts(std::string_view term);

  static bool Plausible(std::string_view term);
  static TerminfoFacts ReadServerTerminfo(const char* term);

 private:
  const TerminfoFacts* Find(std::string_view term) const;
  const TerminfoFacts& Known(std::string_view term);

  Lookup lookup_;
  std::vector<std::pair<std::string, TerminfoFacts>> names_;
};

}  // namespace cellshow
