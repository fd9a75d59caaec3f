# The hosts run as programs: levrano-station, and the minimal host whose source is the code block
# of docs/hosts.md between its minimal-host markers (extracted here, so the guide's code is what
# gets compiled and run). Both run against the probe simulator, in-process on a pseudo-terminal.
set(host_guide ${CMAKE_SOURCE_DIR}/docs/hosts.md)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${host_guide})
file(READ ${host_guide} guide)
string(REGEX MATCH "<!-- minimal-host:begin -->\n```cpp\n(.*)```\n<!-- minimal-host:end -->" block "${guide}")
if(NOT block)
  message(FATAL_ERROR "docs/hosts.md: no code block between the minimal-host markers")
endif()
set(minimal_host_source ${CMAKE_CURRENT_BINARY_DIR}/operator_hosts/minimal_host.cpp)
file(CONFIGURE OUTPUT ${minimal_host_source} CONTENT "${CMAKE_MATCH_1}" @ONLY)

add_executable(levrano-minimal-host ${minimal_host_source})
target_link_libraries(levrano-minimal-host PRIVATE levrano_host_kit levrano_serial Qt6::Core ${CMAKE_DL_LIBS})

target_link_libraries(${target} PRIVATE levrano_gauge_sim_lib)
add_dependencies(${target} levrano-minimal-host levrano-station levrano)
target_compile_definitions(${target} PRIVATE
  LEVRANO_STATION_PATH="$<TARGET_FILE:levrano-station>"
  LEVRANO_MINIMAL_HOST_PATH="$<TARGET_FILE:levrano-minimal-host>")
