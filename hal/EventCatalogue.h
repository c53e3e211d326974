// The catalogue of event kinds the HAL handles, as data: one row per kind with its TAL id, PAL id,
// name and the factory of its translator. The event pump registers the TAL-keyed table first,
// then the PAL-keyed table, each in row order; a later row with the same key replaces an earlier
// one (req_PAL_DETACH is listed twice on purpose: generic first, then its own class).
#ifndef TARNWICK_HAL_EVENTCATALOGUE_H
#define TARNWICK_HAL_EVENTCATALOGUE_H

#include <cstdint>
#include <map>
#include <span>

#include "EventBase.h"

// Makes a translator constructed with (TAL id, PAL id, name).
using TranslatorFactory = CEvent* (*)(uint32_t talId, uint32_t palId, const char* name);

template <class Translator>
CEvent* MakeTranslator(uint32_t talId, uint32_t palId, const char* name) {
    return new Translator(talId, palId, name);
}

struct CatalogueRow {
    uint32_t talId;
    uint32_t palId;  // 0 for a TAL-only kind
    const char* name;
    TranslatorFactory make;
};

// Completions and notifications, keyed by TAL id, in registration order.
std::span<const CatalogueRow> TalCatalogue();
// Requests, keyed by PAL id, in registration order.
std::span<const CatalogueRow> PalCatalogue();

// Which id of a row is its key.
enum class CatalogueKey { TalId, PalId };
using TranslatorMap = std::map<uint32_t, CEvent*>;

// Constructs every row's translator in order and stores it under its key. A translator replaced
// by a later row for the same key is deleted: the map holds the only reference.
void RegisterCatalogue(TranslatorMap& map, std::span<const CatalogueRow> rows, CatalogueKey key);
// Deletes every translator of the map and empties it.
void ReleaseTranslators(TranslatorMap& map);

#endif
