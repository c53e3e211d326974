// The plugin as the host sees it: loaded by path, exactly four exported symbols, a short session
// through the exports.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "mirrdlld/TnwkLogControl.h"
#include "mtcore/Events.h"
#include "mtcore/HostSide.h"
#include "mtcore/MT_OEM.h"
#include "tal/BoardSide.h"
#include "tarnwick_store.h"

namespace {

const char* const kPluginPath = HAL_PLUGIN_PATH;

// Names of the symbols a 64-bit ELF shared object defines in its dynamic symbol table.
std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (file.size() < sizeof(Elf64_Ehdr)) return names;
    Elf64_Ehdr header;
    std::memcpy(&header, file.data(), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 ||
        header.e_shoff + header.e_shnum * sizeof(Elf64_Shdr) > file.size()) {
        return names;
    }
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    std::memcpy(sections.data(), file.data() + header.e_shoff, header.e_shnum * sizeof(Elf64_Shdr));
    for (const Elf64_Shdr& section : sections) {
        if (section.sh_type != SHT_DYNSYM || section.sh_link >= sections.size()) continue;
        const Elf64_Shdr& strings = sections[section.sh_link];
        if (section.sh_offset + section.sh_size > file.size() ||
            strings.sh_offset + strings.sh_size > file.size()) {
            continue;
        }
        for (size_t i = 0; i < section.sh_size / sizeof(Elf64_Sym); ++i) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, file.data() + section.sh_offset + i * sizeof(Elf64_Sym),
                        sizeof symbol);
            if (symbol.st_shndx == SHN_UNDEF || symbol.st_name == 0 ||
                symbol.st_name >= strings.sh_size) {
                continue;
            }
            const char* name = file.data() + strings.sh_offset + symbol.st_name;
            names.insert(std::string(name, strnlen(name, strings.sh_size - symbol.st_name)));
        }
    }
    return names;
}

TEST(Plugin, ExportsExactlyTheFourEntryPoints) {
    const std::set<std::string> expected = {"hal_Init", "hal_Exit", "hal_GetLogLevel",
                                            "hal_SetLogLevel"};
    EXPECT_EQ(DefinedDynamicSymbols(kPluginPath), expected);
}

TEST(Plugin, HostLoadsItByPathAndRunsASession) {
    TnwkLogSetOutput("none");
    haltest::TempDir dir;
    const std::string store = dir.Path() + "/system.db";
    ASSERT_EQ(TarnwickStore_Open(store.c_str()), static_cast<DWORD>(ERROR_SUCCESS));
    auto& host = MTCore::HostSide::instance();
    auto& board = tal::BoardSide::instance();
    host.reset();
    board.reset();
    board.detach();
    const size_t liveObjects = host.liveObjects();
    const size_t liveEvents = board.liveEvents();

    void* plugin = dlopen(kPluginPath, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(plugin, nullptr) << dlerror();
    using IntFn = int (*)();
    using SetFn = void (*)(int);
    const auto init = reinterpret_cast<IntFn>(dlsym(plugin, "hal_Init"));
    const auto exit = reinterpret_cast<IntFn>(dlsym(plugin, "hal_Exit"));
    const auto getLevel = reinterpret_cast<IntFn>(dlsym(plugin, "hal_GetLogLevel"));
    const auto setLevel = reinterpret_cast<SetFn>(dlsym(plugin, "hal_SetLogLevel"));
    ASSERT_TRUE(init && exit && getLevel && setLevel);
    EXPECT_EQ(dlsym(plugin, "_ZN11CShimPalMgr6CreateEv"), nullptr);

    setLevel(5);
    EXPECT_EQ(getLevel(), 1);
    ASSERT_EQ(init(), 0);
    MTCore::MT_OEM factory;
    const uint32_t requests[][2] = {
        {MTCore::ids::req_PAL_STARTPAL, MTCore::ids::cmp_PAL_STARTPAL},
        {MTCore::ids::req_PAL_REQHNDLS, MTCore::ids::cmp_PAL_REQHNDLS},
        {MTCore::ids::req_PAL_PSTOP, MTCore::ids::cmp_PAL_PSTOP},
        {MTCore::ids::req_PAL_STOPPAL, MTCore::ids::cmp_PAL_STOPPAL},
    };
    for (const auto& r : requests) {
        host.submit(factory.MToem_CreateObj(r[0]));
        MTCore::Core_TransInfo* answer = host.waitPosted(haltest::kHangGuard);
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer->eventId, r[1]);
        factory.MToem_DeleteObj(answer);
    }
    EXPECT_EQ(exit(), 0);
    EXPECT_EQ(dlclose(plugin), 0);

    EXPECT_EQ(host.liveObjects(), liveObjects);
    EXPECT_EQ(board.liveEvents(), liveEvents);
    EXPECT_EQ(host.liveEndpoints(), 0u);
    TarnwickStore_Close();
}

}  // namespace
