// The TAL_* C entry points. Each one turns into a call on the library object; no C++ exception
// crosses this boundary (a failed allocation becomes TAL_ERR_NO_MEMORY or the function's "nothing"
// value).
#include <cstdarg>
#include <new>

#include "Library.h"
#include "tal/HardwareBoard.h"
#include "tal/VirtualBoard.h"
#include "tal/tal.h"

using tal::detail::Library;

namespace {

template <class Result, class Fn>
Result guarded(Result onFailure, Fn&& fn) noexcept {
    try {
        return fn();
    } catch (...) {
        return onFailure;
    }
}

}  // namespace

extern "C" {

int TAL_Init(void) {
    return guarded(int{TAL_ERR_FAILED}, [] {
        // The virtual board answers from the hardware description; a broken description file is
        // reported and the library does not start.
        if (!tal::HardwareBoard::instance().installCurrent()) return int{TAL_ERR_FAILED};
        Library::get().open();
        return tal::VirtualBoard::instance().start() ? int{TAL_OK} : int{TAL_ERR_FAILED};
    });
}

int TAL_Fini(void) {
    return guarded(int{TAL_ERR_FAILED}, [] {
        // The board first, so that nothing is delivered after the queues were emptied.
        tal::VirtualBoard::instance().stop();
        Library::get().finish();
        return int{TAL_OK};
    });
}

TAL_EVENT TAL_Event_Create(uint32_t id) {
    return guarded(TAL_EVENT{0}, [&] { return Library::get().createEvent(id); });
}

int TAL_Event_Destroy(TAL_EVENT ev) {
    return guarded(int{TAL_ERR_NO_MEMORY}, [&] { return Library::get().destroyEvent(ev); });
}

int TAL_SendEvent(TAL_EVENT ev) {
    return guarded(int{TAL_ERR_NO_MEMORY}, [&] { return Library::get().sendEvent(ev); });
}

int TAL_WaitEvent(uint32_t timeoutMs, TAL_EVENT* ev) {
    return guarded(int{TAL_ERR_NO_MEMORY}, [&] { return Library::get().waitEvent(timeoutMs, ev); });
}

uint32_t TAL_Event_GetID(TAL_EVENT ev) {
    return guarded(uint32_t{0}, [&] { return Library::get().eventId(ev); });
}

int TAL_Event_SetACT(TAL_EVENT ev, void* act) {
    return guarded(int{TAL_ERR_NO_MEMORY}, [&] { return Library::get().setAct(ev, act); });
}

void* TAL_Event_GetACT(TAL_EVENT ev) {
    return guarded(static_cast<void*>(nullptr), [&] { return Library::get().act(ev); });
}

int TAL_Event_SetHandle(TAL_EVENT ev, TAL_HANDLE h) {
    return guarded(int{TAL_ERR_NO_MEMORY}, [&] { return Library::get().setHandle(ev, h); });
}

TAL_HANDLE TAL_Event_GetHandle(TAL_EVENT ev) {
    return guarded(TAL_HANDLE{0}, [&] { return Library::get().handle(ev); });
}

int TAL_Event_SetParameters(TAL_EVENT ev, ...) {
    va_list args;
    va_start(args, ev);
    const int result = guarded(int{TAL_ERR_NO_MEMORY},
                               [&] { return Library::get().setEventParameters(ev, args); });
    va_end(args);
    return result;
}

int TAL_Event_SetParameter(TAL_EVENT ev, uint32_t* cursor, uint32_t id, uint32_t type,
                           uint32_t count, intptr_t value) {
    return guarded(int{TAL_ERR_NO_MEMORY}, [&] {
        return Library::get().setEventParameter(ev, cursor, id, type, count, value);
    });
}

const void* TAL_Event_GetNextParameter(TAL_EVENT ev, uint32_t* cursor, uint32_t* id, uint32_t* type,
                                       uint32_t* count) {
    return guarded(static_cast<const void*>(nullptr),
                   [&] { return Library::get().nextEventParameter(ev, cursor, id, type, count); });
}

const void* TAL_List_GetNextParameter(const void* list, uint32_t* cursor, uint32_t* id,
                                      uint32_t* type, uint32_t* count) {
    return guarded(static_cast<const void*>(nullptr),
                   [&] { return Library::get().nextListParameter(list, cursor, id, type, count); });
}

TAL_LIST TAL_List_Create(void) {
    return guarded(TAL_LIST{0}, [] { return Library::get().createList(); });
}

int TAL_List_Destroy(TAL_LIST list) {
    return guarded(int{TAL_ERR_NO_MEMORY}, [&] { return Library::get().destroyList(list); });
}

int TAL_List_SetParameters(TAL_LIST list, ...) {
    va_list args;
    va_start(args, list);
    const int result = guarded(int{TAL_ERR_NO_MEMORY},
                               [&] { return Library::get().setListParameters(list, args); });
    va_end(args);
    return result;
}

uint8_t TAL_Value_PVOID_To_BYTE(const void* value) {
    return value != nullptr ? *static_cast<const uint8_t*>(value) : uint8_t{0};
}

int32_t TAL_Value_PVOID_To_INT(const void* value) {
    return value != nullptr ? *static_cast<const int32_t*>(value) : 0;
}

const uint8_t* TAL_Value_PVOID_To_PBYTE(const void* value) {
    return static_cast<const uint8_t*>(value);
}

const int32_t* TAL_Value_PVOID_To_PINT(const void* value) {
    return static_cast<const int32_t*>(value);
}

const char* TAL_Value_PVOID_To_STRING(const void* value) {
    return static_cast<const char*>(value);
}

}  // extern "C"
