# Load throughput of the PNM and GIF readers into an iBUFF, beside reading the file's bytes
# and ImageMagick decoding the same file on one thread.
add_executable(bench_load ${CMAKE_CURRENT_SOURCE_DIR}/bench_load.cpp)
target_link_libraries(bench_load PRIVATE tav_input benchmark::benchmark tav_warnings)
