#pragma once
// The stock's diagnostics: a text dump of every file and its shared resources, and CSV tables of
// the shared resources, one CSV file per kind of row (CResource::GetSimpleInfoCSV). Both collect
// objects, so both run in an exclusive section under the stock mutex: call them from the main
// thread.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Writes "Temp/StockDump.txt" through console log output 5 (opened anew, without tags).
CORE_API void resDumpStock(void);
// Writes the tables into "Temp/StockDumps/<world>/" when exactly one stock file is a world
// (".wld"), else into "Temp/StockDumps/Common/"; the folder is emptied first. Rows are sorted by
// type name, then by their first value, largest first.
CORE_API void resDumpStockCSV(void);
// Says that reference holders are not tracked in this build.
CORE_API void resDumpRefHolderStack(void);

} // namespace QuennelEngine
