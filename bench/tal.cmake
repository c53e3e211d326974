# Board library: event round trips between two threads.
if(TARGET tnwktald)
  tarnwick_add_bench(tal_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/tal_bench.cpp LIBS tnwktald)
endif()
