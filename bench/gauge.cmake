# Gauge line: passes over 1, 10 and 99 healthy probes at 9600 baud, against the time the line needs.
add_executable(bench_gauge_line ${CMAKE_CURRENT_LIST_DIR}/gauge_line.cpp)
target_link_libraries(bench_gauge_line PRIVATE levrano_core levrano_serial levrano_gauge_sim_lib levrano_bench_summary)
