#include "Library.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace tal::detail {

namespace {

// Bounds on what one event or list tree may hold (see ParamSet).
constexpr uint32_t kMaxDepth = 32;
constexpr std::size_t kMaxTreeParams = std::size_t{1} << 16;
constexpr std::size_t kMaxTreeBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxValueBytes = std::size_t{16} << 20;
// Freed objects kept for reuse, so that steady traffic allocates nothing but values.
constexpr std::size_t kPoolSize = 128;

bool isScalar(uint32_t type) {
    return type == TAL_TYPE_NONE || type == TAL_TYPE_BYTE || type == TAL_TYPE_INT;
}

bool isKnownType(uint32_t type) {
    return isScalar(type) || type == TAL_TYPE_BYTE_ARRAY || type == TAL_TYPE_INT_ARRAY ||
           type == TAL_TYPE_STRING || type == TAL_TYPE_LIST;
}

TAL_LIST listValueAt(const void* p) {
    TAL_LIST list;
    std::memcpy(&list, p, sizeof list);
    return list;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Arena

void* Arena::allocate(std::size_t size) {
    size = std::max<std::size_t>((size + 7) & ~std::size_t{7}, 8);
    if (!blocks_.empty()) {
        Block& last = blocks_.back();
        if (last.size - last.used >= size) {
            void* p = last.data.get() + last.used;
            last.used += size;
            return p;
        }
    }
    // Blocks grow with the set, so small lists stay small and big events need few blocks.
    const std::size_t grown =
        blocks_.empty() ? kFirstBlock : std::min(blocks_.back().size * 2, kLargestBlock);
    Block block;
    block.size = std::max(size, grown);
    block.data.reset(new unsigned char[block.size]);
    block.used = size;
    void* p = block.data.get();
    blocks_.push_back(std::move(block));
    return p;
}

void Arena::reset() {
    if (blocks_.empty()) return;
    // Keep the last block (the largest of the usual ones) for the next user of the object.
    if (blocks_.back().size > kLargestBlock) {
        blocks_.clear();
        return;
    }
    if (blocks_.size() > 1) {
        Block last = std::move(blocks_.back());
        blocks_.clear();
        blocks_.push_back(std::move(last));
    }
    blocks_.front().used = 0;
}

// ---------------------------------------------------------------------------------------------
// Object life (mu_ held)

Library& Library::get() {
    // Never destroyed: the HAL's own static destructors may still call TAL_Fini.
    static Library* library = new Library();
    return *library;
}

Event* Library::callerEvent(TAL_EVENT ev) {
    Event* event = events_.find(ev);
    return event != nullptr && event->holder == Holder::Caller ? event : nullptr;
}

TAL_EVENT Library::newEvent(uint32_t id) {
    std::unique_ptr<Event> event;
    if (!eventPool_.empty()) {
        event = std::move(eventPool_.back());
        eventPool_.pop_back();
    } else {
        event = std::make_unique<Event>();
        event->params.records.reserve(8);
    }
    event->id = id;
    event->handle = 0;
    event->act = nullptr;
    event->holder = Holder::Caller;
    const TAL_EVENT value = events_.insert(event);
    if (value == 0 && eventPool_.size() < kPoolSize) eventPool_.push_back(std::move(event));
    return value;
}

void Library::releaseEvent(TAL_EVENT ev) {
    std::unique_ptr<Event> event = events_.erase(ev);
    if (event == nullptr) return;
    clearParams(event->params);
    if (eventPool_.size() < kPoolSize) eventPool_.push_back(std::move(event));
}

TAL_LIST Library::newList(bool owned) {
    std::unique_ptr<List> list;
    if (!listPool_.empty()) {
        list = std::move(listPool_.back());
        listPool_.pop_back();
    } else {
        list = std::make_unique<List>();
    }
    list->owned = owned;
    const TAL_LIST value = lists_.insert(list);
    if (value == 0 && listPool_.size() < kPoolSize) listPool_.push_back(std::move(list));
    return value;
}

void Library::releaseList(TAL_LIST value) {
    std::unique_ptr<List> list = lists_.erase(value);
    if (list == nullptr) return;
    clearParams(list->params);
    if (listPool_.size() < kPoolSize) listPool_.push_back(std::move(list));
}

void Library::clearParams(ParamSet& set) {
    for (const ParamRecord& record : set.records) {
        if (record.type == TAL_TYPE_LIST) releaseList(listValueAt(record.value));
    }
    set.records.clear();
    set.arena.reset();
    set.depth = 0;
    set.treeParams = 0;
    set.treeBytes = 0;
}

// ---------------------------------------------------------------------------------------------
// Parameters (mu_ held)

int Library::appendParameter(ParamSet& set, uint32_t id, uint32_t type, uint32_t count,
                             intptr_t value) {
    if (type == TAL_TYPE_LIST) {
        return appendCopyOfList(set, id, static_cast<TAL_LIST>(static_cast<uint32_t>(value)));
    }
    if (!isKnownType(type)) return TAL_ERR_INVALID;
    if (set.treeParams + 1 > kMaxTreeParams) return TAL_ERR_NO_MEMORY;

    std::size_t size = 0;
    const void* source = nullptr;
    uint32_t storedCount = count;
    int32_t scalar = 0;
    uint8_t byte = 0;
    switch (type) {
        case TAL_TYPE_NONE:
        case TAL_TYPE_INT:
            scalar = static_cast<int32_t>(value);
            source = &scalar;
            size = sizeof scalar;
            break;
        case TAL_TYPE_BYTE:
            byte = static_cast<uint8_t>(value);
            source = &byte;
            size = sizeof byte;
            break;
        case TAL_TYPE_BYTE_ARRAY:
        case TAL_TYPE_INT_ARRAY: {
            const std::size_t element = type == TAL_TYPE_BYTE_ARRAY ? 1 : sizeof(int32_t);
            if (count > kMaxValueBytes / element) return TAL_ERR_NO_MEMORY;
            size = count * element;
            source = reinterpret_cast<const void*>(value);
            if (source == nullptr && count != 0) return TAL_ERR_INVALID;
            break;
        }
        case TAL_TYPE_STRING: {
            const char* text = reinterpret_cast<const char*>(value);
            if (text == nullptr) return TAL_ERR_INVALID;
            const std::size_t length = ::strnlen(text, kMaxValueBytes);
            if (length == kMaxValueBytes) return TAL_ERR_NO_MEMORY;
            storedCount = static_cast<uint32_t>(length);
            source = text;
            size = length + 1;  // with its NUL
            break;
        }
        default:
            return TAL_ERR_INVALID;
    }
    if (set.treeBytes + size > kMaxTreeBytes) return TAL_ERR_NO_MEMORY;

    // Reserve the record first so that nothing can fail after the arena handed out memory.
    set.records.reserve(set.records.size() + 1);
    void* stored = set.arena.allocate(size);
    if (size != 0) std::memcpy(stored, source, size);
    set.records.push_back(ParamRecord{id, type, storedCount, stored});
    set.treeParams += 1;
    set.treeBytes += size;
    return TAL_OK;
}

int Library::appendCopyOfList(ParamSet& set, uint32_t id, TAL_LIST source) {
    const List* list = lists_.find(source);
    if (list == nullptr) return TAL_ERR_INVALID;
    const ParamSet& from = list->params;
    if (from.depth + 1 > kMaxDepth) return TAL_ERR_NO_MEMORY;
    if (set.treeParams + from.treeParams + 1 > kMaxTreeParams) return TAL_ERR_NO_MEMORY;
    if (set.treeBytes + from.treeBytes + sizeof(TAL_LIST) > kMaxTreeBytes) {
        return TAL_ERR_NO_MEMORY;
    }
    // Copied before it is appended, so a list added to itself gets its former content.
    const uint32_t entries = static_cast<uint32_t>(from.records.size());
    const uint32_t childDepth = from.depth;
    const std::size_t childParams = from.treeParams;
    const std::size_t childBytes = from.treeBytes;
    set.records.reserve(set.records.size() + 1);
    const TAL_LIST copy = copyList(*list);
    if (copy == 0) return TAL_ERR_NO_MEMORY;
    void* stored = set.arena.allocate(sizeof copy);
    std::memcpy(stored, &copy, sizeof copy);
    set.records.push_back(ParamRecord{id, TAL_TYPE_LIST, entries, stored});
    set.depth = std::max(set.depth, childDepth + 1);
    set.treeParams += childParams + 1;
    set.treeBytes += childBytes + sizeof copy;
    return TAL_OK;
}

TAL_LIST Library::copyList(const List& source) {
    const TAL_LIST value = newList(true);
    if (value == 0) return 0;
    List* copy = lists_.find(value);
    ParamSet& to = copy->params;
    const ParamSet& from = source.params;
    // `source` may be the list being appended to; it does not change during the copy.
    const std::size_t n = from.records.size();
    to.records.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const ParamRecord& record = from.records[i];
        if (record.type == TAL_TYPE_LIST) {
            const List* child = lists_.find(listValueAt(record.value));
            const TAL_LIST childCopy = child != nullptr ? copyList(*child) : 0;
            if (childCopy == 0) {
                releaseList(value);
                return 0;
            }
            void* stored = to.arena.allocate(sizeof childCopy);
            std::memcpy(stored, &childCopy, sizeof childCopy);
            to.records.push_back(ParamRecord{record.id, record.type, record.count, stored});
            continue;
        }
        std::size_t size = 0;
        switch (record.type) {
            case TAL_TYPE_BYTE:
                size = 1;
                break;
            case TAL_TYPE_BYTE_ARRAY:
                size = record.count;
                break;
            case TAL_TYPE_INT_ARRAY:
                size = std::size_t{record.count} * sizeof(int32_t);
                break;
            case TAL_TYPE_STRING:
                size = std::size_t{record.count} + 1;
                break;
            default:
                size = sizeof(int32_t);
                break;
        }
        void* stored = to.arena.allocate(size);
        if (size != 0) std::memcpy(stored, record.value, size);
        to.records.push_back(ParamRecord{record.id, record.type, record.count, stored});
    }
    to.depth = from.depth;
    to.treeParams = from.treeParams;
    to.treeBytes = from.treeBytes;
    return value;
}

int Library::appendRuns(ParamSet& set, va_list args) {
    for (;;) {
        const uint32_t id = va_arg(args, uint32_t);
        if (id == 0) return TAL_OK;
        const uint32_t type = va_arg(args, uint32_t);
        const uint32_t count = va_arg(args, uint32_t);
        intptr_t value;
        switch (type) {
            case TAL_TYPE_NONE:
            case TAL_TYPE_BYTE:
            case TAL_TYPE_INT:
                value = va_arg(args, int);
                break;
            case TAL_TYPE_LIST:
                // A TAL_LIST passed as int: keep its 32 bits, not its sign.
                value = static_cast<intptr_t>(static_cast<uint32_t>(va_arg(args, int)));
                break;
            case TAL_TYPE_BYTE_ARRAY:
            case TAL_TYPE_INT_ARRAY:
            case TAL_TYPE_STRING:
                value = reinterpret_cast<intptr_t>(va_arg(args, const void*));
                break;
            default:
                // The size of the value slot is unknown: nothing after it can be read.
                return TAL_ERR_INVALID;
        }
        const int result = appendParameter(set, id, type, count, value);
        if (result != TAL_OK) return result;
    }
}

bool Library::appendSpecParams(ParamSet& set, const std::vector<Param>& params, uint32_t level) {
    for (const Param& param : params) {
        int result = TAL_ERR_INVALID;
        switch (param.type) {
            case TAL_TYPE_NONE:
            case TAL_TYPE_INT:
            case TAL_TYPE_BYTE:
                result = appendParameter(set, param.id, param.type, param.count, param.intValue);
                break;
            case TAL_TYPE_BYTE_ARRAY:
                if (param.bytes.size() > kMaxValueBytes) return false;
                result = appendParameter(set, param.id, param.type,
                                         static_cast<uint32_t>(param.bytes.size()),
                                         reinterpret_cast<intptr_t>(param.bytes.data()));
                break;
            case TAL_TYPE_INT_ARRAY:
                if (param.ints.size() > kMaxValueBytes) return false;
                result = appendParameter(set, param.id, param.type,
                                         static_cast<uint32_t>(param.ints.size()),
                                         reinterpret_cast<intptr_t>(param.ints.data()));
                break;
            case TAL_TYPE_STRING:
                // A string with a NUL inside would come out cut: refuse it rather than alter it.
                if (param.text.find('\0') != std::string::npos) return false;
                result = appendParameter(set, param.id, param.type, 0,
                                         reinterpret_cast<intptr_t>(param.text.c_str()));
                break;
            case TAL_TYPE_LIST: {
                if (level + 1 > kMaxDepth) return false;
                set.records.reserve(set.records.size() + 1);
                const TAL_LIST child = newList(true);
                if (child == 0) return false;
                if (!appendSpecParams(lists_.find(child)->params, param.list, level + 1)) {
                    releaseList(child);
                    return false;
                }
                // Built in place: hand over the list itself instead of a copy of it.
                const List* built = lists_.find(child);
                if (set.treeParams + built->params.treeParams + 1 > kMaxTreeParams ||
                    set.treeBytes + built->params.treeBytes > kMaxTreeBytes) {
                    releaseList(child);
                    return false;
                }
                void* stored = set.arena.allocate(sizeof child);
                std::memcpy(stored, &child, sizeof child);
                set.records.push_back(
                    ParamRecord{param.id, TAL_TYPE_LIST,
                                static_cast<uint32_t>(built->params.records.size()), stored});
                set.depth = std::max(set.depth, built->params.depth + 1);
                set.treeParams += built->params.treeParams + 1;
                set.treeBytes += built->params.treeBytes + sizeof child;
                result = TAL_OK;
                break;
            }
            default:
                return false;
        }
        if (result != TAL_OK) return false;
    }
    return true;
}

void Library::readParams(const ParamSet& set, std::vector<Param>& out) {
    out.reserve(set.records.size());
    for (const ParamRecord& record : set.records) {
        Param& param = out.emplace_back();
        param.id = record.id;
        param.type = record.type;
        param.count = record.count;
        switch (record.type) {
            case TAL_TYPE_BYTE:
                param.intValue = *static_cast<const uint8_t*>(record.value);
                break;
            case TAL_TYPE_NONE:
            case TAL_TYPE_INT:
                std::memcpy(&param.intValue, record.value, sizeof param.intValue);
                break;
            case TAL_TYPE_BYTE_ARRAY: {
                const auto* bytes = static_cast<const uint8_t*>(record.value);
                param.bytes.assign(bytes, bytes + record.count);
                break;
            }
            case TAL_TYPE_INT_ARRAY: {
                const auto* ints = static_cast<const int32_t*>(record.value);
                param.ints.assign(ints, ints + record.count);
                break;
            }
            case TAL_TYPE_STRING:
                param.text.assign(static_cast<const char*>(record.value), record.count);
                break;
            case TAL_TYPE_LIST:
                if (const List* list = lists_.find(listValueAt(record.value))) {
                    readParams(list->params, param.list);
                }
                break;
            default:
                break;
        }
    }
}

SentEvent Library::snapshot(const Event& event) {
    SentEvent sent;
    sent.id = event.id;
    sent.handle = event.handle;
    sent.handleFields = decodeHandle(event.handle);
    sent.act = event.act;
    readParams(event.params, sent.params);
    return sent;
}

const void* Library::walk(const ParamSet& set, uint32_t* cursor, uint32_t* id, uint32_t* type,
                          uint32_t* count) {
    const bool more = *cursor < set.records.size();
    const ParamRecord* record = more ? &set.records[*cursor] : nullptr;
    if (id != nullptr) *id = more ? record->id : 0;
    if (type != nullptr) *type = more ? record->type : 0;
    if (count != nullptr) *count = more ? record->count : 0;
    if (!more) return nullptr;
    ++*cursor;
    return record->value;
}

// ---------------------------------------------------------------------------------------------
// C API

TAL_EVENT Library::createEvent(uint32_t id) {
    std::lock_guard lock(mu_);
    if (failCreate_) {
        failCreate_ = false;
        return 0;
    }
    return newEvent(id);
}

int Library::destroyEvent(TAL_EVENT ev) {
    std::lock_guard lock(mu_);
    if (callerEvent(ev) == nullptr) return TAL_ERR_INVALID;
    releaseEvent(ev);
    return TAL_OK;
}

Library::MonitorPtr Library::currentMonitor() {
    return hasMonitor_.load(std::memory_order_acquire) ? monitor_ : nullptr;
}

int Library::sendEvent(TAL_EVENT ev) {
    std::unique_lock lock(mu_);
    Event* event = callerEvent(ev);
    if (event == nullptr) return TAL_ERR_INVALID;
    if (failSend_ || finished_) {
        const int result = failSend_ ? TAL_ERR_FAILED : TAL_ERR_STOPPED;
        failSend_ = false;
        releaseEvent(ev);
        return result;
    }
    event->holder = Holder::Outbound;
    if (MonitorPtr monitor = currentMonitor()) {
        // Reported before it is queued, so the line comes before any answer to it.
        const SentEvent copy = snapshot(*event);
        lock.unlock();
        (*monitor)(Direction::ToBoard, copy);
        lock.lock();
        if (finished_) {
            releaseEvent(ev);
            return TAL_ERR_STOPPED;
        }
    }
    outbound_.push_back(ev);
    lock.unlock();
    outboundCv_.notify_all();
    return TAL_OK;
}

int Library::waitEvent(uint32_t timeoutMs, TAL_EVENT* ev) {
    if (ev == nullptr) return TAL_ERR_INVALID;
    *ev = 0;
    std::unique_lock lock(mu_);
    const auto ready = [this] { return !delivery_.empty() || deliveryStopped_; };
    if (timeoutMs == std::numeric_limits<uint32_t>::max()) {
        deliveryCv_.wait(lock, ready);
    } else if (!deliveryCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return TAL_ERR_TIMEOUT;
    }
    if (delivery_.empty()) return TAL_ERR_STOPPED;
    const TAL_EVENT value = delivery_.front();
    delivery_.pop_front();
    if (Event* event = events_.find(value)) event->holder = Holder::Caller;
    *ev = value;
    return TAL_OK;
}

uint32_t Library::eventId(TAL_EVENT ev) {
    std::lock_guard lock(mu_);
    const Event* event = callerEvent(ev);
    return event != nullptr ? event->id : 0;
}

int Library::setAct(TAL_EVENT ev, void* act) {
    std::lock_guard lock(mu_);
    Event* event = callerEvent(ev);
    if (event == nullptr) return TAL_ERR_INVALID;
    event->act = act;
    return TAL_OK;
}

void* Library::act(TAL_EVENT ev) {
    std::lock_guard lock(mu_);
    const Event* event = callerEvent(ev);
    return event != nullptr ? event->act : nullptr;
}

int Library::setHandle(TAL_EVENT ev, TAL_HANDLE h) {
    std::lock_guard lock(mu_);
    Event* event = callerEvent(ev);
    if (event == nullptr) return TAL_ERR_INVALID;
    event->handle = h;
    return TAL_OK;
}

TAL_HANDLE Library::handle(TAL_EVENT ev) {
    std::lock_guard lock(mu_);
    const Event* event = callerEvent(ev);
    return event != nullptr ? event->handle : 0;
}

int Library::setEventParameters(TAL_EVENT ev, va_list args) {
    std::lock_guard lock(mu_);
    Event* event = callerEvent(ev);
    if (event == nullptr) return TAL_ERR_INVALID;
    return appendRuns(event->params, args);
}

int Library::setEventParameter(TAL_EVENT ev, uint32_t* cursor, uint32_t id, uint32_t type,
                               uint32_t count, intptr_t value) {
    if (cursor == nullptr) return TAL_ERR_INVALID;
    std::lock_guard lock(mu_);
    Event* event = callerEvent(ev);
    if (event == nullptr) return TAL_ERR_INVALID;
    const int result = appendParameter(event->params, id, type, count, value);
    if (result == TAL_OK) ++*cursor;
    return result;
}

const void* Library::nextEventParameter(TAL_EVENT ev, uint32_t* cursor, uint32_t* id,
                                        uint32_t* type, uint32_t* count) {
    if (cursor == nullptr) return nullptr;
    std::lock_guard lock(mu_);
    const Event* event = callerEvent(ev);
    if (event == nullptr) return nullptr;
    return walk(event->params, cursor, id, type, count);
}

const void* Library::nextListParameter(const void* list, uint32_t* cursor, uint32_t* id,
                                       uint32_t* type, uint32_t* count) {
    if (list == nullptr || cursor == nullptr) return nullptr;
    std::lock_guard lock(mu_);
    const List* found = lists_.find(listValueAt(list));
    if (found == nullptr) return nullptr;
    return walk(found->params, cursor, id, type, count);
}

TAL_LIST Library::createList() {
    std::lock_guard lock(mu_);
    return newList(false);
}

int Library::destroyList(TAL_LIST value) {
    std::lock_guard lock(mu_);
    const List* list = lists_.find(value);
    if (list == nullptr || list->owned) return TAL_ERR_INVALID;
    releaseList(value);
    return TAL_OK;
}

int Library::setListParameters(TAL_LIST value, va_list args) {
    std::lock_guard lock(mu_);
    List* list = lists_.find(value);
    if (list == nullptr || list->owned) return TAL_ERR_INVALID;
    return appendRuns(list->params, args);
}

void Library::releaseQueue(std::deque<TAL_EVENT>& queue) {
    for (const TAL_EVENT ev : queue) releaseEvent(ev);
    queue.clear();
}

void Library::open() {
    std::lock_guard lock(mu_);
    finished_ = false;
    deliveryStopped_ = false;
}

void Library::finish() {
    {
        std::lock_guard lock(mu_);
        finished_ = true;
        deliveryStopped_ = true;
        releaseQueue(outbound_);
        releaseQueue(delivery_);
    }
    deliveryCv_.notify_all();
    outboundCv_.notify_all();
}

// ---------------------------------------------------------------------------------------------
// Board face

void Library::setAttached(bool attached) {
    {
        std::lock_guard lock(mu_);
        attached_ = attached;
    }
    outboundCv_.notify_all();
}

bool Library::attached() {
    std::lock_guard lock(mu_);
    return attached_;
}

SentEvent Library::popOutbound() {
    const TAL_EVENT ev = outbound_.front();
    outbound_.pop_front();
    // Queued events cannot be freed by anybody else: the table always has it.
    SentEvent sent = snapshot(*events_.find(ev));
    releaseEvent(ev);
    return sent;
}

std::optional<SentEvent> Library::take(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mu_);
    if (!outboundCv_.wait_for(lock, timeout, [this] { return !outbound_.empty(); })) {
        return std::nullopt;
    }
    return popOutbound();
}

std::size_t Library::pendingSent() {
    std::lock_guard lock(mu_);
    return outbound_.size();
}

bool Library::queueForHost(TAL_EVENT ev, std::unique_lock<std::mutex>& lock) {
    Event* event = events_.find(ev);
    event->holder = Holder::Delivery;
    if (MonitorPtr monitor = currentMonitor()) {
        // Reported before it is queued, so the line comes before what the host does with it.
        const SentEvent copy = snapshot(*event);
        lock.unlock();
        (*monitor)(Direction::ToHost, copy);
        lock.lock();
        if (deliveryStopped_) {
            releaseEvent(ev);
            return false;
        }
    }
    delivery_.push_back(ev);
    lock.unlock();
    deliveryCv_.notify_one();
    return true;
}

bool Library::deliver(const EventSpec& spec) {
    std::unique_lock lock(mu_);
    if (deliveryStopped_) return false;
    const TAL_EVENT ev = newEvent(spec.id);
    if (ev == 0) return false;
    Event* event = events_.find(ev);
    event->handle = spec.handle;
    event->act = spec.act;
    if (!appendSpecParams(event->params, spec.params, 0)) {
        releaseEvent(ev);
        return false;
    }
    return queueForHost(ev, lock);
}

bool Library::deliverRaw(TAL_EVENT ev) {
    std::unique_lock lock(mu_);
    if (callerEvent(ev) == nullptr) return false;
    if (deliveryStopped_) {
        releaseEvent(ev);
        return false;
    }
    return queueForHost(ev, lock);
}

std::size_t Library::pendingDelivered() {
    std::lock_guard lock(mu_);
    return delivery_.size();
}

void Library::stopDelivery() {
    {
        std::lock_guard lock(mu_);
        deliveryStopped_ = true;
    }
    deliveryCv_.notify_all();
}

void Library::resumeDelivery() {
    std::lock_guard lock(mu_);
    deliveryStopped_ = false;
}

bool Library::deliveryStopped() {
    std::lock_guard lock(mu_);
    return deliveryStopped_;
}

void Library::failNextCreate() {
    std::lock_guard lock(mu_);
    failCreate_ = true;
}

void Library::failNextSend() {
    std::lock_guard lock(mu_);
    failSend_ = true;
}

std::size_t Library::liveEvents() {
    std::lock_guard lock(mu_);
    return events_.size();
}

std::size_t Library::liveLists() {
    std::lock_guard lock(mu_);
    return lists_.size();
}

void Library::reset() {
    {
        std::lock_guard lock(mu_);
        releaseQueue(outbound_);
        releaseQueue(delivery_);
        failCreate_ = false;
        failSend_ = false;
        deliveryStopped_ = false;
        finished_ = false;
    }
    outboundCv_.notify_all();
}

void Library::setMonitor(BoardSide::Monitor monitor) {
    MonitorPtr next =
        monitor ? std::make_shared<const BoardSide::Monitor>(std::move(monitor)) : nullptr;
    std::lock_guard lock(mu_);
    hasMonitor_.store(next != nullptr, std::memory_order_release);
    monitor_ = std::move(next);
}

// ---------------------------------------------------------------------------------------------
// Virtual board

uint64_t Library::virtualBoardEpoch() {
    std::lock_guard lock(mu_);
    return virtualBoardEpoch_;
}

std::optional<SentEvent> Library::nextForVirtualBoard(uint64_t epoch) {
    std::unique_lock lock(mu_);
    outboundCv_.wait(
        lock, [&] { return epoch != virtualBoardEpoch_ || (!attached_ && !outbound_.empty()); });
    if (epoch != virtualBoardEpoch_) return std::nullopt;
    return popOutbound();
}

void Library::stopVirtualBoard() {
    {
        std::lock_guard lock(mu_);
        ++virtualBoardEpoch_;
    }
    outboundCv_.notify_all();
}

}  // namespace tal::detail
