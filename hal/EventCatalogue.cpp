#include "EventCatalogue.h"

#include <iterator>

#include "AdminEvents.h"
#include "AlarmEvents.h"
#include "TdmEvents.h"

namespace {

// Kinds served by the generic translators of their direction. A kind whose own translator class
// is not written yet uses the generic one of its direction meanwhile; the class it is meant to get
// is named at the end of its row, and the swap is a change of that row's factory.
constexpr TranslatorFactory kRequest = &MakeTranslator<CSimplePalEvent>;
constexpr TranslatorFactory kCompletion = &MakeTranslator<CSimpleTalEvent>;
constexpr TranslatorFactory kNotification = &MakeTranslator<CSimpleNotifyTalEvent>;

// Completions and notifications, keyed by TAL id.
constexpr CatalogueRow kTalRows[] = {
    {0x102004, 0x3ccf0009, "cmp_PAL_STOPPAL", kCompletion},
    {0x102002, 0x3ccf0005, "cmp_PAL_RETHNDLS", kCompletion},
    {0x103005, 0x3ccf000f, "cmp_PAL_SETALRMCONF", kCompletion},
    {0x104001, 0x3ccd0005, "cmp_PAL_DETACH", kCompletion},
    {0x104000, 0x3ccd0003, "cmp_PAL_ATTACH", kCompletion},
    {0x104002, 0x3ccd0007, "cmp_PAL_LISTEN", kCompletion},
    {0x104004, 0x3ccd0009, "cmp_PAL_UNLISTEN", kCompletion},
    {0x104003, 0x3ccd000b, "cmp_PAL_ROUTE", kCompletion},
    {0x104005, 0x3ccd000d, "cmp_PAL_UNROUTE", kCompletion},
    {0x105000, 0x3cc80017, "cmp_PAL_ACCEPTCALL", kCompletion},
    {0x105001, 0x3cc80003, "cmp_PAL_ACTIVATEPORT", kCompletion},
    {0x105002, 0x3cc80015, "cmp_PAL_ANSWERCALL", kCompletion},
    {0x105003, 0x3cc80005, "cmp_PAL_DEACTIVATEPORT", kCompletion},
    {0x105004, 0x3cc80013, "cmp_PAL_DISINBOUND", kCompletion},
    {0x105006, 0x3cc80011, "cmp_PAL_ENINBOUND", kCompletion},
    {0x10500e, 0x3cc80009, "cmp_PAL_SETCHSTATE", kCompletion},
    {0x10500f, 0x3cc8000d, "cmp_PAL_SETPARAMS", kCompletion},
    {0x105010, 0x3cc8001f, "cmp_PAL_TRANSFERBLIND", kCompletion},
    {0x106000, 0x3cc40007, "cmp_PAL_PJUMP", kCompletion},
    {0x106001, 0x3cc40009, "cmp_PAL_PPAUSE", kCompletion},
    {0x106003, 0x3cc4000d, "cmp_PAL_PRESUME", kCompletion},
    {0x106004, 0x3cc40003, "cmp_PAL_PSPEED", kCompletion},
    {0x106005, 0x3cc4000f, "cmp_PAL_PSTOP", kCompletion},
    {0x106006, 0x3cc40005, "cmp_PAL_PVOLUME", kCompletion},
    {0x106008, 0x3cd10015, "cmp_PAL_VSPAUSERX", kCompletion},
    {0x106009, 0x3cd10017, "cmp_PAL_VSRESUMERX", kCompletion},
    {0x10600a, 0x3cd10013, "cmp_PAL_VSSPEEDRX", kCompletion},
    {0x10600c, 0x3cd1000f, "cmp_PAL_VSSTOPRX", kCompletion},
    {0x10600d, 0x3cd10011, "cmp_PAL_VSVOLUMERX", kCompletion},
    {0x107006, 0x3cd20003, "cmp_PAL_VSSTARTTX", kCompletion},
    {0x107003, 0x3cc50009, "cmp_PAL_RSTOP", kCompletion},
    // The transmit-stream stop completes under the receive-stream stop's id and name.
    {0x107007, 0x3cd1000f, "cmp_PAL_VSSTOPRX", kCompletion},
    {0x107002, 0x3cc50007, "cmp_PAL_RRESUME", kCompletion},
    {0x107000, 0x3cc50003, "cmp_PAL_RPAUSE", kCompletion},
    {0x107005, 0x3cd20009, "cmp_PAL_VSSETPARAMSTX", kCompletion},
    {0x109000, 0x3cc70003, "cmp_PAL_GSEND", kCompletion},
    {0x109001, 0x3cc70005, "cmp_PAL_GSTOP", kCompletion},
    {0x108001, 0x3cc60009, "cmp_PAL_DFLUSH", kCompletion},
    {0x108003, 0x3cc60007, "cmp_PAL_DSTOP", kCompletion},
    {0x203001, 0x3ec82725, "ntf_PAL_SPANBLOCKED", kNotification},
    {0x203002, 0x3ec82727, "ntf_PAL_SPANUNBLOCKED", kNotification},
    {0x205000, 0x3ec8271b, "ntf_PAL_ALERTING", kNotification},
    {0x205001, 0x3ec82715, "ntf_PAL_BLOCKED", kNotification},
    {0x205003, 0x3ec82719, "ntf_PAL_DIALING", kNotification},
    {0x205007, 0x3ec8271f, "ntf_PAL_PROCEEDING", kNotification},
    {0x205008, 0x3ec82717, "ntf_PAL_UNBLOCKED", kNotification},
    {0x206000, 0x3ed3273d, "ntf_PAL_PLYRTRIGGERED", kNotification},
    {0x207000, 0x3ed3273b, "ntf_PAL_RECTRIGGERED", kNotification},
    {0x102000, 0x3ccf000b, "cmp_PAL_GETHWINFO", &MakeTranslator<CProcess_cmp_TAL_GETHWINFO>},
    {0x102001, 0x3ccf0003, "cmp_PAL_REQHNDLS", &MakeTranslator<CProcess_cmp_TAL_REQHNDLS>},
    {0x102003, 0x3ccf0007, "cmp_PAL_STARTPAL", &MakeTranslator<CProcess_cmp_TAL_STARTTAL>},
    {0x103001, 0x3ccf000d, "cmp_PAL_ALARMINFO", &MakeTranslator<CProcess_cmp_TAL_ALARMINFO>},
    {0x103003, 0x3ccf0011, "cmp_PAL_GETALRMCONF", &MakeTranslator<CProcess_cmp_TAL_GETALRMCONF>},
    {0x103004, 0x3d4f0019, "cmp_PAL_GETSPANPARAMS",
     &MakeTranslator<CProcess_cmp_TAL_GETSPANPARAMS>},
    {0x105005, 0x3cc8001b, "cmp_PAL_DROPCALL", kCompletion},        // CProcess_cmp_TAL_DROPCALL
    {0x105007, 0x3cc80019, "cmp_PAL_GETCALLINFO", kCompletion},     // CProcess_cmp_TAL_GETCALLINFO
    {0x105008, 0x3cc8000b, "cmp_PAL_GETCHSTATE", kCompletion},      // CProcess_cmp_TAL_GETCHSTATE
    {0x105009, 0x3cc8000f, "cmp_PAL_GETPARAMS", kCompletion},       // CProcess_cmp_TAL_GETPARAMS
    {0x10500b, 0x3cc8001d, "cmp_PAL_MAKECALL", kCompletion},        // CProcess_cmp_TAL_MAKECALL
    {0x106002, 0x3cc4000b, "cmp_PAL_PPLAY", kCompletion},           // CProcess_cmp_TAL_PPLAY
    {0x10600b, 0x3cd1000d, "cmp_PAL_VSSTARTRX", kCompletion},       // CProcess_cmp_TAL_PVSSTART
    {0x106007, 0, "cmp_TAL_PVSDATA TAL: event only", kCompletion},  // CProcess_cmp_TAL_PVSDATA
    {0x107001, 0x3cc50005, "cmp_PAL_RRECORD", kCompletion},         // CProcess_cmp_TAL_RRECORD
    {0x107004, 0x3cd2000b, "cmp_PAL_VSGETPARAMSTX", kCompletion},   // CProcess_cmp_TAL_RVSGETPARAMS
    {0x108000, 0x3cc60003, "cmp_PAL_DDETECT", kCompletion},         // CProcess_cmp_TAL_DDETECT
    {0x108002, 0x3cc6000b, "cmp_PAL_DGETBUFFER", kCompletion},      // CProcess_cmp_TAL_DGETBUFFER
    {0x203000, 0x3ec82713, "ntf_PAL_ALARM", &MakeTranslator<CProcess_ntf_TAL_ALARM>},
    {0x205002, 0x3ec82711, "ntf_PAL_CALLOFFERED", kNotification},  // CProcess_ntf_TAL_CALLOFFERED
    {0x205004, 0x3ec8271d, "ntf_PAL_DISCONNECT", kNotification},   // CProcess_ntf_PAL_DISCONNECT
    {0x205006, 0x3ec82723, "ntf_PAL_MEDIADETECT", kNotification},  // CProcess_ntf_TAL_MEDIADETECT
    {0x206002, 0x3ed3273f, "ntf_PAL_VSRXTRIGGERED",
     kNotification},                                               // CProcess_ntf_TAL_PVSTRIGGERED
    {0x207001, 0x3ed32735, "ntf_PAL_VSDATA", kNotification},       // CProcess_ntf_TAL_RVSDATA
    {0x207002, 0x3ed32737, "ntf_PAL_VSDTMF", kNotification},       // CProcess_ntf_TAL_RVSDIGIT
    {0x207003, 0x3ed32739, "ntf_PAL_VSTRIGGERED", kNotification},  // CProcess_ntf_TAL_RVSTRIGGERED
};

// Requests, keyed by PAL id.
constexpr CatalogueRow kPalRows[] = {
    {0x2004, 0x3acf0008, "req_PAL_STOPPAL", kRequest},
    {0x2000, 0x3acf000a, "req_PAL_GETHWINFO", kRequest},
    {0x3001, 0x3acf000c, "req_PAL_ALARMINFO", kRequest},
    {0x3003, 0x3acf0010, "req_PAL_GETALRMCONF", kRequest},
    {0x3004, 0x3b4f0018, "req_PAL_GETSPANPARAMS", kRequest},
    {0x4001, 0x3acd0004, "req_PAL_DETACH", kRequest},  // replaced by its own row below
    {0x4003, 0x3acd0008, "req_PAL_UNLISTEN", kRequest},
    {0x5000, 0x3ac80016, "req_PAL_ACCEPTCALL", kRequest},
    {0x5001, 0x3ac80002, "req_PAL_ACTIVATEPORT", kRequest},
    {0x5002, 0x3ac80014, "req_PAL_ANSWERCALL", kRequest},
    {0x5003, 0x3ac80004, "req_PAL_DEACTIVATEPORT", kRequest},
    {0x5004, 0x3ac80012, "req_PAL_DISINBOUND", kRequest},
    {0x5006, 0x3ac80010, "req_PAL_ENINBOUND", kRequest},
    {0x5007, 0x3ac80018, "req_PAL_GETCALLINFO", kRequest},
    {0x5008, 0x3ac8000a, "req_PAL_GETCHSTATE", kRequest},
    {0x6001, 0x3ac40008, "req_PAL_PPAUSE", kRequest},
    {0x6003, 0x3ac4000c, "req_PAL_PRESUME", kRequest},
    {0x6005, 0x3ac4000e, "req_PAL_PSTOP", kRequest},
    {0x6008, 0x3ad10014, "req_PAL_VSPAUSERX", kRequest},
    {0x6009, 0x3ad10016, "req_PAL_VSRESUMERX", kRequest},
    {0x600c, 0x3ad1000e, "req_PAL_VSSTOPRX", kRequest},
    {0x7000, 0x3ac50002, "req_PAL_RPAUSE", kRequest},
    {0x7002, 0x3ac50006, "req_PAL_RRESUME", kRequest},
    {0x7003, 0x3ac50008, "req_PAL_RSTOP", kRequest},
    {0x7007, 0x3ad20004, "req_PAL_VSSTOPTX", kRequest},
    {0x9001, 0x3ac70004, "req_PAL_GSTOP", kRequest},
    {0x8001, 0x3ac60008, "req_PAL_DFLUSH", kRequest},
    {0x8002, 0x3ac6000a, "req_PAL_DGETBUFFER", kRequest},
    {0x8003, 0x3ac60006, "req_PAL_DSTOP", kRequest},
    {0x2001, 0x3acf0002, "req_PAL_REQHNDLS", &MakeTranslator<CProcess_req_PAL_REQHNDLS>},
    {0x2003, 0x3acf0006, "req_PAL_STARTPAL", &MakeTranslator<CProcess_req_PAL_STARTPAL>},
    {0x2002, 0x3acf0004, "req_PAL_RETHNDLS", &MakeTranslator<CProcess_req_PAL_RETHNDLS>},
    {0x3005, 0x3acf000e, "req_PAL_SETALRMCONF", &MakeTranslator<CProcess_req_PAL_SETALRMCONF>},
    {0x4000, 0x3acd0002, "req_PAL_ATTACH", &MakeTranslator<CProcess_req_PAL_ATTACH>},
    {0x4001, 0x3acd0004, "req_PAL_DETACH", &MakeTranslator<CProcess_req_PAL_DETACH>},
    {0x4002, 0x3acd0006, "req_PAL_LISTEN", &MakeTranslator<CProcess_req_PAL_LISTEN>},
    {0x4004, 0x3acd000a, "req_PAL_ROUTE", &MakeTranslator<CProcess_req_PAL_ROUTE>},
    {0x4005, 0x3acd000c, "req_PAL_UNROUTE", &MakeTranslator<CProcess_req_PAL_UNROUTE>},
    {0x5005, 0x3ac8001a, "req_PAL_DROPCALL", kRequest},       // CProcess_req_PAL_DROPCALL
    {0x5009, 0x3ac8000e, "req_PAL_GETPARAMS", kRequest},      // CProcess_req_PAL_GETPARAMS
    {0x500b, 0x3ac8001c, "req_PAL_MAKECALL", kRequest},       // CProcess_req_PAL_MAKECALL
    {0x500e, 0x3ac80008, "req_PAL_SETCHSTATE", kRequest},     // CProcess_req_PAL_SETCHSTATE
    {0x500f, 0x3ac8000c, "req_PAL_SETPARAMS", kRequest},      // CProcess_req_PAL_SETPARAMS
    {0x5011, 0x3ac8001e, "req_PAL_TRANSFERBLIND", kRequest},  // CProcess_req_PAL_TRANSFERBLIND
    {0x6000, 0x3ac40006, "req_PAL_PJUMP", kRequest},          // CProcess_req_PAL_PJUMP
    {0x6002, 0x3ac4000a, "req_PAL_PPLAY", kRequest},          // CProcess_req_PAL_PPLAY
    {0x6004, 0x3ac40002, "req_PAL_PSPEED", kRequest},         // CProcess_req_PAL_PSPEED
    {0x600a, 0x3ad10012, "req_PAL_VSSPEEDRX", kRequest},      // CProcess_req_PAL_PSPEED
    {0x600d, 0x3ad10010, "req_PAL_VSVOLUMERX", kRequest},     // CProcess_req_PAL_VSVOLUMERX
    {0x6006, 0x3ac40004, "req_PAL_PVOLUME", kRequest},        // CProcess_req_PAL_VSVOLUMERX
    {0x600b, 0x3ad1000c, "req_PAL_VSSTARTRX", kRequest},      // CProcess_req_PAL_VSSTARTRX
    {0x7001, 0x3ac50004, "req_PAL_RRECORD", kRequest},        // CProcess_req_PAL_RRECORD
    {0x7004, 0x3ad2000a, "req_PAL_VSGETPARAMSTX", kRequest},  // CProcess_req_PAL_VSGETPARAMSTX
    {0x7005, 0x3ad20008, "req_PAL_VSSETPARAMSTX", kRequest},  // CProcess_req_PAL_VSGETPARAMSTX
    {0x7006, 0x3ad20002, "req_PAL_VSSTARTTX", kRequest},      // CProcess_req_PAL_VSSTARTTX
    {0x9000, 0x3ac70002, "req_PAL_GSEND", kRequest},          // CProcess_req_PAL_GSEND
    {0x8000, 0x3ac60002, "req_PAL_DDETECT", kRequest},        // CProcess_req_PAL_DDETECT
};

}  // namespace

std::span<const CatalogueRow> TalCatalogue() {
    return kTalRows;
}

std::span<const CatalogueRow> PalCatalogue() {
    return kPalRows;
}

void RegisterCatalogue(TranslatorMap& map, std::span<const CatalogueRow> rows, CatalogueKey key) {
    for (const CatalogueRow& row : rows) {
        CEvent* translator = row.make(row.talId, row.palId, row.name);
        const uint32_t id = key == CatalogueKey::TalId ? row.talId : row.palId;
        CEvent*& slot = map[id];
        delete slot;
        slot = translator;
    }
}

void ReleaseTranslators(TranslatorMap& map) {
    for (auto& entry : map) {
        delete entry.second;
    }
    map.clear();
}
