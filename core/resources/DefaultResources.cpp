#include "core/resources/DefaultResources.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Exception.h"
#include "core/memory/StaticStackArray.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/TypeRegistry.h"
#include "core/resources/ResourceStock.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

namespace {
struct CreatorPair {
  IDENT cp_idClass;
  ResourceCreator cp_pCreator;
};
CStaticStackArray<CreatorPair> &Creators(void)
{
  static CStaticStackArray<CreatorPair> *_psa = new CStaticStackArray<CreatorPair>;
  return *_psa;
}
// The latest creator for exactly that class, or null.
ResourceCreator LatestCreator(IDENT idClass)
{
  CStaticStackArray<CreatorPair> &sa = Creators();
  for (long i = sa.Count() - 1; i >= 0; i--) {
    if (sa[i].cp_idClass == idClass) return sa[i].cp_pCreator;
  }
  return nullptr;
}
} // namespace

void rscRegisterDefaultResourceCreator(IDENT idClass, ResourceCreator pCreator)
{
  if (idClass == nullptr || pCreator == nullptr) {
    corLogGuardBreach();
    return;
  }
  CSyncLock sl(resGetFileStockMutex());
  Creators().Push(CreatorPair{strConvertStringToID(idClass), pCreator});
}

void rscUnregisterDefaultResourceCreator(IDENT idClass, ResourceCreator pCreator)
{
  if (idClass == nullptr) return;
  const IDENT id = strConvertStringToID(idClass);
  CSyncLock sl(resGetFileStockMutex());
  CStaticStackArray<CreatorPair> &sa = Creators();
  for (long i = sa.Count() - 1; i >= 0; i--) {
    if (sa[i].cp_idClass == id && sa[i].cp_pCreator == pCreator) {
      sa.Delete(i);
      return;
    }
  }
}

// A new object of the class, or null when it cannot be made.
static CMetaPointer NewOf(CDataType *pdt)
{
  try {
    return mdNew_t(pdt);
  } catch (CException &) {
    return CMetaPointer();
  }
}

Ptr<CResource> rscCreateDefaultResource(IDENT idClass)
{
  CDataType *pdtClass = idClass != nullptr ? mdFindByName(idClass) : nullptr;
  if (pdtClass == nullptr) {
    corLogGuardBreach();
    return Ptr<CResource>();
  }
  const IDENT id = pdtClass->GetName();
  CSyncLock sl(resGetFileStockMutex());
  CResource *prs = nullptr;
  CMetaPointer mpMade;
  if (ResourceCreator pCreator = LatestCreator(id)) {
    prs = pCreator(id);
  } else if (mdIsAbstract(pdtClass)) {
    const CDynamicContainer<CDataType> dcDerived = mdFindDerivedClasses(pdtClass);
    for (CDataType *pdt : dcDerived) {
      if (pdt == pdtClass) continue;
      if (ResourceCreator pCreator = LatestCreator(pdt->GetName())) {
        prs = pCreator(id);
        break;
      }
    }
    if (prs == nullptr) {
      for (CDataType *pdt : dcDerived) {
        if (pdt == pdtClass || mdIsAbstract(pdt)) continue;
        mpMade = NewOf(pdt);
        break;
      }
    }
  } else {
    mpMade = NewOf(pdtClass);
  }
  if (mpMade.IsValid()) {
    if (!mdIsDerivedFrom(mpMade.mp_pdtType, CResource::md_pdtDataType)) {
      corLogGuardBreach();
      mdDelete(mpMade);
      return Ptr<CResource>();
    }
    prs = static_cast<CResource *>(static_cast<CSmartObject *>(mpMade.mp_pvObject));
  }
  if (prs == nullptr) return Ptr<CResource>();
  prs->rs_ulFlags |= CResource::RSF_DEFAULTSUBSTITUTE;
  return Ptr<CResource>(prs);
}

} // namespace QuennelEngine
