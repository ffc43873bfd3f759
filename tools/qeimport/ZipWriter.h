#pragma once
// A writer of group archives: plain ZIP files of one volume whose entries are deflated (or stored
// when deflating does not make them smaller), the features the library's archive reader takes.
// Entries are written as they are added; the central directory and its end record follow at
// Finish_t. An archive that is not finished is removed: a reader never sees half of one.
#include "core/Core.h"

#include <stdio.h>

namespace QuennelEngine {

class CZipWriter {
public:
  CZipWriter(void) = default;
  CZipWriter(const CZipWriter &) = delete;
  CZipWriter &operator=(const CZipWriter &) = delete;
  // An archive still open is abandoned.
  ~CZipWriter(void) { Abandon(); }

  // Creates the file `strFileName` (a path of the host, as given). Throws "cannot be written:
  // why".
  void Create_t(const char *strFileName);
  // Entries are stored as they are, never deflated: larger, but read without inflating.
  int zw_bStore = 0;

  // Adds an entry named `strName` (with '/' separators) holding `slSize` bytes. Throws.
  void AddEntry_t(const char *strName, const void *pvData, long slSize);
  // Writes the central directory and closes the file. Throws.
  void Finish_t(void);
  // Closes the file and removes it, unless it was finished.
  void Abandon(void);

private:
  struct Entry {
    CString e_strName;
    unsigned long e_ulCRC = 0;
    unsigned long e_ulPacked = 0;
    unsigned long e_ulSize = 0;
    unsigned long e_ulOffset = 0;
    unsigned short e_uwMethod = 0;
  };
  void Write_t(const void *pv, long slSize);

  FILE *zw_pf = nullptr;
  CString zw_strFileName;
  CStaticStackArray<Entry> zw_aEntries;
  unsigned long zw_ulOffset = 0;
  unsigned short zw_uwTime = 0;
  unsigned short zw_uwDate = 0;
};

} // namespace QuennelEngine
