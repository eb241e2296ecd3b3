// The component and stream classes of the framework.
#pragma once

#include "quorin/framework/ClassRegistry.h"
#include "quorin/framework/Component.h"
#include "quorin/framework/FileStream.h"
#include "quorin/framework/HandleStream.h"
#include "quorin/framework/MemoryStream.h"
#include "quorin/framework/Stream.h"
#include "quorin/framework/TypedFile.h"
