# Output throughput of WARP per zoom mode and of its area reduction on a seeded plasma picture,
# beside OpenCV's resize in its own process model and libvips and ImageMagick as whole
# processes on one thread, all wall time in the same run.
add_executable(bench_warp ${CMAKE_CURRENT_SOURCE_DIR}/bench_warp.cpp)
target_link_libraries(bench_warp PRIVATE tav_view tav_input benchmark::benchmark tav_warnings)
