# FG AOI kernels (fills, mirror, flip, quarter and free turns) on a seeded picture; the
# script bench/aoi_vs_peers.sh puts them beside OpenCV, libvips and ImageMagick.
add_executable(bench_aoi ${CMAKE_CURRENT_SOURCE_DIR}/bench_aoi.cpp)
target_link_libraries(bench_aoi PRIVATE tav_kernels tav_buffers tav_warnings)
