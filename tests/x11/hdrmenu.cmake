# The HDR scaling menu on the real view: the BUFF OPS cascade and picks in the ancillary
# histogram box.
tav_add_test(NAME x11_hdrmenu SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_hdrmenu.cpp
             LIBS tav_x11_session LABELS x11 TIMEOUT 600)
add_dependencies(x11_hdrmenu tav tav_loaddrv)
