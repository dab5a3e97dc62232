#include "platform/terminal/terminal_probe.h"

#include <langinfo.h>
#include <strings.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

// Last: term.h defines macros with common names (columns, lines, ...).
#include <term.h>

namespace cellshow {

TerminfoFacts ReadTerminfo(const char* term, int fd) {
  TerminfoFacts facts;
  if (term == nullptr || *term == '\0') return facts;
  int status = 0;
  // With a status pointer, setupterm reports failures there and prints nothing.
  if (setupterm(term, fd, &status) != 0 || status != 1) return facts;
  facts.known = true;
  const char* cup = tigetstr("cup");
  facts.cursorAddress = cup != nullptr && cup != reinterpret_cast<char*>(-1);
  facts.colors = tigetnum("colors");
  facts.backgroundColorErase = tigetflag("bce") > 0;
  facts.directColor = tigetflag("RGB") > 0 || tigetflag("Tc") > 0;
  del_curterm(cur_term);
  return facts;
}

std::string Unsuitable(const char* term, const TerminfoFacts& facts, const std::string& otherWay) {
  if (term == nullptr || *term == '\0') {
    return "TERM is not set, so this terminal's type is unknown; play the show in a real "
           "terminal, or " +
           otherWay;
  }
  if (!facts.known) {
    return std::string("the terminal type '") + term +
           "' (TERM) has no terminfo entry; set TERM to your terminal's type, or " + otherWay;
  }
  if (!facts.cursorAddress) {
    return std::string("the terminal type '") + term +
           "' cannot place the cursor; play the show in a real terminal, or " + otherWay;
  }
  return "";
}

TerminalCapabilities ChooseCapabilities(const TerminfoFacts& facts, const char* colorterm,
                                        const char* codeset, ColorMode colors, GlyphMode glyphs) {
  TerminalCapabilities caps;
  caps.backgroundColorErase = facts.backgroundColorErase;
  switch (colors) {
    case ColorMode::Eight:
      caps.colors = ColorDepth::Eight;
      break;
    case ColorMode::Ansi16:
      caps.colors = ColorDepth::Sixteen;
      break;
    case ColorMode::Ansi256:
      caps.colors = ColorDepth::Xterm256;
      break;
    case ColorMode::TrueColor:
      caps.colors = ColorDepth::TrueColor;
      break;
    case ColorMode::Auto: {
      const bool direct =
          facts.directColor || (colorterm != nullptr && (std::strcmp(colorterm, "truecolor") == 0 ||
                                                         std::strcmp(colorterm, "24bit") == 0));
      caps.colors = direct                ? ColorDepth::TrueColor
                    : facts.colors >= 256 ? ColorDepth::Xterm256
                    : facts.colors >= 16  ? ColorDepth::Sixteen
                                          : ColorDepth::Eight;
      break;
    }
  }
  switch (glyphs) {
    case GlyphMode::Unicode:
      caps.glyphs = GlyphSet::Unicode;
      break;
    case GlyphMode::Ascii:
      caps.glyphs = GlyphSet::Ascii;
      break;
    case GlyphMode::Auto: {
      const bool utf8 = codeset != nullptr &&
                        (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0);
      caps.glyphs = utf8 ? GlyphSet::Unicode : GlyphSet::Ascii;
      break;
    }
  }
  return caps;
}

std::string CodesetOfLocaleName(const char* name) {
  const char* dot = std::strchr(name, '.');
  if (dot == nullptr) return "ANSI_X3.4-1968";
  std::string codeset(dot + 1);
  return codeset.substr(0, codeset.find('@'));
}

std::string LocaleCodeset() {
  if (std::setlocale(LC_CTYPE, "") == nullptr) {
    // The environment names a locale this machine has not generated (common
    // in containers): the name still tells its character set.
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
      const char* value = std::getenv(name);
      if (value == nullptr || *value == '\0') continue;
      return CodesetOfLocaleName(value);
    }
    return "ANSI_X3.4-1968";
  }
  const char* codeset = nl_langinfo(CODESET);
  return codeset != nullptr ? codeset : "";
}

}  // namespace cellshow
