#pragma once
// The built-in types: the basic numbers and texts, their typedefs, void, "void*", Unknown and
// "CString&", and the descriptor classes as opaque types. They register when Core loads.
#include "core/meta/DataTypeKinds.h"

#include <stdint.h>

namespace QuennelEngine {

// The basic value types of reflected classes.
typedef char CHAR;
typedef uint8_t UBYTE;
typedef int8_t SBYTE;
typedef uint16_t UWORD;
typedef int16_t SWORD;
typedef unsigned long ULONG;
typedef long SLONG;
typedef float FLOAT;
typedef double DOUBLE;
typedef uint64_t UQUAD;
typedef int64_t SQUAD;
// Described as typedefs of SLONG (INDEX, PIX, BOOL) and ULONG (COLOR): a member of these types
// names its type explicitly (MD_MEMBER_AS), since C++ cannot tell them from their aliased type.
typedef long INDEX;
typedef long PIX;
typedef int BOOL;
typedef unsigned long COLOR;

CORE_API extern CDataType *md_pdtUBYTE;
CORE_API extern CDataType *md_pdtSBYTE;
CORE_API extern CDataType *md_pdtUWORD;
CORE_API extern CDataType *md_pdtSWORD;
CORE_API extern CDataType *md_pdtULONG;
CORE_API extern CDataType *md_pdtSLONG;
CORE_API extern CDataType *md_pdtFLOAT;
CORE_API extern CDataType *md_pdtDOUBLE;
CORE_API extern CDataType *md_pdtINDEX;
CORE_API extern CDataType *md_pdtIDENT;
CORE_API extern CDataType *md_pdtPIX;
CORE_API extern CDataType *md_pdtBOOL;
CORE_API extern CDataType *md_pdtCOLOR;
CORE_API extern CDataType *md_pdtCString;
CORE_API extern CDataType *md_pdtVoid;
CORE_API extern CDataType *md_pdtVoidPointer;
CORE_API extern CDataType *md_pdtUnknown;

} // namespace QuennelEngine
