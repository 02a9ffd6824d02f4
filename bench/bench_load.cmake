# Load throughput of the PNM and GIF readers into an iBUFF on a seeded plasma picture, beside
# reading the file's bytes, OpenCV in its own process model, and ImageMagick, libvips and
# OpenCV as whole processes on one thread, all wall time in the same run.
add_executable(bench_load ${CMAKE_CURRENT_SOURCE_DIR}/bench_load.cpp)
target_link_libraries(bench_load PRIVATE tav_input benchmark::benchmark tav_warnings)
