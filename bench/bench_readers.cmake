# Load throughput of the PNG, JPEG, TIFF and JPEG 2000 readers into an iBUFF on a seeded plasma picture,
# beside each library's own decode loop, OpenCV in its own process model, and ImageMagick,
# libvips and OpenCV as whole processes on one thread, all wall time in the same run.
add_executable(bench_readers ${CMAKE_CURRENT_SOURCE_DIR}/bench_readers.cpp)
target_link_libraries(bench_readers PRIVATE tav_input benchmark::benchmark
                      PkgConfig::PNG JPEG::JPEG PkgConfig::TIFF PkgConfig::OPENJP2
                      tav_warnings)
