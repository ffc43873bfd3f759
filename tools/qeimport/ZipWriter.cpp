#include "ZipWriter.h"

#include <errno.h>
#include <string.h>
#include <time.h>
#include <vector>
#include <zlib.h>

namespace QuennelEngine {

namespace {

// Little-endian fields, as every ZIP record has them.
void Put16(std::vector<unsigned char> &aub, unsigned long ul)
{
  aub.push_back((unsigned char)ul);
  aub.push_back((unsigned char)(ul >> 8));
}

void Put32(std::vector<unsigned char> &aub, unsigned long ul)
{
  Put16(aub, ul & 0xFFFF);
  Put16(aub, ul >> 16);
}

// Raw deflate (no zlib header), as ZIP's method 8 holds it; false when zlib fails.
bool Deflate(const void *pv, long slSize, std::vector<unsigned char> &aubOut)
{
  z_stream zs;
  memset(&zs, 0, sizeof(zs));
  if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    return false;
  }
  aubOut.resize(deflateBound(&zs, (uLong)slSize));
  zs.next_in = (Bytef *)pv;
  zs.avail_in = (uInt)slSize;
  zs.next_out = aubOut.data();
  zs.avail_out = (uInt)aubOut.size();
  const int iResult = deflate(&zs, Z_FINISH);
  aubOut.resize(zs.total_out);
  deflateEnd(&zs);
  return iResult == Z_STREAM_END;
}

} // namespace

void CZipWriter::Create_t(const char *strFileName)
{
  Abandon();
  zw_strFileName = strFileName;
  zw_pf = fopen(strFileName, "wb");
  if (zw_pf == nullptr) ThrowFormat_t("cannot be written: %1", strerror(errno));
  zw_ulOffset = 0;
  zw_aEntries.PopAll();
  // Every entry gets the time of the import (DOS fields: two-second steps, years from 1980).
  time_t t = time(nullptr);
  const struct tm *ptm = localtime(&t);
  if (ptm != nullptr && ptm->tm_year >= 80) {
    zw_uwTime = (unsigned short)(ptm->tm_hour << 11 | ptm->tm_min << 5 | ptm->tm_sec / 2);
    zw_uwDate = (unsigned short)((ptm->tm_year - 80) << 9 | (ptm->tm_mon + 1) << 5 | ptm->tm_mday);
  } else {
    zw_uwTime = 0;
    zw_uwDate = 1 << 5 | 1;
  }
}

void CZipWriter::Write_t(const void *pv, long slSize)
{
  if (zw_pf == nullptr) ThrowF_t("the archive is not open");
  if (slSize > 0 && fwrite(pv, 1, slSize, zw_pf) != (size_t)slSize) {
    ThrowFormat_t("cannot be written: %1", strerror(errno));
  }
  zw_ulOffset += (unsigned long)slSize;
}

void CZipWriter::AddEntry_t(const char *strName, const void *pvData, long slSize)
{
  const size_t ctName = strlen(strName);
  if (ctName == 0 || ctName > 512 || slSize < 0)
    ThrowFormat_t("cannot hold the entry '%1'", strName);
  // The offsets are 32-bit: an archive stays below 2 GiB.
  if ((unsigned long long)zw_ulOffset + (unsigned long long)slSize * 2 + 4096 > 0x7FFFFFFFULL) {
    ThrowFormat_t("would grow beyond 2 GiB with '%1'", strName);
  }
  Entry &e = zw_aEntries.Push();
  e.e_strName = strName;
  e.e_ulCRC = crc32(crc32(0, nullptr, 0), (const Bytef *)pvData, (uInt)slSize);
  e.e_ulSize = (unsigned long)slSize;
  e.e_ulOffset = zw_ulOffset;
  std::vector<unsigned char> aubPacked;
  const bool bDeflated = !zw_bStore && slSize > 0 && Deflate(pvData, slSize, aubPacked) &&
                         (long)aubPacked.size() < slSize;
  e.e_uwMethod = bDeflated ? 8 : 0;
  e.e_ulPacked = bDeflated ? (unsigned long)aubPacked.size() : (unsigned long)slSize;
  std::vector<unsigned char> aubHeader;
  Put32(aubHeader, 0x04034B50);
  Put16(aubHeader, 20); // version needed: 2.0 (deflate)
  Put16(aubHeader, 0);  // flags
  Put16(aubHeader, e.e_uwMethod);
  Put16(aubHeader, zw_uwTime);
  Put16(aubHeader, zw_uwDate);
  Put32(aubHeader, e.e_ulCRC);
  Put32(aubHeader, e.e_ulPacked);
  Put32(aubHeader, e.e_ulSize);
  Put16(aubHeader, (unsigned long)ctName);
  Put16(aubHeader, 0); // extra field
  aubHeader.insert(aubHeader.end(), strName, strName + ctName);
  Write_t(aubHeader.data(), (long)aubHeader.size());
  Write_t(bDeflated ? (const void *)aubPacked.data() : pvData, (long)e.e_ulPacked);
}

void CZipWriter::Finish_t(void)
{
  if (zw_aEntries.Count() == 0 || zw_aEntries.Count() > 0xFFFF) {
    ThrowFormat_t("cannot hold %1 entries", zw_aEntries.Count());
  }
  std::vector<unsigned char> aub;
  for (long i = 0; i < zw_aEntries.Count(); i++) {
    const Entry &e = zw_aEntries[i];
    Put32(aub, 0x02014B50);
    Put16(aub, 20); // made by: 2.0, MS-DOS attributes
    Put16(aub, 20);
    Put16(aub, 0);
    Put16(aub, e.e_uwMethod);
    Put16(aub, zw_uwTime);
    Put16(aub, zw_uwDate);
    Put32(aub, e.e_ulCRC);
    Put32(aub, e.e_ulPacked);
    Put32(aub, e.e_ulSize);
    Put16(aub, e.e_strName.Length());
    Put16(aub, 0); // extra field
    Put16(aub, 0); // comment
    Put16(aub, 0); // disk
    Put16(aub, 0); // internal attributes
    Put32(aub, 0); // external attributes
    Put32(aub, e.e_ulOffset);
    const char *pch = e.e_strName;
    aub.insert(aub.end(), pch, pch + e.e_strName.Length());
  }
  const unsigned long ulDirectory = zw_ulOffset;
  const unsigned long ulDirectorySize = (unsigned long)aub.size();
  Put32(aub, 0x06054B50);
  Put16(aub, 0); // this disk
  Put16(aub, 0); // the directory's disk
  Put16(aub, zw_aEntries.Count());
  Put16(aub, zw_aEntries.Count());
  Put32(aub, ulDirectorySize);
  Put32(aub, ulDirectory);
  Put16(aub, 0); // comment
  Write_t(aub.data(), (long)aub.size());
  const int iClosed = fclose(zw_pf);
  zw_pf = nullptr;
  if (iClosed != 0) {
    remove(zw_strFileName);
    ThrowFormat_t("cannot be written: %1", strerror(errno));
  }
  zw_aEntries.PopAll();
}

void CZipWriter::Abandon(void)
{
  if (zw_pf == nullptr) return;
  fclose(zw_pf);
  zw_pf = nullptr;
  remove(zw_strFileName);
}

} // namespace QuennelEngine
