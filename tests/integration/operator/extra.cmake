# Answer frames for the scripted port are built by the simulator's protocol code.
target_link_libraries(${target} PRIVATE levrano_gauge_sim_lib)
