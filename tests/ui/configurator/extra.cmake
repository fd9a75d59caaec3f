# The reference configurator host: its library in-process, its program as a child process.
target_link_libraries(${target} PRIVATE levrano_configurator_lib)
add_dependencies(${target} levrano-configurator)
target_compile_definitions(${target} PRIVATE
  LEVRANO_CONFIGURATOR_PATH="$<TARGET_FILE:levrano-configurator>")
