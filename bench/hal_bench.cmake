# Round trips through the running HAL against a trivial pass-through on the same stand-ins.
tarnwick_add_bench(hal_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/hal_bench.cpp
  LIBS hal_runtime MT_PalApi MT_OEM MT_CoreUtils tnwktald mirrdlld tarnwick_win32)
