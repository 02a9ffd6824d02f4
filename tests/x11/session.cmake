# A user's session across the view and the loader window: the defaults file at work, LOADER
# and back, and an image named on the loader's command line.
tav_add_test(NAME x11_session SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_session.cpp
             LIBS tav_x11_session LABELS x11 TIMEOUT 600)
add_dependencies(x11_session tav)
