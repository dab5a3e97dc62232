// --help: the options as each build takes them.
#include "app/options.h"

namespace cellshow {

#ifdef __EMSCRIPTEN__
// The WebAssembly build under node records the show; the page plays it.
const char* const HelpText =
    "Usage: node cellshow.js --record FILE [--data DIR] [--start SECONDS] [--key-after N]\n"
    "Plays the show headless, as fast as possible, and writes every frame and\n"
    "media command to FILE, as `cellshow --record` does. To watch the show, serve\n"
    "this folder (python3 -m http.server) and open index.html in a browser.\n"
    "\n"
    "Options:\n"
    "  --data DIR        read the show's files from DIR (default: ./data when it\n"
    "                    exists, else the data beside cellshow.js)\n"
    "  --record FILE     the recording to write\n"
    "  --start SECONDS   begin at that moment of the show (the recording keeps\n"
    "                    the show's tick numbers)\n"
    "  --key-after N     a key is seen once N ticks have run (0: before the\n"
    "                    first tick)\n"
    "  --help            show this help\n"
    "  --version         show the version\n";
#else
const char* const HelpText =
    "Usage: cellshow [OPTIONS]\n"
    "Plays a self-running text-mode show on an 80x50 grid of character cells,\n"
    "with music. Any key ends it.\n"
    "\n"
    "Options:\n"
    "  --data DIR        read the show's files from DIR (default: ./data when it\n"
    "                    exists, else the data installed with cellshow)\n"
#ifndef _WIN32
    "  --colors=MODE     auto (default: as terminfo and COLORTERM say), 8, 16,\n"
    "                    256 or truecolor\n"
    "  --glyphs=SET      auto (default: UTF-8 glyphs when the locale is UTF-8,\n"
    "                    else ASCII), unicode or ascii\n"
    "  --fit=WHEN        scale the whole show into a terminal smaller than\n"
    "                    80x50 (from 40x12 up): auto (default, when it is\n"
    "                    smaller), always, or never (a notice instead)\n"
    "  --window          play in a window (640x400 at 4:3, as the VGA text mode\n"
    "                    showed it); Alt+Enter or F11 toggles fullscreen\n"
    "  --fullscreen      play in a window that starts fullscreen\n"
    "  --output=WHERE    auto (default: the terminal when it has 80x50 cells, else\n"
    "                    a window when there is a display, else the terminal,\n"
    "                    scaled), terminal or window\n"
#endif
    "  --mute            play no music\n"
#ifndef _WIN32
    "  --volume N        the music's volume, 0 to 100 (default 100)\n"
#endif
    "  --loop            play the show again and again until a key ends it\n"
    "  --start SECONDS   begin at that moment of the show, such as 30 or 22.5\n"
    "                    (the music starts as far in as it would be by then)\n"
#ifdef _WIN32
    "  --stats           print timing and music figures to stderr at the end\n"
#else
    "  --stats           print timing and output figures to stderr at the end\n"
#endif
    "                    (with --record: ticks, frames and media commands)\n"
    "  --record FILE     play headless, as fast as possible, and write every\n"
    "                    frame and media command to FILE\n"
    "  --key-after N     a key is seen once N ticks have run (0: before the\n"
    "                    first tick)\n"
#ifndef _WIN32
    "  --export FILE     play headless and write the show to FILE, by its\n"
    "                    extension: .mp4 or .mkv (H.264 with the music), .webm\n"
    "                    (VP9 and Opus), .gif, .png (one frame, needs --at),\n"
    "                    .cast (asciicast terminal recording) or .ans, .bin or\n"
    "                    .xb (ANSI art of one frame, needs --at); with --mute a\n"
    "                    video has no sound\n"
    "  --at SECONDS      the moment of the show a .png, .ans, .bin or .xb export\n"
    "                    shows\n"
    "  --aspect=RATIO    the shape of a .png or .gif export: 16:10 (default:\n"
    "                    640x400, the pixels as they are) or 4:3 (1280x960,\n"
    "                    as a display showed them, in whole pixels)\n"
    "  --serve [ADDR:]PORT  serve the show over SSH to anyone who connects\n"
    "                    (ssh -p PORT HOST), each viewer in their own terminal,\n"
    "                    from the start; PORT 2222 when left out, every address\n"
    "                    when ADDR is; no sound over SSH; SIGTERM stops it\n"
    "  --host-key FILE   the server's Ed25519 host key (default: made on first\n"
    "                    start in $STATE_DIRECTORY, $XDG_STATE_HOME/cellshow or\n"
    "                    ~/.local/state/cellshow); refused if others may read it\n"
    "  --max-viewers N   connections served at once (default 1000)\n"
    "  --max-per-address N  connections from one address (default 8)\n"
#endif
    "  --help            show this help\n"
    "  --version         show the version\n"
    "\n"
#ifdef _WIN32
    "Keys: any key ends the show (the key is left in the console input).\n"
    "Ctrl-C, Ctrl-Break and closing the window end it too.\n"
    "This Windows build plays in the console; it has no window output and no\n"
    "server (--serve).\n";
#else
    "Keys: any key ends the show; it is discarded with anything typed during the\n"
    "show, and so is anything typed before it started. Ctrl-C, Ctrl-\\ and the\n"
    "signals that end a program (SIGTERM, SIGHUP, ...) end it too, and it then\n"
    "dies by that signal (exit status 128+n, so a shell loop stops). Ctrl-Z gives\n"
    "the terminal back until `fg`. The terminal is always given back as it was.\n"
    "In the window, any key but Alt+Enter and F11, a mouse click or closing it\n"
    "ends the show.\n"
    "\n"
    "Exit status: 0 when the show ends or a key ends it, 1 when an output file\n"
    "cannot be written, 2 for a usage error, no display for --window, or a\n"
    "terminal that cannot show it (TERM unset, or no cursor addressing).\n";
#endif
#endif

}  // namespace cellshow
