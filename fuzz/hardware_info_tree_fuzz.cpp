// The HAL's translator of the hardware-information completion on a random parameter tree: ids
// mostly from those it knows, types at random (lists where scalars belong and the reverse). The
// translation must free the request, give one completion that is freed here, and leave no host
// object, TAL event or TAL list behind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "AdminEvents.h"
#include "TalProgram.h"
#include "mirrdlld/TnwkLogControl.h"
#include "mtcore/Events.h"
#include "mtcore/MT_OEM.h"
#include "tal/BoardSide.h"
#include "tal/tal.h"

namespace {

// The ids the translator reads, at every level of the tree.
constexpr uint32_t kKnownIds[] = {0x500000, 0x500001, 0x500002, 0x500003, 0x500004, 0x500005,
                                  0x500006, 0x500007, 0x500009, 0x50000a, 0x50000b, 0x50000c,
                                  0x50004e, 0x500050, 0x500051, 0x500052, 0x500053, 0x500054};
constexpr uint32_t kCompletionId = 0x102000;

CProcess_cmp_TAL_GETHWINFO& translator() {
    static CProcess_cmp_TAL_GETHWINFO t{kCompletionId, MTCore::ids::cmp_PAL_GETHWINFO,
                                        "cmp_PAL_GETHWINFO"};
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = TnwkLogSetOutput("none") == 0;
    fuzz::check(quiet, "TnwkLogSetOutput(\"none\") failed");
    CProcess_cmp_TAL_GETHWINFO& hwInfo = translator();

    auto& board = tal::BoardSide::instance();
    const std::size_t events0 = board.liveEvents();
    const std::size_t lists0 = board.liveLists();
    const std::size_t objects0 = MTCore::MT_OEM::MToem_LiveObjects();
    {
        fuzz::Input in(data, size);
        const uint8_t flags = in.byte();
        const TAL_EVENT ev = TAL_Event_Create(kCompletionId);
        fuzz::check(ev != 0, "TAL_Event_Create failed");

        fuzz::TreeBuilder builder(
            in,
            [](fuzz::Input& input) {
                const uint8_t b = input.byte();
                if (b < 0xf0) return kKnownIds[b % std::size(kKnownIds)];
                return b < 0xf8 ? 0x500000u + input.byte() : input.u32();
            },
            40);
        std::vector<fuzz::Node> model;
        while (!in.empty()) builder.fillEvent(ev, model);
        builder.checkAndDestroyKept();

        // Bit 0 of the first byte: a completion without its request (the ACT is null).
        MTCore::MT_OEM factory;
        MTCore::Core_TransInfo* request = nullptr;
        if ((flags & 1) == 0) {
            request = factory.MToem_CreateObj(MTCore::ids::req_PAL_GETHWINFO);
            fuzz::check(request != nullptr, "no request object");
            TAL_Event_SetACT(ev, request);
        }
        MTCore::Core_TransInfo* completion = hwInfo.CreatePalEvent(ev);
        if (request == nullptr) {
            fuzz::check(completion == nullptr, "a completion without a request");
        } else {
            auto* info = dynamic_cast<MTCore::Ev_cmp_PAL_GETHWINFO*>(completion);
            fuzz::check(info != nullptr, "the completion is not a hardware information");
            fuzz::check(info->noOfBoards >= 0 &&
                            static_cast<std::size_t>(info->noOfBoards) == info->hwInfoList.size(),
                        "board count differs from the boards listed");
            for (const auto& elem : info->hwInfoList) {
                fuzz::check(elem.logicalID != -1, "a board without logical id is listed");
            }
            factory.MToem_DeleteObj(completion);
        }
        fuzz::check(TAL_Event_Destroy(ev) == TAL_OK, "the event could not be destroyed");
    }
    fuzz::check(board.liveEvents() == events0, "TAL events leaked");
    fuzz::check(board.liveLists() == lists0, "TAL lists leaked");
    fuzz::check(MTCore::MT_OEM::MToem_LiveObjects() == objects0, "host objects leaked");
    return 0;
}
