// Service control: states as Windows numbers them, rights, deletion, and the service's key.
#include <windows.h>

#include <string>

#include "StoreTestSupport.h"

namespace {

using tarnwick::testing::StoreTest;

class ServicesTest : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(manager_, nullptr);
    }
    void TearDown() override {
        CloseServiceHandle(manager_);
        StoreTest::TearDown();
    }

    SC_HANDLE create(const char* name, DWORD startType = SERVICE_DEMAND_START) {
        SC_HANDLE service =
            CreateServiceA(manager_, name, "Display of service", SERVICE_ALL_ACCESS,
                           SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_NORMAL,
                           "C:\\bin\\service.exe", nullptr, nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(service, nullptr) << GetLastError();
        return service;
    }
    static DWORD state(SC_HANDLE service) {
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(service, &status)) return 0;
        return status.dwCurrentState;
    }
    static bool serviceKeyExists(const char* name) {
        HKEY key = nullptr;
        std::string path = std::string("SYSTEM\\CurrentControlSet\\Services\\") + name;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }

    SC_HANDLE manager_ = nullptr;
};

TEST_F(ServicesTest, LifeCycleUsesWindowsStatesAndCodes) {
    SC_HANDLE service = create("mirrservice");
    EXPECT_EQ(state(service), SERVICE_STOPPED);

    SERVICE_STATUS status{};
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);

    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(state(service), SERVICE_RUNNING);
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));

    ASSERT_EQ(TarnwickStore_SetServiceState("MIRRSERVICE", SERVICE_START_PENDING),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(state(service), SERVICE_START_PENDING);
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
    EXPECT_EQ(status.dwCurrentState, SERVICE_START_PENDING);

    ASSERT_EQ(TarnwickStore_SetServiceState("mirrservice", SERVICE_RUNNING),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_PAUSE, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));

    // Another handle to the same service sees the same state.
    SC_HANDLE second = OpenServiceA(manager_, "MirrService", SERVICE_QUERY_STATUS);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(state(second), SERVICE_STOPPED);

    ASSERT_TRUE(DeleteService(service));
    EXPECT_EQ(OpenServiceA(manager_, "mirrservice", SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_TRUE(CloseServiceHandle(second));
    EXPECT_TRUE(CloseServiceHandle(service));
    EXPECT_FALSE(CloseServiceHandle(service));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ServicesTest, RefusalsGiveWindowsCodes) {
    SC_HANDLE service = create("svc");
    SC_HANDLE queryOnly = OpenServiceA(manager_, "svc", SERVICE_QUERY_STATUS);
    SC_HANDLE connectOnly = OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT);
    SERVICE_STATUS status{};
    struct Case {
        const char* name;
        std::function<BOOL()> call;
        DWORD expected;
    };
    const Case cases[] = {
        {"create twice",
         [&] {
             return CreateServiceA(manager_, "SVC", nullptr, SERVICE_ALL_ACCESS,
                                   SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                   SERVICE_ERROR_NORMAL, "x", nullptr, nullptr, nullptr, nullptr,
                                   nullptr) != nullptr;
         },
         ERROR_SERVICE_EXISTS},
        {"create without the right",
         [&] {
             return CreateServiceA(connectOnly, "other", nullptr, SERVICE_ALL_ACCESS,
                                   SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                   SERVICE_ERROR_NORMAL, "x", nullptr, nullptr, nullptr, nullptr,
                                   nullptr) != nullptr;
         },
         ERROR_ACCESS_DENIED},
        {"create with a backslash in the name",
         [&] {
             return CreateServiceA(manager_, "a\\b", nullptr, SERVICE_ALL_ACCESS,
                                   SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                   SERVICE_ERROR_NORMAL, "x", nullptr, nullptr, nullptr, nullptr,
                                   nullptr) != nullptr;
         },
         ERROR_INVALID_NAME},
        {"create with an unknown start type",
         [&] {
             return CreateServiceA(manager_, "other", nullptr, SERVICE_ALL_ACCESS,
                                   SERVICE_WIN32_OWN_PROCESS, 9, SERVICE_ERROR_NORMAL, "x", nullptr,
                                   nullptr, nullptr, nullptr, nullptr) != nullptr;
         },
         ERROR_INVALID_PARAMETER},
        {"open a missing service",
         [&] { return OpenServiceA(manager_, "nothing", SERVICE_ALL_ACCESS) != nullptr; },
         ERROR_SERVICE_DOES_NOT_EXIST},
        {"open through a service handle",
         [&] { return OpenServiceA(service, "svc", SERVICE_ALL_ACCESS) != nullptr; },
         ERROR_INVALID_HANDLE},
        {"open on another machine",
         [&] { return OpenSCManagerA("\\\\elsewhere", nullptr, SC_MANAGER_CONNECT) != nullptr; },
         ERROR_CALL_NOT_IMPLEMENTED},
        {"open another database",
         [&] { return OpenSCManagerA(nullptr, "ServicesFailed", SC_MANAGER_CONNECT) != nullptr; },
         ERROR_DATABASE_DOES_NOT_EXIST},
        {"start without the right", [&] { return StartServiceA(queryOnly, 0, nullptr); },
         ERROR_ACCESS_DENIED},
        {"delete without the right", [&] { return DeleteService(queryOnly); }, ERROR_ACCESS_DENIED},
        {"query a manager handle", [&] { return QueryServiceStatus(manager_, &status); },
         ERROR_INVALID_HANDLE},
        {"query without a status", [&] { return QueryServiceStatus(service, nullptr); },
         ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(c.call()) << c.name;
        EXPECT_EQ(GetLastError(), c.expected) << c.name;
    }
    CloseServiceHandle(connectOnly);
    CloseServiceHandle(queryOnly);
    CloseServiceHandle(service);
}

TEST_F(ServicesTest, DisabledServiceDoesNotStart) {
    SC_HANDLE service = create("off", SERVICE_DISABLED);
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DISABLED));
    CloseServiceHandle(service);
}

TEST_F(ServicesTest, ServiceKeyIsWrittenAndRemovedWithTheService) {
    SC_HANDLE service = create("mirren");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\mirren", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD start = 0, size = sizeof start, type = 0;
    ASSERT_EQ(
        RegQueryValueExA(key, "Start", nullptr, &type, reinterpret_cast<BYTE*>(&start), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(start, SERVICE_DEMAND_START);
    char image[64];
    size = sizeof image;
    ASSERT_EQ(
        RegQueryValueExA(key, "ImagePath", nullptr, &type, reinterpret_cast<BYTE*>(image), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_STREQ(image, "C:\\bin\\service.exe");
    RegCloseKey(key);
    // A Parameters key written by an installer goes with the service.
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                              "SYSTEM\\CurrentControlSet\\Services\\mirren\\Parameters", 0, nullptr,
                              0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);

    ASSERT_TRUE(DeleteService(service));
    CloseServiceHandle(service);
    EXPECT_FALSE(serviceKeyExists("mirren"));
}

TEST_F(ServicesTest, RunningServiceIsDeletedWhenItStops) {
    SC_HANDLE service = create("busy");
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    ASSERT_TRUE(DeleteService(service));
    EXPECT_FALSE(DeleteService(service));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    // Still there, and it can still be opened to stop it.
    EXPECT_TRUE(serviceKeyExists("busy"));
    SC_HANDLE other = OpenServiceA(manager_, "busy", SERVICE_STOP | SERVICE_QUERY_STATUS);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(CreateServiceA(manager_, "busy", nullptr, SERVICE_ALL_ACCESS,
                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                             "x", nullptr, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));

    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(other, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_FALSE(serviceKeyExists("busy"));
    EXPECT_EQ(OpenServiceA(manager_, "busy", SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    // A handle whose service is gone fails cleanly.
    EXPECT_FALSE(QueryServiceStatus(other, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    CloseServiceHandle(other);
    CloseServiceHandle(service);
}

TEST_F(ServicesTest, SetServiceStateChecksItsArguments) {
    SC_HANDLE service = create("svc");
    EXPECT_EQ(TarnwickStore_SetServiceState("svc", 0), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(TarnwickStore_SetServiceState("svc", 8), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(TarnwickStore_SetServiceState("none", 4),
              static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(TarnwickStore_SetServiceState("svc", SERVICE_PAUSED),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(state(service), SERVICE_PAUSED);
    CloseServiceHandle(service);
}

}  // namespace
