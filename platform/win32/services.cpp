// Service control functions of the Win32 subset (see winsvc.h). Services are rows of the store;
// their configuration is mirrored under "SYSTEM\CurrentControlSet\Services\<name>" as on Windows.
#include <tarnwick_store.h>
#include <windows.h>

#include <cstring>

#include "RegistryTables.h"
#include "Runtime.h"

using namespace tarnwick::win32;

namespace {

constexpr std::size_t kMaxServiceNameLength = 256;
const std::vector<std::string> kServicesKey = {"SYSTEM", "CurrentControlSet", "Services"};

struct ServiceRow {
    std::int64_t id = 0;
    std::string name;
    DWORD type = 0;
    DWORD startType = 0;
    DWORD state = SERVICE_STOPPED;
    DWORD exitCode = 0;
    bool deletePending = false;
};

DWORD effectiveServiceAccess(DWORD requested, DWORD all) {
    DWORD access = requested;
    if ((requested & (GENERIC_ALL | MAXIMUM_ALLOWED)) != 0) access |= all;
    return access;
}

bool allows(DWORD granted, DWORD needed) {
    return (granted & needed) == needed;
}

bool validName(LPCSTR name) {
    if (name == nullptr || *name == '\0') return false;
    std::size_t length = std::strlen(name);
    return length <= kMaxServiceNameLength && std::strpbrk(name, "/\\") == nullptr;
}

std::optional<ServiceRow> loadById(SystemStore& store, std::int64_t id) {
    Statement s = store.prepare(
        "SELECT id, name, type, start_type, state, exit_code, delete_pending FROM services "
        "WHERE id = ?");
    s.bind(1, id);
    if (!s.step()) return std::nullopt;
    return ServiceRow{s.integer(0),
                      s.text(1),
                      static_cast<DWORD>(s.integer(2)),
                      static_cast<DWORD>(s.integer(3)),
                      static_cast<DWORD>(s.integer(4)),
                      static_cast<DWORD>(s.integer(5)),
                      s.integer(6) != 0};
}

std::optional<ServiceRow> loadByName(SystemStore& store, std::string_view name) {
    Statement s = store.prepare("SELECT id FROM services WHERE fold = ?");
    s.bind(1, foldName(name));
    if (!s.step()) return std::nullopt;
    std::int64_t id = s.integer(0);
    return loadById(store, id);
}

void fillStatus(const ServiceRow& row, LPSERVICE_STATUS status) {
    if (status == nullptr) return;
    std::memset(status, 0, sizeof *status);
    status->dwServiceType = row.type;
    status->dwCurrentState = row.state;
    status->dwControlsAccepted =
        row.state == SERVICE_RUNNING || row.state == SERVICE_PAUSED ? SERVICE_ACCEPT_STOP : 0;
    status->dwWin32ExitCode = row.exitCode;
}

// Removes the service with its registry key.
void removeService(SystemStore& store, const ServiceRow& row) {
    Statement s = store.prepare("DELETE FROM services WHERE id = ?");
    s.bind(1, row.id).run();
    RegistryTables tables(store);
    std::vector<std::string> path = kServicesKey;
    path.push_back(row.name);
    if (auto key = tables.find(store.machineRoot(), path)) tables.deleteTree(*key, false);
}

// Sets the state; a service marked for deletion goes once it is stopped.
void changeState(SystemStore& store, ServiceRow& row, DWORD state) {
    row.state = state;
    if (state == SERVICE_STOPPED && row.deletePending) {
        removeService(store, row);
        return;
    }
    Statement s = store.prepare("UPDATE services SET state = ? WHERE id = ?");
    s.bind(1, state).bind(2, row.id).run();
}

void writeServiceKey(SystemStore& store, const std::string& name, LPCSTR displayName, DWORD type,
                     DWORD startType, DWORD errorControl, const std::string& binaryPath) {
    RegistryTables tables(store);
    std::vector<std::string> path = kServicesKey;
    path.push_back(name);
    std::int64_t key = tables.create(store.machineRoot(), path).first;
    auto setDword = [&](const char* valueName, DWORD value) {
        BYTE bytes[4];
        std::memcpy(bytes, &value, sizeof bytes);
        tables.setValue(key, valueName, REG_DWORD, bytes, sizeof bytes);
    };
    auto setString = [&](const char* valueName, DWORD valueType, const std::string& text) {
        tables.setValue(key, valueName, valueType, reinterpret_cast<const BYTE*>(text.c_str()),
                        text.size() + 1);
    };
    setDword("Type", type);
    setDword("Start", startType);
    setDword("ErrorControl", errorControl);
    if (!binaryPath.empty()) setString("ImagePath", REG_EXPAND_SZ, binaryPath);
    setString("DisplayName", REG_SZ,
              displayName != nullptr && *displayName != '\0' ? displayName : name);
    if ((type & (SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS)) != 0) {
        setString("ObjectName", REG_SZ, "LocalSystem");
    }
}

// Runs body(store, row) on the service of a service handle, with the right checked.
template <class Body>
LONG onService(SC_HANDLE handle, DWORD needed, bool writes, Body&& body) {
    return withStore([&](SystemStore& store) -> LONG {
        auto entry = Runtime::instance().service(handle);
        if (!entry || entry->manager) return ERROR_INVALID_HANDLE;
        if (!allows(entry->access, needed)) return ERROR_ACCESS_DENIED;
        auto unit = [&]() -> LONG {
            auto row = loadById(store, entry->service);
            if (!row) return ERROR_SERVICE_DOES_NOT_EXIST;
            return body(store, *row);
        };
        return writes ? store.write(unit) : store.read(unit);
    });
}

BOOL result(LONG rc) {
    if (rc == ERROR_SUCCESS) return TRUE;
    SetLastError(static_cast<DWORD>(rc));
    return FALSE;
}

}  // namespace

extern "C" {

SC_HANDLE OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess) {
    if (lpMachineName != nullptr && *lpMachineName != '\0') {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    if (lpDatabaseName != nullptr &&
        foldName(lpDatabaseName) != foldName(SERVICES_ACTIVE_DATABASEA)) {
        SetLastError(ERROR_DATABASE_DOES_NOT_EXIST);
        return nullptr;
    }
    SC_HANDLE handle = nullptr;
    LONG rc = withStore([&](SystemStore&) -> LONG {
        handle = Runtime::instance().addService(
            {true, 0, effectiveServiceAccess(dwDesiredAccess, SC_MANAGER_ALL_ACCESS)});
        return ERROR_SUCCESS;
    });
    result(rc);
    return handle;
}

SC_HANDLE OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) {
    SC_HANDLE handle = nullptr;
    LONG rc = withStore([&](SystemStore& store) -> LONG {
        auto manager = Runtime::instance().service(hSCManager);
        if (!manager || !manager->manager) return ERROR_INVALID_HANDLE;
        if (!validName(lpServiceName)) return ERROR_INVALID_NAME;
        std::int64_t id = 0;
        LONG found = store.read([&]() -> LONG {
            auto row = loadByName(store, lpServiceName);
            if (!row) return ERROR_SERVICE_DOES_NOT_EXIST;
            id = row->id;
            return ERROR_SUCCESS;
        });
        if (found != ERROR_SUCCESS) return found;
        handle = Runtime::instance().addService(
            {false, id, effectiveServiceAccess(dwDesiredAccess, SERVICE_ALL_ACCESS)});
        return ERROR_SUCCESS;
    });
    result(rc);
    return handle;
}

SC_HANDLE CreateServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, LPCSTR lpDisplayName,
                         DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType,
                         DWORD dwErrorControl, LPCSTR lpBinaryPathName, LPCSTR lpLoadOrderGroup,
                         LPDWORD lpdwTagId, LPCSTR lpDependencies, LPCSTR lpServiceStartName,
                         LPCSTR lpPassword) {
    (void)lpLoadOrderGroup;
    (void)lpDependencies;
    (void)lpServiceStartName;
    (void)lpPassword;
    SC_HANDLE handle = nullptr;
    LONG rc = withStore([&](SystemStore& store) -> LONG {
        auto manager = Runtime::instance().service(hSCManager);
        if (!manager || !manager->manager) return ERROR_INVALID_HANDLE;
        if (!allows(manager->access, SC_MANAGER_CREATE_SERVICE)) return ERROR_ACCESS_DENIED;
        if (!validName(lpServiceName)) return ERROR_INVALID_NAME;
        DWORD kind = dwServiceType & ~SERVICE_INTERACTIVE_PROCESS;
        bool knownKind = kind == SERVICE_KERNEL_DRIVER || kind == SERVICE_FILE_SYSTEM_DRIVER ||
                         kind == SERVICE_WIN32_OWN_PROCESS || kind == SERVICE_WIN32_SHARE_PROCESS;
        if (!knownKind || dwStartType > SERVICE_DISABLED ||
            dwErrorControl > SERVICE_ERROR_CRITICAL || lpBinaryPathName == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        std::int64_t id = 0;
        LONG created = store.write([&]() -> LONG {
            if (auto existing = loadByName(store, lpServiceName)) {
                return existing->deletePending ? ERROR_SERVICE_MARKED_FOR_DELETE
                                               : ERROR_SERVICE_EXISTS;
            }
            std::string display =
                lpDisplayName != nullptr && *lpDisplayName != '\0' ? lpDisplayName : lpServiceName;
            Statement s = store.prepare(
                "INSERT INTO services(name, fold, display_name, type, start_type, error_control, "
                "binary_path, state) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
            s.bind(1, lpServiceName)
                .bind(2, foldName(lpServiceName))
                .bind(3, display)
                .bind(4, dwServiceType)
                .bind(5, dwStartType)
                .bind(6, dwErrorControl)
                .bind(7, lpBinaryPathName)
                .bind(8, SERVICE_STOPPED)
                .run();
            id = store.lastInsertId();
            writeServiceKey(store, lpServiceName, lpDisplayName, dwServiceType, dwStartType,
                            dwErrorControl, lpBinaryPathName);
            return ERROR_SUCCESS;
        });
        if (created != ERROR_SUCCESS) return created;
        handle = Runtime::instance().addService(
            {false, id, effectiveServiceAccess(dwDesiredAccess, SERVICE_ALL_ACCESS)});
        if (lpdwTagId != nullptr) *lpdwTagId = 0;
        return ERROR_SUCCESS;
    });
    result(rc);
    return handle;
}

BOOL QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
    if (lpServiceStatus == nullptr) return result(ERROR_INVALID_PARAMETER);
    return result(onService(hService, SERVICE_QUERY_STATUS, false,
                            [&](SystemStore&, ServiceRow& row) -> LONG {
                                fillStatus(row, lpServiceStatus);
                                return ERROR_SUCCESS;
                            }));
}

BOOL StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors) {
    (void)dwNumServiceArgs;
    (void)lpServiceArgVectors;
    return result(
        onService(hService, SERVICE_START, true, [&](SystemStore& store, ServiceRow& row) -> LONG {
            if (row.deletePending) return ERROR_SERVICE_MARKED_FOR_DELETE;
            if (row.startType == SERVICE_DISABLED) return ERROR_SERVICE_DISABLED;
            if (row.state != SERVICE_STOPPED) {
                return ERROR_SERVICE_ALREADY_RUNNING;
            }
            changeState(store, row, SERVICE_RUNNING);
            return ERROR_SUCCESS;
        }));
}

BOOL ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
    if (lpServiceStatus == nullptr) return result(ERROR_INVALID_PARAMETER);
    DWORD needed = 0;
    if (dwControl == SERVICE_CONTROL_STOP) {
        needed = SERVICE_STOP;
    } else if (dwControl == SERVICE_CONTROL_INTERROGATE) {
        needed = SERVICE_INTERROGATE;
    } else {
        return result(ERROR_INVALID_SERVICE_CONTROL);
    }
    return result(
        onService(hService, needed, true, [&](SystemStore& store, ServiceRow& row) -> LONG {
            LONG rc = ERROR_SUCCESS;
            if (row.state == SERVICE_STOPPED) {
                rc = ERROR_SERVICE_NOT_ACTIVE;
            } else if (row.state == SERVICE_START_PENDING || row.state == SERVICE_STOP_PENDING) {
                rc = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
            } else if (dwControl == SERVICE_CONTROL_STOP) {
                changeState(store, row, SERVICE_STOPPED);
            }
            fillStatus(row, lpServiceStatus);
            return rc;
        }));
}

BOOL DeleteService(SC_HANDLE hService) {
    return result(
        onService(hService, DELETE, true, [&](SystemStore& store, ServiceRow& row) -> LONG {
            if (row.deletePending) return ERROR_SERVICE_MARKED_FOR_DELETE;
            if (row.state == SERVICE_STOPPED) {
                removeService(store, row);
                return ERROR_SUCCESS;
            }
            Statement s = store.prepare("UPDATE services SET delete_pending = 1 WHERE id = ?");
            s.bind(1, row.id).run();
            return ERROR_SUCCESS;
        }));
}

BOOL CloseServiceHandle(SC_HANDLE hSCObject) {
    std::lock_guard<std::recursive_mutex> lock(Runtime::instance().mutex());
    return result(Runtime::instance().removeService(hSCObject) ? ERROR_SUCCESS
                                                               : ERROR_INVALID_HANDLE);
}

DWORD TarnwickStore_SetServiceState(const char* serviceName, DWORD state) {
    if (state < SERVICE_STOPPED || state > SERVICE_PAUSED) return ERROR_INVALID_PARAMETER;
    if (!validName(serviceName)) return ERROR_INVALID_NAME;
    return static_cast<DWORD>(withStore([&](SystemStore& store) -> LONG {
        return store.write([&]() -> LONG {
            auto row = loadByName(store, serviceName);
            if (!row) return ERROR_SERVICE_DOES_NOT_EXIST;
            changeState(store, *row, state);
            return ERROR_SUCCESS;
        });
    }));
}

}  // extern "C"
