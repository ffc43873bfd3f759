#pragma once
// The public interface of Core: a game includes this one header.
#include "core/platform/Platform.h"

// Text and formatting.
#include "core/text/Text.h"

// Memory and containers.
#include "core/memory/DynamicContainer.h"
#include "core/memory/DynamicStackArray.h"
#include "core/memory/List.h"
#include "core/memory/Memory.h"
#include "core/memory/MemoryHeap.h"
#include "core/memory/MemoryPool.h"
#include "core/memory/PileAllocator.h"
#include "core/memory/SimpleHashTable.h"
#include "core/memory/StaticArray.h"
#include "core/memory/StaticStackArray.h"
#include "core/memory/TypeStats.h"

// Threads and synchronisation.
#include "core/threads/BaseThread.h"
#include "core/threads/ExclusiveMainThread.h"
#include "core/threads/SyncEvent.h"
#include "core/threads/SyncLock.h"
#include "core/threads/SyncMutex.h"
#include "core/threads/Threads.h"

// The application frame.
#include "core/frame/Assert.h"
#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/ErrorHooks.h"
#include "core/frame/ErrorTable.h"
#include "core/frame/Exception.h"
#include "core/frame/LockOutputs.h"
#include "core/frame/OldMessages.h"
#include "core/frame/PerFrame.h"
#include "core/frame/ProfileSample.h"
#include "core/frame/Profiler.h"
#include "core/frame/Service.h"
#include "core/frame/ServiceLog.h"
#include "core/frame/Startup.h"
#include "core/frame/StartupSettings.h"
#include "core/frame/Version.h"
#include "core/platform/DynamicLoader.h"

// Streams and files.
#include "core/streams/CRC.h"
#include "core/streams/ChunkID.h"
#include "core/streams/Compressor.h"
#include "core/streams/DataBlock.h"
#include "core/streams/DummyStream.h"
#include "core/streams/FileCRCTable.h"
#include "core/streams/FileSystem.h"
#include "core/streams/MemoryStream.h"
#include "core/streams/ReplaceHistory.h"
#include "core/streams/Signature.h"
#include "core/streams/SignedStream.h"
#include "core/streams/Stream.h"
#include "core/streams/StreamImp.h"
#include "core/streams/StreamProfiler.h"
#include "core/streams/TextCodec.h"
#include "core/streams/ZipArchives.h"

// Metadata.
#include "core/meta/MetaSettings.h"
#include "core/meta/Module.h"

// Time and platform services.
#include "core/platform/Calendar.h"
#include "core/platform/CrashReport.h"
#include "core/platform/FileStreamWin32.h"
#include "core/platform/KeyIdentifiers.h"
#include "core/platform/MessageLoop.h"
#include "core/platform/SysConsole.h"
#include "core/platform/SysFiles.h"
#include "core/platform/SysLocale.h"
#include "core/platform/SysMemory.h"
#include "core/platform/SysModules.h"
#include "core/platform/SysThreads.h"
#include "core/platform/Time.h"
#include "core/platform/Timer.h"
#include "core/platform/Window.h"
