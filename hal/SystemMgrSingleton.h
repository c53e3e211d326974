// The one CSystemMgr of the process: an ACE unmanaged singleton, created on first access under
// ACE's recursive singleton lock (double-checked; without the lock while ACE itself starts or
// stops), never destroyed by ACE's object manager, destroyed by SystemMgrSingleton::close() in
// hal_Exit.
#ifndef TARNWICK_HAL_SYSTEMMGRSINGLETON_H
#define TARNWICK_HAL_SYSTEMMGRSINGLETON_H

#include <ace/Recursive_Thread_Mutex.h>
#include <ace/Singleton.h>

#include "SystemMgr.h"

using SystemMgrSingleton = ACE_Unmanaged_Singleton<CSystemMgr, ACE_Recursive_Thread_Mutex>;

#endif
