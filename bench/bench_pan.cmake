# Repaint time of one pan step of a 1536 x 1024 view on the in-memory view surface.
add_executable(bench_pan ${CMAKE_CURRENT_SOURCE_DIR}/bench_pan.cpp)
target_link_libraries(bench_pan PRIVATE tav_view benchmark::benchmark tav_warnings)
