# A CYCLE step's repaint through the X transfer (needs a display: bench/lut-x.sh).
if(TARGET tav_view_x)
    add_executable(bench_lut_x ${CMAKE_CURRENT_SOURCE_DIR}/bench_lut_x.cpp)
    target_link_libraries(bench_lut_x PRIVATE tav_ops tav_view_x benchmark::benchmark tav_warnings)
endif()
