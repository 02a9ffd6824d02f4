# The table pass on a view-sized and a large picture beside OpenCV in process and libvips and
# ImageMagick as whole processes, and a CYCLE step's repaint on a memory view.
add_executable(bench_lut ${CMAKE_CURRENT_SOURCE_DIR}/bench_lut.cpp)
target_link_libraries(bench_lut PRIVATE tav_ops tav_input benchmark::benchmark PkgConfig::TIFF
                      tav_warnings)
