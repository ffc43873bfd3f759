// Writes the metadata files that the qemeta test looks into: a graph of types that only this
// program declares, in the binary form (Sample.mtb) and as this program writes it in the text
// form (Sample.txt), into the current folder.
#include "core/Core.h"

#include <stdio.h>
#include <stdlib.h>

using namespace QuennelEngine;

namespace {

class CQsPart : public CObject {
  MD_DECLARE_CLASS(CQsPart)
  long qp_iValue = 0;
  CString qp_strLabel;
};

class CQsWhole : public CObject {
  MD_DECLARE_CLASS(CQsWhole)
  ~CQsWhole()
  {
    for (long i = 0; i < qw_dcParts.Count(); i++) delete qw_dcParts.Pointer(i);
  }
  CDynamicContainer<CQsPart> qw_dcParts;
  CQsPart *qw_pFavourite = nullptr;
  CStaticArray<FLOAT> qw_saValues;
  IDENT qw_idName = mdInvalidIdent();
  long qw_iRenamed = 0;
};

MD_CLASS_BEGIN(CQsPart, CObject, 3)
MD_MEMBER(qp_iValue, 0, "Value")
MD_MEMBER(qp_strLabel, 0, "Label")
MD_CLASS_END()

MD_CLASS_BEGIN(CQsWhole, CObject, 2)
MD_MEMBER(qw_dcParts, SMF_OWNED, "Parts")
MD_MEMBER(qw_pFavourite, 0, "Favourite")
MD_MEMBER(qw_saValues, 0, "Values")
MD_MEMBER(qw_idName, 0, "Name")
MD_MEMBER_EX(qw_iRenamed, 0, "Renamed", "qw_iFormerName", nullptr)
MD_CLASS_END()

int _iExitCode = 0;

// A path of the command line (relative to the current folder) as the absolute soft path that
// the library's streams take.
CString HostPath(const char *strPath)
{
  char achFull[1024];
  if (_fullpath(achFull, strPath, sizeof(achFull)) == nullptr) return strPath;
  return CString("$") + achFull;
}

void Save(CMetaPointer mp, const char *strFile, int bText)
{
  CStream strm;
  if (!strm.CreateFileStream(HostPath(strFile), "w")) {
    fprintf(stderr, "%s: cannot be written\n", strFile);
    _iExitCode = 1;
    return;
  }
  md_bSaveTextFiles = bText;
  mdInternalWrite_t(strm, mp);
  md_bSaveTextFiles = 0;
}

void SamplesMain(void)
{
  mdUpdateTypeTables();
  CQsWhole w;
  for (int i = 0; i < 3; i++) {
    CQsPart *pp = new CQsPart;
    pp->qp_iValue = i * 10 - 5;
    pp->qp_strLabel = i == 1 ? "two\nlines \"quoted\"" : "plain";
    w.qw_dcParts.Add(pp);
  }
  w.qw_pFavourite = w.qw_dcParts.Pointer(2);
  w.qw_saValues.New(4);
  for (int i = 0; i < 4; i++) w.qw_saValues[i] = 0.5f * i;
  w.qw_idName = strConvertStringToID("Sample");
  w.qw_iRenamed = 1234;
  CMetaPointer mp(CQsWhole::md_pdtDataType, static_cast<CObject *>(&w));
  try {
    Save(mp, "Sample.mtb", 0);
    Save(mp, "Sample.txt", 1);
  } catch (CException &ex) {
    fprintf(stderr, "%s\n", ex.GetDescription());
    _iExitCode = 1;
  }
}

} // namespace

int main(int ctArguments, char *astrArguments[])
{
  corRun(SamplesMain, ctArguments, astrArguments, "notimer nozips norootdir");
  return _iExitCode;
}
