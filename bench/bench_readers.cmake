# Load throughput of the PNG, JPEG and TIFF readers into an iBUFF, beside each library's own
# decode loop and ImageMagick decoding the same file on one thread.
add_executable(bench_readers ${CMAKE_CURRENT_SOURCE_DIR}/bench_readers.cpp)
target_link_libraries(bench_readers PRIVATE tav_input benchmark::benchmark
                      PkgConfig::PNG JPEG::JPEG PkgConfig::TIFF tav_warnings)
