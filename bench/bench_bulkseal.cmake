# bulkseal -e / -d against openssl enc -aes-256-cbc on the same 256 MiB file.
add_executable(bench_bulkseal ${CMAKE_CURRENT_SOURCE_DIR}/bench_bulkseal.cpp)
target_link_libraries(bench_bulkseal PRIVATE benchmark::benchmark tav_warnings)
target_compile_definitions(bench_bulkseal PRIVATE BULKSEAL_PATH="$<TARGET_FILE:bulkseal>")
add_dependencies(bench_bulkseal bulkseal)
