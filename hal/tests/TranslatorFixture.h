// A fixture for testing one translator at a time, without the pump: the test plays the board
// (board face attached) and the host (requests made through the factory), builds TAL events to
// translate, captures the trace lines written, and checks at the end that no host object and no
// TAL event was left alive.
#ifndef TARNWICK_HAL_TESTS_TRANSLATORFIXTURE_H
#define TARNWICK_HAL_TESTS_TRANSLATORFIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "mirrdlld/TnwkLogControl.h"
#include "mtcore/HostSide.h"
#include "mtcore/MT_OEM.h"
#include "tal/BoardSide.h"
#include "tal/tal.h"

class TranslatorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        board().reset();
        board().attach();
        hostObjects0 = MTCore::MT_OEM::MToem_LiveObjects();
        talEvents0 = board().liveEvents();
        talLists0 = board().liveLists();
        observer = TnwkLogAddObserver(
            [](const TnwkLogRecord* record, void* context) {
                auto* self = static_cast<TranslatorTest*>(context);
                std::lock_guard<std::mutex> lock(self->linesMutex);
                self->lines.push_back({record->filterName ? record->filterName : "", record->level,
                                       record->text ? record->text : ""});
            },
            this);
    }

    void TearDown() override {
        TnwkLogRemoveObserver(observer);
        board().reset();
        board().detach();
        EXPECT_EQ(MTCore::MT_OEM::MToem_LiveObjects(), hostObjects0) << "host objects leaked";
        EXPECT_EQ(board().liveEvents(), talEvents0) << "TAL events leaked";
        EXPECT_EQ(board().liveLists(), talLists0) << "TAL lists leaked";
    }

    static tal::BoardSide& board() { return tal::BoardSide::instance(); }

    template <class T>
    static T* make(uint32_t id) {
        T* object = MTCore::MT_OEM().MToem_CreateObjAs<T>(id);
        EXPECT_NE(object, nullptr) << std::hex << id;
        return object;
    }
    static void release(MTCore::Core_TransInfo* object) {
        MTCore::MT_OEM().MToem_DeleteObj(object);
    }

    // A TAL event as the board would deliver it; the caller destroys it.
    static TAL_EVENT build(const tal::EventSpec& spec) {
        EXPECT_TRUE(board().deliver(spec));
        TAL_EVENT event = 0;
        EXPECT_EQ(TAL_WaitEvent(20000, &event), TAL_OK);
        return event;
    }

    // What the translator sent to the board (hang guard only).
    static tal::SentEvent taken() {
        auto sent = board().take(std::chrono::seconds(20));
        EXPECT_TRUE(sent.has_value()) << "nothing was sent";
        return sent.value_or(tal::SentEvent{});
    }

    struct Line {
        std::string filter;
        int level;
        std::string text;
    };
    // Trace lines written at that level whose text equals `text`.
    std::size_t countLines(int level, const std::string& text) {
        std::lock_guard<std::mutex> lock(linesMutex);
        std::size_t n = 0;
        for (const Line& line : lines) n += (line.level == level && line.text == text) ? 1 : 0;
        return n;
    }
    std::size_t countLinesContaining(int level, const std::string& fragment) {
        std::lock_guard<std::mutex> lock(linesMutex);
        std::size_t n = 0;
        for (const Line& line : lines) {
            n += (line.level == level && line.text.find(fragment) != std::string::npos) ? 1 : 0;
        }
        return n;
    }

    std::size_t hostObjects0 = 0;
    std::size_t talEvents0 = 0;
    std::size_t talLists0 = 0;
    int observer = -1;
    std::mutex linesMutex;
    std::vector<Line> lines;
};

#endif
