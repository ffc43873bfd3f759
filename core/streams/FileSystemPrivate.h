#pragma once
// Private to the file system: what its system side gives its portable side.
#include "core/memory/StaticStackArray.h"
#include "core/text/String.h"

namespace QuennelEngine {

struct SysDirEntry {
  CString sde_strName;
  bool sde_bDirectory;
  bool sde_bLink; // a symbolic link or junction: never entered when deleting
};

// The entries of a hard directory, without "." and "..".
CStaticStackArray<SysDirEntry> filSysListDirectory(const char *strHardDir);

} // namespace QuennelEngine
