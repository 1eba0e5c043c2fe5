# Benchmark of the radio link against tessaly-rig at wire speed (needs the GUI build).
if(TARGET tessaly_core)
  add_executable(bench_radio_latency ${CMAKE_CURRENT_LIST_DIR}/radio_latency.cpp)
  target_link_libraries(bench_radio_latency PRIVATE tessaly_core)
  target_compile_definitions(bench_radio_latency PRIVATE TESSALY_RIG="$<TARGET_FILE:tessaly-rig>")
  add_dependencies(bench_radio_latency tessaly-rig)
endif()
