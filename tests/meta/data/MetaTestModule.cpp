// A game module as the metadata tests see one: it declares its classes with the front-end, so
// they register when it loads and unregister when it unloads.
#include "core/Core.h"

using namespace QuennelEngine;

namespace Game {

enum EMtColor : long { MTC_RED = 1, MTC_GREEN = 2, MTC_BLUE = 4 };
MD_DECLARE_ENUM(EMtColor)

// A base chain of three.
class CMtBase : public CObject {
  MD_DECLARE_CLASS(CMtBase)
  long mb_iValue = 0;
};
class CMtMiddle : public CMtBase {
  MD_DECLARE_CLASS(CMtMiddle)
  FLOAT mm_fValue = 0;
};
class CMtLeaf : public CMtMiddle {
  MD_DECLARE_CLASS(CMtLeaf)
  CString ml_strName;
  EMtColor ml_eColor = MTC_RED;
};

// Abstract: no objects of its own.
class CMtShape : public CObject {
  MD_DECLARE_CLASS(CMtShape)
  virtual float Area(void) const = 0;
  FLOAT ms_fScale = 1;
};

// A list through a pointer to its own class.
class CMtNode : public CObject {
  MD_DECLARE_CLASS(CMtNode)
  CMtNode *mn_pNext = nullptr;
  long mn_iIndex = 0;
};

class CMtItem : public CSmartObject {
  MD_DECLARE_CLASS(CMtItem)
  long mi_iWeight = 0;
};

// Containers, a fixed array, an edit-only member and a typedef'd member.
class CMtBag : public CObject {
  MD_DECLARE_CLASS(CMtBag)
  CStaticStackArray<Ptr<CMtItem>> mb_sapItems;
  CDynamicContainer<CMtNode> mb_dcNodes;
  FLOAT mb_afWeights[4] = {};
  CString mb_strNote;
  INDEX mb_iSlot = 0;
  Handle<CMtNode> mb_hNode;
};

// Plain: a flat run of bytes.
struct CMtPoint {
  MD_DECLARE_STRUCT(CMtPoint)
  FLOAT mp_fX;
  FLOAT mp_fY;
};

// Padding after the byte: not plain.
struct CMtPadded {
  MD_DECLARE_STRUCT(CMtPadded)
  UBYTE mp_ubTag;
  FLOAT mp_fValue;
};

MD_ENUM_BEGIN(EMtColor, 1)
MD_ENUM_VALUE(MTC_RED, "MTC_RED", "Red")
MD_ENUM_VALUE(MTC_GREEN, "MTC_GREEN", "Green")
MD_ENUM_VALUE(MTC_BLUE, "MTC_BLUE", "Blue")
MD_ENUM_END()

MD_TYPEDEF(MTWEIGHT, "SLONG")

MD_CLASS_BEGIN(CMtBase, CObject, 1)
MD_MEMBER(mb_iValue, 0, "Value")
MD_CLASS_END()

MD_CLASS_BEGIN(CMtMiddle, CMtBase, 1)
MD_MEMBER_EX(mm_fValue, 0, "Float value", "mm_fOldValue", "Numbers")
MD_MEMBER_HINT("Range", "0..1")
MD_CLASS_END()

MD_CLASS_BEGIN(CMtLeaf, CMtMiddle, 2)
MD_MEMBER(ml_strName, 0, "Name")
MD_MEMBER(ml_eColor, 0, "Colour")
MD_CLASS_EDITOR_NAME("Leaf")
MD_CLASS_ALIAS("CMtOldLeaf")
MD_CLASS_HINT("Icon", "leaf.png")
MD_CLASS_END()

MD_CLASS_BEGIN(CMtShape, CObject, 1)
MD_MEMBER(ms_fScale, 0, "Scale")
MD_CLASS_END()

MD_CLASS_BEGIN(CMtNode, CObject, 1)
MD_MEMBER(mn_pNext, SMF_OWNED, "Next")
MD_MEMBER(mn_iIndex, 0, "Index")
MD_CLASS_END()

MD_CLASS_BEGIN(CMtItem, CSmartObject, 1)
MD_MEMBER_AS(mi_iWeight, "MTWEIGHT", 0, "Weight")
MD_CLASS_END()

MD_CLASS_BEGIN(CMtBag, CObject, 3)
MD_MEMBER(mb_sapItems, SMF_OWNED, "Items")
MD_MEMBER(mb_dcNodes, 0, "Nodes")
MD_MEMBER(mb_afWeights, 0, "Weights")
MD_MEMBER(mb_strNote, SMF_EDIT, "Note")
MD_MEMBER_AS(mb_iSlot, "INDEX", 0, "Slot")
MD_MEMBER(mb_hNode, 0, "Node")
MD_CLASS_END()

MD_CLASS_BEGIN(CMtPoint, void, 1)
MD_MEMBER(mp_fX, 0, "X")
MD_MEMBER(mp_fY, 0, "Y")
MD_CLASS_END()

MD_CLASS_BEGIN(CMtPadded, void, 1)
MD_MEMBER(mp_ubTag, 0, "Tag")
MD_MEMBER(mp_fValue, 0, "Value")
MD_CLASS_END()

} // namespace Game

extern "C" {

// A leaf made by the module, so the test can check the object against the descriptor.
__declspec(dllexport) CObject *MetaTestModule_NewLeaf(void)
{
  Game::CMtLeaf *pml = new Game::CMtLeaf;
  pml->ml_strName = "made in the module";
  return pml;
}

} // extern "C"
