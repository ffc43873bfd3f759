#pragma once
// The file CRC table: while CRCT_bGatherCRCs is set, every file the engine uses is recorded with
// its CRC, so that two installations can compare whether they use the same file contents. The
// table is shared by all threads (files are recorded from the loading thread).
#include "core/text/String.h"

namespace QuennelEngine {

class CStream;

// Recording is on while non-zero.
CORE_API extern int CRCT_bGatherCRCs;

// Sets up an empty table.
CORE_API void CRCT_Init(void);
// Frees the index and every record.
CORE_API void CRCT_Clear(void);
// Marks every record inactive.
CORE_API void CRCT_ResetActiveList(void);
// Records a file while gathering: a known name becomes active and takes the CRC unless it is 0;
// a new name is added active (a CRC of 0 for an excluded name is recorded as 0x12345678).
CORE_API void CRCT_AddFile_t(const CString &strName, unsigned long ulCRC);
// Writes the count of active records and their names, in the order they were first recorded.
CORE_API void CRCT_MakeFileList_t(CStream &strmOut);
// Reads a count and that many names and returns one CRC-32 over their recorded CRCs (most
// significant byte first; unknown names are added with CRC 0). A list without names gives 0.
CORE_API unsigned long CRCT_MakeCRCForFiles_t(CStream &strmIn);

// Names whose CRC of 0 stands for "not to be compared": wildcard patterns (strMatches) or name
// prefixes. Nothing in the library adds any.
CORE_API void CRCT_AddExcludedPattern(const char *strPattern);
CORE_API void CRCT_ClearExcludedPatterns(void);

// The records (for diagnostics and tests): count, and a record's name, CRC and active flag.
CORE_API long CRCT_GetFileCount(void);
CORE_API bool CRCT_GetFile(long iFile, CString &strName, unsigned long &ulCRC, bool &bActive);
// The slots of the name index looked at since the process started (for tests of its cost).
CORE_API long CRCT_GetProbeCount(void);

} // namespace QuennelEngine
