// Game modules for the module tests, one source built four ways; TM_NAME names the library and
// prefixes its entries. TestModule declares a metadata module with reflected types (a resource
// type of its own among them), services at run levels 0, 10 and 11 and a beacon.
// NoCleanupModule lacks its clean-up entry, ThrowingModule's start-up fails after it registered a
// resource, and PlainModule declares no metadata module, no types and no services, and leaves
// the beacon to the loader (so it can be loaded beside one of the others).
// What a module does goes to the console, so the tests can read the order of events.
#include "core/Core.h"

using namespace QuennelEngine;

#define TM_TEXT2(x) #x
#define TM_TEXT(x) TM_TEXT2(x)
#define TM_PASTE2(a, b) a##b
#define TM_PASTE(a, b) TM_PASTE2(a, b)
#define TM_MODULE TM_TEXT(TM_NAME)
#define TM_EXPORT extern "C" __declspec(dllexport)

namespace {

void Say(const char *str)
{
  conInfo("%1: %2\n", TM_MODULE, str);
}

#ifndef TM_PLAIN
// What registers from here to the end of the file belongs to the module.
struct CDeclareBegin {
  CDeclareBegin() { mdModuleDeclareBeg(TM_MODULE); }
} _tm_declareBegin;
#endif

// Tells when the library's statics go, that is when the library leaves the process.
struct CUnloadWitness {
  ~CUnloadWitness() { Say("unloading"); }
} _tm_unloadWitness;

} // namespace

#ifndef TM_PLAIN
namespace Game {

enum ETmKind : long { TMK_ROCK = 1, TMK_TREE = 2 };
MD_DECLARE_ENUM(ETmKind)

class CTmPart : public CObject {
  MD_DECLARE_CLASS(CTmPart)
  long tp_iSize = 0;
};

// The module's own resource type: an owned part, a container, an enum and a counted reference.
class CTmThing : public CResource {
  MD_DECLARE_CLASS(CTmThing)
  ~CTmThing() override
  {
    delete tt_pPart;
    Say("thing freed");
  }
  CString tt_strLabel;
  ETmKind tt_eKind = TMK_ROCK;
  CStaticStackArray<long> tt_aiValues;
  CTmPart *tt_pPart = nullptr;
  Ptr<CTmThing> tt_pNeighbour;
};

MD_ENUM_BEGIN(ETmKind, 1)
MD_ENUM_VALUE(TMK_ROCK, "TMK_ROCK", "Rock")
MD_ENUM_VALUE(TMK_TREE, "TMK_TREE", "Tree")
MD_ENUM_END()

MD_CLASS_BEGIN(CTmPart, CObject, 1)
MD_MEMBER(tp_iSize, 0, "Size")
MD_CLASS_END()

MD_CLASS_BEGIN(CTmThing, CResource, 2)
MD_MEMBER(tt_strLabel, 0, "Label")
MD_MEMBER(tt_eKind, 0, "Kind")
MD_MEMBER(tt_aiValues, 0, "Values")
MD_MEMBER(tt_pPart, SMF_OWNED, "Part")
MD_MEMBER(tt_pNeighbour, 0, "Neighbour")
MD_CLASS_END()

CTmThing *NewThing(const char *strLabel, ETmKind eKind)
{
  CTmThing *ptt = new CTmThing;
  ptt->tt_strLabel = strLabel;
  ptt->tt_eKind = eKind;
  for (long i = 1; i <= 3; i++) ptt->tt_aiValues.Push() = i * 10;
  ptt->tt_pPart = new CTmPart;
  ptt->tt_pPart->tp_iSize = 7;
  return ptt;
}

} // namespace Game

namespace {
void StartZero()
{
  Say("+Zero");
}
void StopZero()
{
  Say("-Zero");
}
void StartTen()
{
  Say("+Ten");
}
void StopTen()
{
  Say("-Ten");
}
void StartEleven()
{
  Say("+Eleven");
}
void StopEleven()
{
  Say("-Eleven");
}
CService _tm_svcZero("TmZero", "ModuleTests", 0, 0, StartZero, StopZero);
CService _tm_svcTen("TmTen", "ModuleTests", 10, 0, StartTen, StopTen);
CService _tm_svcEleven("TmEleven", "ModuleTests", 11, 0, StartEleven, StopEleven);
} // namespace

// A thing with a neighbour, for the tests to save and load again.
TM_EXPORT CResource *TM_PASTE(TM_NAME, _NewThing)(const char *strLabel)
{
  Game::CTmThing *ptt = Game::NewThing(strLabel, Game::TMK_TREE);
  ptt->tt_pNeighbour = Game::NewThing("neighbour", Game::TMK_ROCK);
  return ptt;
}

// The members of a thing (and of its neighbour) as one line.
TM_EXPORT void TM_PASTE(TM_NAME, _Describe)(CResource *prs, CString *pstr)
{
  Game::CTmThing *ptt = static_cast<Game::CTmThing *>(prs);
  *pstr = strFormat("%1 %2 [", ptt->tt_strLabel, (long)ptt->tt_eKind);
  for (long i : ptt->tt_aiValues) *pstr += strFormat(" %1", i);
  *pstr += strFormat(" ] part %1", ptt->tt_pPart != nullptr ? ptt->tt_pPart->tp_iSize : -1);
  if (ptt->tt_pNeighbour != nullptr) {
    CString strNeighbour;
    TM_PASTE(TM_NAME, _Describe)(ptt->tt_pNeighbour.Get(), &strNeighbour);
    *pstr += " next " + strNeighbour;
  }
}
#endif

TM_EXPORT void TM_PASTE(TM_NAME, _Startup_t)(CDynamicModuleFile *pdmf)
{
  Say("started");
#ifdef TM_PLAIN
  pdmf->RegisterModuleResource(2, "Thing", new CDummyResource);
#else
  pdmf->RegisterModuleResource(1, "Beacon", new CModuleBeacon);
  pdmf->RegisterModuleResource(2, "Thing", Game::NewThing("made in code", Game::TMK_TREE));
#endif
#ifdef TM_THROWING_STARTUP
  ThrowFormat_t("%1 refuses to start", TM_MODULE);
#endif
}

#ifndef TM_NO_CLEANUP
TM_EXPORT void TM_PASTE(TM_NAME, _Cleanup)(CDynamicModuleFile *)
{
  Say("cleaned up");
}
#endif

#ifndef TM_PLAIN
namespace {
struct CDeclareEnd {
  CDeclareEnd() { mdModuleDeclareEnd(); }
} _tm_declareEnd;
} // namespace
#endif
