#pragma once
// Default substitutes: the resource made in place of one that cannot be found. Creators are
// registered per class; the latest registration for a class wins.
#include "core/resources/Resource.h"
#include "core/text/Ident.h"

namespace QuennelEngine {

// Makes a new resource for the class named.
typedef CResource *(*ResourceCreator)(IDENT idClass);

CORE_API void rscRegisterDefaultResourceCreator(IDENT idClass, ResourceCreator pCreator);
// Removes the last pair equal to the one given.
CORE_API void rscUnregisterDefaultResourceCreator(IDENT idClass, ResourceCreator pCreator);
// A new substitute, marked RSF_DEFAULTSUBSTITUTE: the latest creator for the class; for an
// abstract class the latest creator of each derived class in turn, else a new object of the
// first derived class that is not abstract; for any other class a new object of it. An unknown
// class, or a result that is not a resource, is a guard breach and gives null.
CORE_API Ptr<CResource> rscCreateDefaultResource(IDENT idClass);

} // namespace QuennelEngine
