#pragma once
// How a program describes its classes, enums and typedefs to the metadata (docs/meta.md shows it
// whole). In the class, one macro:
//
//   class CMesh : public CObject {
//     MD_DECLARE_CLASS(CMesh)      // MD_DECLARE_STRUCT for a structure without virtual functions
//     ...
//   };
//
// and in one .cpp file, the block that lists the members (their types are deduced):
//
//   MD_CLASS_BEGIN(CMesh, CObject, 1)             // class, base (void for none), format number
//     MD_MEMBER(me_strName, 0, "Name")           // member, flags, editor name
//     MD_MEMBER_EX(me_aVertices, SMF_OWNED, "Vertices", "me_avx", "Geometry")  // + alias, group
//     MD_MEMBER_HINT("ReadOnly", "")
//     MD_MEMBER_AS(me_iLod, "INDEX", 0, "Level of detail")  // type given by name (typedefs)
//   MD_CLASS_END()
//
// The class's descriptor registers when its module loads and unregisters when it unloads. Member
// types become descriptors by their C++ types: the basic numbers, CString, IDENT, T*, Ptr<T>,
// Handle<T>, CStaticArray<T>, CStaticStackArray<T>, CDynamicContainer<T>, T[N], declared enums
// and other declared classes. Compound types are made once per process under the meta mutex and
// named as mdGetTypeDescription describes them ("CMesh*", "CStaticArray<FLOAT>", "Ptr<CMesh>",
// "Handle<CMesh>", "FLOAT[4]"); these names are stored in files and never change.
#include "core/memory/DynamicContainer.h"
#include "core/memory/Memory.h"
#include "core/memory/StaticArray.h"
#include "core/memory/StaticStackArray.h"
#include "core/meta/BuiltinTypes.h"
#include "core/meta/MetaPointer.h"
#include "core/meta/TypeRegistry.h"

#include <new>
#include <stddef.h>
#include <stdint.h>
#include <type_traits>

namespace QuennelEngine {

template <class T> class Ptr;
template <class T> class Handle;

// The descriptor of a compound type, registered on first need: `dtt` is DTT_POINTER,
// DTT_REFERENCE, DTT_SMARTPOINTER, DTT_HANDLE, one of the three containers, or DTT_ARRAY (with
// its dimensions and the size of the whole array).
CORE_API CDataType *mdObtainCompoundType(DataTypeType dtt, CTypeID tidElement,
                                         long ctDimensions = 0, const long *actDimensions = nullptr,
                                         long slSize = 0);
// The name a compound type of `dtt` over `idElement` gets.
CORE_API CString mdCompoundTypeName(DataTypeType dtt, const char *strElement, long ctDimensions = 0,
                                    const long *actDimensions = nullptr);
// A typedef descriptor, registered; freed with mdDeleteDeclaredType.
CORE_API CDataType *mdDeclareTypedef(const char *strName, const char *strAliased);
// Unregisters and frees a descriptor that one of the declarations made.
CORE_API void mdDeleteDeclaredType(CDataType *pdt);

// Collects a structure's description and registers it.
class CORE_API CMetaClassDecl {
public:
  CMetaClassDecl(const char *strName, long iFormat, long slSize, CTypeID tidBase,
                 unsigned long ulFlags, unsigned long ulClassFlags, const CDataTypeFunctions &dtf);
  ~CMetaClassDecl(void);
  CMetaClassDecl(const CMetaClassDecl &) = delete;
  CMetaClassDecl &operator=(const CMetaClassDecl &) = delete;

  // A member of the class being described; `pm` must name the class's own member.
  template <class S, class C, class M>
  void Member(M C::*pm, const char *strCodeName, unsigned long ulFlags, const char *strEditorName,
              const char *strAlias = nullptr, const char *strGroup = nullptr);
  template <class S, class C, class M>
  void MemberAs(M C::*pm, const char *strType, const char *strCodeName, unsigned long ulFlags,
                const char *strEditorName, const char *strAlias = nullptr,
                const char *strGroup = nullptr);
  void AddMember(CTypeID tid, const char *strCodeName, long slOffset, unsigned long ulFlags,
                 const char *strEditorName, const char *strAlias, const char *strGroup);
  // A hint on the member added last.
  void MemberHint(const char *strName, const char *strValue);
  // A hint, the editor name or the alias of the class.
  void Hint(const char *strName, const char *strValue);
  void EditorName(const char *strName);
  void Alias(const char *strAlias);
  // Type flags (DTF_EDIT...) added to the class's.
  void Flags(unsigned long ulFlags);
  // An operation of the class (a selector of CDataTypeFunctions and the function).
  void Operation(unsigned long ulSelector, MetaFunction pfn);
  // A further type reference of the class.
  void OtherType(const char *strType);

  // Makes the descriptor and registers it (the caller frees it with mdDeleteDeclaredType).
  CDataType *Register(void);

private:
  struct Data;
  Data *mcd_pData;
};

// Collects an enumeration's values and registers it.
class CORE_API CMetaEnumDecl {
public:
  CMetaEnumDecl(const char *strName, long iFormat, long slSize);
  ~CMetaEnumDecl(void);
  CMetaEnumDecl(const CMetaEnumDecl &) = delete;
  CMetaEnumDecl &operator=(const CMetaEnumDecl &) = delete;
  // One value: its number, its name in code ("PLA_PC") and its shown name ("PC").
  void Value(long slValue, const char *strCodeName, const char *strName);
  CDataType *Register(void);

private:
  struct Data;
  Data *med_pData;
};

// Checks that a user's layout matches what the checked-in record says (the format discipline):
// for every type in `strList` (lines "name format checksum", '#' starts a comment), a type that
// is registered under the name with the same format but another layout checksum is reported
// with conErrorF. Returns the number of such types; unknown names are not reported.
CORE_API long mdCheckFormatDiscipline(const char *strList);
// The line mdCheckFormatDiscipline reads for a type: "name format checksum".
CORE_API CString mdGetFormatRecord(CDataType *pdt);

namespace MetaDeclare {

template <class T> struct AlwaysFalse : std::false_type {
};

// The type reference of a C++ type.
template <class T, class Enable = void> struct TypeOf {
  static_assert(AlwaysFalse<T>::value,
                "This member type has no descriptor: declare the class with MD_DECLARE_CLASS or "
                "MD_DECLARE_STRUCT, the enum with MD_DECLARE_ENUM, or name the type with "
                "MD_MEMBER_AS");
};

#define MD_BASIC_TYPE(T, name)                                                                     \
  template <> struct TypeOf<T> {                                                                   \
    static CTypeID Get(void) { return CTypeID(name); }                                             \
  }
MD_BASIC_TYPE(char, "CHAR");
MD_BASIC_TYPE(unsigned char, "UBYTE");
MD_BASIC_TYPE(signed char, "SBYTE");
MD_BASIC_TYPE(unsigned short, "UWORD");
MD_BASIC_TYPE(short, "SWORD");
MD_BASIC_TYPE(unsigned long, "ULONG");
MD_BASIC_TYPE(unsigned int, "ULONG");
MD_BASIC_TYPE(long, "SLONG");
MD_BASIC_TYPE(int, "SLONG");
MD_BASIC_TYPE(float, "FLOAT");
MD_BASIC_TYPE(double, "DOUBLE");
MD_BASIC_TYPE(unsigned long long, "UQUAD");
MD_BASIC_TYPE(long long, "SQUAD");
MD_BASIC_TYPE(CString, "CString");
MD_BASIC_TYPE(IDENT, "IDENT");
MD_BASIC_TYPE(void, "void");
#undef MD_BASIC_TYPE

// Declared classes and enums have a name function, found through their own namespace.
template <class T, class = void> struct IsDeclared : std::false_type {
};
template <class T>
struct IsDeclared<T, std::void_t<decltype(mdTypeNameOf((T *)nullptr))>> : std::true_type {
};
template <class T> struct TypeOf<T, std::enable_if_t<IsDeclared<T>::value>> {
  static CTypeID Get(void) { return CTypeID(mdTypeNameOf((T *)nullptr)); }
};

// Compound types are looked up once per use site and kept: their descriptors live as long as Core.
template <DataTypeType dtt, class E> inline CTypeID Compound(void)
{
  static CDataType *_pdt = mdObtainCompoundType(dtt, TypeOf<std::remove_cv_t<E>>::Get());
  return CTypeID(_pdt);
}
template <class T> struct TypeOf<T *> {
  static CTypeID Get(void) { return Compound<DTT_POINTER, T>(); }
};
template <class T> struct TypeOf<Ptr<T>> {
  static CTypeID Get(void) { return Compound<DTT_SMARTPOINTER, T>(); }
};
template <class T> struct TypeOf<Handle<T>> {
  static CTypeID Get(void) { return Compound<DTT_HANDLE, T>(); }
};
template <class T> struct TypeOf<CStaticArray<T>> {
  static CTypeID Get(void) { return Compound<DTT_STATICARRAY, T>(); }
};
template <class T> struct TypeOf<CStaticStackArray<T>> {
  static CTypeID Get(void) { return Compound<DTT_STATICSTACKARRAY, T>(); }
};
template <class T> struct TypeOf<CDynamicContainer<T>> {
  static CTypeID Get(void) { return Compound<DTT_DYNAMICCONTAINER, T>(); }
};

// T[N][M]... is one array type of the innermost element with the dimensions in order.
template <class T> struct ArrayShape {
  typedef T Element;
  static void Dimensions(long *) {}
  enum { COUNT = 0 };
};
template <class T, size_t N> struct ArrayShape<T[N]> {
  typedef typename ArrayShape<T>::Element Element;
  enum { COUNT = 1 + ArrayShape<T>::COUNT };
  static void Dimensions(long *act)
  {
    act[0] = (long)N;
    ArrayShape<T>::Dimensions(act + 1);
  }
};
template <class T, size_t N> struct TypeOf<T[N]> {
  static CTypeID Get(void)
  {
    static CDataType *_pdt = Make();
    return CTypeID(_pdt);
  }
  static CDataType *Make(void)
  {
    typedef ArrayShape<T[N]> Shape;
    long act[Shape::COUNT];
    Shape::Dimensions(act);
    return mdObtainCompoundType(DTT_ARRAY, TypeOf<std::remove_cv_t<typename Shape::Element>>::Get(),
                                Shape::COUNT, act, (long)sizeof(T[N]));
  }
};

// The class declares mdGetDataType() itself (not only inherits it).
template <class T, class = void> struct DeclaresGetDataType : std::false_type {
};
template <class T>
struct DeclaresGetDataType<T, std::void_t<decltype(&T::mdGetDataType)>>
    : std::is_same<decltype(&T::mdGetDataType), CDataType *(T::*)(void) const> {
};

template <class Base> inline CTypeID BaseOf(void)
{
  return TypeOf<Base>::Get();
}
template <> inline CTypeID BaseOf<void>(void)
{
  return CTypeID();
}

// The generated operations: objects are made and freed through the tracked allocation entry
// points with the class's descriptor.
template <class T> void NewOp(CMetaPointer &mp, CDataType *pdt, long ctCount)
{
  if (ctCount < 0) {
    void *pv = memNewRC_internal(sizeof(T), pdt);
    try {
      ::new (pv) T();
    } catch (...) {
      memPreDeleteRC_internal(pv, pdt);
      memDelete_internal(pv);
      throw;
    }
    mp = CMetaPointer(pdt, pv);
    return;
  }
  T *pt = (T *)memNewArrayRC_internal(memElementBytes(ctCount, sizeof(T)), ctCount, pdt);
  long i = 0;
  try {
    for (; i < ctCount; i++) ::new (&pt[i]) T();
  } catch (...) {
    while (i > 0) pt[--i].~T();
    memPreDeleteArrayRC_internal(pt, pdt);
    memDeleteArray_internal(pt);
    throw;
  }
  mp = CMetaPointer(pdt, pt);
}
template <class T> void DeleteOp(CDataType *pdt, void *pv, long ctCount)
{
  if (ctCount < 0) {
    ((T *)pv)->~T();
    memPreDeleteRC_internal(pv, pdt);
    memDelete_internal(pv);
    return;
  }
  // The array header holds the element count with bit 31 set.
  const long ct = (long)(((unsigned long *)pv)[-1] & 0x7FFFFFFFUL);
  for (long i = ct - 1; i >= 0; i--) ((T *)pv)[i].~T();
  memPreDeleteArrayRC_internal(pv, pdt);
  memDeleteArray_internal(pv);
}
template <class T> void ConstructOp(CDataType *, void *pv)
{
  ::new (pv) T();
}
template <class T> void DestructOp(CDataType *, void *pv)
{
  ((T *)pv)->~T();
}
template <class T>
void CopyAssignOp(CDataType *, void *pvDst, CDataType *, const void *pvSrc, unsigned long)
{
  *(T *)pvDst = *(const T *)pvSrc;
}

template <class T> CDataTypeFunctions Operations(void)
{
  CDataTypeFunctions dtf;
  if constexpr (!std::is_abstract<T>::value && std::is_default_constructible<T>::value) {
    dtf.Set(CDataTypeFunctions::DTFS_NEW, mdFunction(&NewOp<T>));
    dtf.Set(CDataTypeFunctions::DTFS_CONSTRUCT, mdFunction(&ConstructOp<T>));
  }
  if constexpr (std::is_destructible<T>::value) {
    dtf.Set(CDataTypeFunctions::DTFS_DELETE, mdFunction(&DeleteOp<T>));
    dtf.Set(CDataTypeFunctions::DTFS_DESTRUCT, mdFunction(&DestructOp<T>));
  }
  return dtf;
}

// Frees a block of a class's operator new.
inline void DeleteTracked(void *pv, CDataType *pdt)
{
  if (pv == nullptr) return;
  memPreDeleteRC_internal(pv, pdt);
  memDelete_internal(pv);
}

template <class S, class C, class M> long OffsetOf(M C::*pm)
{
  static_assert(std::is_same<S, C>::value, "list only the members the class itself declares");
  // An address away from 0, so no null pointer is formed; the member's place is what counts.
  S *ps = reinterpret_cast<S *>((uintptr_t)4096);
  return (long)(reinterpret_cast<char *>(&(ps->*pm)) - reinterpret_cast<char *>(ps));
}

// Registers a class's descriptor while its module is loaded.
template <class T, class Base> class CClassRegistrar {
public:
  CClassRegistrar(const char *strName, long iFormat)
  {
    static_assert(std::is_void<Base>::value || std::is_base_of<Base, T>::value,
                  "the base named in MD_CLASS_BEGIN is not a base of the class");
    CMetaClassDecl mcd(strName, iFormat, (long)sizeof(T), BaseOf<Base>(),
                       std::is_abstract<T>::value ? (unsigned long)DTF_ABSTRACT : 0UL,
                       DeclaresGetDataType<T>::value ? (unsigned long)DTCF_HASGETDATATYPE : 0UL,
                       Operations<T>());
    mdDescribeType((T *)nullptr, mcd);
    cr_pdt = mcd.Register();
    T::md_pdtDataType = cr_pdt;
  }
  ~CClassRegistrar()
  {
    T::md_pdtDataType = nullptr;
    mdDeleteDeclaredType(cr_pdt);
  }
  CClassRegistrar(const CClassRegistrar &) = delete;
  CClassRegistrar &operator=(const CClassRegistrar &) = delete;

private:
  CDataType *cr_pdt;
};

// Registers an enumeration's or a typedef's descriptor while its module is loaded.
class CEnumRegistrar {
public:
  CEnumRegistrar(const char *strName, long iFormat, long slSize, void (*pDescribe)(CMetaEnumDecl &))
  {
    CMetaEnumDecl med(strName, iFormat, slSize);
    pDescribe(med);
    er_pdt = med.Register();
  }
  ~CEnumRegistrar() { mdDeleteDeclaredType(er_pdt); }
  CEnumRegistrar(const CEnumRegistrar &) = delete;
  CEnumRegistrar &operator=(const CEnumRegistrar &) = delete;

private:
  CDataType *er_pdt;
};

class CTypedefRegistrar {
public:
  CTypedefRegistrar(const char *strName, const char *strAliased)
      : tr_pdt(mdDeclareTypedef(strName, strAliased))
  {
  }
  ~CTypedefRegistrar() { mdDeleteDeclaredType(tr_pdt); }
  CTypedefRegistrar(const CTypedefRegistrar &) = delete;
  CTypedefRegistrar &operator=(const CTypedefRegistrar &) = delete;

private:
  CDataType *tr_pdt;
};

} // namespace MetaDeclare

template <class S, class C, class M>
void CMetaClassDecl::Member(M C::*pm, const char *strCodeName, unsigned long ulFlags,
                            const char *strEditorName, const char *strAlias, const char *strGroup)
{
  AddMember(MetaDeclare::TypeOf<std::remove_cv_t<M>>::Get(), strCodeName,
            MetaDeclare::OffsetOf<S>(pm), ulFlags, strEditorName, strAlias, strGroup);
}

template <class S, class C, class M>
void CMetaClassDecl::MemberAs(M C::*pm, const char *strType, const char *strCodeName,
                              unsigned long ulFlags, const char *strEditorName,
                              const char *strAlias, const char *strGroup)
{
  AddMember(CTypeID(strType), strCodeName, MetaDeclare::OffsetOf<S>(pm), ulFlags, strEditorName,
            strAlias, strGroup);
}

} // namespace QuennelEngine

// ---- In the class ----

// The common part: the descriptor, the type's name, the description block's access.
#define MD_DECLARE_COMMON(T)                                                                       \
public:                                                                                            \
  static ::QuennelEngine::CDataType *md_pdtDataType;                                               \
  friend const char *mdTypeNameOf(T *)                                                             \
  {                                                                                                \
    return #T;                                                                                     \
  }                                                                                                \
  friend void mdDescribeType(T *, ::QuennelEngine::CMetaClassDecl &);

// A reflected class (derived from CObject): the virtual mdGetDataType(), and new and delete
// through the tracked entry points with the class's descriptor. Leaves the access public.
#define MD_DECLARE_CLASS(T)                                                                        \
  MD_DECLARE_COMMON(T)                                                                             \
  virtual ::QuennelEngine::CDataType *mdGetDataType(void) const                                    \
  {                                                                                                \
    return md_pdtDataType;                                                                         \
  }                                                                                                \
  static void *operator new(size_t sl)                                                             \
  {                                                                                                \
    return ::QuennelEngine::memNewRC_internal(sl, md_pdtDataType);                                 \
  }                                                                                                \
  static void *operator new(size_t, void *pv)                                                      \
  {                                                                                                \
    return pv;                                                                                     \
  }                                                                                                \
  static void operator delete(void *pv)                                                            \
  {                                                                                                \
    ::QuennelEngine::MetaDeclare::DeleteTracked(pv, md_pdtDataType);                               \
  }                                                                                                \
  static void operator delete(void *, void *)                                                      \
  {                                                                                                \
  }                                                                                                \
  static void *operator new[](size_t sl)                                                           \
  {                                                                                                \
    return ::QuennelEngine::memNewArray_internal(sl);                                              \
  }                                                                                                \
  static void operator delete[](void *pv)                                                          \
  {                                                                                                \
    ::QuennelEngine::memDeleteArray_internal(pv);                                                  \
  }

// A reflected structure without virtual functions: it keeps its plain layout.
#define MD_DECLARE_STRUCT(T) MD_DECLARE_COMMON(T)

// An enumeration (after its definition, in the same namespace).
#define MD_DECLARE_ENUM(E)                                                                         \
  inline const char *mdTypeNameOf(E *)                                                             \
  {                                                                                                \
    return #E;                                                                                     \
  }

// ---- In one .cpp file ----

#define MD_CLASS_BEGIN(T, Base, iFormat)                                                           \
  ::QuennelEngine::CDataType *T::md_pdtDataType = nullptr;                                         \
  void mdDescribeType(T *, ::QuennelEngine::CMetaClassDecl &md_decl);                              \
  static ::QuennelEngine::MetaDeclare::CClassRegistrar<T, Base> _md_cr##T(#T, iFormat);            \
  void mdDescribeType(T *, ::QuennelEngine::CMetaClassDecl &md_decl)                               \
  {                                                                                                \
    typedef T md_Self;                                                                             \
    (void)md_decl;                                                                                 \
    (void)(md_Self *)nullptr;
#define MD_MEMBER(member, ulFlags, strEditorName)                                                  \
  md_decl.Member<md_Self>(&md_Self::member, #member, ulFlags, strEditorName);
#define MD_MEMBER_EX(member, ulFlags, strEditorName, strAlias, strGroup)                           \
  md_decl.Member<md_Self>(&md_Self::member, #member, ulFlags, strEditorName, strAlias, strGroup);
#define MD_MEMBER_AS(member, strType, ulFlags, strEditorName)                                      \
  md_decl.MemberAs<md_Self>(&md_Self::member, strType, #member, ulFlags, strEditorName);
#define MD_MEMBER_HINT(strName, strValue) md_decl.MemberHint(strName, strValue);
#define MD_CLASS_HINT(strName, strValue) md_decl.Hint(strName, strValue);
#define MD_CLASS_EDITOR_NAME(strName) md_decl.EditorName(strName);
#define MD_CLASS_ALIAS(strAlias) md_decl.Alias(strAlias);
#define MD_CLASS_FLAGS(ulFlags) md_decl.Flags(ulFlags);
#define MD_CLASS_OPERATION(ulSelector, pfn)                                                        \
  md_decl.Operation(ulSelector, ::QuennelEngine::mdFunction(pfn));
// Reading, writing and skipping in metadata files come together or not at all.
#define MD_CLASS_SERIALIZE(pfnRead, pfnWrite, pfnSkip)                                             \
  md_decl.Operation(0x8000, ::QuennelEngine::mdFunction(pfnRead));                                 \
  md_decl.Operation(0x20000, ::QuennelEngine::mdFunction(pfnWrite));                               \
  md_decl.Operation(0x10000, ::QuennelEngine::mdFunction(pfnSkip));
// Copies by the class's own assignment (for value classes whose members need no translation).
#define MD_CLASS_COPY_ASSIGN()                                                                     \
  md_decl.Operation(                                                                               \
      0x4000, ::QuennelEngine::mdFunction(&::QuennelEngine::MetaDeclare::CopyAssignOp<md_Self>));
#define MD_CLASS_END() }

#define MD_ENUM_BEGIN(E, iFormat)                                                                  \
  static ::QuennelEngine::MetaDeclare::CEnumRegistrar _md_er##E(                               \
      #E, iFormat, (long)sizeof(E), [](::QuennelEngine::CMetaEnumDecl &md_decl) {
#define MD_ENUM_VALUE(slValue, strCodeName, strName) md_decl.Value(slValue, strCodeName, strName);
#define MD_ENUM_END()                                                                              \
  });

// A typedef: a name that stands for another type ("INDEX" for "SLONG").
#define MD_TYPEDEF(name, strAliased)                                                               \
  static ::QuennelEngine::MetaDeclare::CTypedefRegistrar _md_td##name(#name, strAliased);
