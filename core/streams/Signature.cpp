#include "core/streams/Signature.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/streams/CRC.h"

namespace QuennelEngine {

class CSignHandle {
public:
  SignatureType sh_eType;
  unsigned long sh_ulCRC;
};

bool sigIsKnownType(long slType)
{
  return slType == SIG_CRC32 || slType == SIG_CRC32_COMPAT;
}

long sigGetSize(SignatureType eType)
{
  if (sigIsKnownType(eType)) return 4;
  conWarningF("Invalid signature type.\n");
  return 0;
}

CSignHandle *sigBegin(SignatureType eType)
{
  CSignHandle *psh = new CSignHandle;
  psh->sh_eType = eType;
  psh->sh_ulCRC = 0xFFFFFFFFUL;
  return psh;
}

void sigUpdate(CSignHandle *psh, const void *pvData, long slSize)
{
  if (psh == nullptr) {
    corLogGuardBreach();
    return;
  }
  psh->sh_ulCRC = crcUpdate(psh->sh_ulCRC, pvData, slSize);
}

void sigFinish(CSignHandle *psh, CDataBlock &dbSignature)
{
  if (psh == nullptr) {
    corLogGuardBreach();
    return;
  }
  if (!sigIsKnownType(psh->sh_eType)) conWarningF("Invalid signature type.\n");
  unsigned long ulCRC = psh->sh_ulCRC ^ 0xFFFFFFFFUL;
  delete psh;
  dbSignature.Clear();
  dbSignature.Allocate(4);
  unsigned char *pub = (unsigned char *)dbSignature.GetData();
  for (int i = 0; i < 4; i++) pub[i] = (unsigned char)(ulCRC >> (8 * i));
}

void sigCalculate(SignatureType eType, const void *pvData, long slSize, CDataBlock &dbSignature)
{
  CSignHandle *psh = sigBegin(eType);
  sigUpdate(psh, pvData, slSize);
  sigFinish(psh, dbSignature);
}

} // namespace QuennelEngine
