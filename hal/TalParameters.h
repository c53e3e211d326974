// Reading TAL parameters: walks over an event's or a list's parameters, and typed reads that check
// the value type first, so a parameter of an unexpected shape is never read as something it is
// not (a string read from an integer would run past the value).
#ifndef TARNWICK_HAL_TALPARAMETERS_H
#define TARNWICK_HAL_TALPARAMETERS_H

#include <cstdint>
#include <string>

#include "tal/tal.h"

namespace hal {

// One parameter as the walk yields it.
struct TalParameter {
    uint32_t id = 0;
    uint32_t type = 0;
    uint32_t count = 0;
    const void* value = nullptr;

    bool IsList() const { return type == TAL_TYPE_LIST && value != nullptr; }
    bool IsByte() const { return type == TAL_TYPE_BYTE && value != nullptr; }
    bool IsInt() const { return type == TAL_TYPE_INT && value != nullptr; }
    bool IsString() const { return type == TAL_TYPE_STRING && value != nullptr; }
    bool IsIntArray() const { return type == TAL_TYPE_INT_ARRAY && value != nullptr; }
    bool IsByteArray() const { return type == TAL_TYPE_BYTE_ARRAY && value != nullptr; }

    // Typed values; call only after the matching Is...() check.
    int8_t SignedByte() const { return static_cast<int8_t>(TAL_Value_PVOID_To_BYTE(value)); }
    uint8_t Byte() const { return TAL_Value_PVOID_To_BYTE(value); }
    int32_t Int() const { return TAL_Value_PVOID_To_INT(value); }
    std::string String() const {
        const char* text = TAL_Value_PVOID_To_STRING(value);
        return text != nullptr ? std::string(text) : std::string();
    }
    const int32_t* Ints() const { return TAL_Value_PVOID_To_PINT(value); }
    const uint8_t* Bytes() const { return TAL_Value_PVOID_To_PBYTE(value); }
};

// Calls visit(const TalParameter&) for each parameter of the event, in order.
template <class Visit>
void ForEachParameter(TAL_EVENT event, Visit&& visit) {
    uint32_t cursor = 0;
    TalParameter p;
    while ((p.value = TAL_Event_GetNextParameter(event, &cursor, &p.id, &p.type, &p.count)) !=
           nullptr) {
        visit(static_cast<const TalParameter&>(p));
    }
}

// The same for the entries of a list parameter (its value pointer).
template <class Visit>
void ForEachListEntry(const void* list, Visit&& visit) {
    uint32_t cursor = 0;
    TalParameter p;
    while ((p.value = TAL_List_GetNextParameter(list, &cursor, &p.id, &p.type, &p.count)) !=
           nullptr) {
        visit(static_cast<const TalParameter&>(p));
    }
}

}  // namespace hal

#endif
