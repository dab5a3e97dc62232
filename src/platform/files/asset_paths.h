#pragma once
// Where the built-in asset names ("data\img.txt") live on this machine.
#include <string>
#include <vector>

namespace cellshow {

// Maps a built-in name to a path: backslashes become '/', and a leading
// "data" folder becomes dataDir.
std::string MapAssetName(const std::string& dataDir, const char* name);

// Where the show looks for its data when no folder is given, in order:
// ./data; `data` beside the executable (a build folder, and the Windows
// layout); on Linux `<executable's folder>/../share/cellshow/data`, which
// follows the program to whatever prefix it was installed to, then
// `share/cellshow/data` under the prefix it was built for.
std::vector<std::string> DefaultDataDirs();

// The data folder to use: `explicitDir` when given; else the first of
// DefaultDataDirs() that is a folder; else ./data, whose files are then
// simply missing (DataDirMissing tells).
std::string ResolveDataDir(const std::string& explicitDir);

// Whether `dataDir` holds at least one of the files the show reads (its
// pictures, animations, models or tune).
bool HasShowFiles(const std::string& dataDir);

// When `dataDir` holds none of them, says so on stderr in one line: the show
// will play, but blank and silent. `searched`: the folder was not given but
// looked for (DefaultDataDirs), and the line names every folder tried when
// none of them exists. Called just before the show starts.
void ReportMissingShowFiles(const std::string& dataDir, bool searched);

}  // namespace cellshow
