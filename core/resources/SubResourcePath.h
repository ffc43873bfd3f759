#pragma once
// Sub-resource paths: a file's path, '|' and a resource's name ("a/b.rsc|Tex"). A path without
// '|' stands for the file's default resource.
#include "core/text/String.h"

namespace QuennelEngine {

class CResource;

CORE_API int resHasSubResource(const char *strPath);
// The text before the first '|' and the rest after it; without '|' the path and an empty name.
CORE_API void resDecodeSubResourcePath(const char *strPath, CString &strFile, CString &strName);
// The file alone for an empty name, else file|name.
CORE_API CString resCompileSubResourcePath(const char *strFile, const char *strName);
CORE_API CString resGetResourceFile(const char *strPath);
CORE_API CString resGetResourceName(const char *strPath);
// The resource's file name and name compiled together; a null resource is a guard breach.
CORE_API CString resGetSubResourcePath(CResource *prs);
// The name of the file that shares the resource (empty if none); null is a guard breach.
CORE_API CString resGetFileName(CResource *prs);

} // namespace QuennelEngine
