#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace QuennelEngine;
using QuennelEngine::Test::CGuardBreachCounter;

namespace {
// The owner's side: objects are integers kept in an array, the value is the index.
std::vector<unsigned long> _aulObjects;
CSimpleHashTable *_psht = nullptr;
int _ctRehashes = 0;
unsigned long _ulForcedHash = 0xFFFFFFFF;

int CompareIndex(long slValue, const void *pvObject)
{
  return _aulObjects[slValue] == *(const unsigned long *)pvObject;
}

unsigned long HashObject(const void *pvObject)
{
  return _ulForcedHash != 0xFFFFFFFF ? _ulForcedHash : *(const unsigned long *)pvObject;
}

void Rehash(void)
{
  _ctRehashes++;
  for (size_t i = 0; i < _aulObjects.size(); i++) _psht->AddObject(&_aulObjects[i], (long)i);
}

// Adds an object the way owners do: append to the array, then index it.
void Add(CSimpleHashTable &sht, unsigned long ul)
{
  _aulObjects.push_back(ul);
  sht.AddObject(&_aulObjects.back(), (long)_aulObjects.size() - 1);
}

struct Fixture {
  Fixture()
  {
    _aulObjects.clear();
    _aulObjects.reserve(100000);
    _ctRehashes = 0;
    _ulForcedHash = 0xFFFFFFFF;
  }
};
} // namespace

TEST(SimpleHashTable, StepOneGrowsAtTheSixthObject)
{
  Fixture f;
  CSimpleHashTable sht(CompareIndex, HashObject, nullptr, 1);
  _psht = &sht;
  EXPECT_EQ(sht.GetCompartmentCount(), 1);
  for (unsigned long ul = 0; ul < 5; ul++) Add(sht, ul);
  EXPECT_EQ(sht.GetCompartmentCount(), 1);
  EXPECT_EQ(sht.GetUsedCount(), 5);
  // The sixth sees a load of 5/5: the table grows to 2 compartments and the owner re-adds all.
  sht.rehash = [] {
    _ctRehashes++;
    // The new object is already in the array; re-add all but it, as the retry adds it.
    for (size_t i = 0; i + 1 < _aulObjects.size(); i++) _psht->AddObject(&_aulObjects[i], (long)i);
  };
  Add(sht, 5);
  EXPECT_EQ(_ctRehashes, 1);
  EXPECT_EQ(sht.GetCompartmentCount(), 2);
  EXPECT_EQ(sht.GetUsedCount(), 6);
  for (unsigned long ul = 0; ul < 6; ul++) EXPECT_EQ(sht.FindObject(&ul), (long)ul);
}

TEST(SimpleHashTable, LookupsAndSlots)
{
  Fixture f;
  CSimpleHashTable sht(CompareIndex, HashObject, Rehash, 4);
  _psht = &sht;
  unsigned long ulMissing = 1234;
  EXPECT_EQ(sht.FindObject(&ulMissing), -1);
  EXPECT_TRUE(sht.FindObjectSlot(&ulMissing).IsNone());

  // Fill the home compartment of hash 1 and spill into the next one.
  _ulForcedHash = 1;
  for (unsigned long ul = 100; ul < 107; ul++) Add(sht, ul);
  unsigned long ulLast = 106;
  SimpleHashSlot shs = sht.FindObjectSlot(&ulLast);
  EXPECT_EQ(shs.shs_iCompartment, 2);
  EXPECT_EQ(shs.shs_iSlot, 1);
  EXPECT_EQ(sht.GetSlotValue(shs), 6);
  // Not found although the home compartment is full and the next has an empty slot.
  EXPECT_EQ(sht.FindObject(&ulMissing), -1);
  SimpleHashSlot shsBad;
  shsBad.shs_iCompartment = 99;
  shsBad.shs_iSlot = 0;
  EXPECT_EQ(sht.GetSlotValue(shsBad), -1);
  EXPECT_EQ(sht.GetCompartment(9), 1);

  // Copies are independent.
  CSimpleHashTable shtCopy(sht);
  EXPECT_EQ(shtCopy.FindObject(&ulLast), 6);
  EXPECT_NE(shtCopy.compartments, sht.compartments);
  sht.ResetTable();
  EXPECT_EQ(sht.GetUsedCount(), 0);
  EXPECT_EQ(sht.GetCompartmentCount(), 4);
  EXPECT_EQ(sht.FindObject(&ulLast), -1);
  EXPECT_EQ(shtCopy.FindObject(&ulLast), 6);
  shtCopy = sht;
  EXPECT_EQ(shtCopy.FindObject(&ulLast), -1);
}

TEST(SimpleHashTable, InitialSizeGeometricGrowthAndNoCompartments)
{
  Fixture f;
  CSimpleHashTable sht(CompareIndex, HashObject, Rehash, 10, 1000, 10);
  _psht = &sht;
  EXPECT_EQ(sht.GetCompartmentCount(), 1000);
  // Bulk insertion: growth multiplies, so the owner re-adds everything only a few times.
  // (The rehash here re-adds the new object too, which the retry then adds again: harmless.)
  for (unsigned long ul = 0; ul < 50000; ul++) Add(sht, ul * 2654435761UL);
  EXPECT_LE(_ctRehashes, 3);
  EXPECT_GE(sht.GetCompartmentCount(), 10000);
  for (unsigned long ul = 0; ul < 50000; ul += 997) {
    unsigned long ulObject = ul * 2654435761UL;
    EXPECT_EQ(_aulObjects[sht.FindObject(&ulObject)], ulObject);
  }

  // A table without compartments answers "none" instead of dividing by zero.
  CGuardBreachCounter gbc;
  CSimpleHashTable shtEmpty(CompareIndex, HashObject, nullptr, 0, 0, 1);
  unsigned long ul = 3;
  EXPECT_EQ(shtEmpty.FindObject(&ul), -1);
  EXPECT_EQ(shtEmpty.GetCompartment(3), -1);
  shtEmpty.AddObject(&ul, 0);
  EXPECT_EQ(shtEmpty.GetUsedCount(), 0);
  EXPECT_EQ(gbc.Count(), 2);
}

TEST(SimpleHashTable, DumpShowsHomesAndOverflow)
{
  Fixture f;
  CSimpleHashTable sht(CompareIndex, HashObject, Rehash, 2);
  _psht = &sht;
  _ulForcedHash = 0;
  for (unsigned long ul = 0; ul < 6; ul++) Add(sht, ul); // five at home in 0, one spills into 1
  long ctBefore = conGetTotalLinesCount();
  {
    CLockOutputs lo;
    sht.DumpHashTableUsage(_aulObjects.data(), sizeof(unsigned long));
  }
  CString strAll;
  for (long i = conGetTotalLinesCount() - ctBefore - 1; i >= 0; i--) {
    long iType;
    CString strLine;
    conGetLine(i, iType, strLine);
    strAll += strLine;
  }
  EXPECT_NE(strFindSubstr(strAll, "Compartments 2\n"), -1) << strAll;
  EXPECT_NE(strFindSubstr(strAll, "Slots 6/10 (60.0%)\n"), -1) << strAll;
  EXPECT_NE(strFindSubstr(strAll, "Compartments with 5 used slots - 1\n"), -1);
  EXPECT_NE(strFindSubstr(strAll, "0: #####\n1: +----\n"), -1) << strAll;
  EXPECT_NE(strFindSubstr(strAll, "5/6 (83.3%) objects are in own compartment"), -1) << strAll;
}
