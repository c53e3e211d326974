#include "tal/HardwareBoard.h"

#include <algorithm>
#include <cstdio>

#include "hardware/Description.h"
#include "tal/BoardSide.h"
#include "tal/VirtualBoard.h"

namespace tal {

namespace {

// Request ids the hardware model answers.
constexpr uint32_t kGetHwInfo = 0x2000;
constexpr uint32_t kRequestHandles = 0x2001;
constexpr uint32_t kActivateSpan = 0x3000;
constexpr uint32_t kAlarmInfo = 0x3001;
constexpr uint32_t kGetAlarmConfig = 0x3003;
constexpr uint32_t kGetSpanParams = 0x3004;
constexpr uint32_t kSetAlarmConfig = 0x3005;
constexpr uint32_t kAttach = 0x4000;
constexpr uint32_t kDetach = 0x4001;
constexpr uint32_t kListen = 0x4002;
constexpr uint32_t kUnlisten = 0x4003;
constexpr uint32_t kRoute = 0x4004;
constexpr uint32_t kUnroute = 0x4005;
constexpr uint32_t kAlarmNotification = 0x203000;

// Parameter ids.
constexpr uint32_t kPLogicalId = 0x500000;
constexpr uint32_t kPModuleCount = 0x500001;
constexpr uint32_t kPBoardGroups = 0x500002;
constexpr uint32_t kPDescription = 0x500003;
constexpr uint32_t kPSpanCount = 0x500004;
constexpr uint32_t kPSpans = 0x500005;
constexpr uint32_t kPVoiceResources = 0x500006;
constexpr uint32_t kPSerial = 0x500007;
constexpr uint32_t kPModuleNumber = 0x500009;
constexpr uint32_t kPLines = 0x50000a;
constexpr uint32_t kPSpanType = 0x50000b;
constexpr uint32_t kPSpanSubtype = 0x50000c;
constexpr uint32_t kPLineHandles = 0x50000d;
constexpr uint32_t kPResourceHandles = 0x50000e;
constexpr uint32_t kPSpanHandles = 0x50000f;
constexpr uint32_t kPAlarmCode = 0x500010;
constexpr uint32_t kPAlarmRaised = 0x500011;
constexpr uint32_t kPAlarmCodes = 0x500012;
constexpr uint32_t kPAlarmFlags = 0x500013;
constexpr uint32_t kPSpanParam = 0x500014;
constexpr uint32_t kPPeer = 0x500015;
constexpr uint32_t kPEntry = 0x50004e;
constexpr uint32_t kPHostBusFormat = 0x500050;
constexpr uint32_t kPTechnology = 0x500051;
constexpr uint32_t kPRevision = 0x500052;
constexpr uint32_t kPTdmMediaType = 0x500053;
constexpr uint32_t kPTdmTechnology = 0x500054;
constexpr uint32_t kPAlarmConfigured = 0x500056;

int32_t asInt(TAL_HANDLE h) {
    return static_cast<int32_t>(h);
}

}  // namespace

struct HardwareBoard::State {
    struct Span {
        const hw::Trunk* trunk = nullptr;
        bool active = false;
        std::map<int32_t, bool> alarms;            // TAL code -> raised
        std::map<int32_t, uint8_t> configuration;  // TAL code -> configured
    };
    struct Board {
        const hw::Module* module = nullptr;
        std::map<uint32_t, Span> spans;  // by span number
    };

    hw::Description description;
    std::map<uint32_t, Board> boards;  // by logical id
    std::vector<Connection> connections;

    Span* span(uint32_t board, uint32_t spanNumber) {
        auto b = boards.find(board);
        if (b == boards.end()) return nullptr;
        auto s = b->second.spans.find(spanNumber);
        return s == b->second.spans.end() ? nullptr : &s->second;
    }
};

HardwareBoard::HardwareBoard() = default;
HardwareBoard::~HardwareBoard() = default;

HardwareBoard& HardwareBoard::instance() {
    static HardwareBoard* board = new HardwareBoard();  // lives as long as the process
    return *board;
}

namespace {

Param boardGroup(uint32_t logicalId, const hw::Module& module) {
    std::vector<Param> spans;
    for (const auto& trunk : module.trunks) {
        spans.push_back(
            Param::listOf(kPEntry, {Param::integer(kPLines, static_cast<int32_t>(trunk.channels)),
                                    Param::byte(kPSpanType, trunk.talSpanType),
                                    Param::byte(kPSpanSubtype, trunk.talSpanSubtype)}));
    }
    return Param::listOf(
        kPEntry, {Param::byte(kPLogicalId, static_cast<uint8_t>(logicalId)),
                  Param::string(kPDescription, module.product),
                  Param::byte(kPSpanCount, static_cast<uint8_t>(module.trunks.size())),
                  Param::integer(kPVoiceResources, static_cast<int32_t>(module.voiceResources)),
                  Param::string(kPSerial, module.serialNumber),
                  Param::string(kPHostBusFormat, module.hostBusFormat),
                  Param::string(kPTechnology, module.technologyName),
                  Param::string(kPRevision, module.revision),
                  Param::string(kPTdmMediaType, module.tdmBusMediaType),
                  Param::string(kPTdmTechnology, module.tdmBusTechnologyName),
                  Param::integer(kPModuleNumber, static_cast<int32_t>(module.number)),
                  Param::listOf(kPSpans, std::move(spans))});
}

// The completion id the catalogue of the HAL registers for a TDM request: unlisten and route
// answer under each other's id.
uint32_t tdmCompletionId(uint32_t request) {
    switch (request) {
        case kUnlisten:
            return 0x104004;
        case kRoute:
            return 0x104003;
        default:
            return request + 0x100000;
    }
}

}  // namespace

void HardwareBoard::install(const hw::Description& description) {
    auto state = std::make_unique<State>();
    state->description = description;
    for (const auto& module : state->description.modules) {
        const uint32_t logicalId = state->description.logicalIdOf(module.number);
        State::Board& board = state->boards[logicalId];
        board.module = &module;
        for (const auto& trunk : module.trunks) board.spans[trunk.number].trunk = &trunk;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_ = std::move(state);
    }

    auto& vb = VirtualBoard::instance();
    vb.setHandler(kGetHwInfo, [this](const SentEvent& req, BoardSide& side) {
        std::vector<Param> groups;
        int32_t modules = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const auto& [logicalId, board] : state_->boards) {
                groups.push_back(boardGroup(logicalId, *board.module));
                ++modules;
            }
        }
        side.deliver({VirtualBoard::completionId(req.id),
                      req.handle,
                      req.act,
                      {Param::integer(kPModuleCount, modules),
                       Param::listOf(kPBoardGroups, std::move(groups))}});
    });

    vb.setHandler(kRequestHandles, [this](const SentEvent& req, BoardSide& side) {
        std::vector<Param> params;
        const Param* id = req.find(kPLogicalId);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto b = id != nullptr ? state_->boards.find(static_cast<uint32_t>(id->intValue))
                                   : state_->boards.end();
            if (b != state_->boards.end()) {
                const uint32_t board = b->first;
                std::vector<int32_t> lines, resources, spans;
                for (const auto& [number, span] : b->second.spans) {
                    spans.push_back(asInt(TAL_Handle_Create(TAL_HT_SPAN, board, number, 0, 0)));
                    for (uint32_t ch = 1; ch <= span.trunk->channels; ++ch) {
                        lines.push_back(
                            asInt(TAL_Handle_Create(TAL_HT_LINE, board, number, 0, ch)));
                    }
                }
                for (uint32_t r = 1; r <= b->second.module->voiceResources; ++r) {
                    resources.push_back(
                        asInt(TAL_Handle_Create(TAL_HT_RESOURCE, board, 0, kVoiceResourceMask, r)));
                }
                params.push_back(Param::intArray(kPLineHandles, std::move(lines)));
                params.push_back(Param::intArray(kPResourceHandles, std::move(resources)));
                params.push_back(Param::intArray(kPSpanHandles, std::move(spans)));
            }
        }
        side.deliver({VirtualBoard::completionId(req.id), req.handle, req.act, std::move(params)});
    });

    vb.setHandler(kActivateSpan, [this](const SentEvent& req, BoardSide& side) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (auto* span = state_->span(req.handleFields.board, req.handleFields.span)) {
                span->active = true;
            }
        }
        side.deliver({VirtualBoard::completionId(req.id), req.handle, req.act, {}});
    });

    auto alarmList = [this](uint32_t flagsId) {
        return [this, flagsId](const SentEvent& req, BoardSide& side) {
            std::vector<int32_t> codes;
            std::vector<uint8_t> flags;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (auto* span = state_->span(req.handleFields.board, req.handleFields.span)) {
                    if (flagsId == kPAlarmFlags) {
                        for (const auto& [code, raised] : span->alarms) {
                            codes.push_back(code);
                            flags.push_back(raised ? 1 : 0);
                        }
                    } else {
                        for (const auto& [code, configured] : span->configuration) {
                            codes.push_back(code);
                            flags.push_back(configured);
                        }
                    }
                }
            }
            side.deliver({VirtualBoard::completionId(req.id),
                          req.handle,
                          req.act,
                          {Param::intArray(kPAlarmCodes, std::move(codes)),
                           Param::byteArray(flagsId, std::move(flags))}});
        };
    };
    vb.setHandler(kAlarmInfo, alarmList(kPAlarmFlags));
    vb.setHandler(kGetAlarmConfig, alarmList(kPAlarmConfigured));

    vb.setHandler(kSetAlarmConfig, [this](const SentEvent& req, BoardSide& side) {
        const Param* codes = req.find(kPAlarmCodes);
        const Param* flags = req.find(kPAlarmConfigured);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto* span = state_->span(req.handleFields.board, req.handleFields.span);
            if (span != nullptr && codes != nullptr) {
                for (std::size_t i = 0; i < codes->ints.size(); ++i) {
                    const bool hasFlag = flags != nullptr && i < flags->bytes.size();
                    span->configuration[codes->ints[i]] = hasFlag ? flags->bytes[i] : 0;
                }
            }
        }
        side.deliver({VirtualBoard::completionId(req.id), req.handle, req.act, {}});
    });

    vb.setHandler(kGetSpanParams, [this](const SentEvent& req, BoardSide& side) {
        std::vector<Param> params;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (auto* span = state_->span(req.handleFields.board, req.handleFields.span)) {
                const std::pair<int32_t, int32_t> values[] = {
                    {kSpanParamChannels, static_cast<int32_t>(span->trunk->channels)},
                    {kSpanParamType, span->trunk->talSpanType},
                    {kSpanParamSubtype, span->trunk->talSpanSubtype},
                    {kSpanParamActive, span->active ? 1 : 0},
                };
                for (const auto& [key, value] : values) {
                    params.push_back(Param::intArray(kPSpanParam, {key, value}));
                }
            }
        }
        side.deliver({VirtualBoard::completionId(req.id), req.handle, req.act, std::move(params)});
    });

    auto tdm = [this](const SentEvent& req, BoardSide& side) {
        const Param* peer = req.find(kPPeer);
        const TAL_HANDLE second = peer != nullptr ? static_cast<TAL_HANDLE>(peer->intValue) : 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto& list = state_->connections;
            // Undoing removes what the matching request made; listen/unlisten know only the first
            // resource when no peer is sent.
            auto undo = [&](uint32_t made, bool matchPeer) {
                list.erase(std::remove_if(list.begin(), list.end(),
                                          [&](const Connection& c) {
                                              return c.request == made && c.first == req.handle &&
                                                     (!matchPeer || c.second == second);
                                          }),
                           list.end());
            };
            switch (req.id) {
                case kAttach:
                case kListen:
                case kRoute:
                    list.push_back({req.id, req.handle, second});
                    break;
                case kDetach:
                    undo(kAttach, true);
                    break;
                case kUnlisten:
                    undo(kListen, peer != nullptr);
                    break;
                case kUnroute:
                    undo(kRoute, true);
                    break;
                default:
                    break;
            }
        }
        side.deliver({tdmCompletionId(req.id), req.handle, req.act, {}});
    };
    for (uint32_t id : {kAttach, kDetach, kListen, kUnlisten, kRoute, kUnroute}) {
        vb.setHandler(id, tdm);
    }
}

bool HardwareBoard::installCurrent() {
    const hw::LoadResult& current = hw::loadCurrent();
    if (!current.ok()) {
        std::fprintf(stderr, "tnwktald: %s\n", current.error()->what());
        return false;
    }
    install(current.value());
    return true;
}

void HardwareBoard::uninstall() {
    auto& vb = VirtualBoard::instance();
    for (uint32_t id :
         {kGetHwInfo, kRequestHandles, kActivateSpan, kAlarmInfo, kGetAlarmConfig, kGetSpanParams,
          kSetAlarmConfig, kAttach, kDetach, kListen, kUnlisten, kRoute, kUnroute}) {
        vb.setHandler(id, nullptr);
    }
}

bool HardwareBoard::setAlarm(uint32_t board, uint32_t span, int32_t talCode, bool raised) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!state_) return false;
        State::Span* s = state_->span(board, span);
        if (s == nullptr) return false;
        s->alarms[talCode] = raised;
    }
    const TAL_HANDLE handle = TAL_Handle_Create(TAL_HT_SPAN, board, span, 0, 0);
    return BoardSide::instance().deliver(
        {kAlarmNotification,
         handle,
         nullptr,
         {Param::integer(kPAlarmCode, talCode), Param::byte(kPAlarmRaised, raised ? 1 : 0)}});
}

std::optional<TAL_HANDLE> HardwareBoard::spanHandle(uint32_t board, uint32_t span) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!state_ || state_->span(board, span) == nullptr) return std::nullopt;
    return TAL_Handle_Create(TAL_HT_SPAN, board, span, 0, 0);
}

bool HardwareBoard::spanActive(uint32_t board, uint32_t span) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const State::Span* s = state_ ? state_->span(board, span) : nullptr;
    return s != nullptr && s->active;
}

std::vector<int32_t> HardwareBoard::raisedAlarms(uint32_t board, uint32_t span) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int32_t> codes;
    if (const State::Span* s = state_ ? state_->span(board, span) : nullptr) {
        for (const auto& [code, raised] : s->alarms) {
            if (raised) codes.push_back(code);
        }
    }
    return codes;
}

std::vector<std::pair<int32_t, uint8_t>> HardwareBoard::alarmConfiguration(uint32_t board,
                                                                           uint32_t span) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::pair<int32_t, uint8_t>> entries;
    if (const State::Span* s = state_ ? state_->span(board, span) : nullptr) {
        entries.assign(s->configuration.begin(), s->configuration.end());
    }
    return entries;
}

std::vector<HardwareBoard::Connection> HardwareBoard::connections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_ ? state_->connections : std::vector<Connection>{};
}

}  // namespace tal
