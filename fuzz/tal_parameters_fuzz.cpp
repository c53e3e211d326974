// Builds a TAL event from a program of parameter appends (TalProgram.h), walks it back against
// the model of what was appended, destroys everything and checks that no event or list is left.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "TalProgram.h"
#include "tal/BoardSide.h"
#include "tal/tal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto& board = tal::BoardSide::instance();
    const std::size_t events0 = board.liveEvents();
    const std::size_t lists0 = board.liveLists();
    {
        fuzz::Input in(data, size);
        const uint32_t eventId = in.u32();
        const TAL_EVENT ev = TAL_Event_Create(eventId);
        fuzz::check(ev != 0, "TAL_Event_Create failed");
        fuzz::check(TAL_Event_GetID(ev) == eventId, "event id differs");

        // Ids: one byte picks a small id (collisions are common) or reads a full 32-bit one.
        fuzz::TreeBuilder builder(
            in,
            [](fuzz::Input& input) {
                const uint8_t b = input.byte();
                return b < 0xf0 ? static_cast<uint32_t>(b) : input.u32();
            },
            40);
        std::vector<fuzz::Node> model;
        // Several top-level programs until the input is used up.
        while (!in.empty()) builder.fillEvent(ev, model);

        fuzz::compareWalk(
            [ev](uint32_t* cursor, uint32_t* id, uint32_t* type, uint32_t* count) {
                return TAL_Event_GetNextParameter(ev, cursor, id, type, count);
            },
            model, true);
        builder.checkAndDestroyKept();
        fuzz::check(TAL_Event_Destroy(ev) == TAL_OK, "the event could not be destroyed");
        fuzz::check(TAL_Event_Destroy(ev) != TAL_OK, "the event was destroyed twice");
        uint32_t cursor = 0;
        fuzz::check(TAL_Event_GetNextParameter(ev, &cursor, nullptr, nullptr, nullptr) == nullptr,
                    "a destroyed event can still be walked");
    }
    fuzz::check(board.liveEvents() == events0, "TAL events leaked");
    fuzz::check(board.liveLists() == lists0, "TAL lists leaked");
    return 0;
}
