// The metadata's hot paths: finding a type by name, the derivation test against dynamic_cast,
// creating and deleting an object by its descriptor against new and delete, and the type update
// of a large program.
#include "BenchSupport.h"
#include "core/Core.h"

#include <stdio.h>

#include <unordered_map>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

// A chain of eleven classes: CChain10 lies ten bases below CChain0.
#define CHAIN_CLASS(n, base)                                                                       \
  class CChain##n : public base {                                                                  \
    MD_DECLARE_CLASS(CChain##n)                                                                    \
    long ch_i##n = 0;                                                                              \
  };
CHAIN_CLASS(0, CObject)
CHAIN_CLASS(1, CChain0)
CHAIN_CLASS(2, CChain1)
CHAIN_CLASS(3, CChain2)
CHAIN_CLASS(4, CChain3)
CHAIN_CLASS(5, CChain4)
CHAIN_CLASS(6, CChain5)
CHAIN_CLASS(7, CChain6)
CHAIN_CLASS(8, CChain7)
CHAIN_CLASS(9, CChain8)
CHAIN_CLASS(10, CChain9)
#undef CHAIN_CLASS

// 64 bytes with its virtual table.
class CSixtyFour : public CObject {
  MD_DECLARE_CLASS(CSixtyFour)
  long sf_al[15] = {};
};
static_assert(sizeof(CSixtyFour) == 64, "the object measured is 64 bytes");

#define CHAIN_DESCRIPTION(n, base)                                                                 \
  MD_CLASS_BEGIN(CChain##n, base, 1)                                                               \
  MD_MEMBER(ch_i##n, 0, "Value")                                                                   \
  MD_CLASS_END()
CHAIN_DESCRIPTION(0, CObject)
CHAIN_DESCRIPTION(1, CChain0)
CHAIN_DESCRIPTION(2, CChain1)
CHAIN_DESCRIPTION(3, CChain2)
CHAIN_DESCRIPTION(4, CChain3)
CHAIN_DESCRIPTION(5, CChain4)
CHAIN_DESCRIPTION(6, CChain5)
CHAIN_DESCRIPTION(7, CChain6)
CHAIN_DESCRIPTION(8, CChain7)
CHAIN_DESCRIPTION(9, CChain8)
CHAIN_DESCRIPTION(10, CChain9)

MD_CLASS_BEGIN(CSixtyFour, CObject, 1)
MD_MEMBER(sf_al, 0, "Words")
MD_CLASS_END()

} // namespace

// `ct` structures of three members each, the second a pointer to the one before.
static CDynamicContainer<CDataType> MakeTypes(int ct, const char *strPrefix)
{
  CDynamicContainer<CDataType> dc;
  char strName[64], strPrevious[64];
  for (int i = 0; i < ct; i++) {
    sprintf(strName, "%s%d", strPrefix, i);
    sprintf(strPrevious, "%s%d*", strPrefix, i > 0 ? i - 1 : 0);
    CDataType_StructMember asm_[3] = {
        CDataType_StructMember(CTypeID("SLONG"), "a", nullptr, nullptr, nullptr, 0, 0, 0, 0,
                               nullptr, 0),
        CDataType_StructMember(CTypeID(strPrevious), "p", nullptr, nullptr, nullptr, 4, 0, 0, 0,
                               nullptr, 0),
        CDataType_StructMember(CTypeID("FLOAT"), "f", nullptr, nullptr, nullptr, 8, 0, 0, 0,
                               nullptr, 0)};
    CDataType *pdt = new CDataType_Struct(strName, 1, nullptr, CTypeID(), 3, asm_, 0, nullptr, 0, 0,
                                          12, nullptr, nullptr, 0, nullptr, nullptr);
    mdRegister(pdt);
    dc.Add(pdt);
    sprintf(strPrevious, "%s%d*", strPrefix, i);
    CDataType *pdtPointer = new CDataType_Pointer(strPrevious, 1, CTypeID(strName), 0);
    mdRegister(pdtPointer);
    dc.Add(pdtPointer);
  }
  return dc;
}

static void FreeTypes(CDynamicContainer<CDataType> &dc)
{
  for (long i = dc.Count() - 1; i >= 0; i--) mdDeleteDeclaredType(dc.Pointer(i));
  dc.Clear();
}

int main()
{
  mdUpdateTypeTables();
  // A registry the size of a game's, so lookups do not run in an empty table.
  CDynamicContainer<CDataType> dcFill = MakeTypes(2500, "CFill");
  mdUpdateTypeTables();

  printf("Metadata\n");
  const IDENT idName = strConvertStringToID("CFill1234");
  std::unordered_map<const char *, CDataType *> map;
  for (CDataType *pdt : dcFill) map[pdt->GetName()] = pdt;
  CompareAndReport(
      "mdFindByName of an identifier", 1000000, [&] { Keep(mdFindByName(idName)); },
      "unordered_map find", [&] { Keep(map.find(idName)->second); });

  CChain10 *pch10 = new CChain10;
  CObject *pobj = pch10;
  CDataType *pdt10 = CChain10::md_pdtDataType;
  CDataType *pdt0 = CChain0::md_pdtDataType;
  CompareAndReport(
      "mdIsDerivedFrom, 10 bases up", 1000000, [&] { Keep(mdIsDerivedFrom(pdt10, pdt0)); },
      "dynamic_cast", [&] { Keep(dynamic_cast<CChain0 *>(pobj)); });
  delete pch10;

  CDataType *pdt64 = CSixtyFour::md_pdtDataType;
  CompareAndReport(
      "mdNew_t + mdDelete of a 64-byte class", 300000, [&] { mdDelete(mdNew_t(pdt64)); },
      "new + delete",
      [&] {
        CSixtyFour *p = new CSixtyFour;
        Keep(p);
        delete p;
      });

  // The update of 5,000 new types (2,500 structures and their pointers).
  std::vector<double> adMs;
  for (int iRound = 0; iRound < 7; iRound++) {
    CDynamicContainer<CDataType> dc = MakeTypes(2500, "CUpd");
    const double dStart = Now();
    mdUpdateTypeTables();
    adMs.push_back((Now() - dStart) * 1000.0);
    FreeTypes(dc);
  }
  Report("mdUpdateTypeTables of 5,000 types", Summarise(adMs), "ms");

  FreeTypes(dcFill);
  return 0;
}
