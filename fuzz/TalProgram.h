// Turns fuzz input into a tree of TAL parameters, and keeps a model of what the library must give
// back when the tree is walked.
//
// The input is read as a small program. Each level starts with one byte whose low four bits say
// how many parameters follow; each parameter is an operation byte, an id (chosen by the caller's
// IdSource) and, depending on the operation, a count and value bytes. Counts of arrays and strings
// are cut to the bytes still available, and every value is copied into a buffer of the builder
// before it is handed to the library, so the library never reads past anything we own. When the
// input runs out, the program simply ends.
//
// Operations (low four bits of the operation byte):
//   0 NONE, 1 BYTE, 2 INT          scalar with a count byte (0xff stands for 0xffffffff)
//   3 BYTE_ARRAY, 4 INT_ARRAY      array, possibly with a null pointer when the count is 0
//   5 STRING                       text of up to 255 bytes, NULs included (the library stops there)
//   6, 7 nested list               a new list filled by a nested program, then appended
//   8 existing list                a list kept from earlier (or, in a list, the list itself)
//   9 dead list                    0 or a list already destroyed: must be refused
//  10 unknown type                 must be refused; nothing is appended
//  11 null value                   null string, or null array with a count: must be refused
//  12 two runs in one call         an INT then an unknown type: the INT stays, the call fails
//  13 owned list                   a list held inside the target: appending a copy of it works,
//                                  destroying it or appending to it is refused
// In a run (lists, operation 12, and events with bit 0x10) id 0 ends the call, so such a step
// appends nothing. Bit 0x10 sends a parameter to an event through TAL_Event_SetParameters instead
// of TAL_Event_SetParameter; bit 0x20 keeps a nested list for later use instead of destroying it
// right after it was appended.
#ifndef TARNWICK_FUZZ_TALPROGRAM_H
#define TARNWICK_FUZZ_TALPROGRAM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tal/tal.h"

namespace fuzz {

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void check(bool condition, const char* what) {
    if (!condition) fail(what);
}

// Sequential reader over the input; reads past the end give zeros.
class Input {
  public:
    Input(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    std::size_t remaining() const { return m_size - m_pos; }

    uint8_t byte() { return empty() ? 0 : m_data[m_pos++]; }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | byte();
        return v;
    }
    // Up to n bytes, copied.
    std::vector<uint8_t> take(std::size_t n) {
        if (n > remaining()) n = remaining();
        std::vector<uint8_t> out(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return out;
    }

  private:
    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// What one parameter must read back as.
struct Node {
    uint32_t id = 0;
    uint32_t type = TAL_TYPE_NONE;
    uint32_t count = 0;
    int32_t scalar = 0;  // NONE, INT; BYTE as 0..255
    std::vector<uint8_t> bytes;
    std::vector<int32_t> ints;
    std::string text;
    std::vector<Node> children;  // LIST
};

// Size of a tree as the library bounds it; used only to know when an append must succeed.
struct TreeSize {
    std::size_t params = 0;
    std::size_t depth = 0;
};

inline TreeSize sizeOf(const std::vector<Node>& nodes) {
    TreeSize size;
    for (const Node& n : nodes) {
        size.params += 1;
        if (n.type == TAL_TYPE_LIST) {
            const TreeSize inner = sizeOf(n.children);
            size.params += inner.params;
            if (inner.depth + 1 > size.depth) size.depth = inner.depth + 1;
        }
    }
    return size;
}

// Well inside every bound of the library: an append that stays below these must succeed.
inline bool comfortablySmall(const TreeSize& size) {
    return size.params <= 2048 && size.depth <= 16;
}

// Walks a parameter set (an event's or a list's) and compares it with the model.
using NextFn = std::function<const void*(uint32_t*, uint32_t*, uint32_t*, uint32_t*)>;

inline void compareWalk(const NextFn& next, const std::vector<Node>& expected, bool tryOwned);

inline void compareListValue(const void* value, const std::vector<Node>& expected, bool tryOwned) {
    compareWalk(
        [value](uint32_t* cursor, uint32_t* id, uint32_t* type, uint32_t* count) {
            return TAL_List_GetNextParameter(value, cursor, id, type, count);
        },
        expected, tryOwned);
}

inline bool aligned4(const void* p) {
    return reinterpret_cast<uintptr_t>(p) % alignof(int32_t) == 0;
}

inline void compareWalk(const NextFn& next, const std::vector<Node>& expected, bool tryOwned) {
    uint32_t cursor = 0;
    for (const Node& want : expected) {
        uint32_t id = 0, type = 0, count = 0;
        const void* value = next(&cursor, &id, &type, &count);
        if (value == nullptr) {
            std::fprintf(stderr, "walk ended at parameter %u; appended id 0x%x type %u count %u\n",
                         cursor, want.id, want.type, want.count);
            fail("walk ended before the last parameter");
        }
        if (id != want.id || type != want.type || count != want.count) {
            std::fprintf(
                stderr,
                "parameter %u: read id 0x%x type %u count %u, appended id 0x%x type %u count %u\n",
                cursor - 1, id, type, count, want.id, want.type, want.count);
            fail("parameter differs from what was appended");
        }
        switch (type) {
            case TAL_TYPE_NONE:
            case TAL_TYPE_INT:
                check(aligned4(value), "32-bit value not aligned");
                check(TAL_Value_PVOID_To_INT(value) == want.scalar, "integer value differs");
                break;
            case TAL_TYPE_BYTE:
                check(TAL_Value_PVOID_To_BYTE(value) == static_cast<uint8_t>(want.scalar),
                      "byte value differs");
                break;
            case TAL_TYPE_BYTE_ARRAY:
                check(want.bytes.empty() || std::memcmp(TAL_Value_PVOID_To_PBYTE(value),
                                                        want.bytes.data(), want.bytes.size()) == 0,
                      "byte array differs");
                break;
            case TAL_TYPE_INT_ARRAY: {
                const int32_t* ints = TAL_Value_PVOID_To_PINT(value);
                check(aligned4(ints), "int array not aligned");
                for (std::size_t i = 0; i < want.ints.size(); ++i) {
                    check(ints[i] == want.ints[i], "int array differs");
                }
                break;
            }
            case TAL_TYPE_STRING: {
                const char* text = TAL_Value_PVOID_To_STRING(value);
                check(std::memcmp(text, want.text.data(), want.text.size()) == 0 &&
                          text[want.text.size()] == '\0',
                      "string differs");
                break;
            }
            case TAL_TYPE_LIST: {
                compareListValue(value, want.children, tryOwned);
                if (tryOwned) {
                    // A list held inside another object is read-only for the caller.
                    TAL_LIST owned = 0;
                    std::memcpy(&owned, value, sizeof owned);
                    check(TAL_List_Destroy(owned) != TAL_OK, "an owned list could be destroyed");
                    check(TAL_List_SetParameters(owned, uint32_t{1}, uint32_t{TAL_TYPE_INT},
                                                 uint32_t{0}, 1, uint32_t{0}) != TAL_OK,
                          "an owned list could be changed");
                }
                break;
            }
            default:
                fail("unknown type read back");
        }
    }
    uint32_t id = 1, type = 1, count = 1;
    const uint32_t end = cursor;
    check(next(&cursor, &id, &type, &count) == nullptr, "walk goes past the last parameter");
    check(id == 0 && type == 0 && count == 0, "outputs past the end are not 0");
    check(cursor == end, "cursor moved past the end");
}

// Builds parameters into events and lists from the program; see the top of this file.
class TreeBuilder {
  public:
    // Chooses the id of the next parameter, reading from the input as it likes.
    using IdSource = std::function<uint32_t(Input&)>;

    TreeBuilder(Input& input, IdSource ids, std::size_t maxNesting)
        : m_in(input), m_ids(std::move(ids)), m_maxNesting(maxNesting) {}

    TreeBuilder(const TreeBuilder&) = delete;
    TreeBuilder& operator=(const TreeBuilder&) = delete;

    ~TreeBuilder() { destroyKept(); }

    // Fills the event; the model of what it holds grows alongside.
    void fillEvent(TAL_EVENT ev, std::vector<Node>& model) { fill(Target{ev, 0}, model, 0); }

    // Walks every list kept for later against its model, then destroys them.
    void checkAndDestroyKept() {
        for (Kept& k : m_kept) {
            const TAL_LIST list = k.list;
            compareListValue(&list, k.model, false);
            check(TAL_List_Destroy(list) == TAL_OK, "a created list could not be destroyed");
        }
        m_kept.clear();
    }

  private:
    struct Target {
        TAL_EVENT event;  // one of the two is set
        TAL_LIST list;
    };
    struct Kept {
        TAL_LIST list;
        std::vector<Node> model;
    };

    void destroyKept() {
        for (Kept& k : m_kept) TAL_List_Destroy(k.list);
        m_kept.clear();
    }

    // Appends one run; viaRuns chooses the variadic call for events.
    int append(Target t, bool viaRuns, uint32_t id, uint32_t type, uint32_t count, intptr_t value) {
        if (t.event != 0 && !viaRuns) {
            uint32_t cursor = 0;
            const int r = TAL_Event_SetParameter(t.event, &cursor, id, type, count, value);
            check(cursor == (r == TAL_OK ? 1u : 0u), "cursor does not count the append");
            return r;
        }
        const bool pointer =
            type == TAL_TYPE_BYTE_ARRAY || type == TAL_TYPE_INT_ARRAY || type == TAL_TYPE_STRING;
        if (t.event != 0) {
            return pointer
                       ? TAL_Event_SetParameters(t.event, id, type, count,
                                                 reinterpret_cast<const void*>(value), uint32_t{0})
                       : TAL_Event_SetParameters(t.event, id, type, count, static_cast<int>(value),
                                                 uint32_t{0});
        }
        return pointer ? TAL_List_SetParameters(t.list, id, type, count,
                                                reinterpret_cast<const void*>(value), uint32_t{0})
                       : TAL_List_SetParameters(t.list, id, type, count, static_cast<int>(value),
                                                uint32_t{0});
    }

    // The size the target would have with one more parameter.
    static TreeSize sizeWith(const std::vector<Node>& model, const Node& node) {
        TreeSize size = sizeOf(model);
        const TreeSize extra = sizeOf(std::vector<Node>{node});
        size.params += extra.params;
        if (extra.depth > size.depth) size.depth = extra.depth;
        return size;
    }

    // Records the outcome of an append that the model says may work.
    void settle(int result, std::vector<Node>& model, Node node) {
        if (result == TAL_OK) {
            model.push_back(std::move(node));
        } else {
            check(result == TAL_ERR_NO_MEMORY, "a sound append was refused as invalid");
            check(!comfortablySmall(sizeWith(model, node)), "a small append was refused");
        }
    }

    void fill(Target t, std::vector<Node>& model, std::size_t nesting) {
        const unsigned n = m_in.byte() & 0x0f;
        for (unsigned i = 0; i < n && !m_in.empty(); ++i) step(t, model, nesting);
    }

    void step(Target t, std::vector<Node>& model, std::size_t nesting) {
        const uint8_t op = m_in.byte();
        const bool viaRuns = (op & 0x10) != 0;
        const bool keep = (op & 0x20) != 0;
        const uint32_t id = m_ids(m_in);
        if (id == 0 && (viaRuns || t.list != 0 || (op & 0x0f) == 12)) {
            // In a run, id 0 ends the call: it succeeds and appends nothing (the final walk
            // checks the latter).
            check(append(t, true, 0, TAL_TYPE_INT, 0, 1) == TAL_OK, "an empty run failed");
            return;
        }
        Node node;
        node.id = id;
        switch (op & 0x0f) {
            case 0:
            case 1:
            case 2: {
                static constexpr uint32_t kTypes[] = {TAL_TYPE_NONE, TAL_TYPE_BYTE, TAL_TYPE_INT};
                node.type = kTypes[op & 0x0f];
                const uint8_t c = m_in.byte();
                node.count = c == 0xff ? 0xffffffffu : c;
                const uint32_t raw = m_in.u32();
                node.scalar = node.type == TAL_TYPE_BYTE ? static_cast<int32_t>(raw & 0xff)
                                                         : static_cast<int32_t>(raw);
                const int r = append(t, viaRuns, id, node.type, node.count,
                                     static_cast<intptr_t>(static_cast<int32_t>(raw)));
                settle(r, model, std::move(node));
                break;
            }
            case 3: {
                node.type = TAL_TYPE_BYTE_ARRAY;
                node.bytes = m_in.take(m_in.byte());
                node.count = static_cast<uint32_t>(node.bytes.size());
                const void* p = node.bytes.empty() && (op & 0x40) ? nullptr : node.bytes.data();
                const int r =
                    append(t, viaRuns, id, node.type, node.count, reinterpret_cast<intptr_t>(p));
                settle(r, model, std::move(node));
                break;
            }
            case 4: {
                node.type = TAL_TYPE_INT_ARRAY;
                std::size_t c = m_in.byte();
                if (c > m_in.remaining() / 4) c = m_in.remaining() / 4;
                for (std::size_t k = 0; k < c; ++k)
                    node.ints.push_back(static_cast<int32_t>(m_in.u32()));
                node.count = static_cast<uint32_t>(c);
                const void* p = node.ints.empty() && (op & 0x40) ? nullptr : node.ints.data();
                const int r =
                    append(t, viaRuns, id, node.type, node.count, reinterpret_cast<intptr_t>(p));
                settle(r, model, std::move(node));
                break;
            }
            case 5: {
                node.type = TAL_TYPE_STRING;
                const std::vector<uint8_t> raw = m_in.take(m_in.byte());
                const std::string buffer(raw.begin(), raw.end());  // NUL-terminated copy
                node.text.assign(buffer.c_str());                  // what the library keeps
                node.count = static_cast<uint32_t>(node.text.size());
                // The count given on input is ignored for strings.
                const int r = append(t, viaRuns, id, node.type, 0xffffffffu,
                                     reinterpret_cast<intptr_t>(buffer.c_str()));
                settle(r, model, std::move(node));
                break;
            }
            case 6:
            case 7: {
                if (nesting >= m_maxNesting) break;
                const TAL_LIST list = TAL_List_Create();
                check(list != 0, "TAL_List_Create failed");
                std::vector<Node> inner;
                fill(Target{0, list}, inner, nesting + 1);
                appendList(t, viaRuns, id, list, inner, model);
                if (keep) {
                    m_kept.push_back({list, std::move(inner)});
                } else {
                    check(TAL_List_Destroy(list) == TAL_OK,
                          "a created list could not be destroyed");
                }
                break;
            }
            case 8: {
                if (t.list != 0 && (op & 0x40)) {
                    // A list appended to itself holds a copy of its former content.
                    appendList(t, viaRuns, id, t.list, model, model);
                } else if (!m_kept.empty()) {
                    const Kept& k = m_kept[m_in.byte() % m_kept.size()];
                    const TAL_LIST list = k.list;
                    const std::vector<Node> content = k.model;
                    appendList(t, viaRuns, id, list, content, model);
                }
                break;
            }
            case 9: {
                TAL_LIST dead = 0;
                if (op & 0x40) {
                    dead = TAL_List_Create();
                    check(dead != 0, "TAL_List_Create failed");
                    check(TAL_List_Destroy(dead) == TAL_OK, "a new list could not be destroyed");
                    check(TAL_List_Destroy(dead) != TAL_OK, "a list was destroyed twice");
                }
                check(
                    append(t, viaRuns, id, TAL_TYPE_LIST, 0, static_cast<intptr_t>(dead)) != TAL_OK,
                    "a dead list was appended");
                break;
            }
            case 10: {
                static constexpr uint32_t kBad[] = {2,  4,           5,           10,
                                                    11, 0x80000009u, 0xffffffffu, 0x109};
                const uint32_t type = kBad[m_in.byte() % std::size(kBad)];
                check(append(t, viaRuns, id, type, 0, 0) != TAL_OK, "an unknown type was appended");
                break;
            }
            case 11: {
                static constexpr uint32_t kPtr[] = {TAL_TYPE_STRING, TAL_TYPE_BYTE_ARRAY,
                                                    TAL_TYPE_INT_ARRAY};
                const uint32_t type = kPtr[m_in.byte() % 3];
                const uint32_t count = type == TAL_TYPE_STRING ? 0 : 1u + m_in.byte();
                check(append(t, viaRuns, id, type, count, 0) != TAL_OK,
                      "a null value was appended");
                break;
            }
            case 12: {
                // Two runs: the first one stays although the second one stops the call.
                const int32_t value = static_cast<int32_t>(m_in.u32());
                const int r = t.event != 0
                                  ? TAL_Event_SetParameters(t.event, id, uint32_t{TAL_TYPE_INT},
                                                            uint32_t{0}, value, id, uint32_t{42},
                                                            uint32_t{0}, 0, uint32_t{0})
                                  : TAL_List_SetParameters(t.list, id, uint32_t{TAL_TYPE_INT},
                                                           uint32_t{0}, value, id, uint32_t{42},
                                                           uint32_t{0}, 0, uint32_t{0});
                check(r != TAL_OK, "a run of unknown type was accepted");
                node.type = TAL_TYPE_INT;
                node.scalar = value;
                if (r == TAL_ERR_INVALID) {
                    // The INT went in before the unknown run stopped the call.
                    model.push_back(std::move(node));
                } else {
                    check(r == TAL_ERR_NO_MEMORY && !comfortablySmall(sizeWith(model, node)),
                          "the first of two runs failed in a small tree");
                }
                break;
            }
            case 13: {
                // A copy of a list held inside the target, found by walking the target.
                const NextFn next = nextOf(t);
                uint32_t cursor = 0, pid = 0, type = 0, count = 0;
                std::size_t index = 0;
                const uint8_t pick = m_in.byte();
                for (const void* v = next(&cursor, &pid, &type, &count); v != nullptr;
                     v = next(&cursor, &pid, &type, &count), ++index) {
                    if (type != TAL_TYPE_LIST || index % 4 != pick % 4) continue;
                    TAL_LIST owned = 0;
                    std::memcpy(&owned, v, sizeof owned);
                    check(index < model.size() && model[index].type == TAL_TYPE_LIST,
                          "walk and model disagree");
                    const std::vector<Node> content = model[index].children;
                    check(TAL_List_Destroy(owned) != TAL_OK, "an owned list could be destroyed");
                    appendList(t, viaRuns, id, owned, content, model);
                    break;
                }
                break;
            }
            default:
                break;
        }
    }

    NextFn nextOf(Target t) {
        if (t.event != 0) {
            const TAL_EVENT ev = t.event;
            return [ev](uint32_t* c, uint32_t* i, uint32_t* ty, uint32_t* n) {
                return TAL_Event_GetNextParameter(ev, c, i, ty, n);
            };
        }
        const TAL_LIST list = t.list;
        return [list](uint32_t* c, uint32_t* i, uint32_t* ty, uint32_t* n) {
            return TAL_List_GetNextParameter(&list, c, i, ty, n);
        };
    }

    void appendList(Target t, bool viaRuns, uint32_t id, TAL_LIST list,
                    const std::vector<Node>& content, std::vector<Node>& model) {
        Node node;
        node.id = id;
        node.type = TAL_TYPE_LIST;
        node.count = static_cast<uint32_t>(content.size());
        node.children = content;
        const int r = append(t, viaRuns, id, TAL_TYPE_LIST, 0,
                             static_cast<intptr_t>(static_cast<int32_t>(list)));
        settle(r, model, std::move(node));
    }

    Input& m_in;
    IdSource m_ids;
    std::size_t m_maxNesting;
    std::vector<Kept> m_kept;
};

}  // namespace fuzz

#endif
