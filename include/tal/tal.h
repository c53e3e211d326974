/*
 * Board library (TAL) C API.
 *
 * Every TAL object (event, list, handle) is an opaque 32-bit value. 0 is never a valid event or
 * list. Events carry an id, a handle, an ACT (asynchronous completion token: a pointer-sized value
 * returned unchanged on the completion of a request) and an ordered list of parameters.
 *
 * Threads: events may be created and sent on one thread while another waits for and destroys
 * received events; every function is safe to call from several threads at once.
 *
 * Ownership: an event passed to TAL_SendEvent belongs to the library from then on (also when the
 * send fails); an event returned by TAL_WaitEvent belongs to the caller, who frees it with
 * TAL_Event_Destroy. Parameter values are copied into the event: the caller keeps no reference.
 */
#ifndef TARNWICK_TAL_H
#define TARNWICK_TAL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t TAL_EVENT;  /* 0: no event */
typedef uint32_t TAL_HANDLE; /* any value; built with TAL_Handle_Create */
typedef uint32_t TAL_LIST;   /* 0: no list */

/* Parameter value types. */
enum {
    TAL_TYPE_NONE = 0,       /* count 0, integer value in the value slot */
    TAL_TYPE_BYTE = 1,       /* count 0, value: one byte (passed as int) */
    TAL_TYPE_INT = 3,        /* count 0, value: 32-bit integer (passed as int) */
    TAL_TYPE_BYTE_ARRAY = 6, /* count = elements, value: const uint8_t* */
    TAL_TYPE_INT_ARRAY = 7,  /* count = elements, value: const int32_t* */
    TAL_TYPE_STRING = 8,     /* count ignored on input, value: const char* (NUL-terminated) */
    TAL_TYPE_LIST = 9        /* count ignored on input, value: TAL_LIST (passed as int) */
};

/* Handle types and resource mask bits. */
enum { TAL_HT_BOARD = 0, TAL_HT_SPAN = 1, TAL_HT_LINE = 2, TAL_HT_RESOURCE = 3 };
enum {
    TAL_RES_PLAYER = 0x01,
    TAL_RES_RECORDER = 0x02,
    TAL_RES_SIGNAL_DETECTOR = 0x04,
    TAL_RES_SIGNAL_GENERATOR = 0x08,
    TAL_RES_VOICE_STREAM = 0x10
};

/* Results. */
enum {
    TAL_OK = 0,
    TAL_ERR_INVALID = 1, /* unknown object, null pointer, bad type */
    TAL_ERR_FAILED = 2,  /* the operation failed (e.g. an injected fault) */
    TAL_ERR_TIMEOUT = 3, /* TAL_WaitEvent: no event within the timeout */
    TAL_ERR_STOPPED = 4, /* TAL_WaitEvent: the library has stopped delivering events */
    TAL_ERR_NO_MEMORY = 5
};

/* Library life. TAL_Init starts the board (the virtual board unless a test has taken the board
 * face) and returns 0; TAL_Fini stops delivery (a waiting or later TAL_WaitEvent answers 4) and
 * releases every event the library holds. TAL_Init after TAL_Fini starts again. */
int TAL_Init(void);
int TAL_Fini(void);

/* Events. */
TAL_EVENT TAL_Event_Create(uint32_t id);
int TAL_Event_Destroy(TAL_EVENT ev);
int TAL_SendEvent(TAL_EVENT ev);
/* 0 with *ev set; 4 once delivery has stopped; TAL_ERR_TIMEOUT when the time ran out.
 * A timeout of 0xFFFFFFFF waits without limit. */
int TAL_WaitEvent(uint32_t timeoutMs, TAL_EVENT* ev);
uint32_t TAL_Event_GetID(TAL_EVENT ev); /* 0 for an unknown event */
int TAL_Event_SetACT(TAL_EVENT ev, void* act);
void* TAL_Event_GetACT(TAL_EVENT ev); /* null for an unknown event */
int TAL_Event_SetHandle(TAL_EVENT ev, TAL_HANDLE h);
TAL_HANDLE TAL_Event_GetHandle(TAL_EVENT ev); /* 0 for an unknown event */

/* Appends runs of (uint32_t id, uint32_t type, uint32_t count, value) ended by a 0 id. The value
 * is read as an int for types 0, 1, 3 and 9 and as a pointer for types 6, 7 and 8. An unknown
 * type stops the run with TAL_ERR_INVALID; the parameters before it stay. */
int TAL_Event_SetParameters(TAL_EVENT ev, ...);
/* Appends one parameter. value holds the integer (types 0, 1, 3, 9) or the pointer (6, 7, 8).
 * *cursor counts the parameters appended through it; start it at 0. */
int TAL_Event_SetParameter(TAL_EVENT ev, uint32_t* cursor, uint32_t id, uint32_t type,
                           uint32_t count, intptr_t value);

/* Walks the parameters: returns a pointer to the next value (valid while the event lives) and
 * fills id, type and count (elements for arrays, string length for strings, entries for lists);
 * returns 0 after the last one and on bad input. *cursor starts at 0. Value pointers point to a
 * uint8_t (type 1), an int32_t (0, 3), the bytes (6), int32_t elements (7), a NUL-terminated
 * string (8) or a TAL_LIST (9). id, type and count may be null when not wanted. Past the last
 * parameter the cursor stays where it is and the outputs are set to 0. */
const void* TAL_Event_GetNextParameter(TAL_EVENT ev, uint32_t* cursor, uint32_t* id, uint32_t* type,
                                       uint32_t* count);
/* Walks a list in the same way; list is the value pointer of a type 9 parameter (or the address
 * of a TAL_LIST variable). A list inside an event or a list is a read-only copy owned by it. */
const void* TAL_List_GetNextParameter(const void* list, uint32_t* cursor, uint32_t* id,
                                      uint32_t* type, uint32_t* count);

/* Lists (trees of parameters), used by the board side to build answers. A list added to an event
 * or to another list is copied; the caller still destroys its own. */
TAL_LIST TAL_List_Create(void);
int TAL_List_Destroy(TAL_LIST list);
int TAL_List_SetParameters(TAL_LIST list, ...); /* same runs as TAL_Event_SetParameters */

/* Value conversions; a null pointer gives 0 / null. */
uint8_t TAL_Value_PVOID_To_BYTE(const void* value);
int32_t TAL_Value_PVOID_To_INT(const void* value);
const uint8_t* TAL_Value_PVOID_To_PBYTE(const void* value);
const int32_t* TAL_Value_PVOID_To_PINT(const void* value);
const char* TAL_Value_PVOID_To_STRING(const void* value);

/* Handles: every combination of fields has its own value; the getters give the fields back. */
TAL_HANDLE TAL_Handle_Create(uint32_t type, uint32_t boardId, uint32_t spanId,
                             uint32_t resourceMask, uint32_t resourceId);
uint32_t TAL_Handle_GetHandleType(TAL_HANDLE h);
uint32_t TAL_Handle_GetBoardID(TAL_HANDLE h);
uint32_t TAL_Handle_GetSpanID(TAL_HANDLE h);
uint32_t TAL_Handle_GetResourceID(TAL_HANDLE h);
uint32_t TAL_Handle_GetResourceMask(TAL_HANDLE h);
int TAL_Handle_HasPlayer(TAL_HANDLE h);
int TAL_Handle_HasRecorder(TAL_HANDLE h);
int TAL_Handle_HasSignalDetector(TAL_HANDLE h);
int TAL_Handle_HasSignalGenerator(TAL_HANDLE h);
int TAL_Handle_HasVoiceStream(TAL_HANDLE h);

#ifdef __cplusplus
}
#endif

#endif
