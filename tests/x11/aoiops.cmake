# AOI OPS on the real view: the FG AOI drawn with the pointer's rubber band.
tav_add_test(NAME x11_aoiops SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_aoiops.cpp
             LIBS tav_x11_session LABELS x11 TIMEOUT 600)
add_dependencies(x11_aoiops tav)
