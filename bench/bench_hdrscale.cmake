# Render throughput of HDR scaling: float samples to one gun of RGBA pixels, per curve.
add_executable(bench_hdrscale ${CMAKE_CURRENT_SOURCE_DIR}/bench_hdrscale.cpp)
target_link_libraries(bench_hdrscale PRIVATE tav_buffers benchmark::benchmark tav_warnings)
