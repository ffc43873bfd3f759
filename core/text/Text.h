#pragma once
// Text and formatting: characters, strings, and the positional formatter and scanner.
#include "core/text/Characters.h"
#include "core/text/StringAlloc.h"
#include "core/text/String.h"
#include "core/text/WString.h"
#include "core/text/Hash.h"
#include "core/text/Compare.h"
#include "core/text/Matching.h"
#include "core/text/Search.h"
#include "core/text/Editing.h"
#include "core/text/FileNames.h"
#include "core/text/Conversion.h"
#include "core/text/SmartString.h"
