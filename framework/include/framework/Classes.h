// The component and stream classes of the framework.
#pragma once

#include "framework/ClassRegistry.h"
#include "framework/Component.h"
#include "framework/FileStream.h"
#include "framework/HandleStream.h"
#include "framework/MemoryStream.h"
#include "framework/Stream.h"
#include "framework/TypedFile.h"
