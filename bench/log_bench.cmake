# TnwkLogIsInterested for an unwanted level, beside a widely used logger's check of a disabled
# level, as the reference figure.
find_package(spdlog REQUIRED)
tarnwick_add_bench(log_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/log_bench.cpp
  LIBS mirrdlld spdlog::spdlog)
