# The image calculator on the real view: a typed line changes the view, UNDO restores it, a
# GLOBAL line changes the buffer and the view shows it.
tav_add_test(NAME x11_calc SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_calc.cpp
             LIBS tav_x11_session LABELS x11 TIMEOUT 600)
add_dependencies(x11_calc tav)
