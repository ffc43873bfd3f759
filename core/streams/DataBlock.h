#pragma once
// CDataBlock: an owned block of bytes with its size.
#include "core/platform/Platform.h"

namespace QuennelEngine {

class CORE_API CDataBlock {
public:
  CDataBlock() : db_slSize(0), db_pvData(nullptr) {}
  CDataBlock(const CDataBlock &db);
  CDataBlock &operator=(const CDataBlock &db);
  ~CDataBlock() { Clear(); }

  // Allocates `slSize` bytes (the old data is freed); a size of 0 or less changes nothing.
  void Allocate(long slSize);
  // Frees the data.
  void Clear(void);
  bool operator==(const CDataBlock &db) const;
  bool operator!=(const CDataBlock &db) const { return !(*this == db); }
  long GetSize(void) const { return db_slSize; }
  void *GetData(void) const { return db_pvData; }

private:
  long db_slSize;
  void *db_pvData;
};

} // namespace QuennelEngine
