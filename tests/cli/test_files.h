// The platform's own file store, for tests that run on either.
#pragma once

#ifdef _WIN32
#include "files/win32/win32_file_store.h"
namespace tamlo::cli::testing {
using PlatformFileStore = Win32FileStore;
}
#else
#include "files/posix/posix_file_store.h"
namespace tamlo::cli::testing {
using PlatformFileStore = PosixFileStore;
}
#endif
