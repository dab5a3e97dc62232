#pragma once
// The asset files of the system the program is built for.
#ifdef _WIN32
#include "platform/win32/win32_files.h"
#else
#include "platform/files/posix_platform.h"
#endif

namespace cellshow {

#ifdef _WIN32
using NativeFilePlatform = Win32FilePlatform;
#else
using NativeFilePlatform = PosixFilePlatform;
#endif

}  // namespace cellshow
