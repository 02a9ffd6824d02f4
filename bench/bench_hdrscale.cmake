# Render throughput of HDR scaling on a plasma band of five decades, beside OpenCV in process
# and libvips, ImageMagick and OpenCV as whole processes on the same data.
add_executable(bench_hdrscale ${CMAKE_CURRENT_SOURCE_DIR}/bench_hdrscale.cpp)
target_link_libraries(bench_hdrscale PRIVATE tav_input benchmark::benchmark PkgConfig::TIFF
                      tav_warnings)
