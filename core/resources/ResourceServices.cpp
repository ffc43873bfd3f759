// The resources' services in "Group.Application": the browse registry, and the browse
// information and default substitute of the base class.
#include "core/frame/Service.h"
#include "core/resources/BrowseInfo.h"
#include "core/resources/DefaultResources.h"

namespace QuennelEngine {

static CResource *NewDummyResource(IDENT)
{
  return new CDummyResource;
}

static void StartResourceService(void)
{
  rscRegisterBrowseInfo("CResource", "Resource", "*.rsc", "CResource", "Resource");
  rscRegisterDefaultResourceCreator(strConvertStringToID("CResource"), NewDummyResource);
}

static void StopResourceService(void)
{
  rscUnregisterBrowseInfo("CResource", "Resource", "*.rsc", "CResource", "Resource");
  rscUnregisterDefaultResourceCreator(strConvertStringToID("CResource"), NewDummyResource);
}

static CService _svcResource("Resource", "Application", 11, 100, StartResourceService,
                             StopResourceService);
static CService _svcResourceBrowseInfo("ResourceBrowseInfo", "Application", 0, 100,
                                       rscStartBrowseInfoService, rscStopBrowseInfoService);

} // namespace QuennelEngine
