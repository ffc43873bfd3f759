// Descriptors of Core's classes that live below the metadata (the services, translatable texts):
// described from here, member by member, since their headers cannot include the declaration
// front-end.
#include "core/frame/Service.h"
#include "core/meta/MetaClass.h"
#include "core/meta/Module.h"
#include "core/text/TransString.h"

#include <stddef.h>

namespace QuennelEngine {

namespace {

class CCoreTypes {
public:
  CCoreTypes()
  {
    CMetaEnumDecl med("SvcStartType", 1, sizeof(SvcStartType));
    med.Value(SST_AUTOMATIC, "SST_AUTOMATIC", "Automatic");
    med.Value(SST_MANUAL, "SST_MANUAL", "Manual");
    ct_pdtStartType = med.Register();

    CMetaClassDecl mcd("CService", 1, sizeof(CService), CTypeID(), 0, 0,
                       MetaDeclare::Operations<CService>());
    mcd.AddMember(CTypeID("IDENT"), "svc_idID",
                  MetaDeclare::OffsetOf<CService>(&CService::svc_idID), 0, "ID", nullptr, nullptr);
    mcd.AddMember(CTypeID("IDENT"), "svc_idGroup",
                  MetaDeclare::OffsetOf<CService>(&CService::svc_idGroup), 0, "Group", nullptr,
                  nullptr);
    mcd.AddMember(CTypeID("ULONG"), "svc_ulFlags",
                  MetaDeclare::OffsetOf<CService>(&CService::svc_ulFlags), SMF_NOSAVE, "Flags",
                  nullptr, nullptr);
    mcd.AddMember(CTypeID("SLONG"), "svc_iRunLevel",
                  MetaDeclare::OffsetOf<CService>(&CService::svc_iRunLevel), 0, "Run level",
                  nullptr, nullptr);
    mcd.AddMember(CTypeID("SLONG"), "svc_iPriority",
                  MetaDeclare::OffsetOf<CService>(&CService::svc_iPriority), 0, "Priority", nullptr,
                  nullptr);
    mcd.AddMember(MetaDeclare::TypeOf<CModule *>::Get(), "svc_pModule",
                  MetaDeclare::OffsetOf<CService>(&CService::svc_pModule), SMF_NOSAVE, "Module",
                  nullptr, nullptr);
    mcd.AddMember(CTypeID("SvcStartType"), "svc_eStartType",
                  MetaDeclare::OffsetOf<CService>(&CService::svc_eStartType), 0, "Start type",
                  nullptr, nullptr);
    ct_pdtService = mcd.Register();

    // A translatable text: its key and its own text.
    CMetaClassDecl mcdTrans("CTransString", 1, sizeof(CTransString), CTypeID(), 0, 0,
                            MetaDeclare::Operations<CTransString>());
    mcdTrans.AddMember(CTypeID("CString"), "ts_strHeader",
                       MetaDeclare::OffsetOf<CTransString>(&CTransString::ts_strHeader), 0,
                       "Header", nullptr, nullptr);
    mcdTrans.AddMember(CTypeID("CString"), "ts_strText",
                       MetaDeclare::OffsetOf<CTransString>(&CTransString::ts_strText), 0, "Text",
                       nullptr, nullptr);
    ct_pdtTransString = mcdTrans.Register();
  }
  ~CCoreTypes()
  {
    mdDeleteDeclaredType(ct_pdtTransString);
    mdDeleteDeclaredType(ct_pdtService);
    mdDeleteDeclaredType(ct_pdtStartType);
  }

private:
  CDataType *ct_pdtStartType;
  CDataType *ct_pdtService;
  CDataType *ct_pdtTransString;
};

CCoreTypes _md_ctCoreTypes;

} // namespace

} // namespace QuennelEngine
