#pragma once
// Resources: resources and resource files, file types, the stock (obtaining, freeing, dumps and
// states), the loader with its proxies and post-load tasks, finalisation, default substitutes
// and browse information.
#include "core/resources/BrowseInfo.h"
#include "core/resources/DefaultResources.h"
#include "core/resources/Finalize.h"
#include "core/resources/LoadTasks.h"
#include "core/resources/LoadingPool.h"
#include "core/resources/PostLoadTasks.h"
#include "core/resources/Resource.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceFileType.h"
#include "core/resources/ResourceFunctions.h"
#include "core/resources/ResourceLoader.h"
#include "core/resources/ResourceMeta.h"
#include "core/resources/ResourceObtain.h"
#include "core/resources/ResourceProxy.h"
#include "core/resources/ResourceStock.h"
#include "core/resources/StockDump.h"
#include "core/resources/StockFree.h"
#include "core/resources/StockState.h"
#include "core/resources/SubResourcePath.h"
