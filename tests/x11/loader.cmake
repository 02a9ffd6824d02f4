# The Motif loader window, driven end to end in tav.
tav_add_test(NAME x11_loader SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_loader.cpp
             LIBS tav_x11_session LABELS x11 TIMEOUT 600)
add_dependencies(x11_loader tav)
