#pragma once
// Shared by the archive tests: the test data folder written at build time
// (tools/make_test_archives.py), a fresh root folder per test, and small helpers.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace QuennelEngine {
namespace Test {

inline std::string CurrentDir(void)
{
  char str[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, str);
  return std::string(str) + "\\";
}

// The bytes of a file of the test data (bin/TestData); fails the test when it is missing.
inline std::string TestData(const char *strName)
{
  std::string strPath = CurrentDir() + "TestData\\" + strName;
  HANDLE h = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << "missing test data " << strPath;
  if (h == INVALID_HANDLE_VALUE) return std::string();
  std::string str(GetFileSize(h, nullptr), '\0');
  DWORD dw = 0;
  if (!str.empty()) ReadFile(h, &str[0], (DWORD)str.size(), &dw, nullptr);
  CloseHandle(h);
  return str;
}

// Writes a file under the current root (a soft path); its directories are made.
inline void WriteRootFile(const char *strName, const std::string &str)
{
  CStream strm;
  strm.OpenFile_t(strName, "w");
  if (!str.empty()) strm.Write_t(str.data(), (long)str.size());
}

// A file the test leaves for tools/make_test_archives.py --verify (bin/TestData/Out).
inline void WriteOutFile(const std::string &strName, const void *pv, long slSize)
{
  std::string strDir = CurrentDir() + "TestData\\Out\\";
  CreateDirectoryA(strDir.c_str(), nullptr);
  HANDLE h =
      CreateFileA((strDir + strName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD dw = 0;
  if (slSize > 0) WriteFile(h, pv, (DWORD)slSize, &dw, nullptr);
  CloseHandle(h);
}

// The rest of a stream from its position, read in pieces until it reports its end (the way
// loaders read: never more than size - position).
inline std::string ReadToEnd(CStream &strm, long slPiece = 1000)
{
  std::string str;
  std::string strPiece(slPiece, '\0');
  while (!strm.IsAtEOF_t()) {
    long slLeft = strm.GetSize() - strm.GetPosition();
    long slRead = slLeft < slPiece ? slLeft : slPiece;
    strm.Read_t(&strPiece[0], slRead);
    str.append(strPiece, 0, slRead);
  }
  return str;
}

// The whole content of a file opened through the file system.
inline std::string ReadFileContent(const char *strName)
{
  CStream strm;
  strm.OpenFile_t(strName, "r");
  std::string str(strm.GetSize(), '\0');
  if (!str.empty()) strm.Read_t(&str[0], (long)str.size());
  return str;
}

// A buffer whose last byte is followed by an inaccessible page: a coder that reads or writes one
// byte beyond it crashes the test at once instead of going unnoticed.
class CGuardedBuffer {
public:
  explicit CGuardedBuffer(size_t slSize) : gb_slSize(slSize)
  {
    size_t ctPages = (slSize + 4095) / 4096 + 1;
    gb_pvBase = VirtualAlloc(nullptr, ctPages * 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    unsigned char *pubGuard = (unsigned char *)gb_pvBase + (ctPages - 1) * 4096;
    DWORD dwOld;
    VirtualProtect(pubGuard, 4096, PAGE_NOACCESS, &dwOld);
    gb_pub = pubGuard - slSize;
  }
  CGuardedBuffer(const std::string &str) : CGuardedBuffer(str.size())
  {
    if (!str.empty()) memcpy(gb_pub, str.data(), str.size());
  }
  ~CGuardedBuffer() { VirtualFree(gb_pvBase, 0, MEM_RELEASE); }
  CGuardedBuffer(const CGuardedBuffer &) = delete;
  CGuardedBuffer &operator=(const CGuardedBuffer &) = delete;
  unsigned char *Data(void) { return gb_pub; }
  long Size(void) const { return (long)gb_slSize; }

private:
  void *gb_pvBase;
  unsigned char *gb_pub;
  size_t gb_slSize;
};

// Raw deflate data, as ZIP entries hold it.
inline std::string RawDeflate(const std::string &str)
{
  z_stream zs = {};
  deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string strOut(deflateBound(&zs, str.size()), '\0');
  zs.next_in = (Bytef *)str.data();
  zs.avail_in = (uInt)str.size();
  zs.next_out = (Bytef *)&strOut[0];
  zs.avail_out = (uInt)strOut.size();
  deflate(&zs, Z_FINISH);
  strOut.resize(zs.total_out);
  deflateEnd(&zs);
  return strOut;
}

// A little-endian field of a ZIP file's bytes.
inline unsigned long GetZip32(const std::string &str, size_t sl)
{
  unsigned long ul = 0;
  for (int i = 3; i >= 0; i--) ul = ul << 8 | (unsigned char)str[sl + i];
  return ul;
}
inline void SetZip32(std::string &str, size_t sl, unsigned long ul)
{
  for (int i = 0; i < 4; i++) str[sl + i] = (char)(ul >> (8 * i) & 0xFF);
}

// Offsets of an entry's central directory header fields.
enum CentralField {
  CF_CRC = 16,
  CF_PACKED_SIZE = 20,
  CF_SIZE = 24,
};

// Where the central directory header of `strName` starts in a ZIP file's bytes (npos if none).
inline size_t CentralHeaderOf(const std::string &strZip, const std::string &strName)
{
  const std::string strSignature("PK\x01\x02", 4);
  for (size_t sl = strZip.find(strSignature); sl != std::string::npos;
       sl = strZip.find(strSignature, sl + 4)) {
    if (sl + 46 > strZip.size()) break;
    size_t slName = (unsigned char)strZip[sl + 28] | (unsigned char)strZip[sl + 29] << 8;
    if (strZip.compare(sl + 46, slName, strName) == 0 && slName == strName.size()) return sl;
  }
  return std::string::npos;
}

// Builds small ZIP files field by field, for the damage no tool would write.
struct ZipBuilder {
  struct Entry {
    std::string e_strName;
    std::string e_strData;
    bool e_bDeflate;
  };
  std::vector<Entry> zb_ae;
  std::string zb_strBytes;
  std::vector<size_t> zb_aslCentral; // offsets of the central headers in zb_strBytes
  size_t zb_slEnd = 0;               // offset of the end record

  static void Put16(std::string &str, unsigned long ul)
  {
    str += (char)(ul & 0xFF);
    str += (char)(ul >> 8 & 0xFF);
  }
  static void Put32(std::string &str, unsigned long ul)
  {
    Put16(str, ul & 0xFFFF);
    Put16(str, ul >> 16);
  }
  void Set16(size_t sl, unsigned long ul)
  {
    zb_strBytes[sl] = (char)(ul & 0xFF);
    zb_strBytes[sl + 1] = (char)(ul >> 8 & 0xFF);
  }
  void Set32(size_t sl, unsigned long ul)
  {
    Set16(sl, ul & 0xFFFF);
    Set16(sl + 2, ul >> 16);
  }
  ZipBuilder &Add(const std::string &strName, const std::string &strData, bool bDeflate = true)
  {
    zb_ae.push_back(Entry{strName, strData, bDeflate});
    return *this;
  }
  const std::string &Build(void)
  {
    std::string &str = zb_strBytes;
    str.clear();
    std::vector<size_t> aslLocal;
    std::vector<std::string> astrPacked;
    for (const Entry &e : zb_ae) {
      std::string strPacked = e.e_bDeflate ? RawDeflate(e.e_strData) : e.e_strData;
      aslLocal.push_back(str.size());
      Put32(str, 0x04034B50);
      Put16(str, 20);
      Put16(str, 0);
      Put16(str, e.e_bDeflate ? 8 : 0);
      Put32(str, 0x50B16E6E); // 2020-05-17 13:51:28
      Put32(str, crc32(0, (const Bytef *)e.e_strData.data(), (uInt)e.e_strData.size()));
      Put32(str, (unsigned long)strPacked.size());
      Put32(str, (unsigned long)e.e_strData.size());
      Put16(str, (unsigned long)e.e_strName.size());
      Put16(str, 0);
      str += e.e_strName + strPacked;
      astrPacked.push_back(strPacked);
    }
    size_t slDir = str.size();
    zb_aslCentral.clear();
    for (size_t i = 0; i < zb_ae.size(); i++) {
      const Entry &e = zb_ae[i];
      zb_aslCentral.push_back(str.size());
      Put32(str, 0x02014B50);
      Put16(str, 20);
      Put16(str, 20);
      Put16(str, 0);
      Put16(str, e.e_bDeflate ? 8 : 0);
      Put32(str, 0x50B16E6E);
      Put32(str, crc32(0, (const Bytef *)e.e_strData.data(), (uInt)e.e_strData.size()));
      Put32(str, (unsigned long)astrPacked[i].size());
      Put32(str, (unsigned long)e.e_strData.size());
      Put16(str, (unsigned long)e.e_strName.size());
      Put32(str, 0); // extra and comment lengths
      Put32(str, 0); // disk, internal attributes
      Put32(str, 0); // external attributes
      Put32(str, (unsigned long)aslLocal[i]);
      str += e.e_strName;
    }
    zb_slEnd = str.size();
    Put32(str, 0x06054B50);
    Put32(str, 0);
    Put16(str, zb_ae.size());
    Put16(str, zb_ae.size());
    Put32(str, (unsigned long)(zb_slEnd - slDir));
    Put32(str, (unsigned long)slDir);
    Put16(str, 0);
    return str;
  }
};

// Gives each test a fresh root folder with no archive mounted; archives are copied in from the
// test data under the names the test chooses. Console output of mounting is kept quiet. Only the
// folder made here is ever deleted, whatever root a test leaves behind.
class ArchiveRoot : public testing::Test {
protected:
  void SetUp() override
  {
    ar_strOldRoot = filGetSysRootDir();
    ar_iOldPrefer = fil_bPreferZips;
    filClearArchives();
    ar_strRoot = CString(CurrentDir().c_str()) + "ArcRoot\\";
    filSetSysRootDir(ar_strRoot);
    DeleteRoot();
    CreateDirectoryA(ar_strRoot, nullptr);
  }
  void TearDown() override
  {
    filClearArchives();
    fil_bPreferZips = ar_iOldPrefer;
    DeleteRoot();
    filSetSysRootDir(ar_strOldRoot);
  }
  void DeleteRoot(void)
  {
    if (!filIsSysDir(ar_strRoot)) return;
    try {
      CString strSoft = CString("$") + ar_strRoot;
      strReplaceSubstrA(strSoft, "\\", "/");
      filDeleteDirectory_t(strSoft);
    } catch (CException &) {
    }
  }
  // Copies a test data file into the root as `strName`.
  void Install(const char *strData, const char *strName)
  {
    WriteRootFile(strName, TestData(strData));
  }
  // Installs and mounts an archive.
  void Mount(const char *strData, const char *strName)
  {
    Install(strData, strName);
    CLockOutputs lo;
    filAddArchive(strName);
  }
  // The description of what mounting throws ("" when it mounts).
  std::string MountError(const char *strData, const char *strName)
  {
    Install(strData, strName);
    CLockOutputs lo;
    return ThrownBy([&] { filAddArchive(strName); });
  }
  CString ar_strOldRoot;
  CString ar_strRoot;
  int ar_iOldPrefer;
};

} // namespace Test
} // namespace QuennelEngine
