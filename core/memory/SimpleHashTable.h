#pragma once
// CSimpleHashTable: an open-addressing index from objects to integer values (typically indices
// into the owner's array). Compartments of five slots lie in one array; a lookup probes whole
// compartments from the object's home onwards. The table stores only values: when it grows, its
// content is dropped and the owner's `rehash` adds every object again. Entries are never removed
// one by one. It does not lock.
#include "core/platform/Platform.h"

namespace QuennelEngine {

const int SHT_SLOTS = 5;

// The address of a slot; both -1 for none.
struct SimpleHashSlot {
  long shs_iCompartment = -1;
  long shs_iSlot = -1;
  bool IsNone(void) const { return shs_iCompartment < 0; }
};

struct SimpleHashCompartment {
  long shc_aslValues[SHT_SLOTS] = {-1, -1, -1, -1, -1};
};

class CORE_API CSimpleHashTable {
public:
  // Nonzero when the stored value denotes the object.
  typedef int (*CompareFunction)(long slValue, const void *pvObject);
  typedef unsigned long (*HashFunction)(const void *pvObject);
  // Called after the table was re-created larger: must add every object again.
  typedef void (*RehashFunction)(void);

  // A table of `ctCompartments` compartments (`ctStep` if 0). Growing adds at least `ctStep`
  // compartments and multiplies the count by at least `ctGrowthFactor`, so bulk insertion stays
  // linear.
  CSimpleHashTable(CompareFunction pCompare, HashFunction pHash, RehashFunction pRehash,
                   long ctStep, long ctCompartments = 0, long ctGrowthFactor = 2);
  CSimpleHashTable(const CSimpleHashTable &sht);
  CSimpleHashTable &operator=(const CSimpleHashTable &sht);
  ~CSimpleHashTable();

  // Stores `slValue` for `pvObject`, growing (and rehashing) the table when it is too full.
  void AddObject(const void *pvObject, long slValue);
  // The value stored for the object, or -1.
  long FindObject(const void *pvObject) const;
  SimpleHashSlot FindObjectSlot(const void *pvObject) const;
  // The value in a slot, or -1.
  long GetSlotValue(const SimpleHashSlot &shs) const;
  // The home compartment of a hash value (-1 for a table without compartments).
  long GetCompartment(unsigned long ulHash) const;
  long GetUsedCount(void) const { return used; }
  long GetCompartmentCount(void) const { return count; }
  // Re-creates the table larger and empty (the caller adds the objects again).
  void ExpandTable(void);
  // Re-creates the table at its first size, empty.
  void ResetTable(void);
  // Empties the table keeping its compartments (no allocation).
  void ClearTable(void);
  // True if one more object keeps the load at 85% or less (exactly, without truncation): the
  // next AddObject will not grow the table.
  bool HasRoomForOne(void) const;
  // Prints usage statistics through the trace output; the object of a value lies at
  // `pvBase` + value x `slStride`.
  void DumpHashTableUsage(const void *pvBase, long slStride) const;

  CompareFunction compare;
  HashFunction hash;
  RehashFunction rehash;
  long used;  // occupied slots
  long step;  // compartments added at least per growth
  long count; // compartments
  SimpleHashCompartment *compartments;

private:
  void Allocate(long ctCompartments);

  long sht_ctInitial;
  long sht_ctGrowthFactor;
};

} // namespace QuennelEngine
