#pragma once
// Helpers on reflected containers and references, for code that knows an object only by its
// descriptor (editors, scripts, the metadata files). Each takes the container's CMetaPointer.
// Elements live exactly as the container templates keep them (one block from memMAlloc, elements
// constructed in place), so a container changed here is still a valid C++ container and the
// other way round.
#include "core/meta/MetaPointer.h"

namespace QuennelEngine {

// CStaticArray: replaces the elements by `ct` new ones (throws when the element type does not
// resolve), frees them all, resizes keeping the first ones, removes one keeping the order, and
// swaps an element with the one before (MoveUp) or after it (MoveDown).
CORE_API void mdStaticArray_New_t(CMetaPointer mpArray, long ct);
// The same for a reader that fills every byte of the elements at once: elements that construct
// to zero bytes (numbers, plain values) are left unset instead; others are constructed.
CORE_API void mdStaticArray_NewToFill_t(CMetaPointer mpArray, long ct);
CORE_API void mdStaticArray_Clear(CMetaPointer mpArray);
CORE_API void mdStaticArray_Resize_t(CMetaPointer mpArray, long ct);
CORE_API void mdStaticArray_RemoveOrdered(CMetaPointer mpArray, long i);
CORE_API void mdStaticArray_MoveUp(CMetaPointer mpArray, long i);
CORE_API void mdStaticArray_MoveDown(CMetaPointer mpArray, long i);

// CStaticStackArray: Push adds `ct` new elements growing by the array's step (PushTightly grows
// by exactly what is needed) and returns the first new one.
CORE_API CMetaPointer mdStaticStackArray_Push_t(CMetaPointer mpArray, long ct = 1);
CORE_API CMetaPointer mdStaticStackArray_PushTightly_t(CMetaPointer mpArray, long ct = 1);
CORE_API void mdStaticStackArray_Pop(CMetaPointer mpArray);
CORE_API void mdStaticStackArray_Clear(CMetaPointer mpArray);
CORE_API void mdStaticStackArray_RemoveOrdered(CMetaPointer mpArray, long i);
CORE_API void mdStaticStackArray_MoveUp(CMetaPointer mpArray, long i);
CORE_API void mdStaticStackArray_MoveDown(CMetaPointer mpArray, long i);

// CDynamicContainer (pointers it does not own): Remove takes the last pointer into the gap,
// RemoveOrdered keeps the order; DeleteAllMembers deletes every element object, then clears.
CORE_API void mdDynamicContainer_MoveUp(CMetaPointer mpContainer, long i);
CORE_API void mdDynamicContainer_MoveDown(CMetaPointer mpContainer, long i);
CORE_API void mdDynamicContainer_Remove(CMetaPointer mpContainer, long i);
CORE_API void mdDynamicContainer_RemoveOrdered(CMetaPointer mpContainer, long i);
CORE_API void mdDynamicContainer_Clear(CMetaPointer mpContainer);
CORE_API void mdDynamicContainer_DeleteAllMembers(CMetaPointer mpContainer);
// Appends an element pointer.
CORE_API void mdDynamicContainer_Add(CMetaPointer mpContainer, void *pvElement);

// The count and the element `i` of any of the three containers (a null pointer past the end).
CORE_API long mdContainer_Count(CMetaPointer mpContainer);
CORE_API CMetaPointer mdContainer_Element(CMetaPointer mpContainer, long i);

// References (pointer, handle, smart pointer, reference): stores a target (a handle as its
// handle value; a smart pointer adds a reference to the new target and releases the old one),
// and reads it back typed by the reference's target type.
CORE_API void mdRef_Assign(CMetaPointer mpReference, void *pvTarget);
CORE_API CMetaPointer mdRef_Dereference(CMetaPointer mpReference);

} // namespace QuennelEngine
