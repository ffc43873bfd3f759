#pragma once
// The kind classes of descriptors and their records: members, value-field entries, hints,
// function arguments, data instances. A descriptor owns copies of the record arrays it was built
// from, so descriptors made from temporary data (a file's type table) need no other owner.
#include "core/meta/DataType.h"

namespace QuennelEngine {

// A free-form editor annotation: a name and a value (the value may be empty).
class CORE_API CDataType_Hint {
public:
  CDataType_Hint(void) {}
  CDataType_Hint(const char *strName, const char *strValue);
  CString dth_strName;
  CString dth_strValue;
};

// One value of an enumeration: its number, the name in code ("PLA_PC") and the shown name ("PC").
class CORE_API CDataType_ValueFieldEntry {
public:
  CDataType_ValueFieldEntry(void) : vfe_slValue(0) {}
  CDataType_ValueFieldEntry(long slValue, const char *strCodeName, const char *strName);
  long vfe_slValue;
  CString vfe_strCodeName;
  CString vfe_strName;
};

// A member of a structure. The code name identifies it in files; the alias, when valid, is
// written instead under md_bSaveAliases, so that a member can be renamed in code.
class CORE_API CDataType_StructMember {
public:
  CDataType_StructMember(void);
  // The four names are interned; null text gives the invalid identifier.
  CDataType_StructMember(CTypeID tidType, const char *strCodeName, const char *strEditorName,
                         const char *strAlias, const char *strGroupName, long slOffset,
                         unsigned long ulFlags, signed char sbValue, long ctHints,
                         const CDataType_Hint *adth, unsigned char ubValue);
  CDataType_StructMember(const CDataType_StructMember &sm);
  CDataType_StructMember &operator=(const CDataType_StructMember &sm);
  ~CDataType_StructMember(void);

  const char *GetEditorName(void) const { return sm_idEditorName; }
  const char *GetCodeName(void) const { return sm_idCodeName; }
  const char *GetAlias(void) const { return sm_idAlias; }
  const char *GetGroupName(void) const { return sm_idGroupName; }

  CTypeID sm_tidType;
  IDENT sm_idEditorName;
  IDENT sm_idCodeName;
  IDENT sm_idAlias;
  IDENT sm_idGroupName;
  long sm_slOffset;
  unsigned long sm_ulFlags; // SMF_...
  signed char sm_sbValue;   // stored and copied, not interpreted here
  unsigned char sm_ubValue;
  long sm_ctHints;
  CDataType_Hint *sm_adthHints;
  CDataType_StructMember *sm_psmCounterpart; // set only while a file is loaded
};

// Member flags; the same bits travel in a CMetaFrame.
enum : unsigned long {
  SMF_KEEPNULLS = 0x2,
  SMF_EDIT = 0x100,
  SMF_NOCOPY = 0x800,
  SMF_NOSAVE = 0x1000,
  SMF_OWNED = 0x2000,
  SMF_NOCLIPBOARD = 0x8000,
  SMF_DELAYLOAD = 0x20000,
  SMF_LOADONDEMAND = 0x40000,
};

// An argument of a function descriptor; the word and the byte are stored, not interpreted.
class CORE_API CDataType_FunctionArgument {
public:
  CDataType_FunctionArgument(void) : fa_ulValue(0), fa_ubValue(0) {}
  CDataType_FunctionArgument(CTypeID tidType, const char *strName, unsigned long ulValue,
                             unsigned char ubValue);
  CTypeID fa_tidType;
  CString fa_strName;
  unsigned long fa_ulValue;
  unsigned char fa_ubValue;
};

// A label of a script state: stored, not interpreted.
class CORE_API CDataType_ScriptLabel {
public:
  CDataType_ScriptLabel(void) : sl_slValue(0) {}
  CDataType_ScriptLabel(const char *strName, long slValue);
  CString sl_strName;
  long sl_slValue;
};

// A named data record that types refer to (registered with mdRegisterData).
class CORE_API CDataInstance {
public:
  CDataInstance(void);
  CDataInstance(const char *strEditorName, CTypeID tidType, void *pvData);
  IDENT di_idEditorName;
  CTypeID di_tidType;
  void *di_pvData;
};

// ---- The kinds ----

class CORE_API CDataType_Simple : public CDataType {
public:
  CDataType_Simple(void);
  CDataType_Simple(const char *strName, long iFormat, const CDataTypeFunctions *pdtf, long slSize,
                   long slByteOrderUnit, unsigned long ulFlags);
  CDataType *mdGetDataType(void) const override;
  static CDataType *md_pdtDataType;
  long dts_slByteOrderUnit; // width of the byte-swap unit
};

enum ValueFieldType : long {
  VFT_NONE = 0,
  VFT_ENUM = 1, // the only value the library interprets (value fields built from files)
};

class CORE_API CDataType_ValueField : public CDataType {
public:
  CDataType_ValueField(void);
  CDataType_ValueField(const char *strName, long iFormat, const CDataTypeFunctions *pdtf,
                       ValueFieldType vft, long slSize, long ctEntries,
                       const CDataType_ValueFieldEntry *avfe, unsigned long ulFlags);
  CDataType_ValueField(const CDataType_ValueField &dt);
  CDataType_ValueField &operator=(const CDataType_ValueField &dt);
  ~CDataType_ValueField(void) override;
  CDataType *mdGetDataType(void) const override;
  static CDataType *md_pdtDataType;
  // The first entry with the value, or null.
  const CDataType_ValueFieldEntry *FindValue(long slValue) const;
  ValueFieldType dtvf_vftType;
  long dtvf_ctEntries;
  CDataType_ValueFieldEntry *dtvf_avfeEntries;
};

// The kinds with one target: pointer, reference, smart pointer, handle, typedef.
class CORE_API CDataType_Targeted : public CDataType {
public:
  CDataType_Targeted(DataTypeType dtt);
  CDataType_Targeted(DataTypeType dtt, const char *strName, long iFormat, CTypeID tidTarget,
                     unsigned long ulFlags);
  CTypeID dtt_tidTarget;
};

#define MD_TARGETED_KIND(name, kind)                                                               \
  class CORE_API name : public CDataType_Targeted {                                                \
  public:                                                                                          \
    name(void) : CDataType_Targeted(kind) {}                                                       \
    name(const char *strName, long iFormat, CTypeID tidTarget, unsigned long ulFlags)              \
        : CDataType_Targeted(kind, strName, iFormat, tidTarget, ulFlags)                           \
    {                                                                                              \
    }                                                                                              \
    CDataType *mdGetDataType(void) const override;                                                 \
    static CDataType *md_pdtDataType;                                                              \
  }
MD_TARGETED_KIND(CDataType_Pointer, DTT_POINTER);
MD_TARGETED_KIND(CDataType_Reference, DTT_REFERENCE);
MD_TARGETED_KIND(CDataType_SmartPointer, DTT_SMARTPOINTER);
MD_TARGETED_KIND(CDataType_Handle, DTT_HANDLE);
MD_TARGETED_KIND(CDataType_Typedef, DTT_TYPEDEF);
#undef MD_TARGETED_KIND

class CORE_API CDataType_Array : public CDataType {
public:
  CDataType_Array(void);
  CDataType_Array(const char *strName, long iFormat, CTypeID tidElement, long ctDimensions,
                  const long *actDimensions, unsigned long ulFlags, long slSize);
  CDataType_Array(const CDataType_Array &dt);
  CDataType_Array &operator=(const CDataType_Array &dt);
  ~CDataType_Array(void) override;
  CDataType *mdGetDataType(void) const override;
  static CDataType *md_pdtDataType;
  // All elements: the product of the dimensions.
  long GetElementCount(void) const;
  CTypeID dta_tidElement;
  long dta_ctDimensions;
  long *dta_actDimensions;
};

// The container kinds: CStaticArray (8 bytes), CStaticStackArray and CDynamicContainer (16).
class CORE_API CDataType_Container : public CDataType {
public:
  CDataType_Container(DataTypeType dtt);
  CDataType_Container(DataTypeType dtt, const char *strName, long iFormat, CTypeID tidElement,
                      unsigned long ulFlags, unsigned long ulExtra);
  CTypeID dtc_tidElement;
  unsigned long dtc_ulExtra; // stored, not interpreted
};

#define MD_CONTAINER_KIND(name, kind)                                                              \
  class CORE_API name : public CDataType_Container {                                               \
  public:                                                                                          \
    name(void) : CDataType_Container(kind) {}                                                      \
    name(const char *strName, long iFormat, CTypeID tidElement, unsigned long ulFlags,             \
         unsigned long ulExtra = 0)                                                                \
        : CDataType_Container(kind, strName, iFormat, tidElement, ulFlags, ulExtra)                \
    {                                                                                              \
    }                                                                                              \
    CDataType *mdGetDataType(void) const override;                                                 \
    static CDataType *md_pdtDataType;                                                              \
  }
MD_CONTAINER_KIND(CDataType_CStaticArray, DTT_STATICARRAY);
MD_CONTAINER_KIND(CDataType_CStaticStackArray, DTT_STATICSTACKARRAY);
MD_CONTAINER_KIND(CDataType_CDynamicContainer, DTT_DYNAMICCONTAINER);
#undef MD_CONTAINER_KIND

// Class flags of a structure.
enum : unsigned long {
  DTCF_HASGETDATATYPE = 0x8, // the class declares the virtual mdGetDataType()
};

class CORE_API CDataType_Struct : public CDataType {
public:
  CDataType_Struct(void);
  CDataType_Struct(const char *strName, long iFormat, const CDataTypeFunctions *pdtf,
                   CTypeID tidBase, long ctMembers, const CDataType_StructMember *asm_,
                   long ctOtherTypes, const CTypeID *atidOtherTypes, unsigned long ulFlags,
                   unsigned long ulClassFlags, long slSize, const char *strEditorName,
                   const char *strAlias, long ctHints, const CDataType_Hint *adth,
                   CDataInstance **apdiInstances);
  CDataType_Struct(const CDataType_Struct &dt);
  CDataType_Struct &operator=(const CDataType_Struct &dt);
  ~CDataType_Struct(void) override;
  CDataType *mdGetDataType(void) const override;
  static CDataType *md_pdtDataType;
  // The member with that code name (this structure only, not its bases), or null.
  const CDataType_StructMember *FindMember(IDENT idCodeName) const;

  CTypeID dtst_tidBase; // empty when there is none
  IDENT dtst_idEditorName;
  IDENT dtst_idAlias;
  long dtst_ctMembers;
  CDataType_StructMember *dtst_asmMembers;
  long dtst_ctOtherTypes;
  CTypeID *dtst_atidOtherTypes;
  unsigned long dtst_ulClassFlags; // DTCF_...
  // The registry's generation at which no registered class derived from this one (0: not known;
  // a copy starts at 0).
  unsigned long dtst_ulNoDerivedAt;
  long dtst_ctHints;
  CDataType_Hint *dtst_adthHints;
  CDataInstance **dtst_apdiInstances; // not owned
};

class CORE_API CDataType_Function : public CDataType {
public:
  CDataType_Function(void);
  CDataType_Function(CTypeID tidFirst, const char *strName, CTypeID tidSecond, long ctArguments,
                     const CDataType_FunctionArgument *afa, unsigned long ulFlags);
  CDataType_Function(const CDataType_Function &dt);
  CDataType_Function &operator=(const CDataType_Function &dt);
  ~CDataType_Function(void) override;
  CDataType *mdGetDataType(void) const override;
  static CDataType *md_pdtDataType;
  CTypeID dtfn_tidFirst; // may be empty
  CTypeID dtfn_tidSecond;
  long dtfn_ctArguments;
  CDataType_FunctionArgument *dtfn_afaArguments;
  long dtfn_slReserved; // -1
};

class CORE_API CDataType_Void : public CDataType {
public:
  explicit CDataType_Void(unsigned long ulFlags = 0);
  CDataType *mdGetDataType(void) const override;
  static CDataType *md_pdtDataType;
};

class CORE_API CDataType_Unknown : public CDataType {
public:
  explicit CDataType_Unknown(unsigned long ulFlags = 0);
  CDataType *mdGetDataType(void) const override;
  static CDataType *md_pdtDataType;
};

class CORE_API CDataType_ScriptState : public CDataType {
public:
  CDataType_ScriptState(void);
  CDataType_ScriptState(const char *strName, long iFormat, CTypeID tidOwner, CTypeID tidBaseState,
                        long ctTypes, const CTypeID *atid, long ctLabels,
                        const CDataType_ScriptLabel *asl, long slSize, unsigned long ulFlags,
                        CDataInstance **apdiInstances);
  CDataType_ScriptState(const CDataType_ScriptState &dt);
  CDataType_ScriptState &operator=(const CDataType_ScriptState &dt);
  ~CDataType_ScriptState(void) override;
  CDataType *mdGetDataType(void) const override;
  static CDataType *md_pdtDataType;
  CTypeID dtss_tidOwner;
  CTypeID dtss_tidBaseState; // may be empty
  long dtss_ctTypes;
  CTypeID *dtss_atidTypes;
  long dtss_ctLabels;
  CDataType_ScriptLabel *dtss_aslLabels;
  CDataInstance **dtss_apdiInstances; // not owned
};

class CORE_API CDataType_ScriptLatent : public CDataType {
public:
  CDataType_ScriptLatent(void);
  CDataType_ScriptLatent(const char *strName, long iFormat, CTypeID tid, long ctArguments,
                         const CDataType_FunctionArgument *afa, unsigned long ulFlags,
                         CDataInstance *pdi0, CDataInstance *pdi1, CDataInstance *pdi2);
  CDataType_ScriptLatent(const CDataType_ScriptLatent &dt);
  CDataType_ScriptLatent &operator=(const CDataType_ScriptLatent &dt);
  ~CDataType_ScriptLatent(void) override;
  CDataType *mdGetDataType(void) const override;
  static CDataType *md_pdtDataType;
  CTypeID dtsl_tid;
  long dtsl_ctArguments;
  CDataType_FunctionArgument *dtsl_afaArguments;
  CDataInstance *dtsl_apdi[3]; // not owned
};

// Kind-checked views: null when `pdt` is null or of another kind.
CORE_API CDataType_Struct *mdAsStruct(CDataType *pdt);
CORE_API CDataType_Targeted *mdAsTargeted(CDataType *pdt);
CORE_API CDataType_Container *mdAsContainer(CDataType *pdt);
CORE_API CDataType_ValueField *mdAsValueField(CDataType *pdt);
CORE_API CDataType_Array *mdAsArray(CDataType *pdt);

// Hints of a member or a structure: whether one of that name exists (names compared without
// regard to case), and its value (the empty text when there is none).
CORE_API int mdHasHint(const CDataType_StructMember *psm, const char *strHint);
CORE_API int mdHasHint(const CDataType_Struct *pdt, const char *strHint);
CORE_API CString mdGetHint(const CDataType_StructMember *psm, const char *strHint);
CORE_API CString mdGetHint(const CDataType_Struct *pdt, const char *strHint);

// Enumerations by name (under the meta mutex): the name of the first entry with `slValue`, or
// the empty text; and the value of the entry named exactly `strName` (0 when there is none, and
// `slValue` is left alone).
CORE_API CString mdGetEnumName(IDENT idType, long slValue);
CORE_API int mdGetEnumValue(IDENT idType, const CString &strName, long &slValue);

// Derivation. mdIsAbstract: the type has DTF_ABSTRACT. mdIsDerivedFrom: `pdt` is the structure
// `pdtBase` or derives from it (bases resolve by name on the way); counterpart links are followed
// only on descriptors built from a file. mdGetCommonDataType: the nearest base of `pdtA` (itself
// included) from which `pdtB` derives; null unless both are structures.
CORE_API int mdIsAbstract(const CDataType *pdt);
CORE_API int mdIsDerivedFrom(CDataType *pdt, CDataType *pdtBase);
CORE_API CDataType *mdGetCommonDataType(CDataType *pdtA, CDataType *pdtB);

// The layout checksum of a type (computed once, then stored): a CRC-32 over the name and the
// descriptive fields of the type and, recursively, the checksums of what it holds by value
// (members, base, array elements, the aliased type). Pointer-like kinds and containers fold in
// their target's name instead: every cycle of types runs through them, so the walk ends and the
// result does not depend on which type of a cycle was asked first.
CORE_API unsigned long mdGetLayoutChecksum(CDataType *pdt);

} // namespace QuennelEngine
