#pragma once
// Reading a metadata file by its own type table alone, without making objects: for looking into
// files of any program, checking them, and converting between the binary and the text form.
// Every item is read through the file's form and, when a writer is given, written through it as
// the current format version, so a file of the current version converts byte for byte. Types
// whose data is not described by their record (their own Read and Write operations) can be
// walked only when the running program registers them with a Skip operation, as Core does for
// CString and IDENT.
#include "core/memory/StaticStackArray.h"
#include "core/meta/MetaStreams.h"

namespace QuennelEngine {

struct MetaSummaryFile {
  CString msf_strName;
  unsigned long msf_ulFlags;
};

struct MetaSummaryType {
  CString mst_strName;
  long mst_iFormat;   // -1 for an external type (only its name is stored)
  long mst_iKind;     // DataTypeType, -1 for an external type
  bool mst_bKnown;    // the running program registers a type of that name (or alias)
  long mst_ctObjects; // internal and edit objects of the type
};

// What a file holds, as mdConvertMetaFile_t found it.
struct CORE_API CMetaFileSummary {
  int mfs_iForm = 0; // 1 binary, 2 text
  long mfs_iVersion = -1;
  CString mfs_strProgramVersion;
  long mfs_iEditDataStripped = 0;
  long mfs_ctIdents = 0;
  long mfs_ctObjects = 0;
  long mfs_ctExternalObjects = 0;
  long mfs_ctInternalObjects = 0;
  long mfs_ctEditObjects = 0;
  CStaticStackArray<MetaSummaryFile> mfs_aFiles;
  CStaticStackArray<MetaSummaryType> mfs_aTypes; // by type index
};

// Reads the file at the stream's position whole (either form, format versions 1 to 8, edit
// objects and footer included) and checks every count and index against the file. With a
// writer, writes the same content through it (the program version of the file is kept); with a
// summary, fills it. Throws the reader's errors (with the offset or the line).
CORE_API void mdConvertMetaFile_t(CStream &strmIn, CMetaWriter *pmwOut, CMetaFileSummary *pmfs);

} // namespace QuennelEngine
