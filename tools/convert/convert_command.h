#pragma once
// `cellshow-data convert [OPTIONS] SRC DEST`: one of the show's ten files
// from a picture, a video, a sound, ANSI art or a Wavefront OBJ model; DEST's
// name says which file. DEST is written whole or not at all: beside it under
// a temporary name, renamed over it at the end, so a failure leaves no
// partial file and an existing DEST as it was.
namespace cellshow::convert {

// argv[0] is "convert". Returns the exit status: 0 done, 1 SRC could not
// be converted or DEST written (one line on stderr), 2 a usage error.
int RunConvert(int argc, char** argv);

// The options and DEST names, for --help.
extern const char* const ConvertUsage;

}  // namespace cellshow::convert
