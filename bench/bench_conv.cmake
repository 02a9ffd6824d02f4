# Spatial convolution over a whole 4096 x 4096 buffer beside OpenCV in process and libvips and
# ImageMagick as whole processes net of their plain copies.
add_executable(bench_conv ${CMAKE_CURRENT_SOURCE_DIR}/bench_conv.cpp)
target_link_libraries(bench_conv PRIVATE tav_kernels tav_input benchmark::benchmark tav_warnings)
