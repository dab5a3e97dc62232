#pragma once
// Where the built-in asset names ("data\img.txt") live on this machine.
#include <string>

namespace cellshow {

// Maps a built-in name to a path: backslashes become '/', and a leading
// "data" folder becomes dataDir.
std::string MapAssetName(const std::string& dataDir, const char* name);

// The data folder to use: `explicitDir` when given; else ./data when the
// current directory has one; else the default data installed with the program
// (a data folder beside the executable, then the shared data folder); else
// ./data, whose files are then simply missing.
std::string ResolveDataDir(const std::string& explicitDir);

// Whether `dataDir` holds at least one of the files the show reads (its
// pictures, animations, models or tune).
bool HasShowFiles(const std::string& dataDir);

// When it holds none, says so on stderr in one line: the show will play, but
// blank and silent. Called just before the show starts.
void ReportMissingShowFiles(const std::string& dataDir);

}  // namespace cellshow
