#pragma once
// The round-trip graph of the metadata file tests: one of everything a file holds (owned and
// shared pointers, containers with and without nulls, static and stack arrays, a handle, a fixed
// array, an enum, a typedef'd member, texts with every escape, an identifier, a ring of counted
// nodes, an aliased and a never-saved member). Both forms of the files are tested on it.
#include "MetaTestSupport.h"

#include <gtest/gtest.h>

namespace QuennelEngine {
namespace Test {

enum EFlShade : long {
  FLS_DARK = 1,
  FLS_LIGHT = 2,
};
MD_DECLARE_ENUM(EFlShade)

// Objects of the graph alive now.
extern long _ctFlAlive;

class CFlLeaf : public CObject {
  MD_DECLARE_CLASS(CFlLeaf)
  CFlLeaf() { _ctFlAlive++; }
  ~CFlLeaf() { _ctFlAlive--; }
  long fl_iValue = 0;
};

class CFlNode : public CSmartObject {
  MD_DECLARE_CLASS(CFlNode)
  CFlNode() { _ctFlAlive++; }
  ~CFlNode() { _ctFlAlive--; }
  Ptr<CFlNode> fn_pNext;
  long fn_iValue = 0;
};

class CFlGraph : public CObject {
  MD_DECLARE_CLASS(CFlGraph)
  CFlGraph() { _ctFlAlive++; }
  ~CFlGraph()
  {
    delete fg_pOwned;
    for (long i = 0; i < fg_dcOwned.Count(); i++) delete fg_dcOwned.Pointer(i);
    _ctFlAlive--;
  }
  CFlLeaf *fg_pOwned = nullptr;
  CFlLeaf *fg_pShared = nullptr; // one of fg_dcOwned's
  CFlLeaf *fg_pShared2 = nullptr;
  CFlGraph *fg_pSelf = nullptr;
  CDynamicContainer<CFlLeaf> fg_dcOwned;
  CDynamicContainer<CFlLeaf> fg_dcWithNulls;
  CStaticArray<FLOAT> fg_saFloats;
  CStaticStackArray<CString> fg_ssaNames;
  Handle<CFlLeaf> fg_hLeaf;
  FLOAT fg_afWeights[4] = {0, 0, 0, 0};
  EFlShade fg_eShade = FLS_DARK;
  long fg_iWeight = 0;
  CString fg_strTitle;
  IDENT fg_idKind = mdInvalidIdent();
  Ptr<CFlNode> fg_pRing;
  long fg_iAliased = 0; // saved under its old name "fg_iOldName"
  long fg_iNotSaved = 5;
};

// The texts of fg_ssaNames: every escape and continued line of the text form.
extern const char *const fl_astrTexts[];
extern const int FL_CT_TEXTS;

// Fills a graph with one of everything.
void Fill(CFlGraph &g);
// Breaks the ring of counted nodes so that the graph can go.
void BreakRing(CFlGraph &g);
// Deletes a loaded graph whatever shape a damaged file gave it: every distinct leaf once.
void TakeApart(CMetaPointer mp);
// Checks that `h` is a copy of a filled graph (`pgOriginal`, if given, is the original: nothing
// of it may be shared).
void ExpectSameGraph(CFlGraph &h, CFlGraph *pgOriginal = nullptr);

} // namespace Test
} // namespace QuennelEngine
