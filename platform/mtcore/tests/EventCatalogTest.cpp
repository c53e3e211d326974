#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <typeinfo>

#include "mtcore/EventCatalog.h"
#include "mtcore/Events.h"
#include "mtcore/MT_OEM.h"

namespace MTCore {
namespace {

std::string prefixOf(EventClass c) {
    switch (c) {
        case EventClass::Request:
            return "req_PAL_";
        case EventClass::Completion:
            return "cmp_PAL_";
        case EventClass::Notification:
            return "ntf_PAL_";
        default:
            return "?";
    }
}

TEST(EventCatalog, EveryKindIsCreatedWithItsIdTypeAndName) {
    MT_OEM oem;
    const std::size_t before = MT_OEM::MToem_LiveObjects();
    for (const EventKindInfo& kind : eventKinds()) {
        SCOPED_TRACE(kind.name);
        Core_TransInfo* object = oem.MToem_CreateObj(kind.id);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->eventId, kind.id);
        EXPECT_EQ(object->resultCode, 0);
        EXPECT_EQ(object->detailCode, 0);
        EXPECT_EQ(object->handle, 0u);
        EXPECT_TRUE(typeid(*object) == *kind.payload) << typeid(*object).name();
        EXPECT_STREQ(oem_ReturnEvtIdString(kind.id), kind.name);
        EXPECT_EQ(std::string(kind.name).rfind(prefixOf(kind.eventClass), 0), 0u);
        EXPECT_EQ(findEventKind(kind.id), &kind);
        oem.MToem_DeleteObj(object);
    }
    EXPECT_EQ(MT_OEM::MToem_LiveObjects(), before);
}

TEST(EventCatalog, IdsAndNamesAreUnique) {
    std::set<uint32_t> ids;
    std::set<std::string> names;
    for (const EventKindInfo& kind : eventKinds()) {
        EXPECT_TRUE(ids.insert(kind.id).second) << std::hex << kind.id;
        EXPECT_TRUE(names.insert(kind.name).second) << kind.name;
        EXPECT_NE(kind.eventClass, EventClass::Other) << kind.name;
    }
}

// Every request has its completion (request id + 0x02000001, same verb) and every completion its
// request, so the factory answers any request with a typed completion.
TEST(EventCatalog, RequestsAndCompletionsPairUp) {
    for (const EventKindInfo& kind : eventKinds()) {
        SCOPED_TRACE(kind.name);
        const std::string verb = std::string(kind.name).substr(std::strlen("req_PAL_"));
        if (kind.eventClass == EventClass::Request) {
            const EventKindInfo* completion = findEventKind(MToem_CompletionId(kind.id));
            ASSERT_NE(completion, nullptr);
            EXPECT_EQ(completion->name, "cmp_PAL_" + verb);
        } else if (kind.eventClass == EventClass::Completion) {
            const EventKindInfo* request = findEventKind(kind.id - 0x02000001u);
            ASSERT_NE(request, nullptr);
            EXPECT_EQ(request->name, "req_PAL_" + verb);
        }
    }
}

TEST(EventCatalog, KindsTheHalRelyOnHaveTheirPayloadTypes) {
    struct Case {
        uint32_t id;
        const std::type_info& type;
    };
    const Case cases[] = {
        {ids::req_PAL_STARTPAL, typeid(Ev_req_PAL_STARTPAL)},
        {ids::cmp_PAL_REQHNDLS, typeid(Ev_cmp_PAL_REQHNDLS)},
        {ids::cmp_PAL_GETHWINFO, typeid(Ev_cmp_PAL_GETHWINFO)},
        {ids::cmp_PAL_ALARMINFO, typeid(Ev_req_PAL_SETALRMCONF)},
        {ids::cmp_PAL_GETALRMCONF, typeid(Ev_req_PAL_SETALRMCONF)},
        {ids::cmp_PAL_GETSPANPARAMS, typeid(Ev_req_PAL_GETSPANPARAMS)},
        {ids::req_PAL_DETACH, typeid(Ev_req_PAL_ROUTE)},
        {ids::req_PAL_UNLISTEN, typeid(Core_TransInfo)},
        {ids::cmp_PAL_GETCHSTATE, typeid(Ev_req_PAL_SETCHSTATE)},
        {ids::cmp_PAL_GETPARAMS, typeid(Ev_req_PAL_SETPARAMS)},
        {ids::req_PAL_VSSPEEDRX, typeid(Ev_req_PAL_PSPEED)},
        {ids::req_PAL_VSVOLUMERX, typeid(Ev_req_PAL_PVOLUME)},
        {ids::cmp_PAL_VSSTARTRX, typeid(Ev_cmp_PAL_PPLAY)},
        {ids::cmp_PAL_VSGETPARAMSTX, typeid(Ev_req_PAL_VSGETPARAMSTX)},
        {ids::req_PAL_VSSETPARAMSTX, typeid(Ev_req_PAL_VSGETPARAMSTX)},
        {ids::ntf_PAL_VSDATA, typeid(Ev_ntf_PAL_VSDATA)},
        {ids::cmp_PAL_STOPPAL, typeid(Core_TransInfo)},
    };
    MT_OEM oem;
    for (const Case& c : cases) {
        MToem_Ptr<> object(oem.MToem_CreateObj(c.id));
        EXPECT_TRUE(typeid(*object) == c.type) << oem_ReturnEvtIdString(c.id);
    }
}

TEST(EventCatalog, UnknownIdGivesABareObjectCarryingTheId) {
    MT_OEM oem;
    for (uint32_t id : {0u, 0x3acf0099u, 0xffffffffu, 0x106007u}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(findEventKind(id), nullptr);
        MToem_Ptr<> object(oem.MToem_CreateObj(id));
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->eventId, id);
        EXPECT_TRUE(typeid(*object) == typeid(Core_TransInfo));
    }
    EXPECT_STREQ(oem_ReturnEvtIdString(0x3acf0099u), "Unknown event 0x3acf0099");
    EXPECT_STREQ(oem_ReturnEvtIdString(0), "Unknown event 0x00000000");
}

TEST(EventCatalog, ErrorStrings) {
    EXPECT_STREQ(oem_ReturnErrorString(0), "MT_SUCCESS");
    EXPECT_STREQ(oem_ReturnErrorString(-102021), "MT_ERR_UNSUPPORTED_EVENT");
    EXPECT_STREQ(oem_ReturnErrorString(-102102), "MT_ERR_NOT_HANDLED_BY_HAL");
    EXPECT_STREQ(oem_ReturnErrorString(-987), "MT_ERR_HARDWARE_SERVICE");
    EXPECT_STREQ(oem_ReturnErrorString(5), "Error 5");
    EXPECT_STREQ(oem_ReturnErrorString(INT_MIN), "Error -2147483648");
}

TEST(Factory, CompletionCarriesIdAndHandleButNotTheRequestCodes) {
    MT_OEM oem;
    auto* request = oem.MToem_CreateObjAs<Ev_req_PAL_MAKECALL>(ids::req_PAL_MAKECALL);
    ASSERT_NE(request, nullptr);
    request->handle = 0x20012345u;
    request->resultCode = -1;
    request->detailCode = -2;
    request->CR = 77;
    MToem_Ptr<> completion(oem.MToem_CreateCompletionObj(request));
    ASSERT_NE(completion, nullptr);
    EXPECT_EQ(completion->eventId, ids::cmp_PAL_MAKECALL);
    EXPECT_EQ(completion->handle, 0x20012345u);
    EXPECT_EQ(completion->resultCode, 0);
    EXPECT_EQ(completion->detailCode, 0);
    auto* typed = dynamic_cast<Ev_cmp_PAL_MAKECALL*>(completion.get());
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(typed->CR, 0u);  // the factory copies no payload
    oem.MToem_DeleteObj(request);
}

TEST(Factory, CompletionOfAnUnknownRequestIsBare) {
    MT_OEM oem;
    MToem_Ptr<> request(oem.MToem_CreateObj(0x3acf0020u));
    request->handle = 9;
    MToem_Ptr<> completion(oem.MToem_CreateCompletionObj(request.get()));
    ASSERT_NE(completion, nullptr);
    EXPECT_EQ(completion->eventId, 0x3ccf0021u);
    EXPECT_EQ(completion->handle, 9u);
}

TEST(Factory, NullInput) {
    MT_OEM oem;
    const std::size_t before = MT_OEM::MToem_LiveObjects();
    EXPECT_EQ(oem.MToem_CreateCompletionObj(nullptr), nullptr);
    oem.MToem_DeleteObj(nullptr);
    EXPECT_EQ(MT_OEM::MToem_LiveObjects(), before);
}

TEST(Factory, TypedCreateOfTheWrongTypeLeavesNothing) {
    MT_OEM oem;
    const std::size_t before = MT_OEM::MToem_LiveObjects();
    EXPECT_EQ(oem.MToem_CreateObjAs<Ev_req_PAL_MAKECALL>(ids::req_PAL_STOPPAL), nullptr);
    EXPECT_EQ(oem.MToem_CreateObjAs<Ev_req_PAL_ROUTE>(0x12345678u), nullptr);
    EXPECT_EQ(MT_OEM::MToem_LiveObjects(), before);
    // Core_TransInfo is every kind's base.
    MToem_Ptr<> any(oem.MToem_CreateObjAs<Core_TransInfo>(ids::req_PAL_PPLAY));
    EXPECT_NE(any, nullptr);
}

TEST(Factory, LiveCountFollowsEveryHostObject) {
    MT_OEM oem;
    const std::size_t before = MT_OEM::MToem_LiveObjects();
    auto* hw = oem.MToem_CreateObjAs<Ev_cmp_PAL_GETHWINFO>(ids::cmp_PAL_GETHWINFO);
    ASSERT_NE(hw, nullptr);
    EXPECT_EQ(MT_OEM::MToem_LiveObjects(), before + 1);
    Pal_Ev_HwInfoElem element;
    hw->hwInfoList.push_back(element);
    hw->hwInfoList.push_back(element);
    EXPECT_EQ(MT_OEM::MToem_LiveObjects(), before + 4);  // hw, element and two copies
    oem.MToem_DeleteObj(hw);
    EXPECT_EQ(MT_OEM::MToem_LiveObjects(), before + 1);
}

TEST(Factory, PayloadsStartAtTheirDefaults) {
    MT_OEM oem;
    MToem_Ptr<Ev_req_PAL_PPLAY> play(oem.MToem_CreateObjAs<Ev_req_PAL_PPLAY>(ids::req_PAL_PPLAY));
    EXPECT_TRUE(play->text.empty());
    EXPECT_EQ(play->coder, 0);
    EXPECT_EQ(play->bargeIn, 0);
    EXPECT_EQ(play->speed, 0);
    MToem_Ptr<Ev_req_PAL_MAKECALL> call(
        oem.MToem_CreateObjAs<Ev_req_PAL_MAKECALL>(ids::req_PAL_MAKECALL));
    EXPECT_EQ(call->callParams, nullptr);
    EXPECT_EQ(call->netParams, nullptr);
    EXPECT_EQ(call->CR, 0u);
    MToem_Ptr<Ev_req_PAL_VSSTARTTX> tx(
        oem.MToem_CreateObjAs<Ev_req_PAL_VSSTARTTX>(ids::req_PAL_VSSTARTTX));
    EXPECT_EQ(tx->txParams, nullptr);
    EXPECT_EQ(tx->streamQueue, nullptr);
    EXPECT_EQ(tx->replyQueue, nullptr);
}

TEST(Factory, OwnedMembersComeWithTheObject) {
    MT_OEM oem;
    MToem_Ptr<Ev_cmp_PAL_GETCALLINFO> info(
        oem.MToem_CreateObjAs<Ev_cmp_PAL_GETCALLINFO>(ids::cmp_PAL_GETCALLINFO));
    ASSERT_NE(info->callParams, nullptr);
    EXPECT_TRUE(info->callParams->empty());
    info->callParams->setText(eCP_ANI, "5551234");  // freed with the object

    MToem_Ptr<Ev_ntf_PAL_VSDATA> data(
        oem.MToem_CreateObjAs<Ev_ntf_PAL_VSDATA>(ids::ntf_PAL_VSDATA));
    ASSERT_NE(data->dataBuffer, nullptr);
    EXPECT_EQ(data->dataBufferSize, kMT_VsDataBufferSize);
    EXPECT_EQ(data->dataSize, 0u);
    data->dataBuffer[kMT_VsDataBufferSize - 1] = 0x5a;  // the whole area is writable
}

TEST(Factory, OfferedCallsGetDistinctCallReferences) {
    MT_OEM oem;
    std::set<uint32_t> seen;
    for (int i = 0; i < 5; ++i) {
        MToem_Ptr<Ev_ntf_PAL_CALLOFFERED> offered(
            oem.MToem_CreateObjAs<Ev_ntf_PAL_CALLOFFERED>(ids::ntf_PAL_CALLOFFERED));
        EXPECT_NE(offered->CR, 0u);
        EXPECT_TRUE(seen.insert(offered->CR).second);
    }
}

}  // namespace
}  // namespace MTCore
