# Calculator throughput over a whole 4096 x 4096 buffer in GLOBAL scope, with and without an
# accumulator operand, beside numpy in process and libvips and ImageMagick as whole processes.
add_executable(bench_calc ${CMAKE_CURRENT_SOURCE_DIR}/bench_calc.cpp)
target_link_libraries(bench_calc PRIVATE tav_ops tav_input benchmark::benchmark tav_warnings)
target_compile_definitions(bench_calc PRIVATE
                           TAV_CALC_NUMPY="${CMAKE_CURRENT_SOURCE_DIR}/calc_numpy.py")
