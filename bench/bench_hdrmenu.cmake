# A scaling change through the HDR scaling menu to the re-rendered buffer, beside the render
# alone, numpy and libvips on the same three float bands.
add_executable(bench_hdrmenu ${CMAKE_CURRENT_SOURCE_DIR}/bench_hdrmenu.cpp)
target_link_libraries(bench_hdrmenu PRIVATE tav_ops tav_input benchmark::benchmark PkgConfig::TIFF
                      tav_warnings)
