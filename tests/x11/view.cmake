# The view window, message box, prompts and menus, driven end to end through a test-only entry.
add_executable(viewdemo ${CMAKE_CURRENT_LIST_DIR}/viewdemo.cpp)
target_link_libraries(viewdemo PRIVATE tav_view_x X11::X11 X11::Xt tav_warnings)

tav_add_test(NAME x11_view SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_view.cpp
             LIBS tav_x11_session LABELS x11 TIMEOUT 600)
target_compile_definitions(x11_view PRIVATE VIEWDEMO_PATH="$<TARGET_FILE:viewdemo>")
add_dependencies(x11_view viewdemo)
