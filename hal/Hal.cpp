#include "Hal.h"

#include <ace/Init_ACE.h>

#include "SystemMgrSingleton.h"
#include "tal/tal.h"

// The library has no load-time work of its own: the log directory is built by a static
// initialiser (TraceObject.cpp), and nothing needs per-thread attach or detach notifications.

extern "C" int hal_Init(void) {
    // Counted: every call is matched by the ACE::fini() of a hal_Exit, whatever happens below.
    ACE::init();
    if (CSystemMgr::IsSystemCreated()) return -1;
    if (TAL_Init() != 0) return -1;
    CSystemMgr* manager = SystemMgrSingleton::instance();
    if (manager == nullptr) return -1;
    return manager->Create() ? 0 : -1;
}

extern "C" int hal_Exit(void) {
    if (CSystemMgr::IsSystemCreated()) {
        // The TAL library goes first: its stop code ends the pump's TAL thread at once.
        TAL_Fini();
        if (CSystemMgr* manager = SystemMgrSingleton::instance()) manager->Destroy();
        SystemMgrSingleton::close();
    }
    return ACE::fini();
}

extern "C" int hal_GetLogLevel(void) {
    return 1;
}

extern "C" void hal_SetLogLevel(int /*level*/) {}
