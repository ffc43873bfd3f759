#pragma once
// The public interface of Core: a game includes this one header.
#include "core/platform/Platform.h"
#include "core/memory/Memory.h"
#include "core/frame/CodeGuard.h"
#include "core/text/Text.h"
