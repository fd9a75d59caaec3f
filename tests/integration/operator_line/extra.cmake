# The real line: the host's termios port service and the probe simulator, over pseudo-terminals.
target_link_libraries(${target} PRIVATE levrano_serial levrano_gauge_sim_lib)
