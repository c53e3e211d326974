#include "tal/BoardSide.h"

#include <cstdio>
#include <utility>

#include "Library.h"

namespace tal {

using detail::Library;

// ---------------------------------------------------------------------------------------------
// Param and SentEvent

namespace {

Param scalar(uint32_t id, uint32_t type, int32_t value) {
    Param p;
    p.id = id;
    p.type = type;
    p.intValue = value;
    return p;
}

const Param* findIn(const std::vector<Param>& params, uint32_t id) {
    for (const Param& p : params) {
        if (p.id == id) return &p;
    }
    return nullptr;
}

std::vector<const Param*> findAllIn(const std::vector<Param>& params, uint32_t id) {
    std::vector<const Param*> found;
    for (const Param& p : params) {
        if (p.id == id) found.push_back(&p);
    }
    return found;
}

}  // namespace

Param Param::none(uint32_t id, int32_t value) {
    return scalar(id, TAL_TYPE_NONE, value);
}
Param Param::byte(uint32_t id, uint8_t value) {
    return scalar(id, TAL_TYPE_BYTE, value);
}
Param Param::integer(uint32_t id, int32_t value) {
    return scalar(id, TAL_TYPE_INT, value);
}

Param Param::string(uint32_t id, std::string value) {
    Param p;
    p.id = id;
    p.type = TAL_TYPE_STRING;
    p.count = static_cast<uint32_t>(value.size());
    p.text = std::move(value);
    return p;
}

Param Param::byteArray(uint32_t id, std::vector<uint8_t> value) {
    Param p;
    p.id = id;
    p.type = TAL_TYPE_BYTE_ARRAY;
    p.count = static_cast<uint32_t>(value.size());
    p.bytes = std::move(value);
    return p;
}

Param Param::intArray(uint32_t id, std::vector<int32_t> value) {
    Param p;
    p.id = id;
    p.type = TAL_TYPE_INT_ARRAY;
    p.count = static_cast<uint32_t>(value.size());
    p.ints = std::move(value);
    return p;
}

Param Param::listOf(uint32_t id, std::vector<Param> entries) {
    Param p;
    p.id = id;
    p.type = TAL_TYPE_LIST;
    p.count = static_cast<uint32_t>(entries.size());
    p.list = std::move(entries);
    return p;
}

const Param* Param::find(uint32_t entryId) const {
    return findIn(list, entryId);
}
std::vector<const Param*> Param::findAll(uint32_t entryId) const {
    return findAllIn(list, entryId);
}
const Param* SentEvent::find(uint32_t paramId) const {
    return findIn(params, paramId);
}
std::vector<const Param*> SentEvent::findAll(uint32_t paramId) const {
    return findAllIn(params, paramId);
}

// ---------------------------------------------------------------------------------------------
// describe

namespace {

constexpr std::size_t kShownElements = 32;

std::string hex(uint32_t value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*x", width, value);
    return buffer;
}

void appendQuoted(std::string& out, const std::string& text) {
    out += '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u >= 0x7f) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02x", u);
            out += buffer;
        } else {
            out += c;
        }
    }
    out += '"';
}

void appendParam(std::string& out, const Param& p) {
    out += hex(p.id, 0);
    out += '=';
    switch (p.type) {
        case TAL_TYPE_NONE:
            out += "none " + std::to_string(p.intValue);
            break;
        case TAL_TYPE_BYTE:
            out += "byte " + std::to_string(p.intValue);
            break;
        case TAL_TYPE_INT:
            out += "int " + std::to_string(p.intValue);
            break;
        case TAL_TYPE_STRING:
            appendQuoted(out, p.text);
            break;
        case TAL_TYPE_BYTE_ARRAY:
            out += "bytes[" + std::to_string(p.bytes.size()) + "]";
            for (std::size_t i = 0; i < p.bytes.size() && i < kShownElements; ++i) {
                char buffer[4];
                std::snprintf(buffer, sizeof buffer, " %02x", p.bytes[i]);
                out += buffer;
            }
            if (p.bytes.size() > kShownElements) out += " ...";
            break;
        case TAL_TYPE_INT_ARRAY:
            out += "ints[" + std::to_string(p.ints.size()) + "]";
            for (std::size_t i = 0; i < p.ints.size() && i < kShownElements; ++i) {
                out += ' ';
                out += std::to_string(p.ints[i]);
            }
            if (p.ints.size() > kShownElements) out += " ...";
            break;
        case TAL_TYPE_LIST:
            out += "list{";
            for (std::size_t i = 0; i < p.list.size(); ++i) {
                if (i != 0) out += ", ";
                appendParam(out, p.list[i]);
            }
            out += '}';
            break;
        default:
            out += "type" + std::to_string(p.type) + " ?";
            break;
    }
}

}  // namespace

std::string describe(const Param& param) {
    std::string out;
    appendParam(out, param);
    return out;
}

std::string describe(const SentEvent& event) {
    const HandleFields& h = event.handleFields;
    std::string out = hex(event.id, 8);
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, " handle{type=%u board=%u span=%u mask=0x%02x res=%u}",
                  h.type, h.board, h.span, h.mask, h.resourceId);
    out += buffer;
    std::snprintf(buffer, sizeof buffer, " act=0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(event.act)));
    out += buffer;
    out += " params:";
    if (event.params.empty()) out += " none";
    for (std::size_t i = 0; i < event.params.size(); ++i) {
        out += i == 0 ? " " : ", ";
        appendParam(out, event.params[i]);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// BoardSide

BoardSide& BoardSide::instance() {
    static BoardSide* side = new BoardSide();  // outlives every static user
    return *side;
}

void BoardSide::attach() {
    Library::get().setAttached(true);
}
void BoardSide::detach() {
    Library::get().setAttached(false);
}
bool BoardSide::attached() const {
    return Library::get().attached();
}

std::optional<SentEvent> BoardSide::take(std::chrono::milliseconds timeout) {
    return Library::get().take(timeout);
}

std::size_t BoardSide::pendingSent() const {
    return Library::get().pendingSent();
}
bool BoardSide::deliver(const EventSpec& spec) {
    return Library::get().deliver(spec);
}
bool BoardSide::deliverRaw(TAL_EVENT ev) {
    return Library::get().deliverRaw(ev);
}
std::size_t BoardSide::pendingDelivered() const {
    return Library::get().pendingDelivered();
}
void BoardSide::stopDelivery() {
    Library::get().stopDelivery();
}
void BoardSide::resumeDelivery() {
    Library::get().resumeDelivery();
}
bool BoardSide::deliveryStopped() const {
    return Library::get().deliveryStopped();
}
void BoardSide::failNextCreate() {
    Library::get().failNextCreate();
}
void BoardSide::failNextSend() {
    Library::get().failNextSend();
}
std::size_t BoardSide::liveEvents() const {
    return Library::get().liveEvents();
}
std::size_t BoardSide::liveLists() const {
    return Library::get().liveLists();
}
void BoardSide::reset() {
    Library::get().reset();
}
void BoardSide::setMonitor(Monitor monitor) {
    Library::get().setMonitor(std::move(monitor));
}

}  // namespace tal
