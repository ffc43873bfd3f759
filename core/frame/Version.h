#pragma once
// Versions and their canonical text form: "$Version: <name>; <major>.<minor:03>.<patch:02>:<build>;
// <note>$", for example "$Version: Quennel Vop 2; 2.062.00:57676; 2005-DEMO-inc$".
#include "core/text/String.h"

namespace QuennelEngine {

class CORE_API CVersion {
public:
  // Empty texts and -1 in all four numbers.
  CVersion();

  CString ver_strName;
  long ver_iMajor;
  long ver_iMinor;
  long ver_iPatch;
  long ver_iBuild;
  CString ver_strNote;
};

CORE_API CString verVersionToString(const CVersion &ver);
// Parses a canonical version text; anything else throws "Version format error.".
CORE_API CVersion verStringToVersion_t(const char *strVersion);
// The version of this library.
CORE_API const CVersion &corGetCoreVersion(void);

} // namespace QuennelEngine
