// The four exports of mt_tarnwick_hal, bound by the host by name (C linkage, undecorated).
//
//   hal_Init         brings the library up: ACE (counted), the TAL library, the system manager and
//                    through it the event pump. 0 on success; -1 on failure and when the library
//                    is already up (only the ACE count changes then).
//   hal_Exit         takes it down again: TAL_Fini, the pump and the system manager (when up), then
//                    always ACE::fini(), whose result it returns: 0 when the last initialisation
//                    is undone, 1 while earlier hal_Init calls are outstanding, -1 when there was
//                    nothing to undo. The host sends req_PAL_STOPPAL before: the pump's PAL thread
//                    cannot be ended while it waits for a request.
//   hal_GetLogLevel  always 1.
//   hal_SetLogLevel  accepted and ignored.
//
// hal_Init and hal_Exit are called from one host thread, never concurrently.
#ifndef TARNWICK_HAL_HAL_H
#define TARNWICK_HAL_HAL_H

#if defined(__GNUC__)
#define HAL_EXPORT __attribute__((visibility("default")))
#else
#define HAL_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

HAL_EXPORT int hal_Init(void);
HAL_EXPORT int hal_Exit(void);
HAL_EXPORT int hal_GetLogLevel(void);
HAL_EXPORT void hal_SetLogLevel(int level);

#ifdef __cplusplus
}
#endif

#endif
