#include "RegistryTables.h"

#include <chrono>
#include <cstring>
#include <unordered_map>

namespace tarnwick::win32 {

LONG splitKeyPath(const char* path, std::vector<std::string>& parts) {
    parts.clear();
    if (path == nullptr || *path == '\0') return ERROR_SUCCESS;
    std::string_view rest(path);
    if (rest.back() == '\\') rest.remove_suffix(1);
    while (true) {
        auto slash = rest.find('\\');
        std::string_view part = rest.substr(0, slash);
        if (part.empty()) return ERROR_BAD_PATHNAME;
        if (part.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
        parts.emplace_back(part);
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    return ERROR_SUCCESS;
}

std::int64_t unixNanosecondsNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

FILETIME toFileTime(std::int64_t unixNanoseconds) {
    constexpr std::uint64_t kEpochDifference = 116444736000000000ULL;  // 1601 to 1970 in 100 ns
    std::uint64_t ticks = kEpochDifference + static_cast<std::uint64_t>(unixNanoseconds / 100);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xffffffffU);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

bool RegistryTables::keyExists(std::int64_t key) {
    Statement s = store_.prepare("SELECT 1 FROM keys WHERE id = ?");
    s.bind(1, key);
    return s.step();
}

std::optional<std::int64_t> RegistryTables::child(std::int64_t parent, std::string_view name) {
    Statement s = store_.prepare("SELECT id FROM keys WHERE parent = ? AND fold = ?");
    s.bind(1, parent).bind(2, foldName(name));
    if (!s.step()) return std::nullopt;
    return s.integer(0);
}

std::optional<std::int64_t> RegistryTables::find(std::int64_t base,
                                                 const std::vector<std::string>& parts) {
    std::int64_t current = base;
    for (const auto& part : parts) {
        auto next = child(current, part);
        if (!next) return std::nullopt;
        current = *next;
    }
    return current;
}

std::int64_t RegistryTables::insertKey(std::int64_t parent, std::string_view name) {
    Statement s =
        store_.prepare("INSERT INTO keys(parent, name, fold, modified) VALUES (?, ?, ?, ?)");
    s.bind(1, parent).bind(2, name).bind(3, foldName(name)).bind(4, unixNanosecondsNow());
    s.run();
    return store_.lastInsertId();
}

std::pair<std::int64_t, bool> RegistryTables::create(std::int64_t base,
                                                     const std::vector<std::string>& parts) {
    std::int64_t current = base;
    bool created = false;
    for (const auto& part : parts) {
        std::optional<std::int64_t> next = created ? std::nullopt : child(current, part);
        if (next) {
            current = *next;
        } else {
            current = insertKey(current, part);
            created = true;
        }
    }
    return {current, created};
}

bool RegistryTables::hasSubkeys(std::int64_t key) {
    Statement s = store_.prepare("SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
    s.bind(1, key);
    return s.step();
}

void RegistryTables::deleteKey(std::int64_t key) {
    {
        Statement values = store_.prepare("DELETE FROM reg_values WHERE key = ?");
        values.bind(1, key).run();
    }
    Statement s = store_.prepare("DELETE FROM keys WHERE id = ?");
    s.bind(1, key).run();
}

void RegistryTables::deleteTree(std::int64_t key, bool keepKey) {
    {
        Statement values = store_.prepare(
            "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
            "SELECT k.id FROM keys k JOIN tree ON k.parent = tree.id) "
            "DELETE FROM reg_values WHERE key IN (SELECT id FROM tree)");
        values.bind(1, key).run();
    }
    {
        Statement keys = store_.prepare(
            "WITH RECURSIVE tree(id) AS (SELECT id FROM keys WHERE parent = ?1 UNION ALL "
            "SELECT k.id FROM keys k JOIN tree ON k.parent = tree.id) "
            "DELETE FROM keys WHERE id IN (SELECT id FROM tree)");
        keys.bind(1, key).run();
    }
    if (!keepKey) {
        Statement self = store_.prepare("DELETE FROM keys WHERE id = ?");
        self.bind(1, key).run();
    } else {
        touch(key);
    }
}

std::optional<ValueData> RegistryTables::value(std::int64_t key, std::string_view name) {
    Statement s =
        store_.prepare("SELECT name, type, data FROM reg_values WHERE key = ? AND fold = ?");
    s.bind(1, key).bind(2, foldName(name));
    if (!s.step()) return std::nullopt;
    return ValueData{s.text(0), static_cast<DWORD>(s.integer(1)), s.blob(2)};
}

void RegistryTables::setValue(std::int64_t key, std::string_view name, DWORD type, const BYTE* data,
                              std::size_t size) {
    upsertValue(key, name, type, data, size);
    touch(key);
}

void RegistryTables::upsertValue(std::int64_t key, std::string_view name, DWORD type,
                                 const BYTE* data, std::size_t size) {
    // An existing value keeps its name's case and its place in the enumeration order.
    Statement s = store_.prepare(
        "INSERT INTO reg_values(key, name, fold, type, data) VALUES (?, ?, ?, ?, ?) "
        "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
    s.bind(1, key).bind(2, name).bind(3, foldName(name)).bind(4, type).bindBlob(5, data, size);
    s.run();
}

bool RegistryTables::deleteValue(std::int64_t key, std::string_view name) {
    Statement s = store_.prepare("DELETE FROM reg_values WHERE key = ? AND fold = ?");
    s.bind(1, key).bind(2, foldName(name)).run();
    if (store_.changes() == 0) return false;
    touch(key);
    return true;
}

void RegistryTables::touch(std::int64_t key) {
    Statement s = store_.prepare("UPDATE keys SET modified = ? WHERE id = ?");
    s.bind(1, unixNanosecondsNow()).bind(2, key).run();
}

void RegistryTables::copyTree(std::int64_t source, std::int64_t destination) {
    struct SourceKey {
        std::int64_t id;
        std::int64_t parent;
        std::string name;
        std::vector<ValueData> values;
    };
    // Read the whole source first: the destination may lie inside it.
    std::vector<SourceKey> tree;
    {
        Statement s = store_.prepare(
            "WITH RECURSIVE tree(id, parent, name, depth) AS ("
            "SELECT id, 0, name, 0 FROM keys WHERE id = ?1 UNION ALL "
            "SELECT k.id, k.parent, k.name, tree.depth + 1 FROM keys k "
            "JOIN tree ON k.parent = tree.id) "
            "SELECT id, parent, name FROM tree ORDER BY depth");
        s.bind(1, source);
        while (s.step()) tree.push_back({s.integer(0), s.integer(1), s.text(2), {}});
    }
    {
        std::unordered_map<std::int64_t, std::size_t> index;
        for (std::size_t i = 0; i < tree.size(); ++i) index.emplace(tree[i].id, i);
        Statement s = store_.prepare(
            "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
            "SELECT k.id FROM keys k JOIN tree ON k.parent = tree.id) "
            "SELECT v.key, v.name, v.type, v.data FROM reg_values v JOIN tree ON v.key = tree.id "
            "ORDER BY v.rowid");
        s.bind(1, source);
        while (s.step()) {
            auto it = index.find(s.integer(0));
            if (it == index.end()) continue;
            tree[it->second].values.push_back(
                {s.text(1), static_cast<DWORD>(s.integer(2)), s.blob(3)});
        }
    }
    // Parents come before their children (ordered by depth), so each parent is mapped already.
    struct Copy {
        std::int64_t id;
        bool created;  // a new key has no children to look up
    };
    std::unordered_map<std::int64_t, Copy> copies;
    for (const auto& key : tree) {
        Copy target{destination, false};
        if (key.id != source) {
            const Copy& parent = copies.at(key.parent);
            auto existing = parent.created ? std::nullopt : child(parent.id, key.name);
            target = existing ? Copy{*existing, false} : Copy{insertKey(parent.id, key.name), true};
        }
        copies[key.id] = target;
        for (const auto& v : key.values) {
            upsertValue(target.id, v.name, v.type, v.data.data(), v.data.size());
        }
        if (!target.created) touch(target.id);
    }
}

}  // namespace tarnwick::win32
