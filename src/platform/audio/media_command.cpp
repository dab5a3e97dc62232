#include "platform/audio/media_command.h"

#include <cstring>

namespace cellshow {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* SkipBlanks(const char* at) {
  while (IsBlank(*at)) ++at;
  return at;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Consumes `keyword` (lower case) at `at` when it is followed by a blank or
// the end; returns the position after it, or nullptr.
const char* TakeKeyword(const char* at, const char* keyword) {
  for (; *keyword != '\0'; ++at, ++keyword)
    if (Lower(*at) != *keyword) return nullptr;
  return (*at == '\0' || IsBlank(*at)) ? at : nullptr;
}

}  // namespace

MediaCommand ParseMediaCommand(const char* command) {
  MediaCommand parsed;
  if (command == nullptr) return parsed;
  const char* at = SkipBlanks(command);
  if (const char* rest = TakeKeyword(at, "close")) {
    rest = TakeKeyword(SkipBlanks(rest), "all");
    if (rest != nullptr && *SkipBlanks(rest) == '\0') parsed.verb = MediaVerb::CloseAll;
    return parsed;
  }
  MediaVerb verb = MediaVerb::Play;
  const char* rest = TakeKeyword(at, "play");
  if (rest == nullptr) {
    verb = MediaVerb::Stop;
    rest = TakeKeyword(at, "stop");
  }
  if (rest == nullptr) return parsed;
  const char* name = SkipBlanks(rest);
  const char* end = nullptr;
  if (*name == '"') {
    ++name;
    end = std::strchr(name, '"');
    if (end == nullptr) return parsed;
    rest = end + 1;
  } else {
    end = name;
    while (*end != '\0' && !IsBlank(*end)) ++end;
    rest = end;
  }
  if (end == name) return parsed;
  rest = SkipBlanks(rest);
  // Of the play options, only a start position is carried out.
  if (*rest != '\0') {
    const char* from = verb == MediaVerb::Play ? TakeKeyword(rest, "from") : nullptr;
    if (from == nullptr) return parsed;
    from = SkipBlanks(from);
    uint64_t ms = 0;
    const char* digit = from;
    for (; *digit >= '0' && *digit <= '9' && ms <= UINT32_MAX; ++digit)
      ms = ms * 10 + static_cast<uint64_t>(*digit - '0');
    if (digit == from || ms > UINT32_MAX || *SkipBlanks(digit) != '\0') return parsed;
    parsed.fromMs = static_cast<uint32_t>(ms);
  }
  parsed.verb = verb;
  parsed.name = name;
  parsed.nameLength = static_cast<size_t>(end - name);
  return parsed;
}

bool SameAssetName(const char* a, size_t aLength, const char* b, size_t bLength) {
  if (aLength != bLength) return false;
  for (size_t k = 0; k < aLength; ++k) {
    const bool aSeparator = a[k] == '\\' || a[k] == '/';
    const bool bSeparator = b[k] == '\\' || b[k] == '/';
    if (aSeparator != bSeparator || (!aSeparator && a[k] != b[k])) return false;
  }
  return true;
}

}  // namespace cellshow
