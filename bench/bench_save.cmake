# PNG and GIF writing and the colour quantiser beside libpng's own write loop in process and
# ImageMagick and libvips as whole processes.
add_executable(bench_save ${CMAKE_CURRENT_SOURCE_DIR}/bench_save.cpp)
target_link_libraries(bench_save PRIVATE tav_output tav_input benchmark::benchmark PkgConfig::PNG
                      tav_warnings)
