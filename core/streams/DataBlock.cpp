#include "core/streams/DataBlock.h"

#include "core/memory/Memory.h"

#include <string.h>

namespace QuennelEngine {

CDataBlock::CDataBlock(const CDataBlock &db) : db_slSize(0), db_pvData(nullptr)
{
  *this = db;
}

CDataBlock &CDataBlock::operator=(const CDataBlock &db)
{
  if (this == &db) return *this;
  Clear();
  if (db.db_slSize > 0) {
    Allocate(db.db_slSize);
    memcpy(db_pvData, db.db_pvData, db_slSize);
  }
  return *this;
}

void CDataBlock::Allocate(long slSize)
{
  if (slSize <= 0) return;
  memFree(db_pvData);
  db_pvData = memMAlloc(slSize);
  db_slSize = slSize;
}

void CDataBlock::Clear(void)
{
  memFree(db_pvData);
  db_pvData = nullptr;
  db_slSize = 0;
}

bool CDataBlock::operator==(const CDataBlock &db) const
{
  return db_slSize == db.db_slSize &&
         (db_slSize == 0 || memcmp(db_pvData, db.db_pvData, db_slSize) == 0);
}

} // namespace QuennelEngine
