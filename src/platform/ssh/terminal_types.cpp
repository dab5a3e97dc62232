#include "platform/ssh/terminal_types.h"

namespace cellshow {
namespace {

// When even xterm-256color is missing from this machine's terminfo: what its
// entry says.
constexpr TerminfoFacts XtermFacts{true, true, 256, true, false};

}  // namespace

TerminalTypes::TerminalTypes(Lookup lookup) : lookup_(lookup) {
  Known(Fallback);  // looked up first, so a full cache never lacks it
}

TerminfoFacts TerminalTypes::ReadServerTerminfo(const char* term) { return ReadTerminfo(term, -1); }

bool TerminalTypes::Plausible(std::string_view term) {
  if (term.empty() || term.size() > MaxNameLength) return false;
  for (char c : term) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '+' || c == '-' || c == '_';
    if (!ok) return false;
  }
  return term != "." && term != "..";
}

const TerminfoFacts* TerminalTypes::Find(std::string_view term) const {
  for (const auto& [name, facts] : names_)
    if (name == term) return &facts;
  return nullptr;
}

// The facts of a plausible name, looked up the first time (while there is
// room to keep them).
const TerminfoFacts& TerminalTypes::Known(std::string_view term) {
  if (const TerminfoFacts* facts = Find(term)) return *facts;
  static constexpr TerminfoFacts unknown{};
  if (names_.size() >= MaxNames) return unknown;
  const std::string name(term);
  names_.emplace_back(name, lookup_(name.c_str()));
  return names_.back().second;
}

TerminfoFacts TerminalTypes::Facts(std::string_view term) {
  if (Plausible(term)) {
    const TerminfoFacts& facts = Known(term);
    if (facts.known) return facts;
  }
  const TerminfoFacts& fallback = Known(Fallback);
  return fallback.known ? fallback : XtermFacts;
}

}  // namespace cellshow
