# System store: a registry tree of 2 000 keys with 3 values each, created and copied with
# RegCopyTreeA, against plain SQLite inserts of the same rows.
if(TARGET tarnwick_win32)
  find_package(SQLite3 REQUIRED)
  tarnwick_add_bench(store_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/store_bench.cpp
    LIBS tarnwick_win32 SQLite::SQLite3)
endif()
