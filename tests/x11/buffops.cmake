# BUFF OPS on the real view: an area drawn with the pointer cropped into another buffer, which
# SELECT then shows.
tav_add_test(NAME x11_buffops SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_buffops.cpp
             LIBS tav_x11_session LABELS x11 TIMEOUT 600)
add_dependencies(x11_buffops tav)
