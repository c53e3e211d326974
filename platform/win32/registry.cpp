// Registry functions of the Win32 subset (see winreg.h for the behaviour kept from Windows).
#include <windows.h>

#include <cstring>
#include <utility>

#include "RegistryTables.h"
#include "Runtime.h"

using namespace tarnwick::win32;

namespace {

REGSAM effectiveAccess(REGSAM requested) {
    REGSAM access = requested & ~(KEY_WOW64_64KEY | KEY_WOW64_32KEY);
    if ((requested & (GENERIC_ALL | MAXIMUM_ALLOWED)) != 0) access |= KEY_ALL_ACCESS;
    if ((requested & GENERIC_READ) != 0) access |= KEY_READ;
    if ((requested & GENERIC_WRITE) != 0) access |= KEY_WRITE;
    if ((requested & GENERIC_EXECUTE) != 0) access |= KEY_EXECUTE;
    return access &
           ~(GENERIC_ALL | MAXIMUM_ALLOWED | GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE);
}

bool allows(REGSAM granted, REGSAM needed) {
    return (granted & needed) == needed;
}

bool isPredefined(HKEY key) {
    return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER;
}

// Runs body(tables, handle) in one unit of work on the handle's key, after checking the handle,
// its rights and that its key still exists; then, on success and still under the process lock,
// after() (which opens the new handle, so that it belongs to the store the key was found in).
template <class Body, class After>
LONG onKey(HKEY hKey, REGSAM needed, bool writes, Body&& body, After&& after) {
    return withStore([&](SystemStore& store) -> LONG {
        auto handle = Runtime::instance().key(hKey);
        if (!handle) return ERROR_INVALID_HANDLE;
        if (!allows(handle->access, needed)) return ERROR_ACCESS_DENIED;
        RegistryTables tables(store);
        auto unit = [&]() -> LONG {
            if (!tables.keyExists(handle->key)) return ERROR_KEY_DELETED;
            return body(tables, *handle);
        };
        LONG rc = writes ? store.write(unit) : store.read(unit);
        if (rc == ERROR_SUCCESS) after();
        return rc;
    });
}

template <class Body>
LONG onKey(HKEY hKey, REGSAM needed, bool writes, Body&& body) {
    return onKey(hKey, needed, writes, std::forward<Body>(body), [] {});
}

LONG copyName(const std::string& name, LPSTR buffer, LPDWORD chars) {
    if (*chars <= name.size()) {
        *chars = static_cast<DWORD>(name.size() + 1);
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
    *chars = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

LONG copyData(const std::vector<BYTE>& data, LPBYTE buffer, LPDWORD bytes) {
    if (bytes == nullptr) return ERROR_SUCCESS;
    if (buffer != nullptr && *bytes < data.size()) {
        *bytes = static_cast<DWORD>(data.size());
        return ERROR_MORE_DATA;
    }
    if (buffer != nullptr && !data.empty()) std::memcpy(buffer, data.data(), data.size());
    *bytes = static_cast<DWORD>(data.size());
    return ERROR_SUCCESS;
}

void emptyClass(LPSTR lpClass, LPDWORD lpcchClass) {
    if (lpcchClass == nullptr) return;
    if (lpClass != nullptr && *lpcchClass > 0) lpClass[0] = '\0';
    *lpcchClass = 0;
}

LONG checkValueName(LPCSTR name) {
    if (name != nullptr && std::strlen(name) > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

std::string_view valueName(LPCSTR name) {
    return name == nullptr ? std::string_view() : name;
}

}  // namespace

extern "C" {

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                      PHKEY phkResult) {
    (void)ulOptions;
    if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::vector<std::string> parts;
    if (LONG rc = splitKeyPath(lpSubKey, parts); rc != ERROR_SUCCESS) return rc;
    std::int64_t found = 0;
    return onKey(
        hKey, 0, false,
        [&](RegistryTables& tables, const KeyHandle& base) -> LONG {
            auto key = tables.find(base.key, parts);
            if (!key) return ERROR_FILE_NOT_FOUND;
            found = *key;
            return ERROR_SUCCESS;
        },
        [&] {
            *phkResult = Runtime::instance().addKey({found, effectiveAccess(samDesired)});
        });
}

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                        REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                        PHKEY phkResult, LPDWORD lpdwDisposition) {
    (void)Reserved;
    (void)lpClass;
    (void)dwOptions;
    (void)lpSecurityAttributes;
    if (phkResult == nullptr || lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::vector<std::string> parts;
    if (LONG rc = splitKeyPath(lpSubKey, parts); rc != ERROR_SUCCESS) return rc;
    std::int64_t result = 0;
    bool created = false;
    return onKey(
        hKey, 0, true,
        [&](RegistryTables& tables, const KeyHandle& base) -> LONG {
            if (auto existing = tables.find(base.key, parts)) {
                result = *existing;
                return ERROR_SUCCESS;
            }
            if (!allows(base.access, KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
            auto made = tables.create(base.key, parts);
            tables.touch(base.key);
            result = made.first;
            created = true;
            return ERROR_SUCCESS;
        },
        [&] {
            *phkResult = Runtime::instance().addKey({result, effectiveAccess(samDesired)});
            if (lpdwDisposition != nullptr) {
                *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
            }
        });
}

LSTATUS RegCloseKey(HKEY hKey) {
    if (isPredefined(hKey)) return ERROR_SUCCESS;
    std::lock_guard<std::recursive_mutex> lock(Runtime::instance().mutex());
    return Runtime::instance().removeKey(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                         LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (LONG rc = checkValueName(lpValueName); rc != ERROR_SUCCESS) return rc;
    return onKey(hKey, KEY_QUERY_VALUE, false,
                 [&](RegistryTables& tables, const KeyHandle& key) -> LONG {
                     auto value = tables.value(key.key, valueName(lpValueName));
                     if (!value) return ERROR_FILE_NOT_FOUND;
                     if (lpType != nullptr) *lpType = value->type;
                     return copyData(value->data, lpData, lpcbData);
                 });
}

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                       const BYTE* lpData, DWORD cbData) {
    if (Reserved != 0 || (lpData == nullptr && cbData != 0)) return ERROR_INVALID_PARAMETER;
    if (LONG rc = checkValueName(lpValueName); rc != ERROR_SUCCESS) return rc;
    return onKey(hKey, KEY_SET_VALUE, true,
                 [&](RegistryTables& tables, const KeyHandle& key) -> LONG {
                     tables.setValue(key.key, valueName(lpValueName), dwType, lpData, cbData);
                     return ERROR_SUCCESS;
                 });
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    if (LONG rc = checkValueName(lpValueName); rc != ERROR_SUCCESS) return rc;
    return onKey(
        hKey, KEY_SET_VALUE, true, [&](RegistryTables& tables, const KeyHandle& key) -> LONG {
            return tables.deleteValue(key.key, valueName(lpValueName)) ? ERROR_SUCCESS
                                                                       : ERROR_FILE_NOT_FOUND;
        });
}

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                      LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    if (lpName == nullptr || lpcchName == nullptr || lpReserved != nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return onKey(hKey, KEY_ENUMERATE_SUB_KEYS, false,
                 [&](RegistryTables&, const KeyHandle& key) -> LONG {
                     SystemStore& store = Runtime::instance().store();
                     Statement s = store.prepare(
                         "SELECT name, modified FROM keys WHERE parent = ? ORDER BY fold "
                         "LIMIT 1 OFFSET ?");
                     s.bind(1, key.key).bind(2, static_cast<std::int64_t>(dwIndex));
                     if (!s.step()) return ERROR_NO_MORE_ITEMS;
                     if (LONG rc = copyName(s.text(0), lpName, lpcchName); rc != ERROR_SUCCESS) {
                         return rc;
                     }
                     emptyClass(lpClass, lpcchClass);
                     if (lpftLastWriteTime != nullptr)
                         *lpftLastWriteTime = toFileTime(s.integer(1));
                     return ERROR_SUCCESS;
                 });
}

LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                      LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpValueName == nullptr || lpcchValueName == nullptr || lpReserved != nullptr ||
        (lpData != nullptr && lpcbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    return onKey(hKey, KEY_QUERY_VALUE, false, [&](RegistryTables&, const KeyHandle& key) -> LONG {
        SystemStore& store = Runtime::instance().store();
        Statement s = store.prepare(
            "SELECT name, type, data FROM reg_values WHERE key = ? ORDER BY rowid "
            "LIMIT 1 OFFSET ?");
        s.bind(1, key.key).bind(2, static_cast<std::int64_t>(dwIndex));
        if (!s.step()) return ERROR_NO_MORE_ITEMS;
        if (LONG rc = copyName(s.text(0), lpValueName, lpcchValueName); rc != ERROR_SUCCESS) {
            return rc;
        }
        if (lpType != nullptr) *lpType = static_cast<DWORD>(s.integer(1));
        return copyData(s.blob(2), lpData, lpcbData);
    });
}

LSTATUS RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                         LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                         LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                         LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
    if (lpReserved != nullptr) return ERROR_INVALID_PARAMETER;
    return onKey(hKey, KEY_QUERY_VALUE, false, [&](RegistryTables&, const KeyHandle& key) -> LONG {
        SystemStore& store = Runtime::instance().store();
        Statement subkeys = store.prepare(
            "SELECT count(*), ifnull(max(length(CAST(name AS BLOB))), 0) FROM keys "
            "WHERE parent = ?");
        subkeys.bind(1, key.key).step();
        Statement values = store.prepare(
            "SELECT count(*), ifnull(max(length(CAST(name AS BLOB))), 0), "
            "ifnull(max(length(data)), 0) FROM reg_values WHERE key = ?");
        values.bind(1, key.key).step();
        Statement modified = store.prepare("SELECT modified FROM keys WHERE id = ?");
        modified.bind(1, key.key).step();
        emptyClass(lpClass, lpcchClass);
        if (lpcSubKeys != nullptr) *lpcSubKeys = static_cast<DWORD>(subkeys.integer(0));
        if (lpcbMaxSubKeyLen != nullptr) *lpcbMaxSubKeyLen = static_cast<DWORD>(subkeys.integer(1));
        if (lpcbMaxClassLen != nullptr) *lpcbMaxClassLen = 0;
        if (lpcValues != nullptr) *lpcValues = static_cast<DWORD>(values.integer(0));
        if (lpcbMaxValueNameLen != nullptr) {
            *lpcbMaxValueNameLen = static_cast<DWORD>(values.integer(1));
        }
        if (lpcbMaxValueLen != nullptr) *lpcbMaxValueLen = static_cast<DWORD>(values.integer(2));
        if (lpcbSecurityDescriptor != nullptr) *lpcbSecurityDescriptor = 0;
        if (lpftLastWriteTime != nullptr) *lpftLastWriteTime = toFileTime(modified.integer(0));
        return ERROR_SUCCESS;
    });
}

LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
    std::vector<std::string> parts;
    if (LONG rc = splitKeyPath(lpSubKey, parts); rc != ERROR_SUCCESS) return rc;
    if (parts.empty() && isPredefined(hKey)) return ERROR_ACCESS_DENIED;
    return onKey(hKey, 0, true, [&](RegistryTables& tables, const KeyHandle& base) -> LONG {
        auto key = tables.find(base.key, parts);
        if (!key) return ERROR_FILE_NOT_FOUND;
        if (tables.hasSubkeys(*key)) return ERROR_ACCESS_DENIED;
        Statement parent =
            Runtime::instance().store().prepare("SELECT parent FROM keys WHERE id = ?");
        parent.bind(1, *key).step();
        std::int64_t parentId = parent.integer(0);
        tables.deleteKey(*key);
        if (parentId != 0) tables.touch(parentId);
        return ERROR_SUCCESS;
    });
}

LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
    std::vector<std::string> parts;
    if (LONG rc = splitKeyPath(lpSubKey, parts); rc != ERROR_SUCCESS) return rc;
    bool self = parts.empty();
    if (self && isPredefined(hKey)) return ERROR_ACCESS_DENIED;
    REGSAM needed = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | (self ? KEY_SET_VALUE : 0U);
    return onKey(hKey, needed, true, [&](RegistryTables& tables, const KeyHandle& base) -> LONG {
        auto key = tables.find(base.key, parts);
        if (!key) return ERROR_FILE_NOT_FOUND;
        if (!self) {
            Statement parent =
                Runtime::instance().store().prepare("SELECT parent FROM keys WHERE id = ?");
            parent.bind(1, *key).step();
            tables.touch(parent.integer(0));
        }
        tables.deleteTree(*key, self);
        return ERROR_SUCCESS;
    });
}

LSTATUS RegCopyTreeA(HKEY hKeySrc, LPCSTR lpSubKey, HKEY hKeyDest) {
    std::vector<std::string> parts;
    if (LONG rc = splitKeyPath(lpSubKey, parts); rc != ERROR_SUCCESS) return rc;
    return withStore([&](SystemStore& store) -> LONG {
        Runtime& runtime = Runtime::instance();
        auto source = runtime.key(hKeySrc);
        auto destination = runtime.key(hKeyDest);
        if (!source || !destination) return ERROR_INVALID_HANDLE;
        if (!allows(source->access, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS) ||
            !allows(destination->access, KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) {
            return ERROR_ACCESS_DENIED;
        }
        RegistryTables tables(store);
        return store.write([&]() -> LONG {
            if (!tables.keyExists(source->key) || !tables.keyExists(destination->key)) {
                return ERROR_KEY_DELETED;
            }
            auto from = tables.find(source->key, parts);
            if (!from) return ERROR_FILE_NOT_FOUND;
            tables.copyTree(*from, destination->key);
            return ERROR_SUCCESS;
        });
    });
}

}  // extern "C"
