// tarnwickctl sc: the service records of the system store in sc.exe's manner. There are no
// service processes: start and stop only change the recorded state.
#include <tarnwick_store.h>

#include <cctype>
#include <cstdio>
#include <iostream>
#include <map>

#include "Commands.h"

namespace tarnwick::ctl {

namespace {

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int scFailure(const std::string& operation, DWORD code) {
    std::cerr << "[SC] " << operation << " FAILED " << code << ":\n\n" << systemText(code) << "\n";
    std::string reason = TarnwickStore_LastErrorText();
    if (!reason.empty()) std::cerr << reason << "\n";
    std::cerr << "\n";
    return 1;
}

const char* stateName(DWORD state) {
    static const char* const names[] = {"STOPPED", "START_PENDING",    "STOP_PENDING",
                                        "RUNNING", "CONTINUE_PENDING", "PAUSE_PENDING",
                                        "PAUSED"};
    return state >= 1 && state <= 7 ? names[state - 1] : "UNKNOWN";
}

std::string typeText(DWORD type) {
    std::string text;
    switch (type & ~SERVICE_INTERACTIVE_PROCESS) {
        case SERVICE_KERNEL_DRIVER:
            text = "KERNEL_DRIVER";
            break;
        case SERVICE_FILE_SYSTEM_DRIVER:
            text = "FILE_SYSTEM_DRIVER";
            break;
        case SERVICE_WIN32_OWN_PROCESS:
            text = "WIN32_OWN_PROCESS";
            break;
        case SERVICE_WIN32_SHARE_PROCESS:
            text = "WIN32_SHARE_PROCESS";
            break;
        default:
            text = "UNKNOWN";
    }
    if ((type & SERVICE_INTERACTIVE_PROCESS) != 0) text += " (interactive)";
    return text;
}

void printStatus(const std::string& name, const SERVICE_STATUS& status) {
    char line[160];
    std::cout << "\nSERVICE_NAME: " << name << "\n";
    std::snprintf(line, sizeof line, "        TYPE               : %x  %s\n", status.dwServiceType,
                  typeText(status.dwServiceType).c_str());
    std::cout << line;
    std::snprintf(line, sizeof line, "        STATE              : %u  %s\n", status.dwCurrentState,
                  stateName(status.dwCurrentState));
    std::cout << line;
    std::cout << "                                ("
              << ((status.dwControlsAccepted & SERVICE_ACCEPT_STOP) != 0 ? "STOPPABLE"
                                                                         : "NOT_STOPPABLE")
              << ", NOT_PAUSABLE, IGNORES_SHUTDOWN)\n";
    std::snprintf(line, sizeof line, "        WIN32_EXIT_CODE    : %u  (0x%x)\n",
                  status.dwWin32ExitCode, status.dwWin32ExitCode);
    std::cout << line;
    std::snprintf(line, sizeof line, "        SERVICE_EXIT_CODE  : %u  (0x%x)\n",
                  status.dwServiceSpecificExitCode, status.dwServiceSpecificExitCode);
    std::cout << line;
    std::snprintf(line, sizeof line, "        CHECKPOINT         : 0x%x\n", status.dwCheckPoint);
    std::cout << line;
    std::snprintf(line, sizeof line, "        WAIT_HINT          : 0x%x\n", status.dwWaitHint);
    std::cout << line;
}

// A manager and a service handle, closed when they go out of scope.
class Service {
  public:
    ~Service() {
        if (service_ != nullptr) CloseServiceHandle(service_);
        if (manager_ != nullptr) CloseServiceHandle(manager_);
    }
    // Opens name with access; on failure prints the error (for operation) and returns false.
    bool open(const std::string& name, DWORD access, const std::string& operation) {
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
        if (manager_ == nullptr) {
            scFailure("OpenSCManager", GetLastError());
            return false;
        }
        service_ = OpenServiceA(manager_, name.c_str(), access);
        if (service_ == nullptr) {
            scFailure(operation + "OpenService", GetLastError());
            return false;
        }
        return true;
    }
    SC_HANDLE get() const { return service_; }

  private:
    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
};

int queryAndPrint(const std::string& name) {
    Service service;
    if (!service.open(name, SERVICE_QUERY_STATUS, "EnumQueryServicesStatus:")) return 1;
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.get(), &status)) {
        return scFailure("QueryServiceStatus", GetLastError());
    }
    printStatus(name, status);
    return 0;
}

}  // namespace

int scQuery(const std::string& name) {
    return queryAndPrint(name);
}

int scCreate(const std::string& name, const std::vector<std::string>& settings) {
    static const std::map<std::string, DWORD> types = {{"own", SERVICE_WIN32_OWN_PROCESS},
                                                       {"share", SERVICE_WIN32_SHARE_PROCESS},
                                                       {"kernel", SERVICE_KERNEL_DRIVER},
                                                       {"filesys", SERVICE_FILE_SYSTEM_DRIVER}};
    static const std::map<std::string, DWORD> starts = {{"boot", SERVICE_BOOT_START},
                                                        {"system", SERVICE_SYSTEM_START},
                                                        {"auto", SERVICE_AUTO_START},
                                                        {"demand", SERVICE_DEMAND_START},
                                                        {"disabled", SERVICE_DISABLED}};
    static const std::map<std::string, DWORD> errors = {{"ignore", SERVICE_ERROR_IGNORE},
                                                        {"normal", SERVICE_ERROR_NORMAL},
                                                        {"severe", SERVICE_ERROR_SEVERE},
                                                        {"critical", SERVICE_ERROR_CRITICAL}};
    DWORD type = SERVICE_WIN32_OWN_PROCESS, start = SERVICE_DEMAND_START,
          errorControl = SERVICE_ERROR_NORMAL;
    std::string binaryPath, displayName;
    auto usage = [](const std::string& what) {
        std::cerr << "[SC] CreateService: " << what
                  << "\nOptions are written \"option= value\": binPath=, type= (own, share, "
                     "kernel, filesys), start= (boot, system, auto, demand, disabled), error= "
                     "(ignore, normal, severe, critical), DisplayName=.\n";
        return 1;
    };
    for (std::size_t i = 0; i < settings.size(); ++i) {
        std::string option = settings[i];
        std::size_t equals = option.find('=');
        if (equals == std::string::npos) return usage("\"" + option + "\" is not an option=");
        std::string value = option.substr(equals + 1);
        option = lower(option.substr(0, equals));
        if (value.empty()) {
            if (i + 1 >= settings.size()) return usage("no value after \"" + option + "=\"");
            value = settings[++i];
        }
        auto pick = [&](const std::map<std::string, DWORD>& table, DWORD& target) {
            auto it = table.find(lower(value));
            if (it == table.end()) return false;
            target = it->second;
            return true;
        };
        if (option == "binpath") {
            binaryPath = value;
        } else if (option == "displayname") {
            displayName = value;
        } else if (option == "type") {
            if (!pick(types, type)) return usage("invalid type= \"" + value + "\"");
        } else if (option == "start") {
            if (!pick(starts, start)) return usage("invalid start= \"" + value + "\"");
        } else if (option == "error") {
            if (!pick(errors, errorControl)) return usage("invalid error= \"" + value + "\"");
        } else {
            return usage("unknown option \"" + option + "=\"");
        }
    }
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    if (manager == nullptr) return scFailure("OpenSCManager", GetLastError());
    SC_HANDLE service =
        CreateServiceA(manager, name.c_str(), displayName.empty() ? nullptr : displayName.c_str(),
                       SERVICE_ALL_ACCESS, type, start, errorControl, binaryPath.c_str(), nullptr,
                       nullptr, nullptr, nullptr, nullptr);
    DWORD error = GetLastError();
    CloseServiceHandle(manager);
    if (service == nullptr) return scFailure("CreateService", error);
    CloseServiceHandle(service);
    std::cout << "[SC] CreateService SUCCESS\n";
    return 0;
}

int scStart(const std::string& name) {
    {
        Service service;
        if (!service.open(name, SERVICE_START, "")) return 1;
        if (!StartServiceA(service.get(), 0, nullptr)) {
            return scFailure("StartService", GetLastError());
        }
    }
    return queryAndPrint(name);
}

int scStop(const std::string& name) {
    Service service;
    if (!service.open(name, SERVICE_STOP, "")) return 1;
    SERVICE_STATUS status{};
    if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        return scFailure("ControlService", GetLastError());
    }
    printStatus(name, status);
    return 0;
}

int scDelete(const std::string& name) {
    Service service;
    if (!service.open(name, DELETE, "")) return 1;
    if (!DeleteService(service.get())) return scFailure("DeleteService", GetLastError());
    std::cout << "[SC] DeleteService SUCCESS\n";
    return 0;
}

int scSetState(const std::string& name, const std::string& stateText) {
    DWORD state = 0;
    for (DWORD s = 1; s <= 7; ++s) {
        if (lower(stateText) == lower(stateName(s)) || stateText == std::to_string(s)) state = s;
    }
    if (state == 0) {
        std::cerr << "[SC] set-state: invalid state \"" << stateText
                  << "\": use 1 to 7 or STOPPED, START_PENDING, STOP_PENDING, RUNNING, "
                     "CONTINUE_PENDING, PAUSE_PENDING, PAUSED.\n";
        return 1;
    }
    if (DWORD rc = TarnwickStore_SetServiceState(name.c_str(), state); rc != ERROR_SUCCESS) {
        return scFailure("SetServiceState", rc);
    }
    return queryAndPrint(name);
}

}  // namespace tarnwick::ctl
