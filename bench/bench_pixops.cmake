# PIXEL OPS over a whole 4096 x 4096 buffer in GLOBAL scope (B & W, BURN IN LUTS, PSEUDOCOLOR,
# SWAP GUNS, RANDOM) beside OpenCV in process, libvips and ImageMagick as whole processes net
# of their plain copy, and OpenSSL's own AES-256-CBC rate.
add_executable(bench_pixops ${CMAKE_CURRENT_SOURCE_DIR}/bench_pixops.cpp)
target_link_libraries(bench_pixops PRIVATE tav_ops tav_input tav_crypto benchmark::benchmark
                      tav_warnings)
