// tarnwickctl as an administrator uses it: the built program run against a temporary store.
#include <sys/stat.h>
#include <windows.h>

#include <string>
#include <vector>

#include "StoreTestSupport.h"

namespace {

using tarnwick::testing::readFile;
using tarnwick::testing::RunResult;
using tarnwick::testing::StoreTest;
using tarnwick::testing::writeFile;

const std::string kCtl = TARNWICKCTL_PATH;
const std::string kSuccess = "The operation completed successfully.\n";
const std::string kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.\n";

class CliTest : public StoreTest {
  protected:
    RunResult ctl(const std::vector<std::string>& args, const std::string& input = "") {
        return tarnwick::testing::runProgram(kCtl, args, {{"TARNWICK_SYSTEM_DB", storePath()}},
                                             input);
    }
    // Runs a command that must succeed.
    std::string ok(const std::vector<std::string>& args) {
        RunResult r = ctl(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return r.out;
    }
    static DWORD dword(const char* key, const char* value) {
        HKEY k = nullptr;
        DWORD data = 0xdeadbeef, size = sizeof data;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &k) == ERROR_SUCCESS) {
            RegQueryValueExA(k, value, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size);
            RegCloseKey(k);
        }
        return data;
    }
    void addSample() {
        ok({"reg", "add", "HKLM\\SOFTWARE\\Tarnwick", "/v", "Count", "/t", "REG_DWORD", "/d", "50",
            "/f"});
        ok({"reg", "add", "HKLM\\SOFTWARE\\Tarnwick", "/v", "Name", "/d", "Alpha", "/f"});
        ok({"reg", "add", "HKLM\\SOFTWARE\\Tarnwick\\Spans"});
        ok({"reg", "add", "HKLM\\SOFTWARE\\Tarnwick\\Boards"});
    }
};

TEST_F(CliTest, QueryPrintsRegExeLayout) {
    addSample();
    EXPECT_EQ(ok({"reg", "query", "hklm\\software\\tarnwick"}),
              "\n"
              "HKEY_LOCAL_MACHINE\\software\\tarnwick\n"
              "    Count    REG_DWORD    0x32\n"
              "    Name    REG_SZ    Alpha\n"
              "\n"
              "HKEY_LOCAL_MACHINE\\software\\tarnwick\\Boards\n"
              "HKEY_LOCAL_MACHINE\\software\\tarnwick\\Spans\n");
    EXPECT_EQ(ok({"reg", "query", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick", "/v", "COUNT"}),
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\n    Count    REG_DWORD    0x32\n\n");
    EXPECT_EQ(ok({"reg", "query", "HKLM\\SOFTWARE\\Tarnwick", "/ve"}),
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\n"
              "    (Default)    REG_SZ    (value not set)\n\n");
    ok({"reg", "add", "HKLM\\SOFTWARE\\Tarnwick\\Spans", "/v", "Count", "/t", "REG_DWORD", "/d",
        "0x10", "/f"});
    EXPECT_EQ(ok({"reg", "query", "HKLM\\SOFTWARE\\Tarnwick", "/s"}),
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\n"
              "    Count    REG_DWORD    0x32\n"
              "    Name    REG_SZ    Alpha\n"
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\Boards\n"
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\Spans\n"
              "    Count    REG_DWORD    0x10\n");
    EXPECT_EQ(ok({"reg", "query", "HKLM\\SOFTWARE\\Tarnwick", "/v", "count", "/s"}),
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\n    Count    REG_DWORD    0x32\n"
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\Spans\n    Count    REG_DWORD    0x10\n"
              "\nEnd of search: 2 match(es) found.\n");
}

TEST_F(CliTest, AddWritesEveryTypeAndAsksBeforeOverwriting) {
    ok({"reg", "add", "HKLM\\S", "/v", "Multi", "/t", "REG_MULTI_SZ", "/d", "a\\0b"});
    ok({"reg", "add", "HKLM\\S", "/v", "Exp", "/t", "reg_expand_sz", "/d", "%RAVI_PATH%\\sys"});
    ok({"reg", "add", "HKLM\\S", "/v", "Bin", "/t", "REG_BINARY", "/d", "0aff"});
    ok({"reg", "add", "HKLM\\S", "/ve", "/d", "default"});
    EXPECT_EQ(ok({"reg", "query", "HKLM\\S"}),
              "\nHKEY_LOCAL_MACHINE\\S\n"
              "    Multi    REG_MULTI_SZ    a\\0b\n"
              "    Exp    REG_EXPAND_SZ    %RAVI_PATH%\\sys\n"
              "    Bin    REG_BINARY    0AFF\n"
              "    (Default)    REG_SZ    default\n\n");

    ok({"reg", "add", "HKLM\\S", "/v", "N", "/t", "REG_DWORD", "/d", "1"});
    RunResult declined =
        ctl({"reg", "add", "HKLM\\S", "/v", "n", "/t", "REG_DWORD", "/d", "2"}, "n\n");
    EXPECT_EQ(declined.exitCode, 1);
    EXPECT_EQ(declined.out,
              "Value n exists, overwrite(Yes/No)? The operation was cancelled by the user.\n");
    EXPECT_EQ(dword("S", "N"), 1u);
    // No answer at all (end of input) declines too.
    EXPECT_EQ(ctl({"reg", "add", "HKLM\\S", "/v", "N", "/t", "REG_DWORD", "/d", "2"}).exitCode, 1);
    EXPECT_EQ(dword("S", "N"), 1u);
    RunResult accepted =
        ctl({"reg", "add", "HKLM\\S", "/v", "N", "/t", "REG_DWORD", "/d", "3"}, "yes\n");
    EXPECT_EQ(accepted.exitCode, 0) << accepted.err;
    EXPECT_EQ(dword("S", "N"), 3u);
}

TEST_F(CliTest, DeleteRemovesValuesAndWholeKeys) {
    addSample();
    ok({"reg", "add", "HKLM\\SOFTWARE\\Tarnwick\\Boards\\01", "/v", "ForUse", "/t", "REG_DWORD",
        "/d", "1"});
    EXPECT_EQ(ok({"reg", "delete", "HKLM\\SOFTWARE\\Tarnwick", "/v", "name", "/f"}), kSuccess);
    EXPECT_EQ(dword("SOFTWARE\\Tarnwick", "Count"), 50u);

    RunResult declined = ctl({"reg", "delete", "HKLM\\SOFTWARE\\Tarnwick"}, "no\n");
    EXPECT_EQ(declined.exitCode, 1);
    EXPECT_EQ(declined.out,
              "Permanently delete the registry key HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick "
              "(Yes/No)? The operation was cancelled by the user.\n");
    EXPECT_EQ(dword("SOFTWARE\\Tarnwick", "Count"), 50u);

    RunResult deleted = ctl({"reg", "delete", "HKLM\\SOFTWARE\\Tarnwick"}, "y\n");
    EXPECT_EQ(deleted.exitCode, 0) << deleted.err;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);

    ok({"reg", "add", "HKLM\\V", "/v", "a", "/d", "1"});
    ok({"reg", "add", "HKLM\\V", "/v", "b", "/d", "2"});
    ok({"reg", "delete", "HKLM\\V", "/va", "/f"});
    EXPECT_EQ(ok({"reg", "query", "HKLM\\V"}), "\nHKEY_LOCAL_MACHINE\\V\n\n");
}

TEST_F(CliTest, ErrorsSayWhatWasWrongAndExitWithOne) {
    addSample();
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"reg", "query", "HKLM\\SOFTWARE\\Missing"}, kNotFound},
        {{"reg", "query", "HKLM\\SOFTWARE\\Tarnwick", "/v", "Missing"}, kNotFound},
        {{"reg", "delete", "HKLM\\SOFTWARE\\Missing", "/f"}, kNotFound},
        {{"reg", "delete", "HKLM\\SOFTWARE\\Tarnwick", "/v", "Missing", "/f"}, kNotFound},
        {{"reg", "delete", "HKLM", "/f"}, "ERROR: A root key cannot be deleted.\n"},
        {{"reg", "query", "HKCR\\X"},
         "ERROR: Invalid key name \"HKCR\\X\": it must begin with HKLM, HKEY_LOCAL_MACHINE, HKCU "
         "or HKEY_CURRENT_USER.\n"},
        {{"reg", "add", "HKLM\\X", "/v", "n", "/t", "REG_DWORD", "/d", "lots"},
         "ERROR: Invalid data \"lots\" for /d: REG_DWORD needs a decimal number or a 0x "
         "hexadecimal number up to 0xffffffff.\n"},
        {{"reg", "add", "HKLM\\X", "/v", "n", "/t", "REG_TEXT"},
         "ERROR: Invalid value type \"REG_TEXT\" for /t: use REG_SZ, REG_EXPAND_SZ, "
         "REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY or REG_NONE.\n"},
        {{"reg", "add", "HKLM\\X", "/v", "n", "/ve"}, "ERROR: Use /v NAME or /ve, not both.\n"},
        {{"reg", "add", "HKLM\\X", "/d", "x"},
         "ERROR: /d needs /v NAME or /ve to name the value.\n"},
        {{"reg", "import", "/no/such/file.reg"},
         "ERROR: Cannot read /no/such/file.reg: No such file or directory\n"},
        {{"sc", "set-state", "svc", "SLEEPING"},
         "[SC] set-state: invalid state \"SLEEPING\": use 1 to 7 or STOPPED, START_PENDING, "
         "STOP_PENDING, RUNNING, CONTINUE_PENDING, PAUSE_PENDING, PAUSED.\n"},
    };
    for (const auto& c : cases) {
        RunResult r = ctl(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args.back();
        EXPECT_EQ(r.err, c.err) << c.args.back();
        EXPECT_EQ(r.out, "") << c.args.back();
    }
    // Command line mistakes name the argument.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"reg", "query"},
                                                 {"reg", "query", "HKLM\\X", "/zz"},
                                                 {"reg", "frobnicate"},
                                                 {"sc", "create"}}) {
        RunResult r = ctl(args);
        EXPECT_EQ(r.exitCode, 1) << args.back();
        EXPECT_EQ(r.err.rfind("ERROR: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    }
    EXPECT_NE(ctl({"reg", "query"}).err.find("KEY"), std::string::npos);
    EXPECT_NE(ctl({"reg", "query", "HKLM\\X", "/zz"}).err.find("/zz"), std::string::npos);
}

TEST_F(CliTest, ExportedTreeImportsBackWithEveryType) {
    ok({"reg", "add", "HKLM\\SOFTWARE\\T", "/v", "Bin", "/t", "REG_BINARY", "/d",
        "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"});
    ok({"reg", "add", "HKLM\\SOFTWARE\\T", "/v", "Multi", "/t", "REG_MULTI_SZ", "/d",
        "one\\0two\\0three"});
    ok({"reg", "add", "HKLM\\SOFTWARE\\T", "/v", "Exp", "/t", "REG_EXPAND_SZ", "/d",
        "%RAVI_PATH%\\sys\\mt_tarnwick_hal.dll"});
    ok({"reg", "add", "HKLM\\SOFTWARE\\T", "/v", "Quote", "/d", "say \"hi\" C:\\dir\\"});
    ok({"reg", "add", "HKLM\\SOFTWARE\\T\\Sub\\Deeper", "/v", "Q", "/t", "REG_QWORD", "/d",
        "0x123456789"});
    std::string before = ok({"reg", "query", "HKLM\\SOFTWARE\\T", "/s"});

    std::string file = dir().file("tree.reg");
    EXPECT_EQ(ok({"reg", "export", "HKLM\\SOFTWARE\\T", file}), kSuccess);
    std::string content = readFile(file);
    ASSERT_GE(content.size(), 2u);
    EXPECT_EQ(content.substr(0, 2), "\xFF\xFE");

    ok({"reg", "delete", "HKLM\\SOFTWARE\\T", "/f"});
    EXPECT_EQ(ok({"reg", "import", file}), kSuccess);
    EXPECT_EQ(ok({"reg", "query", "HKLM\\SOFTWARE\\T", "/s"}), before);

    // An existing file is replaced only when the user agrees (or /y).
    RunResult declined = ctl({"reg", "export", "HKLM\\SOFTWARE", file}, "n\n");
    EXPECT_EQ(declined.exitCode, 1);
    EXPECT_EQ(readFile(file), content);
    EXPECT_EQ(ok({"reg", "export", "HKLM\\SOFTWARE\\T\\Sub", file, "/y"}), kSuccess);
    EXPECT_NE(readFile(file), content);
}

TEST_F(CliTest, ImportIsAllOrNothing) {
    ok({"reg", "add", "HKLM\\Keep", "/v", "v", "/t", "REG_DWORD", "/d", "1"});
    std::string bad = dir().file("bad.reg");
    writeFile(bad,
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Keep]\r\n\"v\"=dword:00000002\r\n"
              "[HKEY_LOCAL_MACHINE\\New]\r\n\"w\"=dword:zz\r\n");
    RunResult r = ctl({"reg", "import", bad});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "ERROR: Cannot import " + bad +
                         ": line 6: dword: needs hexadecimal digits. Nothing was changed.\n");
    EXPECT_EQ(dword("Keep", "v"), 1u);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "New", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);

    // A UTF-8 file with deletions applies whole.
    std::string good = dir().file("good.reg");
    writeFile(good,
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\Keep]\n\"v\"=-\n\"w\"=dword:00000003\n\n"
              "[HKLM\\New\\Child]\n@=\"x\"\n\n[-HKEY_LOCAL_MACHINE\\Missing]\n");
    EXPECT_EQ(ok({"reg", "import", good}), kSuccess);
    EXPECT_EQ(dword("Keep", "v"), 0xdeadbeefu);
    EXPECT_EQ(dword("Keep", "w"), 3u);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "New\\Child", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(CliTest, ServicesInScExeManner) {
    EXPECT_EQ(ok({"sc", "create", "mirrservice", "binPath=", "C:\\host.exe", "start=", "auto"}),
              "[SC] CreateService SUCCESS\n");
    const std::string stopped =
        "\nSERVICE_NAME: mirrservice\n"
        "        TYPE               : 10  WIN32_OWN_PROCESS\n"
        "        STATE              : 1  STOPPED\n"
        "                                (NOT_STOPPABLE, NOT_PAUSABLE, IGNORES_SHUTDOWN)\n"
        "        WIN32_EXIT_CODE    : 0  (0x0)\n"
        "        SERVICE_EXIT_CODE  : 0  (0x0)\n"
        "        CHECKPOINT         : 0x0\n"
        "        WAIT_HINT          : 0x0\n";
    EXPECT_EQ(ok({"sc", "query", "mirrservice"}), stopped);
    std::string running = ok({"sc", "start", "mirrservice"});
    EXPECT_NE(running.find("STATE              : 4  RUNNING\n"), std::string::npos) << running;
    EXPECT_NE(running.find("(STOPPABLE,"), std::string::npos);

    RunResult again = ctl({"sc", "start", "mirrservice"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err,
              "[SC] StartService FAILED 1056:\n\nAn instance of the service is already "
              "running.\n\n");
    EXPECT_NE(ok({"sc", "set-state", "mirrservice", "start_pending"})
                  .find("STATE              : 2  START_PENDING\n"),
              std::string::npos);
    EXPECT_NE(ok({"sc", "set-state", "mirrservice", "4"}).find("4  RUNNING"), std::string::npos);
    EXPECT_EQ(ok({"sc", "stop", "mirrservice"}), stopped);
    EXPECT_EQ(ok({"sc", "delete", "mirrservice"}), "[SC] DeleteService SUCCESS\n");
    RunResult gone = ctl({"sc", "query", "mirrservice"});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_EQ(gone.err,
              "[SC] EnumQueryServicesStatus:OpenService FAILED 1060:\n\nThe specified service "
              "does not exist as an installed service.\n\n");
    RunResult badOption = ctl({"sc", "create", "x", "start=", "sometimes"});
    EXPECT_EQ(badOption.exitCode, 1);
    EXPECT_EQ(badOption.err.rfind("[SC] CreateService: invalid start= \"sometimes\"", 0), 0u)
        << badOption.err;
}

TEST_F(CliTest, EventLogShowsEventsNewestLast) {
    HANDLE source = RegisterEventSourceA(nullptr, "RiVirIVOdavovu");
    const char* first[] = {"Module 3 rejected"};
    const char* second[] = {"HAL", "started"};
    ASSERT_TRUE(ReportEventA(source, EVENTLOG_WARNING_TYPE, 0, 1, nullptr, 1, 0, first, nullptr));
    HANDLE hal = RegisterEventSourceA(nullptr, "TarnwickHal");
    ASSERT_TRUE(ReportEventA(hal, EVENTLOG_INFORMATION_TYPE, 0, 7, nullptr, 2, 0, second, nullptr));
    DeregisterEventSource(source);
    DeregisterEventSource(hal);

    std::string all = ok({"eventlog"});
    std::size_t warning = all.find("Warning        RiVirIVOdavovu  1  Module 3 rejected\n");
    std::size_t info = all.find("Information    TarnwickHal  7  HAL started\n");
    EXPECT_NE(warning, std::string::npos) << all;
    EXPECT_NE(info, std::string::npos) << all;
    EXPECT_LT(warning, info);
    std::string filtered = ok({"eventlog", "--source", "tarnwickhal"});
    EXPECT_EQ(filtered.find("RiVirIVOdavovu"), std::string::npos);
    EXPECT_NE(filtered.find("HAL started"), std::string::npos);
}

TEST_F(CliTest, UnusableStoreGivesAClearErrorAndStaysUnchanged) {
    std::string foreign = dir().file("foreign.db");
    writeFile(foreign, std::string(8192, 'q'));
    RunResult r = tarnwick::testing::runProgram(
        kCtl, {"reg", "add", "HKLM\\X", "/v", "a", "/d", "b"}, {{"TARNWICK_SYSTEM_DB", foreign}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("ERROR: The registry is corrupted."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("ERROR: system store " + foreign + ": not a system store"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(readFile(foreign), std::string(8192, 'q'));

    RunResult missing = tarnwick::testing::runProgram(
        kCtl, {"sc", "query", "x"}, {{"TARNWICK_SYSTEM_DB", dir().file("none/system.db")}});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("does not exist"), std::string::npos) << missing.err;
}

}  // namespace
