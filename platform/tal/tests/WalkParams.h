// Reads an event's parameters back through the C walk functions alone, into tal::Param values, so
// tests can compare what the C API hands out with what went in.
#ifndef TARNWICK_PLATFORM_TAL_TESTS_WALKPARAMS_H
#define TARNWICK_PLATFORM_TAL_TESTS_WALKPARAMS_H

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tal/BoardSide.h"
#include "tal/tal.h"

namespace taltest {

inline tal::Param readValue(uint32_t id, uint32_t type, uint32_t count, const void* value);

// Walks with `next` (bound to an event or a list) until it returns null.
template <class Next>
std::vector<tal::Param> walkWith(Next next) {
    std::vector<tal::Param> params;
    uint32_t cursor = 0, id = 0, type = 0, count = 0;
    while (const void* value = next(&cursor, &id, &type, &count)) {
        params.push_back(readValue(id, type, count, value));
        if (params.size() > 100000) {
            ADD_FAILURE() << "walk does not end";
            break;
        }
    }
    return params;
}

inline std::vector<tal::Param> walkEvent(TAL_EVENT ev) {
    return walkWith([ev](uint32_t* c, uint32_t* i, uint32_t* t, uint32_t* n) {
        return TAL_Event_GetNextParameter(ev, c, i, t, n);
    });
}

inline std::vector<tal::Param> walkList(const void* list) {
    return walkWith([list](uint32_t* c, uint32_t* i, uint32_t* t, uint32_t* n) {
        return TAL_List_GetNextParameter(list, c, i, t, n);
    });
}

inline tal::Param readValue(uint32_t id, uint32_t type, uint32_t count, const void* value) {
    tal::Param p;
    p.id = id;
    p.type = type;
    p.count = count;
    switch (type) {
        case TAL_TYPE_BYTE:
            p.intValue = TAL_Value_PVOID_To_BYTE(value);
            break;
        case TAL_TYPE_NONE:
        case TAL_TYPE_INT:
            p.intValue = TAL_Value_PVOID_To_INT(value);
            break;
        case TAL_TYPE_BYTE_ARRAY: {
            const uint8_t* bytes = TAL_Value_PVOID_To_PBYTE(value);
            p.bytes.assign(bytes, bytes + count);
            break;
        }
        case TAL_TYPE_INT_ARRAY: {
            const int32_t* ints = TAL_Value_PVOID_To_PINT(value);
            p.ints.assign(ints, ints + count);
            break;
        }
        case TAL_TYPE_STRING: {
            const char* text = TAL_Value_PVOID_To_STRING(value);
            EXPECT_EQ(std::strlen(text), count) << "string count is its length";
            p.text = text;
            break;
        }
        case TAL_TYPE_LIST:
            p.list = walkList(value);
            EXPECT_EQ(p.list.size(), count) << "list count is its entries";
            break;
        default:
            ADD_FAILURE() << "unknown type " << type << " in a walk";
    }
    return p;
}

}  // namespace taltest

#endif
