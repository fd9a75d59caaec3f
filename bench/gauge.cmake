# Gauge line: one pass over ten healthy probes at 9600 baud, against the time the line itself needs.
add_executable(bench_gauge_line ${CMAKE_CURRENT_LIST_DIR}/gauge_line.cpp)
target_link_libraries(bench_gauge_line PRIVATE levrano_core levrano_serial levrano_gauge_sim_lib)
