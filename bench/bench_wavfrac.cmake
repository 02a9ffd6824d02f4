# WAVTRAN per band beside pywt.swt2 and libvips' convsep, and the Mandelbrot rows beside a
# numpy escape-time loop that must give the same counts, all wall time in the same run.
add_executable(bench_wavfrac ${CMAKE_CURRENT_SOURCE_DIR}/bench_wavfrac.cpp)
target_link_libraries(bench_wavfrac PRIVATE tav_kernels tav_input benchmark::benchmark
                      tav_warnings)
target_compile_definitions(bench_wavfrac PRIVATE
                           TAV_WAVFRAC_PEERS="${CMAKE_CURRENT_SOURCE_DIR}/wavfrac_peers.py")
