# Every target of ours gets the same warning set; CI turns them into errors.
add_library(tav_warnings INTERFACE)
target_compile_options(tav_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow=local -Wformat=2 -Wcast-align -Wnull-dereference
    -Wno-unused-parameter)
if(TAV_WERROR)
    target_compile_options(tav_warnings INTERFACE -Werror)
endif()
